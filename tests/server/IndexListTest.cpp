#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "server/Compaction.h"
#include "server/Journal.h"
#include "server/LookupList.h"
#include "tests/server/ServerFixture.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel::server::testing {
namespace {

// The bytes of the index of `records` as `vantel index` writes them.
std::string IndexBytes(const std::vector<LookupRecord>& records) {
  std::vector<std::u16string> strings;
  IndexRecords stored;
  stored.sourceName = "sample.csv";
  stored.idName = "id";
  stored.stringName = "name";
  stored.keepNames = {"city"};
  stored.numberedIds = true;
  for (const LookupRecord& record : records) {
    strings.push_back(Utf8ToUtf16(record.text));
    stored.fields.insert(stored.fields.end(), {record.id, record.text, record.fields[0]});
    stored.lines.push_back(stored.lines.size() + 2);
  }
  std::string bytes;
  WriteIndex(bytes, PreparedCandidates(strings), stored);
  return bytes;
}

// The index of `records`, opened from memory.
std::shared_ptr<const Index> IndexOf(const std::vector<LookupRecord>& records) {
  const std::string bytes = IndexBytes(records);
  auto words = std::make_shared<std::vector<std::uint64_t>>(bytes.size() / 8 + 1);
  std::memcpy(words->data(), bytes.data(), bytes.size());
  const void* at = words->data();
  return Index::FromBytes(std::move(words), at, bytes.size(), "sample.vidx");
}

void ExpectSameLookups(const LookupList& expected, const LookupList& list) {
  ASSERT_EQ(list.size(), expected.size());
  for (std::size_t at = 0; at < list.size(); ++at) {
    EXPECT_EQ(list.record(at).id, expected.record(at).id);
    EXPECT_EQ(list.record(at).text, expected.record(at).text);
    for (std::size_t field = 0; field < list.fieldNames().size(); ++field) {
      EXPECT_EQ(list.record(at).field(field), expected.record(at).field(field));
    }
  }
  EXPECT_EQ(list.fieldNames(), expected.fieldNames());
  EXPECT_EQ(list.NextNumber(), expected.NextNumber());
  const std::vector<std::u16string> queries = {u"Catherine Jonson", u"Jon Smyth", u"Ann Leigh", u"Harriet Nite"};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  std::size_t pairs = 0;
  for (const std::int16_t method : {std::int16_t{0}, std::int16_t{2}, std::int16_t{3}, std::int16_t{99}}) {
    for (const double threshold : {60.0, 85.0}) {
      MatchOptions options;
      options.method = method;
      options.threshold = threshold;
      options.top = 3;
      const auto found = expected.Find(queries, options, deadline);
      EXPECT_EQ(list.Find(queries, options, deadline), found) << method << " " << threshold;
      for (const std::vector<ScoredPair>& candidates : found) pairs += candidates.size();
    }
  }
  EXPECT_GT(pairs, 2 * queries.size());
}

TEST(IndexList, AnswersAsTheListOfItsRecordsBeforeAndAfterChanges) {
  const std::vector<LookupRecord> records = SampleRecords();
  const LookupList fromRecords(records, {"city"}, true);
  const LookupList fromIndex(IndexOf(records));
  ExpectSameLookups(fromRecords, fromIndex);

  const std::vector<LookupRecord> added = {{"900", "Katharine Jonsen", {"city 9"}}, {"901", "Ann Lee", {"city 9"}}};
  ExpectSameLookups(fromRecords.WithAdded(added), fromIndex.WithAdded(added));
  ExpectSameLookups(fromRecords.WithRemoved("3"), fromIndex.WithRemoved("3"));
}

class Compaction : public ServerTest {
 protected:
  void SetUp() override {
    index_ = Folder() + "/sample.vidx";
    std::ofstream(index_, std::ios::binary) << IndexBytes(SampleRecords());
  }

  // The changes a server takes: two records added, then the one with the
  // largest number removed (its number is never given again) and one of the file's.
  void WriteChanges() {
    Journal journal(index_ + ".journal");
    for (const LookupRecord& added : Added()) journal.Append(AddedLine(added, {"city"}));
    journal.Append(RemovedLine("9001"));
    journal.Append(RemovedLine("3"));
  }

  static std::vector<LookupRecord> Added() {
    return {{"9000", "Katharine Jonsen", {"city 9"}}, {"9001", "Ann Lee", {"city 9"}}};
  }

  // The list a server starts with: the index with its journal replayed.
  std::shared_ptr<const LookupList> Served(const std::string& path) {
    const auto index = Index::Open(path);
    bool cutShort = false;
    return ReplayJournal(path + ".journal", std::make_shared<const LookupList>(index), cutShort, index.get());
  }

