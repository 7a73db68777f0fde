#include "vantel/LinkPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "SmallPeople.h"

namespace vantel {
namespace {

std::vector<std::string> Described(const LinkRules& rules) {
  std::vector<std::string> texts;
  for (const CandidateRule& rule : rules.rules) texts.push_back(rule.Describe());
  return texts;
}

TEST(LinkPipeline, ReadsRulesAndNamesTheTextThatIsWrong) {
  const std::vector<FieldComparison> fields = {ParseLinkField("surname:name:method=3"), ParseLinkField("given:name"),
                                               ParseLinkField("dob:date"), ParseLinkField("email:email")};
  struct Row {
    std::vector<std::string> scans, blocks;
    std::vector<std::string> rules;  // the rules read, or empty when refused
    RuleTextError::Part part;
    std::string given;
  };
  const Row rows[] = {
      // Without rules the defaults: a block per date, code and email field,
      // and the phonetic forms of the first two names together.
      {{}, {}, {"block dob", "block email", "block phonetic(surname)+phonetic(given)"}, {}, {}},
      // A scan compares with the method of its name field; of another column, method 2.
      {{"surname:80", "town:90"},
       {"year(dob)+first(given,2)"},
       {"scan surname>=80 (method 3)", "scan town>=90 (method 2)", "block year(dob)+first(given,2)"},
       {},
       {}},
      {{"surname:x"}, {}, {}, RuleTextError::Part::Scan, "surname:x"},
      {{"surname:101"}, {}, {}, RuleTextError::Part::Scan, "surname:101"},
      {{}, {"first(given)"}, {}, RuleTextError::Part::Block, "first(given)"},
      {{}, {"dob+"}, {}, RuleTextError::Part::Block, "dob+"},
  };
  for (const Row& row : rows) {
    if (!row.rules.empty()) {
      EXPECT_EQ(Described(LinkRules::Of(fields, row.scans, row.blocks)), row.rules);
      continue;
    }
    try {
      static_cast<void>(LinkRules::Of(fields, row.scans, row.blocks));
      ADD_FAILURE() << row.given << " was read";
    } catch (const RuleTextError& bad) {
      EXPECT_EQ(bad.part(), row.part);
      EXPECT_EQ(bad.given(), row.given);
      EXPECT_EQ(std::string(bad.what()), row.given + ": " + bad.reason());
      EXPECT_FALSE(bad.reason().empty());
    }
  }
  for (const char* wrong : {"surname", "surname:bogus", "surname:name:method=x", "surname:name:colour=red"}) {
    try {
      static_cast<void>(ParseLinkField(wrong));
      ADD_FAILURE() << wrong << " was read";
    } catch (const RuleTextError& bad) {
      EXPECT_EQ(bad.part(), RuleTextError::Part::Field);
      EXPECT_EQ(bad.given(), wrong);
    }
  }
  EXPECT_THROW(LinkRules::Of({}, {}, {}), std::invalid_argument);
  // Whatever the fields, the defaults reach the pairs that agree on them.
  const struct {
    std::vector<std::string> fields;
    std::vector<std::string> rules;
  } defaults[] = {
      {{"surname:name"}, {"block phonetic(surname)"}},
      {{"surname:name", "street:text"}, {"block phonetic(surname)"}},
      {{"street:text:levels=85,70", "id:exact"}, {"scan street>=85 (method 99)", "block id"}},
      {{"phone:code:tail=9", "given:name", "surname:name", "middle:name"},
       {"block last(phone,9)", "block phonetic(given)+phonetic(surname)"}},
  };
  for (const auto& row : defaults) {
    std::vector<FieldComparison> given;
    for (const std::string& text : row.fields) given.push_back(ParseLinkField(text));
    EXPECT_EQ(Described(LinkRules::Of(given, {}, {})), row.rules) << row.fields.front();
  }
  // Each column once, the fields' first.
  EXPECT_EQ(LinkRules::Of(fields, {"town:90"}, {"surname+phonetic(given)"}).columns(),
            (std::vector<std::string>{"surname", "given", "dob", "email", "town"}));
}

TEST(LinkPipeline, RefusesColumnsThatDoNotFit) {
  const LinkRules rules = LinkRules::Of({ParseLinkField("surname:name")}, {}, {"town"});
  const std::vector<std::string_view> three = {"a", "b", "c"}, two = {"a", "b"};
  struct Row {
    RuleColumns values;
    std::size_t firstCount;
    bool fits;
  };
  const Row rows[] = {
      {{{"surname", three}, {"town", three}}, 3, true},
      {{{"surname", three}, {"town", three}}, 1, true},
      {{{"surname", three}}, 3, false},                   // no town
      {{{"surname", three}, {"town", two}}, 2, false},    // of other lengths
      {{{"surname", three}, {"town", three}}, 4, false},  // more in the first file than in all
  };
  for (const Row& row : rows) {
    if (row.fits) {
      EXPECT_NO_THROW(LinkPipeline(rules, row.values, row.firstCount));
    } else {
      EXPECT_THROW(LinkPipeline(rules, row.values, row.firstCount), std::invalid_argument);
    }
  }
}

TEST(LinkPipeline, EntitiesOfTheTruthKeepEmptyValuesApart) {
  const std::vector<std::uint64_t> entity = EntitiesOf({"p1", "p2", "p1", "", "", "p2"});
  EXPECT_EQ(entity[0], entity[2]);
  EXPECT_EQ(entity[1], entity[5]);
  EXPECT_NE(entity[0], entity[1]);
  const std::set<std::uint64_t> distinct = {entity[0], entity[1], entity[3], entity[4]};
  EXPECT_EQ(distinct.size(), 4u);
}

struct PipelineCase {
  const char* name;
  bool linking;  // the even records against the odd ones, or all of them de-duplicated
  double threshold;
  std::size_t top;
};

class LinkPipelineRun : public ::testing::TestWithParam<PipelineCase> {};

TEST_P(LinkPipelineRun, KeepsExplainsGroupsAndEvaluatesTheScoredPairs) {
  const PipelineCase& run = GetParam();
  const testing::SmallPeople people = testing::MakeSmallPeople(150, 7);
  const std::size_t count = people.person.size();
  // Linking: the even records first, so that both files hold records of most persons.
  std::vector<std::size_t> order;
  for (std::size_t record = 0; record < count; record += run.linking ? 2 : 1) order.push_back(record);
  const std::size_t firstCount = order.size();
  for (std::size_t record = 1; run.linking && record < count; record += 2) order.push_back(record);
  RuleColumns values;
  for (std::size_t f = 0; f < people.fields.size(); ++f) {
    std::vector<std::string_view>& column = values[people.fields[f].column];
    for (const std::size_t record : order) column.push_back(people.columns[f][record]);
  }
  const LinkPipeline pipeline(LinkRules::Of(people.fields, {"surname:85"}, {"dob"}), values, firstCount);

  const LinkRecords records = pipeline.Prepare();
  LinkCandidates found = pipeline.FindCandidates(2, true);
  EXPECT_EQ(pipeline.Plan(2), found.perRule);
  ASSERT_EQ(found.byRule.size(), 2u);
  TrainingOptions training;
  training.samplePairs = 20000;
  training.threads = 2;
  const LinkModel model = pipeline.Train(records, found, training);
  const std::vector<LinkedPair> scored = ScorePairs(model, records, found.pairs, 0.0, 1);

  const std::vector<LinkedPair> kept = pipeline.Keep(model, records, found.pairs, run.threshold, run.top, 2);
  ASSERT_FALSE(kept.empty());
  // The scored pairs above the threshold, by first record, heaviest first,
  // and with a top only the best of each first record.
  std::vector<LinkedPair> expected;
  for (const LinkedPair& pair : scored)
    if (pair.probability >= run.threshold) expected.push_back(pair);
  std::stable_sort(expected.begin(), expected.end(), [](const LinkedPair& a, const LinkedPair& b) {
    return a.pair.first != b.pair.first ? a.pair.first < b.pair.first
                                        : (a.weight != b.weight ? a.weight > b.weight : a.pair.second < b.pair.second);
  });
  if (run.top) {
    std::vector<LinkedPair> best;
    for (const LinkedPair& pair : expected) {
      const auto same = std::count_if(best.begin(), best.end(),
                                      [&](const LinkedPair& other) { return other.pair.first == pair.pair.first; });
      if (static_cast<std::size_t>(same) < run.top) best.push_back(pair);
    }
    expected = best;
  }
  ASSERT_EQ(kept.size(), expected.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].pair, expected[i].pair) << i;
    EXPECT_EQ(kept[i].weight, expected[i].weight) << i;
  }

