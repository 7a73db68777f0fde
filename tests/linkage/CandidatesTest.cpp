#include "vantel/Candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/linkage/SmallPeople.h"
#include "vantel/CompareUS.h"
#include "vantel/Link.h"

namespace vantel {
namespace {

struct Fixture {
  testing::SmallPeople people = testing::MakeSmallPeople(120, 23);
  RuleColumns columns;
  Fixture() {
    const char* names[] = {"given", "surname", "dob", "postcode"};
    for (std::size_t f = 0; f < 4; ++f)
      columns[names[f]] = std::vector<std::string_view>(people.columns[f].begin(), people.columns[f].end());
  }
  std::size_t size() const { return people.person.size(); }
};

std::string Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

bool Allowed(RecordSpan span, std::uint32_t a, std::uint32_t b) {
  return span.linking() ? a < span.firstCount && b >= span.firstCount : a < b;
}

// Every pair scored by Compare, one at a time.
std::vector<RecordPair> BruteScan(const std::vector<std::string_view>& values, RecordSpan span, double threshold,
                                  std::int16_t method) {
  CompareUS compare;
  std::vector<RecordPair> pairs;
  for (std::uint32_t a = 0; a < span.recordCount; ++a)
    for (std::uint32_t b = 0; b < span.recordCount; ++b) {
      if (!Allowed(span, a, b)) continue;
      const double answer = compare.Compare(std::string_view(Trimmed(values[a])), Trimmed(values[b]), method);
      if (answer >= threshold) pairs.push_back({a, b});
    }
  return pairs;
}

TEST(Candidates, ScanRuleMissesNoPairThatReachesItsThreshold) {
  const Fixture fixture;
  const std::vector<RecordSpan> spans = {{fixture.size(), fixture.size()}, {fixture.size(), fixture.size() / 3}};
  for (const RecordSpan span : spans)
    for (const double threshold : {60.0, 80.0, 95.0})
      for (const std::int16_t method : {std::int16_t{0}, std::int16_t{2}}) {
        const std::vector<RecordPair> expected = BruteScan(fixture.columns.at("surname"), span, threshold, method);
        ASSERT_FALSE(expected.empty());
        for (const unsigned threads : {1u, 2u}) {
          const CandidateRule rule = ParseScanRule("surname:" + std::to_string(threshold), method);
          EXPECT_EQ(RulePairs(rule, fixture.columns, span, threads), expected)
              << threshold << " method " << method << " threads " << threads << " linking " << span.linking();
        }
      }
}

// The pairs of an equality join on the key, worked out the slow way.
std::vector<RecordPair> Join(const std::vector<std::string>& keys, RecordSpan span) {
  std::vector<RecordPair> pairs;
  for (std::uint32_t a = 0; a < span.recordCount; ++a)
    for (std::uint32_t b = 0; b < span.recordCount; ++b)
      if (Allowed(span, a, b) && !keys[a].empty() && keys[a] == keys[b]) pairs.push_back({a, b});
  return pairs;
}

TEST(Candidates, BlockRuleEqualsAnEqualityJoin) {
  const Fixture fixture;
  CompareUS compare;
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  struct Row {
    const char* rule;
    std::string (*key)(const Fixture&, std::size_t, CompareUS&);
  };
  const Row rows[] = {
      {"surname", [](const Fixture& f, std::size_t r, CompareUS&) { return Trimmed(f.people.columns[1][r]); }},
      {"phonetic(surname)",
       [](const Fixture& f, std::size_t r, CompareUS& c) { return c.PhoneticForm(Trimmed(f.people.columns[1][r])); }},
      {"first(given,2)+year(dob)",
       [](const Fixture& f, std::size_t r, CompareUS&) {
         const std::string given = Trimmed(f.people.columns[0][r]);
         return given.substr(0, 2) + "|" + f.people.columns[2][r].substr(0, 4);
       }},
      {"first(postcode,1)+surname",
       [](const Fixture& f, std::size_t r, CompareUS&) {
         const std::string& postcode = f.people.columns[3][r];
         return postcode.empty() ? std::string() : postcode.substr(0, 1) + "|" + Trimmed(f.people.columns[1][r]);
       }},
  };
  const std::vector<RecordSpan> spans = {{fixture.size(), fixture.size()}, {fixture.size(), fixture.size() / 2}};
  for (const Row& row : rows)
    for (const RecordSpan span : spans) {
      std::vector<std::string> keys;
      for (std::size_t r = 0; r < fixture.size(); ++r) keys.push_back(lower(row.key(fixture, r, compare)));
      const std::vector<RecordPair> expected = Join(keys, span);
      ASSERT_FALSE(expected.empty()) << row.rule;
      const CandidateRule rule = ParseBlockRule(row.rule);
      EXPECT_EQ(RulePairs(rule, fixture.columns, span, 1), expected) << row.rule << " linking " << span.linking();
      EXPECT_EQ(BlockPairCount(rule, fixture.columns, span), expected.size()) << row.rule;
    }
}

// last(C,N): a phone however it is written is one key; a value without
// letters or digits has none.
TEST(Candidates, LastKeyJoinsByTheLastLettersAndDigits) {
  RuleColumns columns;
  columns["phone"] = {"+44 7700 900123", "07700 900123", "(07700) 900-123",        "07700 900124", "", "--",
                      "7700900123",      "900123",       "07700\u00a0900\u2013123"};
  const std::vector<RecordPair> expected = {{0, 1}, {0, 2}, {0, 6}, {0, 8}, {1, 2},
                                            {1, 6}, {1, 8}, {2, 6}, {2, 8}, {6, 8}};
  const CandidateRule rule = ParseBlockRule("last(phone,10)");
  EXPECT_EQ(rule.Describe(), "block last(phone,10)");
  const RecordSpan span{9, 9};
  EXPECT_EQ(RulePairs(rule, columns, span, 1), expected);
  EXPECT_EQ(BlockPairCount(rule, columns, span), expected.size());
  // Six is the tail that the short number has too.
  EXPECT_EQ(RulePairs(ParseBlockRule("last(phone,6)"), columns, span, 1).size(), 15u);
  // A character beyond the basic plane is one character, not two halves.
  RuleColumns emoji;
  emoji["code"] = {"a\U0001F600", "b\U0001F600", "\U0001F600"};
  EXPECT_EQ(RulePairs(ParseBlockRule("last(code,1)"), emoji, {3, 3}, 1).size(), 3u);
  EXPECT_EQ(RulePairs(ParseBlockRule("last(code,2)"), emoji, {3, 3}, 1).size(), 0u);
  // The default rule of a code read by its tail blocks on that tail.
  const std::vector<CandidateRule> rules = DefaultRules({ParseFieldComparison("phone:code:tail=10")});
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].Describe(), "block last(phone,10)");
}

