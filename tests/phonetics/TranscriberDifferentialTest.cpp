// The transcriber, which tests the rows of a key all at once on automata,
// against the row-by-row reference of tests/phonetics/ReferenceTranscriber.h:
// every word of a large English word list in several cases, generated
// words, and random rule sets that exercise what the English rules do not
// (groups of more than 64 rows, anchors anywhere, contexts outside the
// dialect).

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "phonetics/RuleSet.h"
#include "phonetics/Transcriber.h"
#include "tests/phonetics/EnglishRuleSet.h"
#include "tests/phonetics/RandomPatterns.h"
#include "tests/phonetics/ReferenceTranscriber.h"
#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace vantel::phonetics {
namespace {

using testing::Pick;
using testing::RandomPattern;
using testing::RandomText;
using testing::ReferenceTranscriber;

// Debian's wamerican (scripts/install-deps.sh words).
constexpr const char* kWordList = "/usr/share/dict/words";

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }
char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// The word as written, in lower case, capitalised, in upper case and in
// alternating case.
std::vector<std::u16string> CaseVariants(const std::u16string& word) {
  std::vector<std::u16string> variants(5, word);
  for (std::size_t i = 0; i < word.size(); ++i) {
    variants[1][i] = Lower(word[i]);
    variants[2][i] = i == 0 ? Upper(word[i]) : Lower(word[i]);
    variants[3][i] = Upper(word[i]);
    variants[4][i] = i % 2 == 0 ? Lower(word[i]) : Upper(word[i]);
  }
  return variants;
}

// What either transcriber makes of `word`: the form, or nullopt for a run-time error.
struct Outcome {
  std::optional<std::u16string> form;
  std::int32_t error = 0;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome Product(const RuleSet& rules, std::u16string_view word) {
  std::u16string form = u"left over";
  try {
    TranscribeWord(rules, word, form);
    return {form, 0};
  } catch (const RuntimeError& e) {
    return {std::nullopt, e.number()};
  }
}

Outcome Reference(const ReferenceTranscriber& reference, std::u16string_view word) {
  try {
    return {reference.Transcribe(word), 0};
  } catch (const RuntimeError& e) {
    return {std::nullopt, e.number()};
  }
}

std::string Show(const Outcome& outcome) {
  if (!outcome.form) return "error " + std::to_string(outcome.error);
  std::string shown(1, '\'');
  shown.append(Utf16ToUtf8(*outcome.form)).push_back('\'');
  return shown;
}

// Compares the two on every word; reports the first few that differ.
class Differences {
 public:
  void Check(const RuleSet& rules, const ReferenceTranscriber& reference, std::u16string_view word) {
    ++checked_;
    const Outcome product = Product(rules, word);
    const Outcome expected = Reference(reference, word);
    if (product == expected) return;
    if (++count_ <= 10) {
      ADD_FAILURE() << "'" << Utf16ToUtf8(word) << "': " << Show(product) << ", row by row " << Show(expected);
    }
  }
  std::size_t checked() const { return checked_; }
  std::size_t count() const { return count_; }

