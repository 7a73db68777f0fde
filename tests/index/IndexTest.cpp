#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "index/Format.h"
#include "tests/cli/RunCommand.h"
#include "tests/matching/RandomNames.h"
#include "vantel/Errors.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

using Fault = IndexError::Fault;
using matching::testing::RandomNames;

// Candidates with every kind of entry: repeats, an empty string, one too
// long, and one whose phonetic form fails.
std::vector<std::u16string> Candidates() {
  std::vector<std::u16string> names = RandomNames(7, 300);
  names.insert(names.begin() + 3, u"");
  names.insert(names.begin() + 10, std::u16string(71, u'a'));
  names.insert(names.begin() + 20, u"Unsayable");
  names.push_back(names[5]);
  names.push_back(names[6]);
  return names;
}

std::u16string FormFailingOnUnsayable(CompareUS& comparer, std::u16string_view text) {
  if (text == u"Unsayable") throw RuntimeError(error::kOverflow);
  return comparer.PhoneticForm(text);
}

std::shared_ptr<const PreparedCandidates> Prepare(const std::vector<std::u16string>& candidates) {
  return std::make_shared<const PreparedCandidates>(candidates, MatchOptions{}, FormFailingOnUnsayable);
}

IndexRecords RecordsOf(const std::vector<std::u16string>& candidates, std::vector<std::string>& storage) {
  IndexRecords records;
  records.sourceName = "names.csv";
  records.idName = "id";
  records.stringName = "name";
  records.keepNames = {"town"};
  storage.clear();
  storage.reserve(candidates.size() * 3);
  for (std::size_t at = 0; at < candidates.size(); ++at) {
    // Appended: GCC 12 warns falsely (-Wrestrict) about a literal + std::string.
    storage.emplace_back("R").append(std::to_string(at));
    storage.push_back(Utf16ToUtf8(candidates[at]));
    storage.push_back(at % 2 ? "Leeds" : "");
    records.lines.push_back(at + 2);
  }
  records.fields.assign(storage.begin(), storage.end());
  records.problems = {{7, "short of fields"}, {400, "not valid UTF-8 (byte 3)"}};
  return records;
}

std::string IndexBytes() {
  const std::vector<std::u16string> candidates = Candidates();
  std::vector<std::string> storage;
  std::string bytes;
  WriteIndex(bytes, *Prepare(candidates), RecordsOf(candidates, storage));
  return bytes;
}

// The bytes in memory aligned as a mapped file is.
std::shared_ptr<const Index> FromBytes(const std::string& bytes, const std::string& name = "test.vidx") {
  auto words = std::make_shared<std::vector<std::uint64_t>>(bytes.size() / 8 + 1);
  std::memcpy(words->data(), bytes.data(), bytes.size());
  const void* data = words->data();
  return Index::FromBytes(std::move(words), data, bytes.size(), name);
}

TEST(Index, MatchesAsTheListItWasMadeFromForEveryMethodThresholdAndLimit) {
  const std::vector<std::u16string> candidates = Candidates();
  const auto prepared = Prepare(candidates);
  std::vector<std::string> storage;
  std::string bytes;
  WriteIndex(bytes, *prepared, RecordsOf(candidates, storage));
  const auto index = FromBytes(bytes);
  ASSERT_EQ(index->candidates()->size(), candidates.size());
  std::vector<std::u16string> queries = RandomNames(11, 60);
  queries.push_back(candidates[5]);
  queries.push_back(u"");

  for (const std::int16_t method :
       {std::int16_t{0}, std::int16_t{1}, std::int16_t{2}, std::int16_t{3}, std::int16_t{99}}) {
    for (const double threshold : {40.0, 80.0, 95.0}) {
      for (const std::size_t top : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
        SCOPED_TRACE(testing::Message() << "method " << method << " threshold " << threshold << " top " << top);
        MatchOptions options;
        options.method = method;
        options.threshold = threshold;
        options.top = top;
        const Matcher original(queries, prepared, options);
        const Matcher stored(queries, index->candidates(), options);
        const std::vector<ScoredPair> pairs = original.Run();
        EXPECT_EQ(stored.Run(), pairs);
        EXPECT_EQ(stored.rejections(), original.rejections());
        if (method == 0 && threshold == 40.0 && top == 0) {
          EXPECT_GT(pairs.size(), queries.size());
        }
      }
    }
  }
}

TEST(Index, KeepsTheRecordsFieldsLinesAndProblems) {
  const std::vector<std::u16string> candidates = Candidates();
  std::vector<std::string> storage;
  const IndexRecords records = RecordsOf(candidates, storage);
  std::string bytes;
  WriteIndex(bytes, *Prepare(candidates), records);
  const auto index = FromBytes(bytes);
  ASSERT_EQ(index->size(), candidates.size());
  EXPECT_EQ(index->sourceName(), "names.csv");
  EXPECT_EQ(index->idName(), "id");
  EXPECT_EQ(index->stringName(), "name");
  ASSERT_EQ(index->keepNames().size(), 1u);
  EXPECT_EQ(index->keepNames()[0], "town");
  EXPECT_FALSE(index->numberedIds());
  for (std::size_t at = 0; at < candidates.size(); ++at) {
    EXPECT_EQ(index->id(at), records.fields[3 * at]);
    EXPECT_EQ(index->text(at), records.fields[3 * at + 1]);
    EXPECT_EQ(index->keep(at, 0), records.fields[3 * at + 2]);
    EXPECT_EQ(index->line(at), at + 2);
  }
  ASSERT_EQ(index->problems().size(), 2u);
  EXPECT_EQ(index->problems()[1].first, 400u);
  EXPECT_EQ(index->problems()[1].second, "not valid UTF-8 (byte 3)");
}