  // The fields' weights and the prior's add up to the pair's weight, bit
  // for bit, in the order the scorer adds them.
  const std::vector<FieldExplanation> explained = pipeline.Explain(model, records, kept);
  ASSERT_EQ(explained.size(), kept.size() * people.fields.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    double weight = model.PriorWeight();
    for (std::size_t f = 0; f < people.fields.size(); ++f) weight += explained[i * people.fields.size() + f].weight;
    EXPECT_EQ(weight, kept[i].weight) << i;
  }

  std::vector<std::uint64_t> entity;
  for (const std::size_t record : order) entity.push_back(people.person[record]);
  const LinkEvaluation evaluation = pipeline.Evaluate(model, records, found.pairs, entity, EvaluationThresholds(), 2);
  EXPECT_EQ(evaluation.candidatePairs, found.pairs.size());
  ASSERT_EQ(evaluation.thresholds.size(), EvaluationThresholds().size());
  for (const ThresholdQuality& row : evaluation.thresholds) {
    const auto above = std::count_if(scored.begin(), scored.end(),
                                     [&](const LinkedPair& pair) { return pair.probability >= row.threshold; });
    EXPECT_EQ(row.pairs.foundPairs, static_cast<std::uint64_t>(above)) << row.threshold;
    EXPECT_LE(row.pairs.correct, evaluation.candidates.correct);
    EXPECT_EQ(row.groups.foundPairs > 0, above > 0);
    EXPECT_GE(row.groups.foundPairs, row.pairs.foundPairs);  // a group stands for at least its kept pairs
  }
  EXPECT_GT(evaluation.thresholds[0].pairs.f1(), 0.5);

