// The transcription as the rules are written down, row by row: at each
// position every row is tried in ascending order, its key compared exactly,
// its further letters ignoring the case of ASCII letters, its right context
// tested just after the letters in the remaining text and its left context at
// the end of the consumed text; the first row that passes applies, and a
// character that no row covers stands for itself. The product's matcher
// tests all rows of a key at once on automata; this one is kept to check it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/RuleSet.h"
#include "tests/phonetics/ReferencePattern.h"
#include "vantel/Errors.h"

namespace vantel::phonetics::testing {

class ReferenceTranscriber {
 public:
  // Reads rows 0 to RuleCount of a compiled rule set.
  explicit ReferenceTranscriber(const RuleSet& rules) {
    for (std::size_t i = 0; i <= static_cast<std::size_t>(rules.RuleCount()); ++i) {
      const RuleRow row = rules.RuleTable()[i];
      rows_.push_back({std::u16string(row.key), std::u16string(row.letters), std::u16string(row.phonemes),
                       ReferencePattern::Parse(row.leftContext), ReferencePattern::Parse(row.rightContext)});
    }
  }

  // Throws RuntimeError (syntax error in regular expression) when it reaches
  // a row with a context outside the dialect.
  std::u16string Transcribe(std::u16string_view word) const {
    std::u16string form;
    std::size_t position = 0;
    while (position < word.size()) {
      const std::u16string_view consumed = word.substr(0, position);
      const std::u16string_view remaining = word.substr(position);
      const Row* applies = nullptr;
      for (const Row& row : rows_) {
        if (row.key.front() != remaining.front()) continue;
        if (!row.left || !row.right) throw RuntimeError(error::kRegexSyntax);
        if (BeginsWith(remaining, row.letters) && row.right->MatchesAt(remaining, row.letters.size()) &&
            row.left->MatchesEndingAt(consumed, consumed.size())) {
          applies = &row;
          break;
        }
      }
      if (applies == nullptr) {
        form += remaining.front();
        ++position;
      } else {
        form += applies->phonemes;
        position += applies->letters.size();
      }
    }
    return form;
  }

 private:
  struct Row {
    std::u16string key, letters, phonemes;
    std::optional<ReferencePattern> left, right;
  };

  static char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

  // The key has been compared exactly; the further letters ignore case.
  static bool BeginsWith(std::u16string_view remaining, std::u16string_view letters) {
    if (letters.size() > remaining.size()) return false;
    for (std::size_t i = 1; i < letters.size(); ++i) {
      if (Fold(remaining[i]) != Fold(letters[i])) return false;
    }
    return true;
  }

  std::vector<Row> rows_;
};

}  // namespace vantel::phonetics::testing
