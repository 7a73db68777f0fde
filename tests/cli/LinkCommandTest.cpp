// vantel link: pairs and groups of a small people file with planted
// duplicates, saved models, linking two files, and the rules for bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/Cli.h"
#include "tests/cli/RunCommand.h"
#include "tests/linkage/SmallPeople.h"

namespace vantel::cli {
namespace {

std::string PeopleCsv(std::size_t persons, std::uint64_t seed, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  const testing::SmallPeople people = testing::MakeSmallPeople(persons, seed);
  std::string csv = "id,given,surname,dob,postcode,person\n";
  for (std::size_t r = from; r < std::min(to, people.person.size()); ++r) {
    csv += 'r';
    csv += std::to_string(r);
    csv += ',';
    for (std::size_t f = 0; f < 4; ++f) {
      csv += people.columns[f][r];
      csv += ',';
    }
    csv += 'p';
    csv += std::to_string(people.person[r]);
    csv += '\n';
  }
  return csv;
}

std::vector<std::vector<std::string>> Rows(const std::string& tsv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(tsv);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

const std::vector<std::string_view> kFields = {"--field", "given:name", "--field", "surname:name",
                                               "--field", "dob:date",   "--field", "postcode:code"};

std::vector<std::string_view> Args(std::vector<std::string_view> extra, const std::string& file) {
  std::vector<std::string_view> args = {"link", "--id", "id", "--sample", "20000", "--threads", "1"};
  args.insert(args.end(), kFields.begin(), kFields.end());
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(file);
  return args;
}

TEST(LinkCommand, FindsThePlantedDuplicates) {
  const TempFile people(PeopleCsv(300, 3), "people.csv");
  const CliRun run = RunWith(Args({"--keep", "person", "--quiet"}, people.path()));
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const auto rows = Rows(run.out);
  ASSERT_GT(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"query_id", "candidate_id", "probability", "weight", "query_person",
                                               "candidate_person"}));
  std::size_t correct = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_GE(std::stod(rows[i][2]), 0.9);
    correct += rows[i][4] == rows[i][5] ? 1u : 0u;
  }
  EXPECT_GE(correct * 10, (rows.size() - 1) * 9) << run.out;  // precision 0.9 or more
  // --truth reports the candidates' recall and the pairs' quality.
  const CliRun evaluated = RunWith(Args({"--truth", "person", "--quiet"}, people.path()));
  EXPECT_EQ(evaluated.out, RunWith(Args({"--quiet"}, people.path())).out);
  EXPECT_NE(evaluated.err.find("candidates\t"), std::string::npos) << evaluated.err;
  EXPECT_NE(evaluated.err.find("threshold\tpairs\tprecision\trecall\tf1"), std::string::npos);
  // --train-on-truth: m from the truth's matches, and the saved model says so.
  const TempFile model("", "model.json");
  const CliRun labelled = RunWith(
      Args({"--keep", "person", "--truth", "person", "--train-on-truth", "--quiet", "--save-model", model.path()},
           people.path()));
  ASSERT_EQ(labelled.status, kExitOk) << labelled.err;
  std::ifstream saved(model.path());
  const std::string json((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_NE(json.find("\"from_truth\": true"), std::string::npos) << json;
  const auto labelledRows = Rows(labelled.out);
  ASSERT_GT(labelledRows.size(), 1u);
  std::size_t labelledCorrect = 0;
  for (std::size_t i = 1; i < labelledRows.size(); ++i) labelledCorrect += labelledRows[i][4] == labelledRows[i][5];
  EXPECT_GE(labelledCorrect * 10, (labelledRows.size() - 1) * 9) << labelled.out;
}

TEST(LinkCommand, SameOutputOnAnyThreadsAndFromTheSavedModel) {
  const TempFile people(PeopleCsv(200, 9), "people.csv");
  const TempFile model("", "model.json");
  const CliRun one = RunWith(Args({"--quiet", "--save-model", model.path()}, people.path()));
  ASSERT_EQ(one.status, kExitOk) << one.err;
  const std::string path = people.path();
  std::vector<std::string_view> two = Args({"--quiet"}, path);
  two[6] = "2";
  EXPECT_EQ(RunWith(two).out, one.out);
  two[6] = "0";  // one per processor
  EXPECT_EQ(RunWith(two).out, one.out);
  const CliRun applied = RunWith(Args({"--quiet", "--model", model.path()}, people.path()));
  EXPECT_EQ(applied.status, kExitOk) << applied.err;
  EXPECT_EQ(applied.out, one.out);
  // A model of other fields is refused, saying what does not fit.
  const CliRun other = RunWith({"link", "--field", "given:name", "--model", model.path(), people.path()});
  EXPECT_EQ(other.status, kExitUsage);
  EXPECT_NE(other.err.find("the model has 4 fields, the command 1"), std::string::npos) << other.err;
}

TEST(LinkCommand, GroupsPlanAndExplanations) {
  const TempFile people(PeopleCsv(120, 5), "people.csv");
  const CliRun groups = RunWith(Args({"--groups", "--quiet"}, people.path()));
  ASSERT_EQ(groups.status, kExitOk) << groups.err;
  const auto rows = Rows(groups.out);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"group", "id", "size", "density"}));
  std::set<std::string> ids;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_TRUE(ids.insert(rows[i][1]).second) << rows[i][1] << " twice";
    EXPECT_GE(std::stoul(rows[i][2]), 2u);
  }
  const CliRun all = RunWith(Args({"--groups", "--all", "--quiet"}, people.path()));
  const std::size_t records = Rows(PeopleCsv(120, 5)).size() - 1;
  EXPECT_EQ(Rows(all.out).size() - 1, records);  // every row once

  const CliRun plan = RunWith(Args({"--plan", "--block", "surname", "--scan", "surname:90"}, people.path()));
  EXPECT_EQ(plan.status, kExitOk) << plan.err;
  EXPECT_NE(plan.out.find("scan surname>=90 (method 2)\t"), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("block surname\t"), std::string::npos) << plan.out;

  const CliRun explained = RunWith(Args({"--explain", "--quiet"}, people.path()));
  const auto explainedRows = Rows(explained.out);
  ASSERT_GT(explainedRows.size(), 1u);
  EXPECT_EQ(explainedRows[0].size(), 4u + 4 * 4);
  EXPECT_EQ(explainedRows[0][12], "dob_query");
  // The waterfall: the fields' weights and the prior's add up to the pair's,
  // so what is left over is the same on every row.
  std::vector<double> priors;
  for (std::size_t i = 1; i < explainedRows.size(); ++i) {
    double rest = std::stod(explainedRows[i][3]);
    for (std::size_t f = 0; f < 4; ++f) rest -= std::stod(explainedRows[i][4 + 4 * f + 3]);
    priors.push_back(rest);
  }
  for (const double prior : priors) EXPECT_NEAR(prior, priors.front(), 1e-9);
  EXPECT_LT(priors.front(), 0.0);
}

