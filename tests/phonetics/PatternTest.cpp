// GCC 12's <regex>, instantiated here for the reference engine, sets off
// false -Wmaybe-uninitialized warnings inside std::function in sanitizer
// builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "phonetics/Pattern.h"
#include "phonetics/RuleSet.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vantel::phonetics {
namespace {

Pattern MustCompile(std::u16string_view text, std::size_t maxStates = Pattern::kDefaultMaxAutomatonStates) {
  std::optional<Pattern> pattern = Pattern::Compile(text, maxStates);
  if (!pattern) ADD_FAILURE() << "refused: " << ::testing::PrintToString(std::u16string(text));
  return pattern ? *pattern : *Pattern::Compile(u"");
}

// Both engines of a pattern: the automata, and the simulation they fall back on.
std::vector<Pattern> BothEngines(std::u16string_view text) { return {MustCompile(text), MustCompile(text, 0)}; }

std::size_t Pick(std::mt19937& rng, std::size_t bound) { return static_cast<std::size_t>(rng() % bound); }

std::string Describe(std::u16string_view pattern, std::u16string_view subject, std::size_t at) {
  return "pattern " + ::testing::PrintToString(std::u16string(pattern)) + " subject " +
         ::testing::PrintToString(std::u16string(subject)) + " at " + std::to_string(at);
}

// ---------------------------------------------------------------------------
// Dialect

TEST(PatternCompile, RefusesWhatIsOutsideTheDialect) {
  const std::u16string deep = std::u16string(201, u'(') + u"a" + std::u16string(201, u')');
  const std::u16string refused[] = {
      u"a|b",  u"|",     u"(a)|b", u"(a",   u"a)",     u"(a|b))", u"((a)",  u")(",    u"[a",    u"a]",  u"[]", u"[]a]",
      u"[^a]", u"[a-z]", u"[-a]",  u"[a-]", u"[a^]",   u"[a\\]]", u"[[a]]", u"[a[]",  u"\\d",   u"a\\", u".",  u"a.",
      u"a?",   u"[a]?",  u"[a]+?", u"a{2}", u"[a]{2}", u"a}",     u"{",     u"a+",    u"a*",    u"'+",  u"+",  u"*a",
      u"(a)+", u"(a)*",  u"()*",   u"^*",   u"$+",     u"[a]+*",  u"[a]++", u"[a]*+", u"[a]**", deep,
  };
  for (const std::u16string& text : refused) {
    EXPECT_FALSE(Pattern::Compile(text).has_value()) << ::testing::PrintToString(text);
  }
}

TEST(PatternCompile, AcceptsTheDialect) {
  const std::u16string nested = std::u16string(200, u'(') + u"a" + std::u16string(200, u')');
  const std::u16string accepted[] = {
      u"",     u"a",    u"'",      u" ",         u"1",
      u"-",    u"é",    u"\u212A", u"[a]",       u"[a]+",
      u"[a]*", u"[aa]", u"[.]",    u"[$(|)*+]",  u"^",
      u"$",    u"$$",   u"a^b",    u"^$",        u"()",
      u"(|)",  u"(a|)", u"(|a)",   u"((a|b)|c)", u"[bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely)",
      nested,
  };
  for (const std::u16string& text : accepted) {
    EXPECT_TRUE(Pattern::Compile(text).has_value()) << ::testing::PrintToString(text);
  }
}

// ---------------------------------------------------------------------------
// Entry points, case by case

struct PositionCase {
  std::u16string_view pattern;
  std::u16string_view subject;
  std::size_t at;
  bool expected;
};

TEST(PatternMatchesAt, Cases) {
  const PositionCase cases[] = {
      {u"", u"", 0, true},
      {u"", u"abc", 3, true},
      {u"", u"abc", 4, false},  // beyond the subject
      {u"$", u"", 0, true},
      {u"$", u"are", 3, true},
      {u"$", u"ares", 3, false},
      {u"^", u"abc", 0, true},
      {u"^", u"abc", 1, false},
      {u"[aeiou]+", u"bEat", 1, true},
      {u"[aeiou]+", u"bEat", 0, false},
      {u"[aeiou]+", u"b", 1, false},
      {u"o", u"arO", 2, true},
      {u"wa", u"aWA", 1, true},
      {u"wa", u"aw", 1, false},
      {u"d$", u"eD", 1, true},
      {u"d$", u"eds", 1, false},
      {u"st$", u"oSt", 1, true},
      {u"st$", u"ostly", 1, false},
      {u"'", u"sn'", 2, true},
      // Alternatives of different lengths; only the start is fixed.
      {u"(er|e|es|ed|ing|ely)", u"iNg", 0, true},
      {u"(er|e|es|ed|ing|ely)", u"in", 0, false},
      {u"(er|e|es|ed|ing|ely)", u"el", 0, true},
      {u"(ing)", u"in", 0, false},
      {u"[bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely)", u"ak", 1, false},
      {u"[bcdfghjklmnpqrstvwxyz](er|e|es|ed|ing|ely)", u"akiNG", 1, true},
      {u"[bcdfghjklmnpqrstvwxyz][eiy][bcdfghjklmnpqrstvwxyz]*[aeiou]+", u"aritrsa", 1, true},
      {u"[bcdfghjklmnpqrstvwxyz][eiy][bcdfghjklmnpqrstvwxyz]*[aeiou]+", u"aritrs", 1, false},
      {u"[bcdfghjklmnpqrstvwxyz][eiy]$", u"aKE", 1, true},
      {u"[bcdfghjklmnpqrstvwxyz][eiy]$", u"aKEs", 1, false},
      {u"[a]*$", u"aab", 0, false},
      {u"[a]*$", u"aA", 0, true},
      {u"[a]*b", u"b", 0, true},
      {u"TH", u"th", 0, true},
      // Anchors wherever they stand.
      {u"a^b", u"ab", 0, false},
      {u"^^a", u"a", 0, true},
      {u"$$", u"a", 1, true},
      {u"a$b", u"ab", 0, false},
      {u"^$", u"", 0, true},
      {u"^$", u"a", 0, false},
      {u"(^|x)a", u"xa", 1, false},
      {u"(^|x)a", u"xa", 0, true},
      {u"(^|x)a", u"a", 0, true},
      {u"(a$|b)", u"ac", 0, false},
      {u"(a$|b)", u"a", 0, true},
      {u"a($|b)", u"ab", 0, true},
      {u"()(|)", u"", 0, true},
      // Only ASCII letters fold.
      {u"é", u"É", 0, false},
      {u"é", u"é", 0, true},
      {u"e", u"é", 0, false},
      {u"[aé]+$", u"AéA", 0, true},
      {u"k", u"\u212A", 0, false},
      {u"[k]", u"\u212A", 0, false},
      {u"\u212A", u"k", 0, false},
      {u"\u212A", u"K", 0, false},
      {u"\u212A", u"\u212A", 0, true},
      {u"a", u"\u0000a", 0, false},
      {u"\uFFFF", u"\uFFFF", 0, true},
      {u"1", u"1", 0, true},
      {u"[.]", u"a", 0, false},
      {u"[.]", u".", 0, true},
      {u"[$]", u"$", 0, true},
      {u"@", u"`", 0, false},  // neighbours of the letters do not fold
  };
  for (const PositionCase& c : cases) {
    for (const Pattern& pattern : BothEngines(c.pattern)) {
      EXPECT_EQ(pattern.MatchesAt(c.subject, c.at), c.expected) << Describe(c.pattern, c.subject, c.at);
    }
  }
}

TEST(PatternMatchesEndingAt, Cases) {
  const PositionCase cases[] = {
      {u"", u"", 0, true},
      {u"", u"ab", 2, true},
      {u"", u"ab", 1, true},
      {u"", u"ab", 3, false},  // beyond the subject
      {u"^", u"", 0, true},
      {u"^", u"c", 1, false},
      {u"^", u"c", 0, true},
      {u"$", u"ab", 1, false},
      {u"$", u"ab", 2, true},
      {u"l", u"baL", 3, true},
      {u"l", u"labe", 4, false},
      {u"^s", u"S", 1, true},
      {u"^s", u"as", 2, false},
      {u"^[bcdfghjklmnpqrstvwxyz]*", u"", 0, true},
      {u"^[bcdfghjklmnpqrstvwxyz]*", u"mR", 2, true},
      {u"^[bcdfghjklmnpqrstvwxyz]*", u"am", 2, false},
      {u"^[bcdfghjklmnpqrstvwxyz]*", u"am", 0, true},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*", u"bAK", 3, true},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*", u"bk", 2, false},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bdvjlmnrw]e", u"tAbLE", 5, true},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bdvjlmnrw]e", u"table", 4, false},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz][aeiou]+[aeiou]+", u"oblea", 5, true},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz][aeiou]+[aeiou]+", u"obla", 4, false},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*ch", u"eaTCH", 5, true},
      {u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*ch", u"tch", 3, false},
      {u"^b[aeiou]+", u"bEa", 3, true},
      {u"^b[aeiou]+", u"abea", 4, false},
      {u"a$", u"ba", 2, true},
      {u"a$", u"bab", 2, false},
      {u"^a", u"a", 1, true},
      {u"^a", u"ba", 2, false},
      {u"(er|e|ing)", u"bring", 5, true},
      {u"(er|e|ing)", u"brin", 4, false},
      {u"(er|e|ing)", u"bER", 3, true},
      {u"a^", u"a", 1, false},
      {u"$^", u"", 0, true},
      {u"(^|b)a", u"ba", 2, true},
      {u"(^|b)a", u"ca", 2, false},
      {u"(^|b)a", u"a", 1, true},
      {u"[é]", u"É", 1, false},
      {u"K", u"\u212A", 1, false},
  };
  for (const PositionCase& c : cases) {
    for (const Pattern& pattern : BothEngines(c.pattern)) {
      EXPECT_EQ(pattern.MatchesEndingAt(c.subject, c.at), c.expected) << Describe(c.pattern, c.subject, c.at);
    }
  }
}

