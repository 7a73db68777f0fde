#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/TextInput.h"
#include "cli/TextOutput.h"
#include "tests/cli/RunCommand.h"

namespace vantel::cli {
namespace {

// Hands out its text a few bytes at a time, then fails if asked to.
class ChunkedSource final : public ByteSource {
 public:
  ChunkedSource(std::string text, std::size_t chunk, bool failAtEnd = false)
      : text_(std::move(text)), chunk_(chunk), failAtEnd_(failAtEnd) {}
  std::size_t Read(std::span<char> buffer) override {
    const std::size_t count = std::min({chunk_, buffer.size(), text_.size() - at_});
    if (count == 0 && failAtEnd_) throw ReadError("Input/output error");
    std::copy_n(text_.data() + at_, count, buffer.data());
    at_ += count;
    ++reads;
    return count;
  }
  std::size_t reads = 0;

 private:
  std::string text_;
  std::size_t chunk_;
  bool failAtEnd_;
  std::size_t at_ = 0;
};

std::vector<std::string> ReadAll(const std::string& text, std::size_t chunk) {
  ChunkedSource source(text, chunk);
  Input input(source, "test");
  LineReader reader(input);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.Next(line)) {
    lines.emplace_back(line);
    EXPECT_EQ(reader.lineNumber(), lines.size());
  }
  EXPECT_FALSE(reader.Next(line));  // and stays at the end
  return lines;
}

TEST(LineReader, EndsLinesAtLfCrlfAndCrAndSkipsALeadingByteOrderMark) {
  const std::string longLine(200000, 'x');
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } const cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},  // classic Mac line ends
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {"\r", {""}},
      {"\r\n", {""}},
      {"\n\r\n\r", {"", "", ""}},
      {"\xEF\xBB\xBF"
       "cat\tkat\r\n",
       {"cat\tkat"}},
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB\xBF\n", {""}},
      {"\xEF\xBB", {"\xEF\xBB"}},  // not a whole mark: kept
      {"\xEF\xBB"
       "a",
       {"\xEF\xBB"
        "a"}},
      {"a\n\xEF\xBB\xBF"
       "b",
       {"a",
        "\xEF\xBB\xBF"
        "b"}},  // only the first bytes of the input
      {"\xEF\xBB\xBF\xEF\xBB\xBF"
       "a",
       {"\xEF\xBB\xBF"
        "a"}},  // one mark, not two
      {std::string("tab\there\0nul", 12), {std::string("tab\there\0nul", 12)}},
      {longLine + "\r" + longLine, {longLine, longLine}},
  };
  for (const Case& c : cases) {
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{1} << 20}) {
      EXPECT_EQ(ReadAll(c.text, chunk), c.lines) << "chunks of " << chunk << ": " << c.text.substr(0, 40);
    }
  }
}

TEST(LineReader, NamesTheInputAndTheLastWholeLineOnAReadError) {
  ChunkedSource source("one\ntwo\nthr", 4, /*failAtEnd=*/true);
  Input input(source, "names.txt");
  LineReader reader(input);
  std::string_view line;
  ASSERT_TRUE(reader.Next(line));
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "two");
  try {
    reader.Next(line);
    ADD_FAILURE() << "no error";
  } catch (const InputError& failure) {
    EXPECT_STREQ(failure.what(), "names.txt: read error after line 2: Input/output error");
  }
}

TEST(LineReader, RunsItsHookBeforeEachReadOfTheSource) {
  ChunkedSource source("a\nb\nc\n", 2);
  Input input(source, "test");
  std::size_t waits = 0;
  LineReader reader(input, [&] { ++waits; });
  std::string_view line;
  while (reader.Next(line)) {
  }
  EXPECT_EQ(waits, source.reads);
  EXPECT_GE(waits, 4u);
}

// Takes `room` bytes, then fails.
class FailingSink final : public ByteSink {
 public:
  explicit FailingSink(std::size_t room) : room_(room) {}
  void Write(std::string_view bytes) override {
    ++writes;
    if (bytes.size() > room_) throw WriteError("No space left on device");
    room_ -= bytes.size();
    written.append(bytes);
  }
  std::string written;
  std::size_t writes = 0;

 private:
  std::size_t room_;
};

TEST(Output, BuffersUntilFullOrFlushed) {
  FailingSink sink(SIZE_MAX);
  Output out(sink, "standard output");
  out.Put("ab");
  out.Put('c');
  EXPECT_EQ(sink.writes, 0u);
  out.Flush();
  out.Flush();  // nothing more to write
  EXPECT_EQ(sink.written, "abc");
  EXPECT_EQ(sink.writes, 1u);
  const std::string big(Output::kFlushSize, 'x');
  out.Put(big);
  EXPECT_EQ(sink.writes, 2u);  // written as soon as the buffer is full
}

TEST(Output, ReportsTheFirstFailedWriteAndEveryUseAfterIt) {
  FailingSink sink(2);
  Output out(sink, "standard output");
  out.Put("abc");
  EXPECT_FALSE(out.failed());
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      out.Flush();
      ADD_FAILURE() << "no error";
    } catch (const OutputError& failure) {
      EXPECT_STREQ(failure.what(), "cannot write to standard output: No space left on device");
    }
  }
  EXPECT_TRUE(out.failed());
  EXPECT_EQ(sink.writes, 1u);  // no second try at a sink that failed
}

// A stream whose every write fails, as a full disk's.
class FullBuffer final : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(Cli, ReportsAFailedWriteForEveryCommand) {
  const std::vector<std::vector<std::string_view>> commands = {
      {"compare", "cat", "kat"},
      {"compare", "--pairs", "-"},
      {"phonetic", "cat"},
      {"phonetic"},
      {"match", "-"},
      {"--version"},
  };
  for (const auto& args : commands) {
    std::istringstream in("Smith\tSmyth\nSmith\tSmith\n");
    FullBuffer full;
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(RunCli(args, in, out, err), kExitFailure) << args[0];
    const std::string prefix = args[0] == "--version" ? "vantel" : "vantel " + std::string(args[0]);
    EXPECT_EQ(err.str(), prefix + ": cannot write to standard output: the stream failed\n");
  }
}

TEST(Cli, ReadsEveryInputWithAnyLineEndAndWithoutItsByteOrderMark) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(RunWith({"compare", "--method", "99", "--pairs", "-"}, bom + "Smith\tSmyth\rab\tab\r").out,
            "Smith\tSmyth\t80\nab\tab\t100\n");
  EXPECT_EQ(RunWith({"phonetic"}, bom + "knight\rjudge").out, "nait\njhuhdjh\n");
  const TempFile candidates(bom + "Smyth\r\nJon\r");
  const CliRun run = RunWith({"match", "--method", "99", "--threshold", "0", "-", candidates.path()}, bom + "Smith\r");
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, "1\t1\tSmith\tSmyth\t80\n1\t2\tSmith\tJon\t0\n");
}

}  // namespace
}  // namespace vantel::cli