TEST(LinkCommand, LinksTwoFilesWithTopAndUnmatched) {
  const TempFile first(PeopleCsv(150, 13, 0, 100), "first.csv");
  const TempFile second(PeopleCsv(150, 13, 100), "second.csv");
  const std::string firstPath = first.path(), secondPath = second.path();
  std::vector<std::string_view> args = Args({"--top", "1", "--unmatched", "--quiet"}, firstPath);
  args.push_back(secondPath);
  const CliRun run = RunWith(args);
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const auto rows = Rows(run.out);
  std::set<std::string> queries;
  for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_TRUE(queries.insert(rows[i][0]).second) << rows[i][0];
  EXPECT_EQ(queries.size(), 100u);  // each query once: its best pair or an empty one
}

// Linking, the groups are the components of the pairs the same run writes,
// each member marked with its file, and a group's density counts the pairs
// of one record of each file.
TEST(LinkCommand, GroupsRecordsOfBothFilesWhenLinking) {
  // The rows of even number in one file, the others in the other: a
  // person's duplicate follows the person, so most land in both.
  std::string evenRows, oddRows;
  std::istringstream lines(PeopleCsv(150, 17));
  std::size_t number = 0;
  for (std::string line; std::getline(lines, line); ++number) {
    if (number == 0 || number % 2 == 0) evenRows += line + '\n';
    if (number == 0 || number % 2 == 1) oddRows += line + '\n';
  }
  const TempFile first(evenRows, "first.csv");
  const TempFile second(oddRows, "second.csv");
  const std::string firstPath = first.path(), secondPath = second.path();
  const auto runLink = [&](std::vector<std::string_view> extra) {
    std::vector<std::string_view> args = Args(std::move(extra), firstPath);
    args.push_back(secondPath);
    return RunWith(args);
  };
  const CliRun pairs = runLink({"--threshold", "0.5", "--quiet"});
  ASSERT_EQ(pairs.status, kExitOk) << pairs.err;
  const CliRun groups = runLink({"--threshold", "0.5", "--groups", "--quiet"});
  ASSERT_EQ(groups.status, kExitOk) << groups.err;
  const auto pairRows = Rows(pairs.out), groupRows = Rows(groups.out);
  EXPECT_EQ(groupRows[0], (std::vector<std::string>{"group", "file", "id", "size", "density"}));
  ASSERT_GT(pairRows.size(), 5u);
  // Ids ("r<row>") differ between the files here, so a member is its id.
  std::map<std::string, std::string> groupOf;
  std::map<std::string, std::size_t> firstMembers, members;
  for (std::size_t i = 1; i < groupRows.size(); ++i) {
    const auto& row = groupRows[i];
    const bool inFirst = std::stoul(row[2].substr(1)) % 2 == 1;  // ids count the rows from r0
    EXPECT_EQ(row[1], inFirst ? "1" : "2") << row[2];
    EXPECT_TRUE(groupOf.emplace(row[2], row[0]).second) << row[2] << " twice";
    ++members[row[0]];
    firstMembers[row[0]] += inFirst ? 1u : 0u;
  }
  std::map<std::string, std::size_t> keptIn;
  std::set<std::string> paired;
  for (std::size_t i = 1; i < pairRows.size(); ++i) {
    const std::string& query = pairRows[i][0];
    const std::string& candidate = pairRows[i][1];
    ASSERT_TRUE(groupOf.count(query) && groupOf.count(candidate)) << query << ' ' << candidate;
    EXPECT_EQ(groupOf[query], groupOf[candidate]) << query << ' ' << candidate;
    ++keptIn[groupOf[query]];
    paired.insert(query);
    paired.insert(candidate);
  }
  EXPECT_EQ(paired.size(), groupOf.size());  // no member without a pair
  for (std::size_t i = 1; i < groupRows.size(); ++i) {
    const auto& row = groupRows[i];
    EXPECT_EQ(std::stoul(row[3]), members[row[0]]);
    const double memberPairs =
        static_cast<double>(firstMembers[row[0]]) * static_cast<double>(members[row[0]] - firstMembers[row[0]]);
    EXPECT_NEAR(std::stod(row[4]), static_cast<double>(keptIn[row[0]]) / memberPairs, 0.0006) << row[0];
  }
  // --all: every record of both files once; the truth rates the groups too.
  const CliRun all = runLink({"--threshold", "0.5", "--groups", "--all", "--truth", "person", "--quiet"});
  ASSERT_EQ(all.status, kExitOk) << all.err;
  EXPECT_EQ(Rows(all.out).size() - 1, Rows(PeopleCsv(150, 17)).size() - 1);
  const auto report = Rows(all.err);
  ASSERT_GT(report.size(), 2u);
  EXPECT_EQ(report[1].back(), "group_f1");
  EXPECT_FALSE(report[2].back().empty()) << all.err;
}

