#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "server/LookupList.h"
#include "tests/server/ServerFixture.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel::server::testing {
namespace {

// The index of `records` as `vantel index` writes it, opened from memory.
std::shared_ptr<const Index> IndexOf(const std::vector<LookupRecord>& records) {
  std::vector<std::u16string> strings;
  IndexRecords stored;
  stored.keepNames = {"city"};
  stored.numberedIds = true;
  for (const LookupRecord& record : records) {
    strings.push_back(Utf8ToUtf16(record.text));
    stored.fields.insert(stored.fields.end(), {record.id, record.text, record.fields[0]});
    stored.lines.push_back(stored.lines.size() + 2);
  }
  std::string bytes;
  WriteIndex(bytes, PreparedCandidates(strings), stored);
  auto words = std::make_shared<std::vector<std::uint64_t>>(bytes.size() / 8 + 1);
  std::memcpy(words->data(), bytes.data(), bytes.size());
  const void* at = words->data();
  return Index::FromBytes(std::move(words), at, bytes.size(), "sample.vidx");
}

void ExpectSameLookups(const LookupList& expected, const LookupList& list) {
  ASSERT_EQ(list.size(), expected.size());
  for (std::size_t at = 0; at < list.size(); ++at) {
    EXPECT_EQ(list.record(at).id, expected.record(at).id);
    EXPECT_EQ(list.record(at).text, expected.record(at).text);
    EXPECT_EQ(list.record(at).fields, expected.record(at).fields);
  }
  EXPECT_EQ(list.fieldNames(), expected.fieldNames());
  EXPECT_EQ(list.NextNumber(), expected.NextNumber());
  const std::vector<std::u16string> queries = {u"Catherine Jonson", u"Jon Smyth", u"Ann Leigh", u"Harriet Nite"};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  std::size_t pairs = 0;
  for (const std::int16_t method : {std::int16_t{0}, std::int16_t{2}, std::int16_t{3}, std::int16_t{99}}) {
    for (const double threshold : {60.0, 85.0}) {
      MatchOptions options;
      options.method = method;
      options.threshold = threshold;
      options.top = 3;
      const auto found = expected.Find(queries, options, deadline);
      EXPECT_EQ(list.Find(queries, options, deadline), found) << method << " " << threshold;
      for (const std::vector<ScoredPair>& candidates : found) pairs += candidates.size();
    }
  }
  EXPECT_GT(pairs, 2 * queries.size());
}

TEST(IndexList, AnswersAsTheListOfItsRecordsBeforeAndAfterChanges) {
  const std::vector<LookupRecord> records = SampleRecords();
  const LookupList fromRecords(records, {"city"}, true);
  const LookupList fromIndex(*IndexOf(records));
  ExpectSameLookups(fromRecords, fromIndex);

  const std::vector<LookupRecord> added = {{"900", "Katharine Jonsen", {"city 9"}}, {"901", "Ann Lee", {"city 9"}}};
  ExpectSameLookups(fromRecords.WithAdded(added), fromIndex.WithAdded(added));
  ExpectSameLookups(fromRecords.WithRemoved("3"), fromIndex.WithRemoved("3"));
}

}  // namespace
}  // namespace vantel::server::testing
