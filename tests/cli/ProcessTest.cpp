// The vantel program as a separate process, under the faults a careless or
// hostile setting brings: an input that fails to read part-way, a directory
// given as input, an output that is full, fails, or whose reader goes away.
// Each case checks the status, the message, what reached the output, and
// (where the work could otherwise go on for long) that the program ended
// within 2 seconds: a hang check, not a measure of speed. Linux only.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/Process.h"
#include "tests/matching/RandomNames.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

using testing::ProcessResult;
using testing::ProcessSpec;
using testing::RunProcess;

constexpr auto kHangBound = std::chrono::seconds(2);
constexpr std::size_t kFaultAt = 5000;  // the byte at which an injected fault strikes

// Files of the test's own, in a folder made for it (mkdtemp).
class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantel-process-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a folder like " << pattern;
    path_ = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  std::string Write(const std::string& name, const std::string& contents) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << contents;
    return file.string();
  }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

std::string NameLines(std::uint32_t seed, std::size_t count) {
  std::string text;
  for (const std::u16string& name : matching::testing::RandomNames(seed, count)) text += Utf16ToUtf8(name) + "\n";
  return text;
}

std::string PairLines(std::size_t count) {
  const auto first = matching::testing::RandomNames(1, count), second = matching::testing::RandomNames(2, count);
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += Utf16ToUtf8(first[i]) + "\t" + Utf16ToUtf8(second[i]) + "\n";
  return text;
}

std::size_t LineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The environment that loads the fault library into the child. A sanitized
// build's run-time must otherwise come first among the libraries loaded.
std::vector<std::string> FaultEnvironment(std::vector<std::string> faults) {
  faults.push_back("LD_PRELOAD=" VANTEL_IO_FAULT_LIBRARY);
  const char* asan = std::getenv("ASAN_OPTIONS");
  faults.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? std::string(asan) + ":" : "") +
                   "verify_asan_link_order=0");
  return faults;
}

std::string Describe(const ProcessSpec& setup) {
  std::string text = "vantel";
  for (const std::string& arg : setup.args) text += " " + arg;
  return text + " < " + (setup.endlessInput.empty() ? setup.stdinPath : "(endless)");
}

ProcessResult RunVantel(const ProcessSpec& setup) { return RunProcess(VANTEL_PROGRAM, setup); }

class ProcessTest : public ::testing::Test {
 protected:
  Folder folder;
  const std::string pairs = PairLines(1000);
  const std::string names = NameLines(3, 1000);
  const std::string pairsPath = folder.Write("pairs.tsv", pairs);
  const std::string namesPath = folder.Write("names.txt", names);
  const std::string otherPath = folder.Write("other.txt", NameLines(4, 50));
};

TEST_F(ProcessTest, AReadErrorEndsEveryCommandWithTheLineReachedAndNoPartialMatch) {
  struct Case {
    const std::string* contents;  // of the file that fails
    std::vector<std::string> args;
    bool fromStandardInput;
    bool streams;  // answers each line as it is read
  } const cases[] = {
      {&pairs, {"compare", "--pairs", pairsPath}, false, true},
      {&pairs, {"compare", "--method", "2", "--pairs", "-"}, true, true},
      {&names, {"phonetic"}, true, true},
      {&names, {"match", "--threshold", "0", namesPath}, false, false},
      {&names, {"match", "--threshold", "0", "-"}, true, false},
      {&names, {"match", "--threshold", "0", otherPath, namesPath}, false, false},
  };
  for (const Case& c : cases) {
    ProcessSpec setup;
    setup.args = c.args;
    const std::string& path = c.contents == &pairs ? pairsPath : namesPath;
    if (c.fromStandardInput) setup.stdinPath = path;
    setup.environment =
        FaultEnvironment({"VANTEL_FAULT_READ_PATH=" + path, "VANTEL_FAULT_READ_AFTER=" + std::to_string(kFaultAt)});
    SCOPED_TRACE(Describe(setup));
    const ProcessResult run = RunVantel(setup);
    const std::size_t whole = LineCount(c.contents->substr(0, kFaultAt));
    EXPECT_EQ(run.exitStatus, 1);
    const std::string name = c.fromStandardInput ? "standard input" : path;
    EXPECT_NE(run.err.find(": " + name + ": read error after line " + std::to_string(whole) + ": Input/output error\n"),
              std::string::npos)
        << run.err;
    if (c.streams) {
      EXPECT_EQ(LineCount(run.out), whole);  // the lines answered before the error stay
    } else {
      EXPECT_EQ(run.out.size(), 0u) << run.out.substr(0, 200);  // nothing matched from a list not read whole
    }
  }
}

