#include "vantel/Comparisons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/names/NameData.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/LinkModel.h"
#include "vantel/NameForms.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

struct LevelCase {
  const char* written;
  const char* first;
  const char* second;
  std::uint8_t level;
};

constexpr std::uint8_t M = kMissingLevel;

TEST(Comparisons, LevelOfEveryKind) {
  const LevelCase cases[] = {
      // exact: trimmed, case ignored
      {"c:exact", "Sydney", " sydney ", 0},
      {"c:exact", "Sydney", "Sidney", 1},
      {"c:exact", "", "Sydney", M},
      {"c:exact", "Sydney", "   ", M},
      {"c:exact", "Émile", "éMILE", 0},
      // date
      {"d:date", "1980-03-07", "19800307", 0},
      {"d:date", "1980-03-07", "1980-07-03", 1},
      {"d:date", "1980-03-07", "1980-03-08", 2},
      {"d:date", "1980-03-07", "1981-03-07", 2},
      {"d:date", "1980-03-07", "1980-03-19", 3},
      {"d:date", "1980-03-07", "1979-11-20", 4},
      {"d:date", "1980-03-07", "1980-04-17", 4},
      {"d:date", "1980-03-07", "", M},
      {"d:date", "1980-03-07", "soon", M},
      {"d:date", "1980-13-07", "1980-03-07", M},
      {"d:date", "1980-3-7", "1980-03-07", M},
      {"d:date:format=DD/MM/YYYY", "7/3/1980", "07/03/1980", 0},
      {"d:date:format=DD/MM/YYYY", "7/3/1980", "3/7/1980", 1},
      {"d:date:format=DD/MM/YYYY", "1980-03-07", "07/03/1980", M},
      // code: only letters and digits, case folded
      {"p:code", "SW1A 1AA", "sw1a1aa", 0},
      {"p:code", "+44 20 7946 0958", "(020) 7946-0958", 2},
      {"p:code", "2000", "2001", 1},
      {"p:code", "2000", "0200", 1},
      {"p:code", "2000", "0020", 2},
      {"p:code", "20001", "2000", 2},
      {"p:code", "1234", "2143", 2},
      {"p:code", "--", "1234", M},
      // email
      {"e:email", " Ann.Lee@Example.com", "ann.lee@example.com", 0},
      {"e:email", "ann.lee@example.com", "ann.lee@mail.org", 1},
      {"e:email", "ann.lee@example.com", "a.lee@example.com", 2},
      {"e:email", "ann.lee", "ann.lee@example.com", M},
      {"e:email", "@example.com", "ann.lee@example.com", M},
      // name: equal ignoring case first, then Compare's answer by the thresholds
      {"n:name", "Patricia", "PATRICIA", 0},
      {"n:name", "Torres", "Flores", 4},
      {"n:name", "", "Flores", M},
      {"n:name", "Flores", "an extraordinarily long value that no comparison of Compare would take at all", M},
      {"n:name:method=99:levels=50", "Torres", "Flores", 1},
      {"n:name:method=99:levels=90,60", "Torres", "Flores", 2},
      {"s:text", "12 High Street", "12 High Stret", 1},
      {"s:text", "12 High Street", "4 Low Road", 3},
      // one-edit: the threshold 99 leaves every pair of other texts to it or to other
      {"n:name:levels=99:edits=on", "James", "Jamse", 2},
      {"n:name:levels=99:edits=on", "Carol", "Caol", 2},
      {"n:name:levels=99:edits=on", "Caol", "Carol", 2},
      {"n:name:levels=99:edits=on", "Peter", "Petar", 2},
      {"n:name:levels=99:edits=on", "jAMSE", "James", 2},
      {"n:name:levels=99:edits=on", "Ab", "Ba", 2},
      {"n:name:levels=99:edits=on", "Zoë", "Zoe", 2},
      {"n:name:levels=99:edits=on", "Ann", " Anne ", 2},
      {"n:name:levels=99:edits=on", "Peteer", "Pdter", 3},
      {"n:name:levels=99:edits=on", "Jo", "Joan", 3},
      {"n:name:levels=99:edits=on", "abc", "bca", 3},
      {"n:name:levels=99:edits=on", "Anna", "ANNA", 0},
      {"s:text:levels=99:edits=on", "12 High St", "12 Hihg St", 2},
      {"e:email:edits=on", "ann.lee@example.com", "ann.lee@mail.org", 1},
      {"e:email:edits=on", "ann.lee@example.com", "ann.le@mail.org", 2},
      {"e:email:edits=on", "ann.lee@example.com", "ann.ele@example.com", 2},
      {"e:email:edits=on", "ann.lee@example.com", "anna.lea@example.com", 3},
      // tail: the last N letters and digits, counted in characters
      {"p:code:tail=10", "+44 7700 900123", "07700 900123", 0},
      {"p:code:tail=10", "+44 (0)7700 900123", "7700900123", 0},
      {"p:code:tail=10", "+44 7700 900123", "07700 900124", 1},
      {"p:code:tail=10", "0123", "123", 2},
      {"p:code:tail=2", "1ÅÄÖ", "2xÄÖ", 0},
      {"p:code:tail=2", "ÅÖ", "ÄÖ", 1},
      // spaces, dashes and marks that only lay a code out do not count, beyond ASCII too
      {"p:code:tail=10", "07700\u00a0900123", "+44 7700 900123", 0},
      {"p:code", "SW1A\u00a01AA", "SW1A 1AA", 0},
      {"p:code", "0161\u2013496\u20130000", "0161-496-0000", 0},
      {"p:code", "12\u200b34", "1234", 0},
      {"p:code",
       "12\xff"
       "34",
       "1234", 2},  // a byte that begins no character is kept
  };
  for (const LevelCase& row : cases) {
    const FieldComparison comparison = ParseFieldComparison(row.written);
    EXPECT_EQ(CompareValues(comparison, row.first, row.second), row.level)
        << row.written << " '" << row.first << "' '" << row.second << "'";
  }
}

