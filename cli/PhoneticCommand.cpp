#include <ostream>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "vantel/CompareUS.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kPhoneticHelp =
    "Usage: vantel phonetic [WORD...]\n"
    "\n"
    "Prints the phonetic form of each WORD on a line of its own: the English\n"
    "phoneme codes that the sound measure compares. Without WORD, reads one\n"
    "word a line from standard input and writes one form a line; a line that is\n"
    "not valid UTF-8 is reported on standard error and gets an empty line.\n";

// Streams as ComparePairs does: each line is answered as soon as it is read.
int TranscribeLines(CompareUS& transcriber, Streams& streams) {
  Input input(streams.in, "standard input");
  Output& out = streams.out;
  LineReader lines(input, [&out] { out.Flush(); });
  std::u16string word;
  bool anyBad = false;
  std::string_view line;
  while (lines.Next(line)) {
    try {
      Utf8ToUtf16(line, word);
      out.Put(Utf16ToUtf8(transcriber.PhoneticForm(std::u16string_view(word))));
    } catch (const InvalidUtf8& bad) {
      streams.err << "vantel phonetic: " << input.name() << " line " << lines.lineNumber() << ": not valid UTF-8 (byte "
                  << bad.offset() + 1 << ")\n";
      anyBad = true;
    } catch (const RuntimeError& failure) {
      streams.err << "vantel phonetic: " << input.name() << " line " << lines.lineNumber() << ": " << failure.what()
                  << '\n';
      anyBad = true;
    }
    out.Put('\n');
  }
  return anyBad ? kExitFailure : kExitOk;
}

}  // namespace

int RunPhonetic(ArgumentCursor& args, Streams& streams) {
  std::vector<std::string_view> words;
  while (!args.AtEnd()) {
    if (const auto option = args.PeekOption()) {
      if (*option != "--help" && *option != "-h") throw UsageError("unknown option '" + std::string(*option) + "'");
      args.TakeFlag(*option);
      streams.out.Put(kPhoneticHelp);
      return kExitOk;
    }
    if (!args.AtEnd()) words.push_back(args.TakeOperand());
  }

  CompareUS transcriber;
  if (words.empty()) return TranscribeLines(transcriber, streams);

  // Every argument is checked before anything is printed.
  std::vector<std::u16string> converted;
  for (std::size_t i = 0; i < words.size(); ++i) {
    converted.push_back(ArgumentToUtf16(words[i], "WORD " + std::to_string(i + 1)));
  }
  try {
    for (const std::u16string& word : converted) {
      streams.out.Put(Utf16ToUtf8(transcriber.PhoneticForm(std::u16string_view(word))));
      streams.out.Put('\n');
    }
  } catch (const RuntimeError& failure) {
    streams.err << "vantel phonetic: " << failure.what() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace vantel::cli