TEST_F(ProcessTest, ADirectoryAsInputIsAReadError) {
  const std::string directory = folder.path();
  struct Case {
    std::vector<std::string> args;
    bool fromStandardInput;
  } const cases[] = {
      {{"compare", "--pairs", "-"}, true},
      {{"compare", "--pairs", directory}, false},
      {{"phonetic"}, true},
      {{"match", "-"}, true},
      {{"match", directory}, false},
      {{"match", namesPath, directory}, false},
  };
  for (const Case& c : cases) {
    ProcessSpec setup;
    setup.args = c.args;
    if (c.fromStandardInput) setup.stdinPath = directory;
    SCOPED_TRACE(Describe(setup));
    const ProcessResult run = RunVantel(setup);
    EXPECT_EQ(run.exitStatus, 1);
    const std::string name = c.fromStandardInput ? "standard input" : directory;
    EXPECT_EQ(run.err, "vantel " + c.args[0] + ": " + name + ": read error after line 0: Is a directory\n");
    EXPECT_EQ(run.out.size(), 0u) << run.out.substr(0, 200);
  }
}

// The work of each command when its output fails. The endless ones would
// never end by themselves; `match` on 5,000 names at threshold 0 has 12.5
// million pairs to write.
struct OutputCase {
  std::vector<std::string> args;
  bool endless;
};

std::vector<OutputCase> OutputCases(const std::string& bigListPath) {
  return {
      {{"compare", "Catherine", "Kathryn"}, false},
      {{"compare", "--method", "2", "--pairs", "-"}, true},
      {{"phonetic", "knight", "judge"}, false},
      {{"phonetic"}, true},
      {{"match", "--threshold", "0", "--quiet", bigListPath}, false},
  };
}

const std::string kEndlessPairs = "Catherine Johnson\tKathryn Jonson\nSmith\tSmyth\n";
const std::string kEndlessWords = "knight\njudge\nCatherine\n";

ProcessSpec OutputSpec(const OutputCase& c) {
  ProcessSpec setup;
  setup.args = c.args;
  if (c.endless) setup.endlessInput = c.args[0] == "compare" ? kEndlessPairs : kEndlessWords;
  return setup;
}

TEST_F(ProcessTest, AFullOutputEndsEveryCommandPromptly) {
  const std::string bigList = folder.Write("big.txt", NameLines(5, 5000));
  for (const OutputCase& c : OutputCases(bigList)) {
    ProcessSpec setup = OutputSpec(c);
    setup.stdoutPath = "/dev/full";
    SCOPED_TRACE(Describe(setup));
    const ProcessResult run = RunVantel(setup);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "vantel " + c.args[0] + ": cannot write to standard output: No space left on device\n");
    EXPECT_LT(run.elapsed, kHangBound);
  }
}