// The name levels follow Compare's own answer, not a private measure.
TEST(Comparisons, NameLevelsFollowCompare) {
  const char* pairs[][2] = {{"Smith", "Smyth"},   {"Catherine", "Kathryn"}, {"Jon", "John"},
                            {"Torres", "Flores"}, {"Peterson", "Pedersen"}, {"Li", "Lee"},
                            {"Bob", "Robert"},    {"Ng", "Nguyen"},         {"Macdonald", "McDonald"}};
  CompareUS compare;
  for (const std::int16_t method :
       {std::int16_t{0}, std::int16_t{1}, std::int16_t{2}, std::int16_t{3}, std::int16_t{99}}) {
    FieldComparison comparison = DefaultComparison("n", FieldKind::Name);
    comparison.method = method;
    for (const auto& pair : pairs) {
      const double answer = compare.Compare(std::string_view(pair[0]), std::string_view(pair[1]), method);
      std::uint8_t expected = static_cast<std::uint8_t>(comparison.thresholds.size() + 1);
      for (std::size_t i = comparison.thresholds.size(); i-- > 0;)
        if (answer >= comparison.thresholds[i]) expected = static_cast<std::uint8_t>(i + 1);
      EXPECT_EQ(CompareValues(comparison, pair[0], pair[1]), expected) << pair[0] << " " << pair[1] << " " << method;
    }
  }
}

TEST(Comparisons, PreparedFieldCountsValuesAndUnreadable) {
  const FieldComparison comparison = ParseFieldComparison("d:date");
  const PreparedField field(comparison, {"1980-01-02", "", "19800102", "not a date", "1999-12-31", "1980-01-02"});
  EXPECT_EQ(field.unreadableCount(), 1u);
  EXPECT_TRUE(field.unreadable(3));
  EXPECT_FALSE(field.unreadable(1));
  EXPECT_EQ(field.valueOf(1), PreparedField::kNoValue);
  EXPECT_EQ(field.valueOf(0), field.valueOf(2));
  EXPECT_EQ(field.distinctValues(), 2u);
  EXPECT_EQ(field.recordsWith(field.valueOf(0)), 3u);
}