TEST(PatternSearch, Cases) {
  const PositionCase cases[] = {
      {u"", u"", 0, true},
      {u"", u"xyz", 0, true},
      {u"$", u"", 0, true},
      {u"^", u"", 0, true},
      {u"^$", u"", 0, true},
      {u"^$", u"a", 0, false},
      {u"a^", u"a", 0, false},
      {u"$^", u"", 0, true},
      {u"$^", u"a", 0, false},
      {u"x$^", u"x", 0, false},
      {u"[aeiou]+", u"xyz", 0, false},
      {u"[aeiou]+", u"xyU", 0, true},
      {u"(ing|ed)$", u"walkED", 0, true},
      {u"(ing|ed)$", u"edge", 0, false},
      {u"^[bcdfghjklmnpqrstvwxyz]*$", u"Rhythm", 0, true},
      {u"^[bcdfghjklmnpqrstvwxyz]*$", u"Rhythms1", 0, false},
      {u"l$", u"bal", 0, true},
      {u"l$", u"labe", 0, false},
      {u"ab", u"aab", 0, true},  // a failed start must not hide a later one
      {u"aab", u"aaab", 0, true},
      {u"[é]", u"É", 0, false},
      {u"k", u"\u212A", 0, false},
      {u"q", u"Q", 0, true},
  };
  for (const PositionCase& c : cases) {
    for (const Pattern& pattern : BothEngines(c.pattern)) {
      EXPECT_EQ(pattern.Search(c.subject), c.expected) << Describe(c.pattern, c.subject, 0);
    }
  }
}