TEST_F(ProcessTest, AnOutputThatFailsPartWayEndsEveryCommandPromptly) {
  const std::string bigList = folder.Write("big.txt", NameLines(5, 5000));
  for (const OutputCase& c : OutputCases(bigList)) {
    ProcessSpec setup = OutputSpec(c);
    setup.environment = FaultEnvironment({"VANTEL_FAULT_WRITE_FD=1", "VANTEL_FAULT_WRITE_AFTER=3"});
    SCOPED_TRACE(Describe(setup));
    const ProcessResult run = RunVantel(setup);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "vantel " + c.args[0] + ": cannot write to standard output: Input/output error\n");
    EXPECT_EQ(run.out.size(), 3u);  // what got through before the fault, and nothing after it
    EXPECT_LT(run.elapsed, kHangBound);
  }
}

TEST_F(ProcessTest, AReaderThatGoesAwayEndsEveryCommandPromptly) {
  const std::string bigList = folder.Write("big.txt", NameLines(5, 5000));
  for (const bool sigpipeIgnored : {true, false}) {
    for (const OutputCase& c : OutputCases(bigList)) {
      if (!c.endless && c.args[0] != "match") continue;  // one line of output: nothing left to fail
      ProcessSpec setup = OutputSpec(c);
      setup.closeAfterLines = 1;
      setup.sigpipeIgnored = sigpipeIgnored;
      SCOPED_TRACE(Describe(setup) + (sigpipeIgnored ? ", SIGPIPE ignored" : ", SIGPIPE default"));
      const ProcessResult run = RunVantel(setup);
      if (sigpipeIgnored) {
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.err, "vantel " + c.args[0] + ": cannot write to standard output: Broken pipe\n");
      } else {
        EXPECT_EQ(run.signal, SIGPIPE);  // the conventional end
        EXPECT_EQ(run.err, "");
      }
      EXPECT_GE(LineCount(run.out), 1u);
      EXPECT_LT(run.elapsed, kHangBound);
    }
  }
}

// AddressSanitizer reserves terabytes of address space up front: a cap on it
// would stop the program before it starts.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCapped = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceCapped = false;
#else
constexpr bool kAddressSpaceCapped = true;
#endif
#else
constexpr bool kAddressSpaceCapped = true;
#endif

// A field far past the length limit is measured where it lies, not converted
// and copied: the run fits in an address space that holds the file's text
// about twice over (as it grows), where converting it would need four times.
TEST_F(ProcessTest, AFieldTooLongToMatchCostsNoMoreThanItsText) {
  if (!kAddressSpaceCapped) GTEST_SKIP() << "the sanitizers reserve more address space than any cap allows";
  constexpr std::size_t kFieldBytes = std::size_t{64} << 20;
  constexpr std::size_t kCapKilobytes = std::size_t{320} << 10;  // the field's text and 128 MB besides
  const std::string small = folder.Write("small.csv", "name\nAnn\n" + std::string(100, 'x') + "\nAnne\n");
  const std::string large = folder.Write("large.csv", "name\nAnn\n" + std::string(kFieldBytes, 'x') + "\nAnne\n");
  ProcessSpec compare;
  compare.args = {"compare", "Ann", "Anne"};
  const std::string answer = RunVantel(compare).out;
  for (const std::string& path : {small, large}) {
    ProcessSpec setup;
    // The shell sets the cap for the program it becomes, and for nothing else.
    const std::string capped = "ulimit -v " + std::to_string(kCapKilobytes) + " && exec \"$0\" \"$@\"";
    setup.args = {"-c", capped, VANTEL_PROGRAM, "match", "--threads", "1", "--quiet", path};
    setup.environment = {"MALLOC_ARENA_MAX=1"};  // no per-thread heaps reserved
    const ProcessResult result = RunProcess("/bin/sh", setup, std::chrono::seconds(60));
    const std::size_t length = path == small ? 100 : kFieldBytes;
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_EQ(result.err,
              "vantel match: " + path + " line 3: longer than 70 UTF-16 code units (" + std::to_string(length) + ")\n");
    EXPECT_EQ(result.out, "query_row\tcandidate_row\tquery_name\tcandidate_name\tanswer\n1\t3\tAnn\tAnne\t" + answer);
  }
}

}  // namespace
}  // namespace vantel::cli
