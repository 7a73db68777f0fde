#include "vantel/MatchRequest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "vantel/Errors.h"

namespace vantel {
namespace {

TEST(MatchRequest, BindsEveryOptionInItsRange) {
  const MatchOptions options = Bind({.method = -32768, .threshold = 100.0, .top = 3, .threads = 1024});
  EXPECT_EQ(options.method, -32768);
  EXPECT_EQ(options.threshold, 100.0);
  EXPECT_EQ(options.top, 3u);
  EXPECT_EQ(options.threads, 1024u);
  EXPECT_EQ(Bind({.method = 32767, .threshold = 0.0}).method, 32767);
}

TEST(MatchRequest, ZeroThreadsIsOnePerProcessor) {
  EXPECT_EQ(Bind({.threads = 0}).threads, ProcessorCount());
  EXPECT_GE(ProcessorCount(), 1u);
  EXPECT_LE(ProcessorCount(), static_cast<unsigned>(kMostThreads));
}

TEST(MatchRequest, AMethodBeyondSixteenBitsIsTheOverflowError) {
  for (const std::int64_t method : {std::int64_t{32768}, std::int64_t{-32769}, std::numeric_limits<std::int64_t>::max(),
                                    std::numeric_limits<std::int64_t>::min()}) {
    SCOPED_TRACE(method);
    try {
      Bind({.method = method});
      ADD_FAILURE() << "accepted";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), error::kOverflow);
    }
  }
}

TEST(MatchRequest, AnOptionOutOfRangeNamesItselfAndWhatItMustBe) {
  const double nan = std::nan("");
  const double infinity = std::numeric_limits<double>::infinity();
  const struct {
    MatchRequest request;
    const char* message;
  } cases[] = {
      {{.threshold = -0.01}, "threshold must be a number from 0 to 100"},
      {{.threshold = 100.001}, "threshold must be a number from 0 to 100"},
      {{.threshold = nan}, "threshold must be a number from 0 to 100"},
      {{.threshold = infinity}, "threshold must be a number from 0 to 100"},
      {{.top = -1}, "top must be 0 (all) or a positive whole number"},
      {{.threads = -1}, "threads must be 0 (one per processor) or a whole number from 1 to 1024"},
      {{.threads = 1025}, "threads must be 0 (one per processor) or a whole number from 1 to 1024"},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.message);
    try {
      Bind(each.request);
      ADD_FAILURE() << "accepted";
    } catch (const InvalidOption& error) {
      EXPECT_EQ(std::string(error.what()), each.message);
      EXPECT_EQ(error.option() + " must be " + error.requirement(), each.message);
    }
  }
}

}  // namespace
}  // namespace vantel