  // Groups: each grouped record once, numbered by first member; with all,
  // every record once. Linking, a group holds records of both files.
  for (const bool all : {false, true}) {
    const std::vector<GroupRow> rows = pipeline.Groups(kept, all);
    std::set<std::size_t> seen;
    std::size_t lastGroup = 0, firstOfGroup = 0;
    for (const GroupRow& row : rows) {
      EXPECT_TRUE(seen.insert(row.record).second);
      EXPECT_TRUE(row.group == lastGroup || row.group == lastGroup + 1);
      if (row.group != lastGroup) {
        EXPECT_TRUE(lastGroup == 0 || row.record > firstOfGroup);
        firstOfGroup = row.record;
      }
      lastGroup = row.group;
      EXPECT_GT(row.density, 0.0);
      EXPECT_LE(row.density, 1.0);
      const auto members =
          std::count_if(rows.begin(), rows.end(), [&](const GroupRow& other) { return other.group == row.group; });
      EXPECT_EQ(row.size, static_cast<std::size_t>(members));
      if (pipeline.span().linking() && row.size > 1) {
        const auto fromFirst = std::count_if(rows.begin(), rows.end(), [&](const GroupRow& other) {
          return other.group == row.group && other.record < firstCount;
        });
        EXPECT_GT(fromFirst, 0);
        EXPECT_LT(static_cast<std::size_t>(fromFirst), row.size);
      }
    }
    EXPECT_EQ(seen.size() == count, all);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, LinkPipelineRun,
                         ::testing::Values(PipelineCase{"dedupe", false, 0.9, 0},
                                           PipelineCase{"dedupe_low", false, 0.5, 0},
                                           PipelineCase{"link", true, 0.5, 0}, PipelineCase{"link_top", true, 0.0, 1}),
                         [](const ::testing::TestParamInfo<PipelineCase>& param) { return param.param.name; });

}  // namespace
}  // namespace vantel

