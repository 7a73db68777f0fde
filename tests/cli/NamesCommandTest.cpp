// The options of name forms on the command line: each is the library's
// answer, match keeps exactly what compare --pairs finds, and bad options or
// aliases files are named.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "tests/cli/RunCommand.h"
#include "tests/matching/RandomNames.h"
#include "tests/names/NameData.h"
#include "vantel/NameForms.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

std::vector<std::vector<std::string_view>> OptionSets() {
  std::vector<std::vector<std::string_view>> sets = {{"--order", "any"}, {"--nicknames"}};
  if (TransliterationAvailable()) {
    sets.push_back({"--transliterate"});
    sets.push_back({"--order=any", "--nicknames", "--transliterate"});
  }
  return sets;
}

std::vector<std::string_view> Joined(std::vector<std::string_view> head, const std::vector<std::string_view>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(CompareCommandNames, AnswersWhatTheLibraryAnswersUnderEachOption) {
  NameOptions order, nicknames;
  order.anyOrder = true;
  nicknames.aliases = NameTable::English();
  const struct {
    std::vector<std::string_view> options;
    NameOptions names;
    std::string first, second;
  } cases[] = {
      {{"--order", "any"}, order, "SMITH, John", "John Smith"},
      {{"--order", "any"}, order, "Lloyd-Webber, Anna", "Anna Lloyd Webber"},
      {{"--order", "given"}, {}, "SMITH, John", "John Smith"},
      {{"--nicknames"}, nicknames, "Bob Smith", "Robert Smith"},
      {{"--nicknames"}, nicknames, "Peggy Jones", "Margaret Jones"},
      {{"--nicknames"}, nicknames, "Ted Hughes", "Theodore Hughes"},
  };
  CompareUS comparer;
  for (const auto& c : cases) {
    for (const std::string_view method : {"0", "2", "99"}) {
      const auto args = Joined({"compare", "--method", method}, c.options);
      const CliRun run = RunWith(Joined(args, {c.first, c.second}));
      ASSERT_EQ(run.status, kExitOk) << run.err;
      const double answer = CompareNames(comparer, Utf8ToUtf16(c.first), Utf8ToUtf16(c.second),
                                         static_cast<std::int16_t>(std::stoi(std::string(method))), c.names)
                                .answer;
      EXPECT_EQ(run.out, FormatAnswer(answer) + "\n") << c.first << " / " << c.second;
    }
  }
  EXPECT_EQ(RunWith({"compare", "--method", "2", "--order", "any", "SMITH, John", "John Smith"}).out, "100\n");
  EXPECT_EQ(RunWith({"compare", "--method", "2", "--nicknames", "Bob Smith", "Robert Smith"}).out, "100\n");
  EXPECT_NE(RunWith({"compare", "--method", "2", "Bob Smith", "Robert Smith"}).out, "100\n");
}

TEST(CompareCommandNames, TransliteratesOtherScripts) {
  if (!TransliterationAvailable()) GTEST_SKIP() << "built without ICU";
  const CliRun run = RunWith({"compare", "--transliterate", "\xE7\x8E\x8B\xE4\xBC\x9F", "Wang Wei"});
  EXPECT_EQ(run.out, "100\n") << run.err;
  EXPECT_EQ(RunWith({"compare", "\xE7\x8E\x8B\xE4\xBC\x9F", "Wang Wei"}).out, "0\n");
}

TEST(CompareCommandNames, TakesAUsersAliasesAloneOrWithTheBuiltInTable) {
  const TempFile aliases("# our own\nOlumide,Olu\n");
  const std::string path = aliases.path();
  const struct {
    std::vector<std::string_view> options;
    bool olu, bob;  // whether each pair is the same name
  } cases[] = {
      {{"--aliases", path}, true, false},
      {{"--nicknames", "--aliases", path}, true, true},
      {{"--nicknames"}, false, true},
  };
  for (const auto& c : cases) {
    const auto args = Joined({"compare", "--method", "2"}, c.options);
    EXPECT_EQ(RunWith(Joined(args, {"Olu Ade", "Olumide Ade"})).out == "100\n", c.olu);
    EXPECT_EQ(RunWith(Joined(args, {"Bob Ade", "Robert Ade"})).out == "100\n", c.bob);
  }
}

TEST(CompareCommandNames, RefusesBadOptionsAndAliasesFilesNamingThem) {
  const TempFile emptyGroup("Robert,Bob\n , ,\n", "aliases.csv");
  const TempFile emptyName("Robert,,Bob\n", "aliases.csv");
  const std::string emptyGroupPath = emptyGroup.path(), emptyNamePath = emptyName.path();
  const struct {
    std::vector<std::string_view> args;
    int status;
    std::string message;
  } cases[] = {
      {{"compare", "--order", "random", "a", "b"}, kExitUsage, "--order: 'random' is not any or given"},
      {{"compare", "--aliases", "/nonexistent/aliases.csv", "a", "b"},
       kExitFailure,
       "--aliases: /nonexistent/aliases.csv: cannot be read"},
      {{"compare", "--aliases", emptyGroupPath, "a", "b"},
       kExitFailure,
       "--aliases: " + emptyGroup.path() + " line 2: empty group"},
      {{"match", "--aliases", emptyNamePath, "-"},
       kExitFailure,
       "--aliases: " + emptyName.path() + " line 1: empty name in field 2"},
      {{"match", "--order", "", "-"}, kExitUsage, "--order: '' is not any or given"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunWith(c.args, "Ann\n");
    EXPECT_EQ(run.status, c.status) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST(CompareCommandNames, ExplainsTheFormsItCompared) {
  const CliRun run = RunWith({"compare", "--explain", "--method", "2", "--order", "any", "SMITH, John", "John Smith"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const std::string expected =
      "form1\tSMITH, John\nform2\tJohn Smith\nsorted1\tjohn smith\nsorted2\tjohn smith\n"
      "compared1\tjohn smith\ncompared2\tjohn smith\nsound\t100\nspelling\t100\n";
  EXPECT_EQ(run.out.substr(0, expected.size()), expected);
  EXPECT_NE(run.out.find("method 2\t100\n"), std::string::npos) << run.out;
  // Without the options the explanation is what it always was.
  EXPECT_EQ(RunWith({"compare", "--explain", "a", "b"}).out.rfind("sound\t", 0), 0u);
}

// Match under each option keeps exactly the pairs that compare --pairs
// answers at or above the threshold, whatever the threads.
TEST(MatchCommandNames, KeepsExactlyWhatComparePairsFinds) {
  std::vector<std::u16string> names = names::testing::NamesOf({"reordered.tsv", "nicknames.tsv", "transliterated.tsv"});
  std::mt19937 random(5);
  std::shuffle(names.begin(), names.end(), random);
  names.resize(30);
  for (std::u16string& name : matching::testing::RandomNames(6, 10)) names.push_back(std::move(name));
  std::string list, pairs;
  for (const std::u16string& name : names) list += Utf16ToUtf8(name) + "\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = i + 1; j < names.size(); ++j)
      pairs += Utf16ToUtf8(names[i]) + "\t" + Utf16ToUtf8(names[j]) + "\n";
  }
  for (const auto& options : OptionSets()) {
    const CliRun compared = RunWith(Joined({"compare", "--method", "2", "--pairs", "-"}, options), pairs);
    ASSERT_EQ(compared.status, kExitOk) << compared.err;
    for (const std::string_view threshold : {"60", "85"}) {
      // The brute force: every pair's answer, kept at the threshold, in match's order.
      struct Kept {
        std::size_t query, candidate;
        double answer;
        std::string line;
      };
      std::vector<Kept> kept;
      std::istringstream answers(compared.out);
      std::string line;
      for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t j = i + 1; j < names.size(); ++j) {
          ASSERT_TRUE(std::getline(answers, line));
          const std::string answer = line.substr(line.rfind('\t') + 1);
          if (std::stod(answer) < std::stod(std::string(threshold))) continue;
          kept.push_back(
              {i, j, std::stod(answer), std::to_string(i + 1) + "\t" + std::to_string(j + 1) + "\t" + line + "\n"});
        }
      }
      std::stable_sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
        return a.query != b.query ? a.query < b.query : a.answer > b.answer;
      });
      std::string expected;
      for (const Kept& pair : kept) expected += pair.line;
      for (const std::string_view threads : {"1", "2"}) {
        const auto args =
            Joined({"match", "--method", "2", "--threshold", threshold, "--threads", threads, "--quiet"}, options);
        const CliRun matched = RunWith(Joined(args, {"-"}), list);
        EXPECT_EQ(matched.status, kExitOk) << matched.err;
        EXPECT_EQ(matched.out, expected) << options.front() << " at " << threshold << " on " << threads;
      }
    }
  }
}

TEST(MatchCommandNames, ExplainsTheFormsOfEachPair) {
  const CliRun run =
      RunWith({"match", "--explain", "--nicknames", "--threshold", "90", "--quiet", "-"}, "Bob Smith\nRobert Smith\n");
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out.rfind("1\t2\tBob Smith\tRobert Smith\t100\t100\t100\t", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("\tRobert Smith\tRobert Smith\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace vantel::cli