TEST(LinkCommand, RefusesBadInputNamingIt) {
  const TempFile file(PeopleCsv(30, 1), "people.csv");
  const TempFile model("{\"format\": \"vantel-link-model\", \"fields\": [", "model.json");
  const std::string people = file.path(), corrupt = model.path();
  struct Case {
    std::vector<std::string_view> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"link", "--field", "nickname:name", people}, kExitUsage, "nickname"},
      {{"link", "--field", "nickname:name", people}, kExitUsage, "given"},
      {{"link", "--field", "given:fuzzy", people}, kExitUsage, "unknown kind 'fuzzy'"},
      {{"link", "--field", "given:name:levels=80,90", people}, kExitUsage, "levels must descend"},
      {{"link", "--field", "given:name:order=sideways", people}, kExitUsage, "order must be any or written"},
      {{"link", "--field", "given:name:aliases=/nonexistent-folder/groups.csv", people},
       kExitFailure,
       "--field given:name:aliases=/nonexistent-folder/groups.csv: /nonexistent-folder/groups.csv: cannot be read"},
      {{"link", "--field", "given:name", "--threshold", "1.5", people}, kExitUsage, "--threshold: '1.5'"},
      {{"link", people}, kExitUsage, "--field"},
      {{"link", "--field", "given:name", "--groups", "--unmatched", people, people}, kExitUsage, "--unmatched"},
      {{"link", "--field", "given:name", "--groups", "--explain", people}, kExitUsage, "--explain"},
      {{"link", "--field", "given:name", "--block", "soundex(given)", people}, kExitUsage, "soundex"},
      {{"link", "--field", "given:name", "--scan", "town:80", people}, kExitUsage, "--scan: "},
      {{"link", "--field", "given:name", "--model", corrupt, people}, kExitUsage, "corrupt or truncated"},
      {{"link", "--field", "given:name", "--train-on-truth", people}, kExitUsage, "--train-on-truth goes with --truth"},
      {{"link", "--field", "given:name", "--truth", "person", "--train-on-truth", "--model", corrupt, people},
       kExitUsage,
       "--train-on-truth and --model exclude each other"},
      {{"link", "--field", "given:name:swap=town", "--field", "surname:name", people},
       kExitUsage,
       "swap=town is not another name field"},
      {{"link", "--field", "given:name:swap=dob", "--field", "dob:date", people},
       kExitUsage,
       "swap=dob is not another name field"},
      {{"link", "--field", "given:name", "--save-model", "/nonexistent-folder/model.json", people},
       kExitFailure,
       "cannot write to /nonexistent-folder/model.json"},
  };
  for (const Case& test : cases) {
    const CliRun run = RunWith(test.args);
    EXPECT_EQ(run.status, test.status) << test.message << ": " << run.err;
    EXPECT_NE(run.err.find(test.message), std::string::npos) << run.err;
  }
}