namespace vantel {
namespace {

// Records that are a part of a file, scored with the term counts of the
// whole file, weigh their pairs as the whole file does.
TEST(LinkPipeline, APartScoredWithTheWholeFilesTermCountsWeighsAsTheWhole) {
  const testing::SmallPeople people = testing::MakeSmallPeople(200, 11);
  const std::size_t count = people.person.size(), half = count / 2;
  const auto columnsOf = [&](std::size_t end) {
    RuleColumns values;
    for (std::size_t f = 0; f < people.fields.size(); ++f)
      values.emplace(people.fields[f].column,
                     std::vector<std::string_view>(people.columns[f].begin(),
                                                   people.columns[f].begin() + static_cast<std::ptrdiff_t>(end)));
    return values;
  };
  const LinkRules rules = LinkRules::Of(people.fields, {}, {"dob", "postcode"});
  const LinkPipeline whole(rules, columnsOf(count), count), part(rules, columnsOf(half), half);
  const LinkRecords wholeRecords = whole.Prepare(), partRecords = part.Prepare();
  LinkCandidates found = whole.FindCandidates(1, true);
  const LinkModel model = whole.Train(wholeRecords, found, TrainingOptions{20000, 5, 1, {}, {}});
  const std::vector<LinkedPair> expected = whole.Keep(model, wholeRecords, found.pairs, 0.0, 0, 1);

  TermCounts counts = CountTerms(partRecords);
  AddTermCounts(counts, CountTerms(whole.Prepare()));  // some counts twice: a whole file it is not
  const TermCounts wholeCounts = CountTerms(wholeRecords);
  const std::vector<RecordPair> partPairs = part.FindCandidates(1, false).pairs;
  struct Row {
    const char* what;
    const TermCounts* counts;
    bool same;
  };
  for (const Row& row : {Row{"the whole file's counts", &wholeCounts, true},
                         Row{"the part's own counts", nullptr, false}, Row{"other counts", &counts, false}}) {
    const std::vector<LinkedPair> scored = part.Keep(model, partRecords, partPairs, 0.0, 0, 1, row.counts);
    std::size_t compared = 0, equal = 0;
    for (const LinkedPair& pair : scored) {
      const auto same = std::find_if(expected.begin(), expected.end(),
                                     [&](const LinkedPair& other) { return other.pair == pair.pair; });
      ASSERT_NE(same, expected.end()) << row.what;
      ++compared;
      equal += same->weight == pair.weight ? 1u : 0u;
    }
    ASSERT_GT(compared, 20u);
    EXPECT_EQ(equal == compared, row.same) << row.what << ": " << equal << " of " << compared;
  }
  // Counts that lack a value of the records are refused.
  TermCounts lacking = wholeCounts;
  for (auto& field : lacking) field.clear();
  EXPECT_THROW(part.Keep(model, partRecords, partPairs, 0.0, 0, 1, &lacking), std::invalid_argument);
}

}  // namespace
}  // namespace vantel