TEST(Comparisons, ComparerRemembersAnswersPerField) {
  // One comparer over two fields with the same values but other levels must
  // not hand one field's remembered answer to the other.
  const PreparedField strict(ParseFieldComparison("n:name:method=99:levels=90"), {"Torres", "Flores"});
  const PreparedField loose(ParseFieldComparison("n:name:method=99:levels=50"), {"Torres", "Flores"});
  FieldComparer comparer;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(comparer.Level(strict, 0, 1), 2);
    EXPECT_EQ(comparer.Level(loose, 0, 1), 1);
  }
  EXPECT_DOUBLE_EQ(comparer.Answer(loose, 0, 1), CompareUS().Compare(std::string_view("Torres"), "Flores", 99));
  // A comparer that outlives its fields: each new field, often made where
  // the last was freed, is one it has never seen, however many values it has.
  for (std::size_t count : {2u, 40u, 3u, 400u}) {
    std::vector<std::string> names;
    for (std::size_t n = 0; n < count; ++n) names.push_back("Name" + std::to_string(n));
    names.back() = "Torres";
    names[names.size() - 2] = "Flores";
    const std::vector<std::string_view> views(names.begin(), names.end());
    const PreparedField field(
        ParseFieldComparison(count % 2 ? "n:name:method=99:levels=50" : "n:name:method=99:levels=90"), views);
    EXPECT_EQ(comparer.Level(field, count - 2, count - 1), count % 2 ? 1 : 2) << count;
  }
}

TEST(Comparisons, SpecsReadBackAndRefuseWhatIsWrong) {
  for (const char* written : {"surname:name:method=2:levels=95,88,80:tf=on", "street:text:method=99:levels=90,75",
                              "town:exact:tf=off", "dob:date:format=DD.MM.YYYY", "postcode:code", "mail:email"}) {
    const FieldComparison comparison = ParseFieldComparison(written);
    EXPECT_EQ(ParseFieldComparison(comparison.Describe()), comparison) << written;
  }
  EXPECT_EQ(ParseFieldComparison("dob:date").levelNames(),
            (std::vector<std::string>{"equal", "day-month-swapped", "one-digit", "same-year-month", "other"}));
  EXPECT_EQ(ParseFieldComparison("n:name:levels=90").levelCount(), 3u);

  const std::pair<const char*, const char*> wrong[] = {
      {"surname", "COLUMN:KIND"},
      {"surname:fuzzy", "unknown kind 'fuzzy'"},
      {"surname:name:method=two", "method 'two'"},
      {"surname:name:levels=80,90", "levels must descend"},
      {"surname:name:levels=", "at least one"},
      {"surname:name:levels=101", "'101'"},
      {"surname:name:colour=red", "unknown parameter 'colour' for kind name"},
      {"dob:date:levels=90", "unknown parameter 'levels' for kind date"},
      {"dob:date:format=DD/MM", "needs YYYY"},
      {"town:exact:tf=maybe", "tf must be on or off"},
      {"town:exact:tf", "not KEY=VALUE"},
  };
  for (const auto& [written, message] : wrong) {
    try {
      ParseFieldComparison(written);
      ADD_FAILURE() << written << " was accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << written << ": " << error.what();
    }
  }
}