TEST(Pattern, CopiesOutliveTheOriginal) {
  std::optional<Pattern> copy;
  {
    const Pattern original = MustCompile(u"[aeiou]+n");
    copy = original;
  }
  EXPECT_TRUE(copy->MatchesAt(u"xAn", 1));
  EXPECT_FALSE(copy->MatchesAt(u"xAm", 1));
}

TEST(Pattern, LargeAutomataFallBackToTheSimulation) {
  // Forwards, the automaton must remember the last ten characters.
  const std::u16string text = u"[ab]*a[ab][ab][ab][ab][ab][ab][ab][ab][ab][ab]";
  const Pattern pattern = MustCompile(text);
  EXPECT_FALSE(pattern.IsDeterministic());
  EXPECT_TRUE(MustCompile(u"[aeiou]+[bcdfghjklmnpqrstvwxyz]*[bcdfghjklmnpqrstvwxyz][aeiou]+").IsDeterministic());

  const std::wregex reference(L"[ab]*a[ab][ab][ab][ab][ab][ab][ab][ab][ab][ab]",
                              std::regex_constants::ECMAScript | std::regex_constants::icase);
  std::mt19937 rng(7);
  for (int i = 0; i < 300; ++i) {
    std::u16string subject;
    std::wstring wide;
    const std::size_t length = Pick(rng, 16);
    for (std::size_t k = 0; k < length; ++k) {
      const char16_t c = u"abB"[Pick(rng, 3)];
      subject += c;
      wide += static_cast<wchar_t>(c);
    }
    for (std::size_t at = 0; at <= length; ++at) {
      const bool expected =
          std::regex_search(wide.cbegin() + static_cast<std::ptrdiff_t>(at), wide.cend(), reference,
                            std::regex_constants::match_continuous |
                                (at > 0 ? std::regex_constants::match_not_bol : std::regex_constants::match_default));
      EXPECT_EQ(pattern.MatchesAt(subject, at), expected) << Describe(text, subject, at);
    }
    EXPECT_EQ(pattern.Search(subject), std::regex_search(wide, reference)) << Describe(text, subject, 0);
  }
}

