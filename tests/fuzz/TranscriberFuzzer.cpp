// libFuzzer target: the transcriber against the row-by-row reference of the
// tests, on the English rules or on a rule set taken from the input, with
// the same form or the same run-time error for every word. Input layout: the
// first byte chooses the rules (even: English; odd: from the input). Then,
// for rules from the input, lines of four fields separated by tabs (left
// context, letters, right context, phonemes) up to a zero byte; then the
// words, one a line. Bytes from 0x80 up stand for characters outside ASCII.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/RuleSet.h"
#include "phonetics/Transcriber.h"
#include "tests/phonetics/ReferenceTranscriber.h"
#include "vantel/Errors.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

std::vector<std::u16string> Lines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::u16string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += static_cast<char16_t>(data[i] < 0x80 ? data[i] : 0x100 + data[i]);
    }
  }
  return lines;
}

// "left\tletters\tright\tphonemes" as a rule; nullopt for a line of another shape.
std::optional<std::u16string> Rule(std::u16string_view line) {
  std::vector<std::u16string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find(u'\t', start);
    fields.push_back(line.substr(start, tab == std::u16string_view::npos ? std::u16string_view::npos : tab - start));
    if (tab == std::u16string_view::npos) break;
    start = tab + 1;
  }
  if (fields.size() != 4 || fields[1].empty()) return std::nullopt;
  std::u16string rule(fields[0]);
  rule.append(u" [[ ").append(fields[1]).append(u" ]] ").append(fields[2]).append(u" -> ").append(fields[3]);
  return rule;
}

std::optional<std::u16string> Transcribe(const vantel::phonetics::RuleSet& rules, std::u16string_view word,
                                         std::int32_t& error) {
  try {
    std::u16string form;
    vantel::phonetics::TranscribeWord(rules, word, form);
    return form;
  } catch (const vantel::RuntimeError& e) {
    error = e.number();
    return std::nullopt;
  }
}

std::optional<std::u16string> Reference(const vantel::phonetics::testing::ReferenceTranscriber& reference,
                                        std::u16string_view word, std::int32_t& error) {
  try {
    return reference.Transcribe(word);
  } catch (const vantel::RuntimeError& e) {
    error = e.number();
    return std::nullopt;
  }
}

// The English rules, compiled once for the whole run, and their reference.
struct English {
  English() : rules(Compiled()), reference(rules) {}
  static vantel::phonetics::RuleSet Compiled() {
    vantel::phonetics::RuleSet english;
    english.LoadEnglishRules();
    english.CompileRules();
    return english;
  }
  vantel::phonetics::RuleSet rules;
  vantel::phonetics::testing::ReferenceTranscriber reference;
};

void CheckWords(const vantel::phonetics::RuleSet& rules,
                const vantel::phonetics::testing::ReferenceTranscriber& reference, const std::uint8_t* data,
                std::size_t size) {
  for (const std::u16string& word : Lines(data, size)) {
    std::int32_t error = 0, referenceError = 0;
    const std::optional<std::u16string> form = Transcribe(rules, word, error);
    const std::optional<std::u16string> expected = Reference(reference, word, referenceError);
    Require(form == expected && error == referenceError);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  if (data[0] % 2 == 0) {
    static const English english;
    CheckWords(english.rules, english.reference, data + 1, size - 1);
    return 0;
  }
  std::size_t end = 1;
  while (end < size && data[end] != 0) ++end;
  std::vector<std::u16string> source;
  for (const std::u16string& line : Lines(data + 1, end - 1)) {
    if (auto rule = Rule(line)) source.push_back(std::move(*rule));
  }
  if (source.empty() || source.size() > 501) return 0;
  const std::vector<std::u16string_view> views(source.begin(), source.end());
  vantel::phonetics::RuleSet rules;
  rules.StoreRules(views);
  try {
    rules.CompileRules();
  } catch (const vantel::RuntimeError&) {
    return 0;  // beyond the automaton cap
  }
  const vantel::phonetics::testing::ReferenceTranscriber reference(rules);
  const std::size_t wordsFrom = end < size ? end + 1 : size;
  CheckWords(rules, reference, data + wordsFrom, size - wordsFrom);
  return 0;
}