 private:
  std::size_t checked_ = 0;
  std::size_t count_ = 0;
};

class TranscriberDifferential : public WithEnglishRules {};

TEST_F(TranscriberDifferential, AgreesOnEveryWordOfTheWordListInFiveCases) {
  std::ifstream list(kWordList);
  ASSERT_TRUE(list) << kWordList << " is missing: scripts/install-deps.sh words installs it";
  const ReferenceTranscriber reference(*rules_);
  Differences differences;
  std::size_t words = 0;
  for (std::string line; std::getline(list, line);) {
    ++words;
    for (const std::u16string& variant : CaseVariants(Utf8ToUtf16(line)))
      differences.Check(*rules_, reference, variant);
  }
  EXPECT_GT(words, 90000u);
  EXPECT_EQ(differences.count(), 0u) << "of " << differences.checked();
}

// Pseudo-words: English-looking syllables, with now and then a character the
// word list lacks (apostrophes, hyphens, spaces, digits, letters beyond ASCII).
TEST_F(TranscriberDifferential, AgreesOnGeneratedWords) {
  static constexpr std::u16string_view kOnsets[] = {u"",   u"b",  u"c",  u"ch", u"d", u"f",  u"g",   u"gh", u"h",
                                                    u"j",  u"k",  u"kn", u"l",  u"m", u"n",  u"p",   u"ph", u"qu",
                                                    u"r",  u"s",  u"sc", u"sh", u"t", u"th", u"thr", u"v",  u"w",
                                                    u"wh", u"wr", u"x",  u"y",  u"z", u"'",  u"-",   u" ",  u"\u00e9"};
  static constexpr std::u16string_view kNuclei[] = {u"a",  u"e",    u"i",  u"o",  u"u",  u"y",  u"ai", u"au", u"aw",
                                                    u"ea", u"ee",   u"ei", u"eu", u"ie", u"oa", u"oo", u"ou", u"ow",
                                                    u"oy", u"ough", u"ar", u"er", u"ir", u"or", u"ur", u"1"};
  static constexpr std::u16string_view kCodas[] = {u"",   u"",    u"b",  u"ck",  u"d",  u"dge", u"e",    u"ed",
                                                   u"es", u"ful", u"gh", u"ing", u"le", u"ly",  u"n",    u"nce",
                                                   u"ng", u"s",   u"'s", u"st",  u"t",  u"tch", u"tion", u"ve"};
  const ReferenceTranscriber reference(*rules_);
  std::mt19937 rng(314159);
  Differences differences;
  for (int w = 0; w < 60000; ++w) {
    std::u16string word;
    for (std::size_t syllables = 1 + Pick(rng, 4); syllables > 0; --syllables) {
      word += kOnsets[Pick(rng, std::size(kOnsets))];
      word += kNuclei[Pick(rng, std::size(kNuclei))];
      word += kCodas[Pick(rng, std::size(kCodas))];
    }
    for (const std::u16string& variant : CaseVariants(word)) differences.Check(*rules_, reference, variant);
  }
  EXPECT_EQ(differences.count(), 0u) << "of " << differences.checked();
}

// A rule set of `count` rules over a small alphabet, so that keys repeat a
// lot; with `crowded`, most rules share the key 'a' (more than 64 rows of a
// key). Each rule's phonemes name its row. Now and then a context lies
// outside the dialect.
std::vector<std::u16string> RandomRules(std::mt19937& rng, std::size_t count, bool crowded) {
  static constexpr std::u16string_view kKeys = u"aabAB'\u00e9";
  static constexpr std::u16string_view kChars = u"abAB'\u00e9";
  std::vector<std::u16string> rules;
  for (std::size_t row = 0; row < count; ++row) {
    std::u16string letters(1, crowded && Pick(rng, 4) != 0 ? u'a' : kKeys[Pick(rng, kKeys.size())]);
    for (std::size_t more = Pick(rng, 4); more > 2; --more) letters += kChars[Pick(rng, kChars.size())];
    const auto context = [&] {
      const std::size_t kind = Pick(rng, 100);
      if (kind < 40) return std::u16string();                                       // holds everywhere
      if (kind < 42) return std::u16string(Pick(rng, 2) == 0 ? u"[a-b]" : u"a|b");  // outside the dialect
      return RandomPattern(rng, 1, kChars);
    };
    const std::u16string left = context();
    const std::u16string right = context();
    std::u16string rule = left;
    rule.append(u" [[ ").append(letters).append(u" ]] ").append(right).append(u" -> <");
    rule.append(Utf8ToUtf16(std::to_string(row))).append(u"> ");
    rules.push_back(std::move(rule));
  }
  return rules;
}

TEST(TranscriberDifferentialRandomRules, AgreeOnRandomRuleSets) {
  std::mt19937 rng(271828);
  Differences differences;
  std::size_t refusals = 0;
  for (int set = 0; set < 400; ++set) {
    const bool crowded = set % 4 == 0;
    const std::vector<std::u16string> source =
        RandomRules(rng, crowded ? 60 + Pick(rng, 200) : 1 + Pick(rng, 40), crowded);
    const std::vector<std::u16string_view> views(source.begin(), source.end());
    RuleSet rules;
    rules.StoreRules(views);
    rules.CompileRules();
    const ReferenceTranscriber reference(rules);
    for (int w = 0; w < 100; ++w) {
      const std::u16string word = RandomText(rng, u"aabAB'\u00e9 x", 10);
      differences.Check(rules, reference, word);
      refusals += !Reference(reference, word).form;
    }
  }
  EXPECT_EQ(differences.count(), 0u) << "of " << differences.checked();
  // Both outcomes came up often enough to mean something.
  EXPECT_GT(refusals, differences.checked() / 50);
  EXPECT_LT(refusals, differences.checked() / 2);
}

}  // namespace
}  // namespace vantel::phonetics
