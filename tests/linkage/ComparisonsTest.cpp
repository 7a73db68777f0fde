#include "vantel/Comparisons.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "vantel/CompareUS.h"

namespace vantel {
namespace {

struct LevelCase {
  const char* spec;
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
  };
  for (const LevelCase& row : cases) {
    const FieldComparison comparison = ParseFieldComparison(row.spec);
    EXPECT_EQ(CompareValues(comparison, row.first, row.second), row.level)
        << row.spec << " '" << row.first << "' '" << row.second << "'";
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
}

TEST(Comparisons, SpecsReadBackAndRefuseWhatIsWrong) {
  for (const char* spec : {"surname:name:method=2:levels=95,88,80:tf=on", "street:text:method=99:levels=90,75",
                           "town:exact:tf=off", "dob:date:format=DD.MM.YYYY", "postcode:code", "mail:email"}) {
    const FieldComparison comparison = ParseFieldComparison(spec);
    EXPECT_EQ(ParseFieldComparison(comparison.Describe()), comparison) << spec;
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
  for (const auto& [spec, message] : wrong) {
    try {
      ParseFieldComparison(spec);
      ADD_FAILURE() << spec << " was accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << spec << ": " << error.what();
    }
  }
}

}  // namespace
}  // namespace vantel