TEST(Index, RefusesRecordsThatDoNotDescribeTheList) {
  const std::vector<std::u16string> candidates = Candidates();
  std::vector<std::string> storage;
  IndexRecords records = RecordsOf(candidates, storage);
  records.lines.pop_back();
  std::string bytes;
  EXPECT_THROW(WriteIndex(bytes, *Prepare(candidates), records), RuntimeError);
}

// The directory entry of `section`.
index::SectionEntry EntryOf(const std::string& bytes, index::Section section) {
  index::SectionEntry entry;
  std::memcpy(&entry, bytes.data() + sizeof(index::Header) + (section - 1) * sizeof entry, sizeof entry);
  return entry;
}

struct Damage {
  std::string what;
  std::string bytes;
  Fault fault;
  std::string says;  // in the message, after the file's name
};

void Expect(const Damage& damage) {
  SCOPED_TRACE(damage.what);
  try {
    FromBytes(damage.bytes, "damaged.vidx");
    ADD_FAILURE() << "accepted";
  } catch (const IndexError& refused) {
    EXPECT_EQ(refused.fault(), damage.fault) << refused.what();
    EXPECT_EQ(std::string(refused.what()).rfind("damaged.vidx: ", 0), 0u) << refused.what();
    EXPECT_NE(std::string(refused.what()).find(damage.says), std::string::npos) << refused.what();
  }
}

TEST(Index, RefusesEveryDamageSayingWhichAndNamingTheFile) {
  const std::string good = IndexBytes();
  ASSERT_NO_THROW(FromBytes(good));
  std::vector<Damage> damages;
  damages.push_back({"empty", "", Fault::Truncated, "empty"});
  for (const std::size_t length : {std::size_t{3}, std::size_t{8}, sizeof(index::Header) - 1, sizeof(index::Header),
                                   std::size_t{200}, good.size() / 2, good.size() - 8, good.size() - 1}) {
    damages.push_back({"cut to " + std::to_string(length), good.substr(0, length), Fault::Truncated, "truncated"});
  }
  damages.push_back({"a byte more", good + '\0', Fault::Corrupt, "longer"});
  std::string foreign = good;
  foreign[0] = 'P';
  damages.push_back({"bad magic", foreign, Fault::Foreign, "magic number"});
  damages.push_back({"a text file", "Smith\nJones\n", Fault::Foreign, "magic number"});

  std::string newer = good;
  const std::uint32_t version = index::kVersion + 1;
  std::memcpy(newer.data() + offsetof(index::Header, version), &version, sizeof version);
  damages.push_back({"newer version", newer, Fault::Newer, "newer"});
  index::RefreshChecksums(newer);
  damages.push_back(
      {"newer version, checksums right", newer, Fault::Newer, "format " + std::to_string(index::kVersion + 1)});

  std::string swapped = good;
  std::memcpy(swapped.data() + offsetof(index::Header, byteOrder), &index::kSwappedByteOrderMark, 4);
  damages.push_back({"other byte order", swapped, Fault::ByteOrder, "byte order"});

  std::string directory = good;
  directory[sizeof(index::Header) + 9] ^= 0x10;  // an offset
  damages.push_back({"directory", directory, Fault::Corrupt, "header fails its checksum"});

  for (std::uint32_t kind = 1; kind <= index::kSectionCount; ++kind) {
    const auto section = static_cast<index::Section>(kind);
    const index::SectionEntry entry = EntryOf(good, section);
    ASSERT_GT(entry.length, 0u) << index::NameOf(section) << ": the list should fill every section";
    for (const std::uint64_t at : {std::uint64_t{0}, entry.length - 1}) {
      std::string flipped = good;
      flipped[entry.offset + at] = static_cast<char>(flipped[entry.offset + at] ^ 0x01);
      damages.push_back({std::string("flipped in ") + index::NameOf(section), flipped, Fault::Corrupt,
                         std::string("'") + index::NameOf(section) + "' fails its checksum"});
    }
  }
  for (const Damage& damage : damages) Expect(damage);
}

