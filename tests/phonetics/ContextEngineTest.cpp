// GCC 12's <regex>, instantiated here for the reference engine, sets off
// false -Wmaybe-uninitialized warnings inside std::function in sanitizer
// builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/CompiledRules.h"
#include "phonetics/ContextAutomaton.h"
#include "phonetics/ContextSyntax.h"
#include "phonetics/ContextWalk.h"
#include "phonetics/RuleSet.h"
#include "tests/phonetics/RandomPatterns.h"
#include "tests/phonetics/ReferencePattern.h"
#include "vantel/Errors.h"

namespace vantel::phonetics {
namespace {

using testing::Pick;
using testing::RandomPattern;
using testing::RandomText;
using testing::ReferencePattern;

// One pattern as a set of one, both ways round, and the reference matcher
// of the same text.
struct OnePattern {
  std::optional<ContextAutomaton> forward;
  std::optional<ContextAutomaton> backward;
  std::optional<ReferencePattern> reference;

  bool MatchesAt(std::u16string_view subject, std::size_t at) const {
    return WalkForward<Settle::kEvery>(*forward, subject, at, 1) == 1;
  }
  bool MatchesEndingAt(std::u16string_view subject, std::size_t end) const {
    return WalkBackward<Settle::kEvery>(*backward, subject, end, 1) == 1;
  }
};

OnePattern Compile(std::u16string_view text) {
  OnePattern compiled;
  const std::optional<ContextSequence> tree = ParseContext(text);
  compiled.reference = ReferencePattern::Parse(text);
  if (!tree || !compiled.reference) {
    ADD_FAILURE() << "refused: " << ::testing::PrintToString(std::u16string(text));
    return Compile(u"");
  }
  const ContextMember member[] = {{0, &*tree}};
  compiled.forward = ContextAutomaton::Build(member, ScanDirection::kForward);
  compiled.backward = ContextAutomaton::Build(member, ScanDirection::kBackward);
  if (!compiled.forward || !compiled.backward) {
    ADD_FAILURE() << "no automaton for " << ::testing::PrintToString(std::u16string(text));
    return Compile(u"");
  }
  return compiled;
}

std::string Describe(std::u16string_view pattern, std::u16string_view subject, std::size_t at) {
  return "pattern " + ::testing::PrintToString(std::u16string(pattern)) + " subject " +
         ::testing::PrintToString(std::u16string(subject)) + " at " + std::to_string(at);
}

// ---------------------------------------------------------------------------
// Dialect

TEST(ContextSyntax, RefusesWhatIsOutsideTheDialect) {
  const std::u16string deep = std::u16string(201, u'(') + u"a" + std::u16string(201, u')');
  const std::u16string refused[] = {
      u"a|b",  u"|",     u"(a)|b", u"(a",   u"a)",     u"(a|b))", u"((a)",  u")(",    u"[a",    u"a]",  u"[]", u"[]a]",
      u"[^a]", u"[a-z]", u"[-a]",  u"[a-]", u"[a^]",   u"[a\\]]", u"[[a]]", u"[a[]",  u"\\d",   u"a\\", u".",  u"a.",
      u"a?",   u"[a]?",  u"[a]+?", u"a{2}", u"[a]{2}", u"a}",     u"{",     u"a+",    u"a*",    u"'+",  u"+",  u"*a",
      u"(a)+", u"(a)*",  u"()*",   u"^*",   u"$+",     u"[a]+*",  u"[a]++", u"[a]*+", u"[a]**", deep,
  };
  for (const std::u16string& text : refused) {
    EXPECT_FALSE(ParseContext(text).has_value()) << ::testing::PrintToString(text);
    EXPECT_FALSE(ReferencePattern::Parse(text).has_value()) << ::testing::PrintToString(text);
  }
}

TEST(ContextSyntax, AcceptsTheDialect) {
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
    EXPECT_TRUE(ParseContext(text).has_value()) << ::testing::PrintToString(text);
    EXPECT_TRUE(ReferencePattern::Parse(text).has_value()) << ::testing::PrintToString(text);
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

TEST(ContextWalkForward, Cases) {
  const PositionCase cases[] = {
      {u"", u"", 0, true},
      {u"", u"abc", 3, true},
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
    const OnePattern pattern = Compile(c.pattern);
    EXPECT_EQ(pattern.MatchesAt(c.subject, c.at), c.expected) << Describe(c.pattern, c.subject, c.at);
    EXPECT_EQ(pattern.reference->MatchesAt(c.subject, c.at), c.expected) << Describe(c.pattern, c.subject, c.at);
  }
}

TEST(ContextWalkBackward, Cases) {
  const PositionCase cases[] = {
      {u"", u"", 0, true},
      {u"", u"ab", 2, true},
      {u"", u"ab", 1, true},
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
    const OnePattern pattern = Compile(c.pattern);
    EXPECT_EQ(pattern.MatchesEndingAt(c.subject, c.at), c.expected) << Describe(c.pattern, c.subject, c.at);
    EXPECT_EQ(pattern.reference->MatchesEndingAt(c.subject, c.at), c.expected) << Describe(c.pattern, c.subject, c.at);
  }
}

// ---------------------------------------------------------------------------
// Agreement with std::wregex. In the "C" locale its case-insensitive mode
// folds exactly the ASCII letters, so subjects may mix case and hold 'é'.

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wregex Reference(std::u16string_view text) {
  return std::wregex(Wide(text), std::regex_constants::ECMAScript | std::regex_constants::icase);
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
template <typename Context>
std::vector<std::u16string> ContextsOfTheRuleSet(Context context) {
  RuleSet rules;
  rules.LoadEnglishRules();
  rules.CompileRules();
  std::set<std::u16string> distinct;
  for (std::size_t row = 0; row <= static_cast<std::size_t>(rules.RuleCount()); ++row) {
    distinct.emplace(context(rules.RuleTable()[row]));
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

TEST(ContextAgreement, LeftContextsOfTheRuleSet) {
  std::mt19937 rng(2024);
  Tally tally;
  const std::vector<std::u16string> contexts = ContextsOfTheRuleSet([](const RuleRow& row) { return row.leftContext; });
  ASSERT_GT(contexts.size(), 40u);
  for (const std::u16string& left : contexts) {
    const std::u16string composed = std::u16string(left) + u"$";
    const std::wregex reference = Reference(composed);
    const OnePattern pattern = Compile(left);
    const std::u16string alphabet = AlphabetFor(left);
    for (int i = 0; i < 400; ++i) {
      const std::u16string consumed = RandomText(rng, alphabet, 7);
      const bool expected = std::regex_search(Wide(consumed), reference);
      tally.Add(expected);
      EXPECT_EQ(pattern.MatchesEndingAt(consumed, consumed.size()), expected)
          << Describe(left, consumed, consumed.size());
      EXPECT_EQ(pattern.reference->MatchesEndingAt(consumed, consumed.size()), expected)
          << Describe(left, consumed, consumed.size());
    }
  }
  tally.ExpectBothCommon();
}

TEST(ContextAgreement, RightContextsOfTheRuleSet) {
  constexpr std::u16string_view kLetters[] = {u"", u"e", u"ar", u"'s"};
  std::mt19937 rng(2025);
  Tally tally;
  const std::vector<std::u16string> contexts =
      ContextsOfTheRuleSet([](const RuleRow& row) { return row.rightContext; });
  ASSERT_GT(contexts.size(), 40u);
  for (const std::u16string& right : contexts) {
    const OnePattern pattern = Compile(right);
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
        EXPECT_EQ(pattern.reference->MatchesAt(remaining, letters.size()), expected)
            << Describe(right, remaining, letters.size());
      }
    }
  }
  tally.ExpectBothCommon();
}

TEST(ContextAgreement, RandomPatternsOfTheDialect) {
  constexpr int kPatterns = 3000;
  constexpr int kSubjectsPerPattern = 10;
  std::mt19937 rng(12345);
  Tally atStart;
  Tally atEnd;
  using std::regex_constants::match_continuous;
  using std::regex_constants::match_default;
  using std::regex_constants::match_not_bol;
  using std::regex_constants::match_not_eol;
  for (int p = 0; p < kPatterns; ++p) {
    const std::u16string text = RandomPattern(rng, 0);
    const OnePattern pattern = Compile(text);
    const std::wregex reference = Reference(text);
    // Matches ending where the searched range ends; match_not_eol keeps "$"
    // from holding there unless the range reaches the end of the subject.
    std::u16string ending = u"(?:";
    ending.append(text).append(u")(?![\\s\\S])");
    const std::wregex endingReference = Reference(ending);
    for (int s = 0; s < kSubjectsPerPattern; ++s) {
      const std::u16string subject = RandomText(rng, u"abAB'é 1", 8);
      const std::wstring wide = Wide(subject);
      for (std::size_t at = 0; at <= subject.size(); ++at) {
        const auto offset = wide.cbegin() + static_cast<std::ptrdiff_t>(at);
        const bool starts = std::regex_search(offset, wide.cend(), reference,
                                              match_continuous | (at > 0 ? match_not_bol : match_default));
        const bool ends = std::regex_search(wide.cbegin(), offset, endingReference,
                                            at < subject.size() ? match_not_eol : match_default);
        atStart.Add(starts);
        atEnd.Add(ends);
        ASSERT_EQ(pattern.MatchesAt(subject, at), starts) << Describe(text, subject, at);
        ASSERT_EQ(pattern.MatchesEndingAt(subject, at), ends) << Describe(text, subject, at);
        ASSERT_EQ(pattern.reference->MatchesAt(subject, at), starts) << Describe(text, subject, at);
        ASSERT_EQ(pattern.reference->MatchesEndingAt(subject, at), ends) << Describe(text, subject, at);
      }
    }
  }
  atStart.ExpectBothCommon();
  atEnd.ExpectBothCommon();
}

// ---------------------------------------------------------------------------
// Sets of patterns: one walk answers for every member as its own automaton
// would, and the lowest-member walk for the lowest member that matches.

TEST(ContextAutomatonSets, AnswerForEveryMemberAtOnce) {
  std::mt19937 rng(4242);
  Tally lowest;
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = 1 + Pick(rng, 64);
    std::vector<std::u16string> texts;
    std::vector<ContextSequence> trees;
    std::vector<ReferencePattern> references;
    trees.reserve(size);
    while (trees.size() < size) {
      std::u16string text = RandomPattern(rng, 0);
      std::optional<ContextSequence> tree = ParseContext(text);
      ASSERT_TRUE(tree.has_value()) << ::testing::PrintToString(text);
      trees.push_back(std::move(*tree));
      references.push_back(*ReferencePattern::Parse(text));
      texts.push_back(std::move(text));
    }
    // Members on bits spread over the word, not only the lowest ones.
    std::vector<unsigned> bits(64);
    for (unsigned b = 0; b < 64; ++b) bits[b] = b;
    std::shuffle(bits.begin(), bits.end(), rng);
    bits.resize(size);
    std::vector<ContextMember> members;
    for (std::size_t m = 0; m < size; ++m) members.push_back({bits[m], &trees[m]});
    const std::optional<ContextAutomaton> forward = ContextAutomaton::Build(members, ScanDirection::kForward);
    const std::optional<ContextAutomaton> backward = ContextAutomaton::Build(members, ScanDirection::kBackward);
    ASSERT_TRUE(forward && backward);
    for (int s = 0; s < 20; ++s) {
      const std::u16string subject = RandomText(rng, u"abAB'é 1", 8);
      const std::uint64_t wanted = rng() | (std::uint64_t{rng()} << 32);
      for (std::size_t at = 0; at <= subject.size(); ++at) {
        std::uint64_t starting = 0, ending = 0;
        for (std::size_t m = 0; m < size; ++m) {
          if (references[m].MatchesAt(subject, at)) starting |= std::uint64_t{1} << bits[m];
          if (references[m].MatchesEndingAt(subject, at)) ending |= std::uint64_t{1} << bits[m];
        }
        const auto lowestOf = [](std::uint64_t set) { return set & (~set + 1); };
        ASSERT_EQ(WalkForward<Settle::kEvery>(*forward, subject, at, ~std::uint64_t{0}), starting)
            << round << " " << Describe(u"", subject, at);
        ASSERT_EQ(WalkBackward<Settle::kEvery>(*backward, subject, at, ~std::uint64_t{0}), ending)
            << round << " " << Describe(u"", subject, at);
        ASSERT_EQ(WalkForward<Settle::kEvery>(*forward, subject, at, wanted), starting & wanted);
        const std::uint64_t first = WalkForward<Settle::kLowest>(*forward, subject, at, wanted);
        ASSERT_EQ(lowestOf(first), lowestOf(starting & wanted)) << round << " " << Describe(u"", subject, at);
        ASSERT_EQ(first & ~(starting & wanted), 0u);  // whatever else it reports does match
        ASSERT_EQ(lowestOf(WalkBackward<Settle::kLowest>(*backward, subject, at, wanted)), lowestOf(ending & wanted));
        lowest.Add((starting & wanted) != 0);
      }
    }
  }
  lowest.ExpectBothCommon();
}

TEST(ContextAutomatonSets, AnEmptySetMatchesNothing) {
  const std::optional<ContextAutomaton> forward = ContextAutomaton::Build({}, ScanDirection::kForward);
  const std::optional<ContextAutomaton> backward = ContextAutomaton::Build({}, ScanDirection::kBackward);
  ASSERT_TRUE(forward && backward);
  for (const std::u16string_view subject : {u"", u"abc"}) {
    EXPECT_EQ(WalkForward<Settle::kEvery>(*forward, subject, 0, ~std::uint64_t{0}), 0u);
    EXPECT_EQ(WalkBackward<Settle::kLowest>(*backward, subject, subject.size(), ~std::uint64_t{0}), 0u);
  }
}

// Forwards, "[ab]*a" followed by fourteen "[ab]" must remember which of the
// last fourteen characters were an "a": 2^14 states. Backwards the mirror
// image blows up the same way.
TEST(ContextAutomaton, RefusesASetBeyondTheStateCap) {
  std::u16string tail;
  for (int i = 0; i < 14; ++i) tail += u"[ab]";
  const std::u16string growsForwards = u"[ab]*a" + tail;
  const std::u16string growsBackwards = tail + u"a[ab]*";
  const std::optional<ContextSequence> forwards = ParseContext(growsForwards);
  const std::optional<ContextSequence> backwards = ParseContext(growsBackwards);
  ASSERT_TRUE(forwards && backwards);
  const ContextMember forwardMember[] = {{0, &*forwards}};
  const ContextMember backwardMember[] = {{0, &*backwards}};
  EXPECT_FALSE(ContextAutomaton::Build(forwardMember, ScanDirection::kForward).has_value());
  EXPECT_FALSE(ContextAutomaton::Build(backwardMember, ScanDirection::kBackward).has_value());
  // Read the other way round, each is small.
  const std::optional<ContextAutomaton> small = ContextAutomaton::Build(forwardMember, ScanDirection::kBackward);
  ASSERT_TRUE(small.has_value());
  EXPECT_LT(small->StateCount(), 64u);
}

// The rule set refuses it when compiling, with the component's error.
TEST(ContextAutomaton, ARuleSetBeyondTheCapIsRefusedWhenCompiled) {
  std::u16string right = u"[ab]*a";
  for (int i = 0; i < 14; ++i) right += u"[ab]";
  const std::u16string tooLarge = u" [[ x ]] " + right + u" -> k s ";
  const std::u16string_view source[] = {u" [[ a ]]  -> a ", tooLarge};
  RuleSet rules;
  rules.StoreRules(source);
  try {
    rules.CompileRules();
    FAIL() << "compiled";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), error::kOutOfMemory);
    EXPECT_EQ(e.description(), "Out of memory");
  }
}

// The English rules come nowhere near the cap: one chunk a key, each
// automaton a small fraction of it.
TEST(ContextAutomaton, TheEnglishRulesStayWellBelowTheCap) {
  RuleSet rules;
  rules.LoadEnglishRules();
  rules.CompileRules();
  std::size_t chunks = 0;
  std::size_t largest = 0;
  for (const char16_t key : std::u16string_view(u"'abcdefghijklmnopqrstuvwxyz")) {
    const std::span<const RuleChunk> found = rules.compiled().ChunksFor(key);
    ASSERT_EQ(found.size(), 1u) << static_cast<char>(key);
    chunks += found.size();
    largest = std::max({largest, found.front().left.StateCount(), found.front().right.StateCount()});
  }
  EXPECT_EQ(chunks, 27u);
  EXPECT_LT(largest, ContextAutomaton::kMaxStates / 8);
}

}  // namespace
}  // namespace vantel::phonetics
