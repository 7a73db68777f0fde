// libFuzzer target: the index reader over damaged files. An input too short
// to be a whole index would only ever test the header, so the input
// describes a valid index and the damage done to it. Input layout: a byte
// of flags (1: write the checksums anew after the damage, so that what lies
// behind them is reached; 2: cut the file at the first damage's offset;
// 4: read the input itself as a file as well), the candidate strings, each
// ended by a newline, up to a zero byte (bytes from 0x80 up stand for
// characters outside ASCII), then damages of three bytes each: a 16-bit
// offset into the file, scaled to its length, and a byte to XOR there.
// Whatever the damage, the reader must refuse the file with IndexError or
// give an index whose every field and every match can be read; undamaged,
// the index must match exactly as the list it was made from.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "index/Format.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Where the fields read go, so that reading them is not optimised away.
volatile std::size_t sink = 0;

std::shared_ptr<const vantel::Index> Read(const std::string& bytes) {
  auto words = std::make_shared<std::vector<std::uint64_t>>(bytes.size() / 8 + 1);
  std::memcpy(words->data(), bytes.data(), bytes.size());
  const void* at = words->data();
  try {
    return vantel::Index::FromBytes(std::move(words), at, bytes.size(), "fuzzed.vidx");
  } catch (const vantel::IndexError&) {
    return nullptr;
  }
}

std::vector<vantel::ScoredPair> MatchWith(const std::vector<std::u16string>& queries,
                                          std::shared_ptr<const vantel::PreparedCandidates> candidates) {
  vantel::MatchOptions options;
  options.threshold = 50;
  return vantel::Matcher(queries, std::move(candidates), options).Run();
}

// Reads everything the index hands out.
void Touch(const vantel::Index& index, const std::vector<std::u16string>& queries) {
  std::size_t sum = index.sourceName().size() + index.idName().size() + index.stringName().size();
  for (const std::string_view name : index.keepNames()) sum += name.size();
  for (std::size_t at = 0; at < index.size(); ++at) {
    sum += index.id(at).size() + index.text(at).size() + index.line(at);
    for (std::size_t keep = 0; keep < index.keepNames().size(); ++keep) sum += index.keep(at, keep).size();
  }
  for (const auto& [line, reason] : index.problems()) sum += line + reason.size();
  sink = sum;
  for (const vantel::ScoredPair& pair : MatchWith(queries, index.candidates())) {
    Require(pair.candidate < index.size() && pair.answer >= 50);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  std::size_t at = 1;
  std::vector<std::u16string> candidates(1);
  for (; at < size && data[at] != 0; ++at) {
    if (data[at] == '\n') {
      candidates.emplace_back();
    } else {
      candidates.back() += static_cast<char16_t>(data[at] < 0x80 ? data[at] : 0x100 + data[at]);
    }
  }
  ++at;
  const std::vector<std::u16string> queries = {u"Smith", candidates.front()};

  const auto prepared = std::make_shared<const vantel::PreparedCandidates>(candidates);
  vantel::IndexRecords records;
  records.sourceName = "fuzzed.txt";
  records.keepNames = {"copy"};
  std::vector<std::string> fields;
  for (std::size_t row = 0; row < candidates.size(); ++row) {
    fields.push_back(std::to_string(row + 1));
    fields.push_back(vantel::Utf16ToUtf8(candidates[row]));
    records.lines.push_back(row + 1);
  }
  for (std::size_t row = 0; row < candidates.size(); ++row) {
    records.fields.insert(records.fields.end(), {fields[2 * row], fields[2 * row + 1], fields[2 * row + 1]});
  }
  records.numberedIds = true;
  records.problems = {{3, "empty string"}};
  std::string bytes;
  vantel::WriteIndex(bytes, *prepared, records);

  bool damaged = false;
  for (; at + 3 <= size; at += 3) {
    const std::size_t offset = (std::size_t{data[at]} | std::size_t{data[at + 1]} << 8) * bytes.size() / 65536;
    if ((flags & 2) != 0 && !damaged) bytes.resize(offset);
    if (offset < bytes.size()) bytes[offset] = static_cast<char>(bytes[offset] ^ data[at + 2]);
    damaged = true;
  }
  if ((flags & 1) != 0) vantel::index::RefreshChecksums(bytes);

  const std::shared_ptr<const vantel::Index> index = Read(bytes);
  if (!damaged) {
    Require(index != nullptr && index->size() == candidates.size());
    Require(MatchWith(queries, index->candidates()) == MatchWith(queries, prepared));
  }
  if (index) Touch(*index, queries);
  if ((flags & 4) != 0) {
    if (const auto raw = Read(std::string(reinterpret_cast<const char*>(data), size))) Touch(*raw, queries);
  }
  return 0;
}