// Contents changed behind correct checksums: what a checksum cannot catch
// must still never be read out of bounds.
// The next number and the folded journal came with format 2: a file of format
// 1, whose meta section holds neither, is read as before and gives none.
TEST(Index, ReadsTheFormerFormatAndTheFoldedJournalOfTheCurrentOne) {
  const std::vector<std::u16string> candidates = Candidates();
  std::vector<std::string> storage;
  IndexRecords records = RecordsOf(candidates, storage);
  records.nextNumber = 77;
  std::string unnumbered;
  WriteIndex(unnumbered, *Prepare(candidates), records);
  Expect({"a next number without numbered ids", unnumbered, Fault::Corrupt, "next number"});
  records.numberedIds = true;
  const std::string journal = "{\"remove\": \"4\"}\n{\"remove\": \"5\"}\n";
  records.foldedJournal = journal;
  std::string bytes;
  WriteIndex(bytes, *Prepare(candidates), records);
  const auto index = FromBytes(bytes);
  EXPECT_EQ(index->nextNumber(), 77u);
  EXPECT_EQ(index->FoldedPrefix(journal), journal.size());
  std::string longer = journal;
  longer.append("{\"remove\": \"6\"}\n");
  EXPECT_EQ(index->FoldedPrefix(longer), journal.size());
  EXPECT_EQ(index->FoldedPrefix(journal.substr(0, journal.size() - 1)), 0u);  // shorter: another journal
  EXPECT_EQ(index->FoldedPrefix("{\"remove\": \"7\"}\n{\"remove\": \"5\"}\n"), 0u);

  std::string former = bytes;
  const std::uint32_t version = 1;
  std::memcpy(former.data() + offsetof(index::Header, version), &version, sizeof version);
  index::SectionEntry meta = EntryOf(former, index::kMeta);
  meta.length = 3 * sizeof(std::uint64_t);
  std::memcpy(former.data() + sizeof(index::Header) + (index::kMeta - 1) * sizeof meta, &meta, sizeof meta);
  index::RefreshChecksums(former);
  const auto read = FromBytes(former);
  EXPECT_EQ(read->size(), candidates.size());
  EXPECT_EQ(read->nextNumber(), 0u);
  EXPECT_EQ(read->FoldedPrefix(journal), 0u);
  EXPECT_EQ(read->id(1), index->id(1));

  // Format 2 with the meta section of format 1 is corrupt, not read short.
  std::string cut = bytes;
  std::memcpy(cut.data() + sizeof(index::Header) + (index::kMeta - 1) * sizeof meta, &meta, sizeof meta);
  index::RefreshChecksums(cut);
  Expect({"format 2 with three meta values", cut, Fault::Corrupt, "'meta'"});
}

TEST(Index, RefusesContentsThatDoNotHoldTogetherBehindGoodChecksums) {
  const std::string good = IndexBytes();
  const auto changed = [&](index::Section section, std::size_t at, std::uint64_t value, std::size_t width) {
    std::string bytes = good;
    std::memcpy(bytes.data() + EntryOf(good, section).offset + at, &value, width);
    index::RefreshChecksums(bytes);
    return bytes;
  };
  const std::size_t texts = EntryOf(good, index::kTextEnds).length / 8 - 1;
  const std::vector<Damage> damages = {
      {"a string list not from 0", changed(index::kFieldEnds, 0, 1, 8), Fault::Corrupt, "'field ends'"},
      {"a string list backwards", changed(index::kTextEnds, 16, 0, 8), Fault::Corrupt, "backwards"},
      {"a string past its characters", changed(index::kNameEnds, 8, 1u << 30, 8), Fault::Corrupt, "'name ends'"},
      {"an entry's text out of range", changed(index::kEntryTexts, 0, texts, 4), Fault::Corrupt, "hold together"},
      {"an entry out of order", changed(index::kEntryPositions, 4, 0, 4), Fault::Corrupt, "hold together"},
      {"a rejection past the list", changed(index::kRejectionPositions, 0, 1u << 31, 4), Fault::Corrupt,
       "hold together"},
      {"a failure's text out of range", changed(index::kFailureTexts, 0, 1u << 31, 4), Fault::Corrupt, "hold together"},
      {"a wrong number of fields", changed(index::kMeta, 8, 5, 8), Fault::Corrupt, "'name ends'"},
      {"too long a list", changed(index::kMeta, 0, ~std::uint64_t{0}, 8), Fault::Corrupt, "'meta'"},
      {"more candidates than lines", changed(index::kMeta, 0, 400, 8), Fault::Corrupt, "'field ends'"},
  };
  for (const Damage& damage : damages) Expect(damage);
}

TEST(Index, RefusesAFileThatIsNoneNamingIt) {
  const cli::TempFile file(IndexBytes(), "names.vidx");
  EXPECT_EQ(Index::Open(file.path())->size(), Candidates().size());
  const std::string folder = std::filesystem::path(file.path()).parent_path().string();
  for (const std::string& path : {folder, folder + "/absent.vidx"}) {
    try {
      Index::Open(path);
      ADD_FAILURE() << path << " accepted";
    } catch (const IndexError& refused) {
      EXPECT_EQ(refused.fault(), Fault::Unreadable);
      EXPECT_EQ(std::string(refused.what()).rfind(path + ": ", 0), 0u) << refused.what();
    }
  }
}

}  // namespace
}  // namespace vantel
