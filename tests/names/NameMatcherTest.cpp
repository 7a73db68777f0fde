#include <gtest/gtest.h>

#include <algorithm>

#include "tests/matching/RandomNames.h"
#include "tests/names/NameData.h"
#include "vantel/NameForms.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

// The pairs that the options' definition keeps, each pair scored in full by
// CompareNames, in the Matcher's output order.
std::vector<ScoredPair> BruteForce(const std::vector<std::u16string>& queries,
                                   const std::vector<std::u16string>* candidates, const MatchOptions& options,
                                   const NameOptions& names) {
  CompareUS comparer;
  std::vector<ScoredPair> kept;
  for (std::size_t q = 0; q < queries.size(); ++q) {
    std::vector<ScoredPair> ofQuery;
    const std::vector<std::u16string>& others = candidates ? *candidates : queries;
    for (std::size_t c = candidates ? 0 : q + 1; c < others.size(); ++c) {
      const double answer = CompareNames(comparer, queries[q], others[c], options.method, names).answer;
      if (answer != CompareUS::kRefused && answer >= options.threshold) ofQuery.push_back({q, c, answer});
    }
    std::stable_sort(ofQuery.begin(), ofQuery.end(),
                     [](const ScoredPair& a, const ScoredPair& b) { return a.answer > b.answer; });
    if (options.top != 0 && ofQuery.size() > options.top) ofQuery.resize(options.top);
    kept.insert(kept.end(), ofQuery.begin(), ofQuery.end());
  }
  return kept;
}

struct OptionCase {
  const char* name;
  NameOptions names;
};

std::vector<OptionCase> OptionCases() {
  OptionCase order{"order", {}}, nicknames{"nicknames", {}}, transliterate{"transliterate", {}}, all{"all", {}};
  order.names.anyOrder = true;
  nicknames.names.aliases = NameTable::English();
  all.names.anyOrder = true;
  all.names.aliases = NameTable::English();
  std::vector<OptionCase> cases = {order, nicknames};
  if (TransliterationAvailable()) {
    transliterate.names.transliterate = true;
    all.names.transliterate = true;
    cases.push_back(transliterate);
  }
  cases.push_back(all);
  return cases;
}

// Names from the tables of real forms, with random spellings among them, in
// a mixed order.
std::vector<std::u16string> TestNames(std::uint32_t seed, std::size_t count) {
  std::vector<std::u16string> names =
      names::testing::NamesOf({"reordered.tsv", "nicknames.tsv", "transliterated.tsv", "different_nicknames.tsv"});
  std::mt19937 random(seed);
  std::shuffle(names.begin(), names.end(), random);
  names.resize(std::min(names.size(), count));
  for (std::u16string& name : matching::testing::RandomNames(seed, count / 4)) names.push_back(std::move(name));
  names.push_back(u"");
  names.push_back(std::u16string(71, u'a'));
  std::shuffle(names.begin(), names.end(), random);
  return names;
}

TEST(NameMatcher, KeepsExactlyThePairsThatTheOptionsDefinitionKeeps) {
  const std::vector<std::u16string> queries = TestNames(1, 90), candidates = TestNames(2, 70);
  for (const OptionCase& option : OptionCases()) {
    for (const double threshold : {60.0, 75.0, 85.0, 100.0}) {
      for (const unsigned threads : {1u, 2u}) {
        MatchOptions options;
        options.method = threshold == 75.0 ? 2 : 0;
        options.threshold = threshold;
        options.threads = threads;
        const std::string what = std::string(option.name) + " at " + std::to_string(threshold) + " on " +
                                 std::to_string(threads) + " threads";
        EXPECT_EQ(NameMatcher(queries, candidates, options, option.names).Run(),
                  BruteForce(queries, &candidates, options, option.names))
            << what << ", two lists";
        EXPECT_EQ(NameMatcher(queries, options, option.names).Run(),
                  BruteForce(queries, nullptr, options, option.names))
            << what << ", one list";
      }
    }
  }
}

TEST(NameMatcher, KeepsTheBestCandidatesOfAStringOverAllItsForms) {
  const std::vector<std::u16string> queries = TestNames(3, 80);
  for (const OptionCase& option : OptionCases()) {
    for (const std::size_t top : {1u, 3u}) {
      MatchOptions options;
      options.threshold = 50.0;
      options.top = top;
      options.threads = 2;
      EXPECT_EQ(NameMatcher(queries, options, option.names).Run(), BruteForce(queries, nullptr, options, option.names))
          << option.name << " top " << top;
    }
  }
}

TEST(NameMatcher, GivesTheMatchersPairsWithoutOptions) {
  const std::vector<std::u16string> names = TestNames(4, 120);
  MatchOptions options;
  options.threshold = 70.0;
  EXPECT_EQ(NameMatcher(names, options, {}).Run(), Matcher(names, options).Run());
  EXPECT_EQ(NameMatcher(names, options, {}).rejections(), Matcher(names, options).rejections());
}

TEST(NameMatcher, ReportsEachStringOfBadLengthOnceByItsOwnIndex) {
  NameOptions all;
  all.anyOrder = true;
  all.aliases = NameTable::English();
  const std::vector<std::u16string> queries = {u"Bob Smith", u"", u"Smith, Robert", std::u16string(71, u'x')};
  const std::vector<std::u16string> candidates = {u"", u"Robert Smith"};
  MatchOptions options;
  options.threshold = 90.0;
  const NameMatcher matcher(queries, candidates, options, all);
  EXPECT_EQ(matcher.rejections(),
            (std::vector<Rejection>{{ListRole::Queries, 1, "empty string"},
                                    {ListRole::Queries, 3, "longer than 70 UTF-16 code units (71)"},
                                    {ListRole::Candidates, 0, "empty string"}}));
  EXPECT_EQ(matcher.Run(), (std::vector<ScoredPair>{{0, 1, 100.0}, {2, 1, 100.0}}));
  EXPECT_GT(matcher.formCount(), queries.size() + candidates.size());
}

}  // namespace
}  // namespace vantel