  std::string index_;
};

TEST_F(Compaction, FoldsTheJournalIntoTheIndexAndServesTheSameList) {
  WriteChanges();
  const auto before = Served(index_);
  ASSERT_EQ(before->size(), SampleRecords().size());  // two added, two removed
  ASSERT_EQ(before->NextNumber(), 9002u);

  const Compacted compacted = CompactIndex(index_, index_);
  EXPECT_EQ(compacted.records, before->size());
  EXPECT_EQ(compacted.changes, 4u);
  EXPECT_FALSE(compacted.cutShort);
  EXPECT_FALSE(std::filesystem::exists(index_ + ".journal"));
  const auto after = Served(index_);
  ExpectSameLookups(*before, *after);
  // The largest number removed is not given again.
  EXPECT_EQ(after->NextNumber(), 9002u);
  EXPECT_EQ(Index::Open(index_)->sourceName(), "sample.csv");
}

TEST_F(Compaction, ReplaysNoChangeTwiceWhenACrashLeftTheFoldedJournalBehind) {
  WriteChanges();
  const auto expected = Served(index_);
  // A crash after the new index took the old one's place but before the
  // journal was removed: the new index beside the journal it folded in.
  const std::string compacted = Folder() + "/compacted.vidx";
  CompactIndex(index_, compacted);
  EXPECT_TRUE(std::filesystem::exists(index_ + ".journal"));  // another file written: the journal stays
  std::filesystem::copy_file(index_ + ".journal", compacted + ".journal");
  ExpectSameLookups(*expected, *Served(compacted));

  // A server that starts from there goes on appending; those changes are made once.
  Journal(compacted + ".journal").Append(RemovedLine("5"));
  const auto later = Served(compacted);
  EXPECT_EQ(later->size(), expected->size() - 1);
  EXPECT_FALSE(later->Holds("5"));
  EXPECT_TRUE(later->Holds("9000"));
  // And the next compaction holds them all, once.
  CompactIndex(compacted, compacted);
  ExpectSameLookups(*later, *Served(compacted));
}

TEST_F(Compaction, RefusesWhileAServerHoldsTheJournalAndLeavesTheIndexAlone) {
  WriteChanges();
  const std::uintmax_t size = std::filesystem::file_size(index_);
  {
    const Journal held(index_ + ".journal");
    try {
      CompactIndex(index_, index_);
      ADD_FAILURE() << "compacted a journal in use";
    } catch (const CompactionError& refused) {
      EXPECT_NE(std::string(refused.what()).find("in use"), std::string::npos) << refused.what();
    }
    // Nor can a second server take the same journal.
    EXPECT_THROW(Journal(index_ + ".journal"), JournalError);
  }
  EXPECT_EQ(std::filesystem::file_size(index_), size);

  // A damaged journal is refused with its line, and nothing is written.
  std::ofstream(index_ + ".journal", std::ios::app) << "{\"add\": 7}\n";
  try {
    CompactIndex(index_, index_);
    ADD_FAILURE() << "compacted a damaged journal";
  } catch (const CompactionError& refused) {
    EXPECT_NE(std::string(refused.what()).find("line 5"), std::string::npos) << refused.what();
  }
  EXPECT_EQ(std::filesystem::file_size(index_), size);

  // Written elsewhere, beside the journal of another index: refused.
  const std::string other = Folder() + "/other.vidx";
  std::ofstream(other + ".journal") << RemovedLine("4") << "\n";
  std::filesystem::remove(index_ + ".journal");
  try {
    CompactIndex(index_, other);
    ADD_FAILURE() << "wrote an index beside another one's journal";
  } catch (const CompactionError& refused) {
    EXPECT_NE(std::string(refused.what()).find("other.vidx.journal"), std::string::npos) << refused.what();
  }
  EXPECT_FALSE(std::filesystem::exists(other));
  // An empty one (a server started there and took nothing) is no other index's.
  std::ofstream(other + ".journal", std::ios::trunc).close();
  EXPECT_EQ(CompactIndex(index_, other).records, SampleRecords().size());
  for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
    EXPECT_EQ(entry.path().string().find(".compacting"), std::string::npos) << entry.path();
  }
}

TEST_F(Compaction, LeavesOutALastLineCutShortByACrash) {
  WriteChanges();
  const auto expected = Served(index_);
  std::ofstream(index_ + ".journal", std::ios::app) << "{\"remove\": \"7\"";
  const Compacted compacted = CompactIndex(index_, index_);
  EXPECT_TRUE(compacted.cutShort);
  EXPECT_EQ(compacted.changes, 4u);
  ExpectSameLookups(*expected, *Served(index_));
}

}  // namespace
}  // namespace vantel::server::testing