TEST(Candidates, UnionHoldsEachPairOnce) {
  const Fixture fixture;
  const RecordSpan span{fixture.size(), fixture.size()};
  const std::vector<CandidateRule> rules = {ParseScanRule("surname:80", 2), ParseBlockRule("dob"),
                                            ParseBlockRule("surname")};
  std::vector<std::uint64_t> perRule;
  const std::vector<RecordPair> all = CandidatePairs(rules, fixture.columns, span, 2, &perRule);
  std::set<RecordPair> expected;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const std::vector<RecordPair> pairs = RulePairs(rules[i], fixture.columns, span, 1);
    EXPECT_EQ(perRule[i], pairs.size());
    expected.insert(pairs.begin(), pairs.end());
  }
  EXPECT_EQ(all, std::vector<RecordPair>(expected.begin(), expected.end()));
  // Every planted duplicate that keeps its birth date or surname is a candidate.
  EXPECT_LT(all.size(), fixture.size() * (fixture.size() - 1) / 2);
}

// The shares of the candidates (scans; each block rule) split the union:
// together they are all of it, no pair in two. And a share among some of
// the records is the whole share's pairs among them, which is what lets a
// cluster find a block rule's share in the bucket of its keys.
TEST(Candidates, SharesSplitTheUnionAndHoldAmongAnyRecords) {
  const Fixture fixture;
  const std::vector<CandidateRule> rules = {ParseBlockRule("dob"), ParseScanRule("surname:80", 2),
                                            ParseBlockRule("surname"), ParseBlockRule("phonetic(given)+year(dob)")};
  std::vector<CandidateShare> shares = {{CandidateShare::Kind::Scans, 0}};
  for (std::size_t r = 0; r < rules.size(); ++r)
    if (rules[r].kind == CandidateRule::Kind::Block) shares.push_back({CandidateShare::Kind::Block, r});
  const std::size_t half = fixture.size() / 2;
  for (const RecordSpan span : {RecordSpan{fixture.size(), fixture.size()}, RecordSpan{fixture.size(), half}}) {
    const std::vector<RecordPair> all = CandidatePairs(rules, fixture.columns, span, 2);
    std::vector<RecordPair> joined;
    std::vector<std::vector<RecordPair>> byShare;
    for (const CandidateShare& share : shares) {
      byShare.push_back(SharePairs(rules, share, fixture.columns, span, 2));
      EXPECT_TRUE(std::is_sorted(byShare.back().begin(), byShare.back().end()));
      joined.insert(joined.end(), byShare.back().begin(), byShare.back().end());
    }
    std::sort(joined.begin(), joined.end());
    EXPECT_EQ(std::adjacent_find(joined.begin(), joined.end()), joined.end()) << "a pair in two shares";
    EXPECT_EQ(joined, all);
    EXPECT_FALSE(byShare[0].empty());
    EXPECT_FALSE(byShare[2].empty());  // the surname's pairs of another birth date

    // Every third record, kept in order (and in its file when linking).
    std::vector<std::uint32_t> some;
    for (std::uint32_t record = 0; record < span.recordCount; record += 3) some.push_back(record);
    RuleColumns someColumns;
    for (const auto& [name, values] : fixture.columns) {
      std::vector<std::string_view> picked;
      for (const std::uint32_t record : some) picked.push_back(values[record]);
      someColumns.emplace(name, std::move(picked));
    }
    const auto firstSome = static_cast<std::size_t>(
        std::count_if(some.begin(), some.end(), [&](std::uint32_t record) { return record < span.firstCount; }));
    const RecordSpan someSpan{some.size(), span.linking() ? firstSome : some.size()};
    for (std::size_t s = 0; s < shares.size(); ++s) {
      std::vector<RecordPair> expected;
      for (const RecordPair& pair : byShare[s]) {
        const auto a = std::find(some.begin(), some.end(), pair.first),
                   b = std::find(some.begin(), some.end(), pair.second);
        if (a != some.end() && b != some.end())
          expected.push_back(
              {static_cast<std::uint32_t>(a - some.begin()), static_cast<std::uint32_t>(b - some.begin())});
      }
      EXPECT_EQ(SharePairs(rules, shares[s], someColumns, someSpan, 1), expected) << "share " << s;
    }
  }
  EXPECT_THROW(SharePairs(rules, {CandidateShare::Kind::Block, 1}, fixture.columns, {10, 10}, 1),
               std::invalid_argument);
}