// ---------------------------------------------------------------------------
// Agreement with std::wregex. In the "C" locale its case-insensitive mode
// folds exactly the ASCII letters, so subjects may mix case and hold 'é'.

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wregex Reference(std::u16string_view text) {
  return std::wregex(Wide(text), std::regex_constants::ECMAScript | std::regex_constants::icase);
}

std::u16string RandomText(std::mt19937& rng, std::u16string_view alphabet, std::size_t maxLength) {
  std::u16string text;
  const std::size_t length = Pick(rng, maxLength + 1);
  for (std::size_t i = 0; i < length; ++i) text += alphabet[Pick(rng, alphabet.size())];
  return text;
}

// Tallies the answers so that a run where one answer never comes up fails.
struct Tally {
  std::size_t yes = 0;
  std::size_t no = 0;
  void Add(bool answer) { ++(answer ? yes : no); }
  void ExpectBothCommon() const {
    const std::size_t total = yes + no;
    EXPECT_GT(yes * 20, total) << yes << " matches of " << total;
    EXPECT_GT(no * 20, total) << no << " failures of " << total;
  }
};

// The distinct left or right contexts of the English rule set, as compiled.
std::vector<std::u16string> ContextsOfTheRuleSet(std::u16string RuleRow::*context) {
  RuleSet rules;
  rules.LoadEnglishRules();
  rules.CompileRules();
  std::set<std::u16string> distinct;
  for (const RuleRow& row : rules.RuleTable().first(static_cast<std::size_t>(rules.RuleCount()) + 1)) {
    distinct.insert(row.*context);
  }
  return {distinct.begin(), distinct.end()};
}

// Letters in both cases, the characters a rule context names standing out so
// that its literals come up often, and some that no context names.
std::u16string AlphabetFor(std::u16string_view context) {
  std::u16string alphabet = u"aEiOuyBcDgLnRsTw' 1é";
  bool inClass = false;
  for (const char16_t c : context) {
    if (c == u'[' || c == u']') inClass = c == u'[';
    if (!inClass && c >= u'a' && c <= u'z') alphabet += {c, c, static_cast<char16_t>(c - 32)};
  }
  return alphabet;
}

TEST(PatternAgreement, LeftContextsOfTheRuleSet) {
  std::mt19937 rng(2024);
  Tally tally;
  const std::vector<std::u16string> contexts = ContextsOfTheRuleSet(&RuleRow::leftContext);
  ASSERT_GT(contexts.size(), 40u);
  for (const std::u16string& left : contexts) {
    const std::u16string composed = std::u16string(left) + u"$";
    const std::wregex reference = Reference(composed);
    const Pattern pattern = MustCompile(left);
    const Pattern whole = MustCompile(composed);
    const std::u16string alphabet = AlphabetFor(left);
    for (int i = 0; i < 400; ++i) {
      const std::u16string consumed = RandomText(rng, alphabet, 7);
      const bool expected = std::regex_search(Wide(consumed), reference);
      tally.Add(expected);
      EXPECT_EQ(pattern.MatchesEndingAt(consumed, consumed.size()), expected)
          << Describe(left, consumed, consumed.size());
      EXPECT_EQ(whole.Search(consumed), expected) << Describe(composed, consumed, 0);
    }
  }
  tally.ExpectBothCommon();
}