TEST(LinkCommand, CountsUnreadableValuesAndReportsShortRows) {
  const TempFile people(
      "id,given,surname,dob,postcode\n"
      "a,Anna,Smith,1980-01-02,2000\n"
      "b,Anna,Smith,soon,2000\n"
      "c,Anna\n"
      "d,Anna,Smith,1980-01-02,2000\n",
      "people.csv");
  const CliRun run = RunWith(Args({"--sample", "100"}, people.path()));
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("people.csv line 4: too few fields: 2 of 5"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("field dob (date): 1 value could not be read"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.rfind("query_id\tcandidate_id\tprobability\tweight\n", 0), 0u) << run.out;

  // Linking to a file none of whose rows can be read: nothing to link, said
  // so, and never the first file's records grouped among themselves.
  const TempFile broken("id,given,surname,dob,postcode\nx,Ann\n", "broken.csv");
  const std::string good = people.path(), bad = broken.path();
  for (const bool otherBroken : {true, false}) {
    std::vector<std::string_view> args = Args({"--groups", "--quiet"}, otherBroken ? good : bad);
    args.push_back(otherBroken ? bad : good);
    const CliRun linked = RunWith(args);
    EXPECT_EQ(linked.status, kExitFailure);
    EXPECT_NE(linked.err.find("broken.csv: no rows to link"), std::string::npos) << linked.err;
    EXPECT_EQ(linked.out, "") << linked.out;
  }
}

}  // namespace
}  // namespace vantel::cli