namespace vantel {
namespace {

// A name is compared by the text of the first record that holds it (case
// aside); a part of a file given the whole file's first texts compares as
// the whole file does.
TEST(LinkPipeline, APartComparesNamesByTheWholeFilesFirstTexts) {
  const LinkRules rules = LinkRules::Of({ParseLinkField("surname:name")}, {}, {"surname"});
  struct Row {
    std::vector<std::string_view> whole;  // the part is all but the first record
  };
  const Row rows[] = {
      {{"HERNÁNDEZ", "Hernández", "Hernanez"}},
      {{"MACDONALD", "MacDonald", "McDonald"}},
      {{"O'NEILL", "O'Neill", "Oneil"}},
  };
  std::size_t differ = 0;
  for (const Row& row : rows) {
    const LinkPipeline whole(rules, {{"surname", row.whole}}, row.whole.size());
    const std::vector<std::string_view> partValues(row.whole.begin() + 1, row.whole.end());
    const LinkPipeline part(rules, {{"surname", partValues}}, partValues.size());
    const LinkRecords wholeRecords = whole.Prepare();
    const std::vector<FirstTexts> texts = whole.FirstTextsOf(wholeRecords);
    ASSERT_EQ(texts[0].size(), 2u);
    // A comparer each: one remembers its answers by value number.
    const std::uint8_t expected = FieldComparer().Level(wholeRecords.field(0), 1, 2);
    EXPECT_EQ(FieldComparer().Level(part.Prepare(&texts).field(0), 0, 1), expected) << row.whole[0];
    differ += FieldComparer().Level(part.Prepare().field(0), 0, 1) != expected ? 1u : 0u;
  }
  EXPECT_GT(differ, 0u);  // without them, some pair compares otherwise
}

// A name that a part holds only in the swap column is compared by the whole
// file's first text of it too: "MACDONALD" is no match for "McDonald" where
// "MacDonald" is, so the pair is "swapped" in the part alone.
TEST(LinkPipeline, APartComparesSwappedNamesByTheWholeFilesFirstTexts) {
  const LinkRules rules =
      LinkRules::Of({ParseLinkField("given:name:swap=surname"), ParseLinkField("surname:name")}, {}, {"surname"});
  const std::vector<std::string_view> given = {"Ann", "Ann", "McDonald"}, surname = {"MACDONALD", "MacDonald", "Ann"};
  const LinkPipeline whole(rules, {{"given", given}, {"surname", surname}}, given.size());
  const std::vector<std::string_view> partGiven(given.begin() + 1, given.end());
  const std::vector<std::string_view> partSurname(surname.begin() + 1, surname.end());
  const LinkPipeline part(rules, {{"given", partGiven}, {"surname", partSurname}}, partGiven.size());
  const LinkRecords wholeRecords = whole.Prepare();
  std::vector<FirstTexts> swapTexts;
  const std::vector<FirstTexts> own = whole.FirstTextsOf(wholeRecords, &swapTexts);
  EXPECT_EQ(own[0].size(), 2u);        // ANN and MCDONALD
  EXPECT_EQ(swapTexts[0].size(), 1u);  // MACDONALD
  const std::vector<FirstTexts> texts = MergeFirstTexts({own}, {swapTexts});
  const std::vector<std::string> levels = rules.fields[0].levelNames();
  const std::uint8_t expected = FieldComparer().Level(wholeRecords.field(0), 1, 2);
  EXPECT_EQ(levels.at(expected), "other");
  EXPECT_EQ(FieldComparer().Level(part.Prepare(&texts).field(0), 0, 1), expected);
  EXPECT_EQ(levels.at(FieldComparer().Level(part.Prepare().field(0), 0, 1)), "swapped");

  // Parts merged: a key's own text in a later part wins over its swap text
  // in an earlier one, as in the whole file, where the own values come first.
  const std::vector<std::string_view> firstGiven = {"Ann"}, firstSurname = {"MACDONALD"};
  const std::vector<std::string_view> laterGiven = {"MacDonald"}, laterSurname = {"Lee"};
  const LinkPipeline first(rules, {{"given", firstGiven}, {"surname", firstSurname}}, 1);
  const LinkPipeline later(rules, {{"given", laterGiven}, {"surname", laterSurname}}, 1);
  std::vector<FirstTexts> firstSwap, laterSwap;
  const std::vector<FirstTexts> firstOwn = first.FirstTextsOf(first.Prepare(), &firstSwap);
  const std::vector<FirstTexts> laterOwn = later.FirstTextsOf(later.Prepare(), &laterSwap);
  const std::vector<FirstTexts> merged = MergeFirstTexts({firstOwn, laterOwn}, {firstSwap, laterSwap});
  EXPECT_EQ(merged[0].at("MACDONALD"), "MacDonald");
  EXPECT_EQ(merged[0].at("LEE"), "Lee");
  EXPECT_EQ(merged[0].at("ANN"), "Ann");
}

}  // namespace
}  // namespace vantel