// A file of name groups that lives as long as the test.
class GroupsFile {
 public:
  GroupsFile(const std::string& name, const std::string& text)
      : path_(::testing::TempDir() + "vantel-comparisons-" + name) {
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~GroupsFile() { std::remove(path_.c_str()); }
  GroupsFile(const GroupsFile&) = delete;
  GroupsFile& operator=(const GroupsFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(Comparisons, NameLevelsOfNameForms) {
  const GroupsFile own("groups.csv", "Zebedee,Zeb,Dee\n");
  const std::string nicknames = "g:name:nicknames=on";                   // equal alias 95 88 80 other
  const std::string ownOnly = "g:name:aliases=" + own.path();            // the same levels, other groups
  const std::string both = "g:name:nicknames=on:aliases=" + own.path();  // both tables
  const std::string initials = "n:name:initials=on";                     // equal 95 initials 88 80 other
  const std::string all = "n:name:nicknames=on:initials=on:order=any";   // equal alias 95 initials 88 80 other
  struct Row {
    std::string written;
    const char* first;
    const char* second;
    std::uint8_t level;
  };
  const Row rows[] = {
      // alias: the two names share a group of the table
      {nicknames, "Bob", "Robert", 1},
      {nicknames, "ROBERT", "bobby", 1},
      {nicknames, "Bob", "Rob", 1},  // two short forms of one group
      {nicknames, "Peggy", "Margaret", 1},
      {nicknames, "Bill", "Will", 1},
      {nicknames, "Ted", "Theo", 1},    // Ted is Edward and Theodore
      {nicknames, "Ted", "Edward", 1},  // ... and each of its groups counts
      {nicknames, "Ned", "Theo", 1},
      {nicknames, "Robert", "robert", 0},  // equal stays equal
      {nicknames, "Peggy", "Bob", 5},
      {nicknames, "Zeb", "Dee", 5},  // a group of the file, not of the built-in table
      {nicknames, "", "Bob", M},
      {nicknames, "Bob", "  ", M},
      {ownOnly, "Zeb", "Dee", 1},
      {ownOnly, "Zeb", "Zebedee", 1},
      {both, "Zeb", "Zebedee", 1},
      {both, "Peggy", "Margaret", 1},
      // initials agree, below the first threshold
      {initials, "J. R. Smith", "John Robert Smith", 2},
      {initials, "John Robert Smith", "J. R. Smith", 2},
      {initials, "J.R. Smith", "John Robert Smith", 2},
      {initials, "R J Smith", "John Robert Smith", 2},
      {initials, "Smith J", "John Smith", 2},
      {initials, "J. J. Smith", "John Robert Smith", 5},  // each word of the other used once
      {initials, "J. R. Smith", "John Smith", 5},         // the shorter name's words must all agree
      {initials, "P. R. Smith", "John Robert Smith", 5},
      {initials, "J Smith", "John S", 5},
      {initials, "", "John Smith", M},
      {initials, "J. Smith", "", M},
      {initials, "J. Smith", "j. smith", 0},
      // together: alias before the thresholds, initials after the first
      {all, "Bob", "Robert", 1},
      {all, "Smith, John", "John Smith", 2},
      {all, "J. R. Smith", "John Robert Smith", 3},
      {all, "", "Robert", M},
  };
  for (const Row& row : rows) {
    const FieldComparison comparison = ParseFieldComparison(row.written);
    EXPECT_EQ(CompareValues(comparison, row.first, row.second), row.level)
        << row.written << " '" << row.first << "' '" << row.second << "'";
  }
  // Without the option the same pairs never reach a level of their own.
  for (const auto& [first, second] : {std::pair{"Bob", "Robert"}, std::pair{"Peggy", "Margaret"}}) {
    const FieldComparison plain = ParseFieldComparison("g:name");
    EXPECT_EQ(plain.levelNames()[CompareValues(plain, first, second)], "other") << first << " " << second;
  }
}

// The share of pairs of a table that reach 88 or a level of agreement above
// it (equal, alias, 95, initials agree).
double ShareAgreeing(const std::vector<names::testing::NamePair>& pairs, const FieldComparison& comparison) {
  const std::vector<std::string> names = comparison.levelNames();
  const auto at88 = static_cast<std::size_t>(std::find(names.begin(), names.end(), ">=88") - names.begin());
  std::size_t agreeing = 0;
  for (const auto& [first, second] : pairs) {
    if (CompareValues(comparison, Utf16ToUtf8(first), Utf16ToUtf8(second)) <= at88) ++agreeing;
  }
  return static_cast<double>(agreeing) / static_cast<double>(pairs.size());
}

// Real name forms of one person with initials ("J. R. Smith", "Smith, J.",
// "W H Brown") agree by their initials; two people with the same surname and
// other initials, or the same initials and another surname, do not.
TEST(Comparisons, InitialsAgreeForEachPersonOfTheTable) {
  const auto same = names::testing::ReadPairs("initials.tsv");
  const auto different = names::testing::ReadPairs("different_initials.tsv");
  ASSERT_GE(same.size(), 100u);
  ASSERT_GE(different.size(), 100u);
  const FieldComparison plain = ParseFieldComparison("n:name");
  const FieldComparison initials = ParseFieldComparison("n:name:initials=on");
  const double sameBefore = ShareAgreeing(same, plain), sameAfter = ShareAgreeing(same, initials);
  const double differentBefore = ShareAgreeing(different, plain), differentAfter = ShareAgreeing(different, initials);
  std::cout << "initials: same person " << same.size() << " pairs, agreeing " << sameBefore << " -> " << sameAfter
            << "; different people " << different.size() << " pairs, agreeing " << differentBefore << " -> "
            << differentAfter << '\n';
  EXPECT_EQ(sameAfter, 1.0);
  EXPECT_LT(sameBefore, 0.5);
  EXPECT_EQ(differentBefore, 0.0);
  EXPECT_EQ(differentAfter, 0.0);
}

TEST(Comparisons, InitialsAgreeByWord) {
  struct Row {
    const char* first;
    const char* second;
    bool agree;
  };
  const Row rows[] = {
      {"J. R. Smith", "John Robert Smith", true},
      {"J R Smith", "John Robert Smith", true},
      {"j. r. smith", "John Robert Smith", true},
      {"J.R. Smith", "John Robert Smith", true},
      {"Smith, J.", "John Smith", true},
      {"J. Smith", "John Robert Smith", true},  // a word of the longer one left out
      {"John Smith", "John Robert Smith", true},
      {"J. Smyth", "John Smith", false},  // Smyth gives 90 with Smith under method 2
      {"J", "John", true},
      {"J.", "Jane", true},
      {"J. J. Smith", "John Robert Smith", false},
      {"J. J. Smith", "John James Smith", true},
      {"J. R. Smith", "John Smith", false},
      {"R. Smith", "John Smith", false},
      {"J. Brown", "John Smith", false},
      {"J Smith", "John S", false},
      {"J.R.", "John", false},
      {"..", "John", false},
      {"", "John", false},
  };
  CompareUS compare;
  for (const Row& row : rows) {
    const std::u16string first = Utf8ToUtf16(row.first), second = Utf8ToUtf16(row.second);
    EXPECT_EQ(InitialsAgree(compare, first, second, 2, 95), row.agree) << row.first << " | " << row.second;
    EXPECT_EQ(InitialsAgree(compare, second, first, 2, 95), row.agree) << row.second << " | " << row.first;
  }
  // The threshold is the comparison's: with a lower one a near word agrees.
  EXPECT_TRUE(InitialsAgree(compare, u"J. Smyth", u"John Smith", 2, 88));
  EXPECT_FALSE(InitialsAgree(compare, u"J. SMYTH", u"john smith", 2, 88));  // as written they give 67
}

// With name forms on, a field's answer is the names layer's CompareNames
// under the same options, so that link and match agree on a pair.
TEST(Comparisons, NameFormAnswersAreCompareNames) {
  const char* pairs[][2] = {{"Smith, John", "John Smith"},     {"Bob Smith", "Robert Smith"},
                            {"Peggy Jones", "Margaret Jones"}, {"Torres", "Flores"},
                            {"JOHN SMITH", "john smyth"},      {"Дмитрий Иванов", "Dmitrij Ivanov"}};
  std::vector<std::string> specs = {"n:name:order=any", "n:name:nicknames=on",
                                    "n:name:order=any:nicknames=on:method=99", "n:text:levels=90,75"};
  if (TransliterationAvailable()) {
    specs.emplace_back("n:name:transliterate=on");
    specs.emplace_back("n:text:transliterate=on");
  }
  CompareUS compare;
  for (const std::string& written : specs) {
    const FieldComparison comparison = ParseFieldComparison(written);
    const NameOptions options = NameOptionsOf(comparison);
    for (const auto& pair : pairs) {
      const PreparedField field(comparison, {pair[0], pair[1]});
      FieldComparer comparer;
      const double expected =
          CompareNames(compare, Utf8ToUtf16(pair[0]), Utf8ToUtf16(pair[1]), comparison.method, options).answer;
      EXPECT_DOUBLE_EQ(comparer.Answer(field, 0, 1), expected) << written << " " << pair[0] << " " << pair[1];
    }
  }
  // Any word order makes a reordered name reach the top level, which it does not as written.
  const FieldComparison any = ParseFieldComparison("n:name:order=any");
  EXPECT_EQ(CompareValues(any, "SMITH, John", "John Smith"), 1);
  EXPECT_GT(CompareValues(ParseFieldComparison("n:name"), "SMITH, John", "John Smith"), 1);
  if (TransliterationAvailable()) {
    EXPECT_EQ(CompareValues(ParseFieldComparison("n:name:transliterate=on"), "Дмитрий Иванов", "Dmitrij Ivanov"), 1);
    EXPECT_GT(CompareValues(ParseFieldComparison("n:name"), "Дмитрий Иванов", "Dmitrij Ivanov"), 1);
  }
}

TEST(Comparisons, NameFormParametersReadBackAndRefuseWhatIsWrong) {
  for (const char* written :
       {"g:name:method=2:levels=95,88,80:tf=on:order=any:nicknames=on:transliterate=on:initials=on",
        "g:name:method=2:levels=95,88,80:tf=on:aliases=groups.csv",
        "g:name:method=2:levels=95,88,80:tf=on:swap=s:edits=on", "p:code:tail=10", "e:email:tf=on:edits=on",
        "street:text:method=99:levels=90,75:transliterate=on"}) {
    const FieldComparison comparison = ParseFieldComparison(written);
    EXPECT_EQ(comparison.Describe(), written);
    EXPECT_EQ(ParseFieldComparison(comparison.Describe()), comparison) << written;
  }
  // Off is as if not given: a field described without them reads as before.
  EXPECT_EQ(ParseFieldComparison("g:name:order=written:nicknames=off:initials=off:transliterate=off").Describe(),
            "g:name:method=2:levels=95,88,80:tf=on");
  const std::pair<const char*, std::vector<std::string>> levels[] = {
      {"g:name", {"equal", ">=95", ">=88", ">=80", "other"}},
      {"g:name:nicknames=on", {"equal", "alias", ">=95", ">=88", ">=80", "other"}},
      {"g:name:aliases=f.csv", {"equal", "alias", ">=95", ">=88", ">=80", "other"}},
      {"g:name:initials=on", {"equal", ">=95", "initials", ">=88", ">=80", "other"}},
      {"g:name:initials=on:levels=90", {"equal", ">=90", "initials", "other"}},
      {"g:name:nicknames=on:initials=on", {"equal", "alias", ">=95", "initials", ">=88", ">=80", "other"}},
      {"g:name:order=any:transliterate=on", {"equal", ">=95", ">=88", ">=80", "other"}},
      {"g:name:swap=s", {"equal", ">=95", "swapped", ">=88", ">=80", "other"}},
      {"g:name:edits=on", {"equal", ">=95", ">=88", ">=80", "one-edit", "other"}},
      {"g:name:nicknames=on:swap=s:initials=on:edits=on",
       {"equal", "alias", ">=95", "swapped", "initials", ">=88", ">=80", "one-edit", "other"}},
      {"t:text:edits=on", {"equal", ">=90", ">=75", "one-edit", "other"}},
      {"e:email:edits=on", {"equal", "same-local-part", "one-edit", "other"}},
  };
  for (const auto& [written, names] : levels) {
    const FieldComparison comparison = ParseFieldComparison(written);
    EXPECT_EQ(comparison.levelNames(), names) << written;
    EXPECT_EQ(comparison.levelCount(), names.size()) << written;
  }
  const std::pair<const char*, const char*> wrong[] = {
      {"g:name:order=sideways", "order must be any or written, not 'sideways'"},
      {"g:name:nicknames=yes", "nicknames must be on or off, not 'yes'"},
      {"g:name:initials=1", "initials must be on or off"},
      {"g:name:transliterate=", "transliterate must be on or off"},
      {"g:name:aliases=", "aliases needs a file"},
      {"g:text:order=any", "unknown parameter 'order' for kind text"},
      {"g:text:nicknames=on", "unknown parameter 'nicknames' for kind text"},
      {"g:text:initials=on", "unknown parameter 'initials' for kind text"},
      {"d:date:transliterate=on", "unknown parameter 'transliterate' for kind date"},
      {"t:exact:aliases=f.csv", "unknown parameter 'aliases' for kind exact"},
      {"g:name:swap=", "swap needs a column"},
      {"g:name:swap=g", "another column than the field's own"},
      {"g:text:swap=s", "unknown parameter 'swap' for kind text"},
      {"g:name:edits=1", "edits must be on or off"},
      {"d:date:edits=on", "unknown parameter 'edits' for kind date"},
      {"p:code:tail=0", "tail '0' is not a count"},
      {"p:code:tail=ten", "tail 'ten' is not a count"},
      {"g:name:tail=3", "unknown parameter 'tail' for kind name"},
  };
  for (const auto& [written, message] : wrong) {
    try {
      ParseFieldComparison(written);
      ADD_FAILURE() << written << " was accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << written << ": " << error.what();
    }
  }
}

// Given name and surname written in each other's place: "swapped" when both
// cross comparisons agree, below the first threshold and above the rest.
TEST(Comparisons, SwappedNamesAgreeCrosswise) {
  const std::vector<FieldComparison> fields = {ParseFieldComparison("g:name:swap=s:edits=on"),
                                               ParseFieldComparison("s:name:swap=g:nicknames=on")};
  const std::vector<std::vector<std::string_view>> columns = {
      {"Anna", "Smith", "Smith", "Smith", "Anna", "Anna", "Anna"},
      {"Smith", "Anna", "Anxa", "", "Smith", "Jones", "SMITH"},
  };
  const LinkRecords records(fields, columns, columns[0].size());
  const std::uint8_t swappedGiven = 2, swappedSurname = 3, otherGiven = 6, otherSurname = 6;
  const struct {
    std::uint32_t first, second;
    std::uint8_t given, surname;
  } rows[] = {
      {0, 1, swappedGiven, swappedSurname},  // both ways at once
      {1, 0, swappedGiven, swappedSurname},
      {0, 2, swappedGiven, otherSurname},  // Anna/Anxa: one edit for the given name, other for the surname
      {0, 3, otherGiven, kMissingLevel},   // no surname to cross with
      {0, 4, 0, 0},                        // written alike: equal wins
      {0, 6, 0, 0},
      {1, 5, otherGiven, otherSurname},
  };
  FieldComparer comparer;
  for (int round = 0; round < 2; ++round)
    for (const auto& row : rows) {
      EXPECT_EQ(comparer.Level(records.field(0), row.first, row.second), row.given) << row.first << "," << row.second;
      EXPECT_EQ(comparer.Level(records.field(1), row.first, row.second), row.surname) << row.first << "," << row.second;
    }
  EXPECT_EQ(fields[0].levelNames()[swappedGiven], "swapped");
  EXPECT_EQ(fields[1].levelNames()[swappedSurname], "swapped");
  EXPECT_EQ(fields[0].levelNames()[otherGiven], "other");
  EXPECT_EQ(fields[1].levelNames()[otherSurname], "other");
  // The swap column's own names are compared, but counted as none of the field's values.
  EXPECT_EQ(records.field(0).distinctValues(), 2u);
  EXPECT_EQ(records.field(0).comparedValues(), 4u);

  try {
    const LinkRecords wrong({ParseFieldComparison("g:name:swap=x")}, {{"Anna"}}, 1);
    ADD_FAILURE() << "a swap column that is no field was accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("swap=x is not another name field"), std::string::npos) << error.what();
  }
}

TEST(Comparisons, NameTablesThatCannotBeUsedAreRefusedWithFileAndLine) {
  const GroupsFile empty("empty-group.csv", "Zebedee,Zeb\n,,\n");
  const std::string missing = ::testing::TempDir() + "vantel-comparisons-no-such-file.csv";
  const std::pair<std::string, std::string> wrong[] = {
      {"g:name:aliases=" + empty.path(), empty.path() + " line 2: empty group"},
      {"g:name:nicknames=on:aliases=" + missing, missing + ": cannot be read"},
  };
  for (const auto& [written, message] : wrong) {
    const FieldComparison comparison = ParseFieldComparison(written);
    try {
      static_cast<void>(NameOptionsOf(comparison));
      ADD_FAILURE() << written << " was accepted";
    } catch (const RuntimeError& error) {
      EXPECT_NE(error.description().find(message), std::string::npos) << written << ": " << error.description();
    }
    EXPECT_THROW(PreparedField(comparison, {"Bob", "Robert"}), RuntimeError) << written;
  }
  if (!TransliterationAvailable()) {
    EXPECT_THROW(NameOptionsOf(ParseFieldComparison("g:name:transliterate=on")), RuntimeError);
  }
}

}  // namespace
}  // namespace vantel