TEST(Candidates, RulesReadBackAndRefuseWhatIsWrong) {
  EXPECT_EQ(ParseBlockRule("phonetic(surname)+first(given,3)+year(dob)+town").Describe(),
            "block phonetic(surname)+first(given,3)+year(dob)+town");
  EXPECT_EQ(ParseScanRule("surname:87.5", 0).Describe(), "scan surname>=87.5 (method 0)");
  EXPECT_EQ(ParseBlockRule("surname+phonetic(surname)").columns(), std::vector<std::string>{"surname"});
  const std::pair<const char*, const char*> wrong[] = {
      {"soundex(surname)", "unknown key 'soundex'"}, {"first(given)", "needs N"},    {"first(given,0)", "1 or more"},
      {"year(dob", "closing parenthesis"},           {"surname+", "empty"},          {"phonetic()", "names no column"},
      {"last(phone)", "last(C,N) needs N"},          {"last(phone,0)", "1 or more"},
  };
  for (const auto& [written, message] : wrong) {
    try {
      ParseBlockRule(written);
      ADD_FAILURE() << written;
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(ParseScanRule("surname", 0), std::invalid_argument);
  EXPECT_THROW(ParseScanRule("surname:120", 0), std::invalid_argument);
  EXPECT_THROW(ParseScanRule(":80", 0), std::invalid_argument);
}

}  // namespace
}  // namespace vantel