TEST(PatternAgreement, RightContextsOfTheRuleSet) {
  constexpr std::u16string_view kLetters[] = {u"", u"e", u"ar", u"'s"};
  std::mt19937 rng(2025);
  Tally tally;
  const std::vector<std::u16string> contexts = ContextsOfTheRuleSet(&RuleRow::rightContext);
  ASSERT_GT(contexts.size(), 40u);
  for (const std::u16string& right : contexts) {
    const Pattern pattern = MustCompile(right);
    const std::u16string alphabet = AlphabetFor(right);
    for (const std::u16string_view letters : kLetters) {
      std::u16string composed = u"^";
      composed.append(letters).append(right);
      const std::wregex reference = Reference(composed);
      for (int i = 0; i < 100; ++i) {
        // The letters in any case, as the matcher has already checked them.
        std::u16string remaining(letters);
        for (char16_t& c : remaining) {
          if (c >= u'a' && c <= u'z' && Pick(rng, 2) == 0) c = static_cast<char16_t>(c - 32);
        }
        remaining += RandomText(rng, alphabet, 6);
        const bool expected = std::regex_search(Wide(remaining), reference);
        tally.Add(expected);
        EXPECT_EQ(pattern.MatchesAt(remaining, letters.size()), expected) << Describe(right, remaining, letters.size());
      }
    }
  }
  tally.ExpectBothCommon();
}

// A random pattern of the whole dialect, anchors anywhere, groups nested.
std::u16string RandomPattern(std::mt19937& rng, int depth) {
  static constexpr std::u16string_view kChars = u"abAB'é 1";
  std::u16string text;
  const std::size_t elements = Pick(rng, 5);
  for (std::size_t e = 0; e < elements; ++e) {
    const std::size_t kind = Pick(rng, 100);
    if (kind < 35) {
      text += kChars[Pick(rng, kChars.size())];
    } else if (kind < 70) {
      text += u'[';
      const std::size_t members = 1 + Pick(rng, 3);
      for (std::size_t m = 0; m < members; ++m) text += kChars[Pick(rng, kChars.size())];
      text += u']';
      const std::size_t quantifier = Pick(rng, 3);
      if (quantifier > 0) text += quantifier == 1 ? u'+' : u'*';
    } else if (kind < 80) {
      text += Pick(rng, 2) == 0 ? u'^' : u'$';
    } else if (depth < 3) {
      text += u'(';
      const std::size_t alternatives = 1 + Pick(rng, 3);
      for (std::size_t a = 0; a < alternatives; ++a) {
        if (a > 0) text += u'|';
        text += RandomPattern(rng, depth + 1);
      }
      text += u')';
    }
  }
  return text;
}

TEST(PatternAgreement, RandomPatternsOfTheDialect) {
  constexpr int kPatterns = 3000;
  constexpr int kSubjectsPerPattern = 10;
  std::mt19937 rng(12345);
  Tally search;
  Tally atStart;
  Tally atEnd;
  using std::regex_constants::match_continuous;
  using std::regex_constants::match_default;
  using std::regex_constants::match_not_bol;
  using std::regex_constants::match_not_eol;
  for (int p = 0; p < kPatterns; ++p) {
    const std::u16string text = RandomPattern(rng, 0);
    const std::vector<Pattern> engines = BothEngines(text);
    const std::wregex reference = Reference(text);
    // Matches ending where the searched range ends; match_not_eol keeps "$"
    // from holding there unless the range reaches the end of the subject.
    std::u16string ending = u"(?:";
    ending.append(text).append(u")(?![\\s\\S])");
    const std::wregex endingReference = Reference(ending);
    for (int s = 0; s < kSubjectsPerPattern; ++s) {
      const std::u16string subject = RandomText(rng, u"abAB'é 1", 8);
      const std::wstring wide = Wide(subject);
      const bool found = std::regex_search(wide, reference);
      search.Add(found);
      for (const Pattern& pattern : engines) ASSERT_EQ(pattern.Search(subject), found) << Describe(text, subject, 0);
      for (std::size_t at = 0; at <= subject.size(); ++at) {
        const auto offset = wide.cbegin() + static_cast<std::ptrdiff_t>(at);
        const bool starts = std::regex_search(offset, wide.cend(), reference,
                                              match_continuous | (at > 0 ? match_not_bol : match_default));
        const bool ends = std::regex_search(wide.cbegin(), offset, endingReference,
                                            at < subject.size() ? match_not_eol : match_default);
        atStart.Add(starts);
        atEnd.Add(ends);
        for (const Pattern& pattern : engines) {
          ASSERT_EQ(pattern.MatchesAt(subject, at), starts) << Describe(text, subject, at);
          ASSERT_EQ(pattern.MatchesEndingAt(subject, at), ends) << Describe(text, subject, at);
        }
      }
    }
  }
  search.ExpectBothCommon();
  atStart.ExpectBothCommon();
  atEnd.ExpectBothCommon();
}

}  // namespace
}  // namespace vantel::phonetics
