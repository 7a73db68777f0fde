// libFuzzer target: the index reader over damaged files. An input too short
// to be a whole index would only ever test the header, so the input
// describes a valid index and the damage done to it. Input layout: a byte of
// flags (1: write the checksums anew after the damage, so that what lies
// behind them is reached; 2: cut the file at the first damage's offset;
// 4: read the input itself as a file as well; the top five bits: a shift of
// 0 to 31 bytes added to every offset), a byte whose low three bits give the
// number of damages, the damages of two bytes each (an offset in 256ths of
// the file and a byte to XOR there), then further candidate strings, each
// ended by a newline (bytes from 0x80 up stand for characters outside ASCII),
// after a few fixed ones that fill every section of the file.
// Whatever the damage, the reader must refuse the file with IndexError or
// give an index whose every field and every match can be read; undamaged,
// the index must match exactly as the list it was made from.
#include <algorithm>
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
  if (size < 2) return 0;
  const std::uint8_t flags = data[0];
  const std::size_t damages = std::min<std::size_t>(data[1] & 7, (size - 2) / 2);
  std::size_t at = 2 + 2 * damages;
  // An empty string and one too long are refused; the rest take part.
  std::vector<std::u16string> candidates = {u"Smith", u"", std::u16string(71, u'a'), u"Smyth", u"Jones"};
  candidates.emplace_back();
  for (; at < size; ++at) {
    if (data[at] == '\n') {
      candidates.emplace_back();
    } else {
      candidates.back() += static_cast<char16_t>(data[at] < 0x80 ? data[at] : 0x100 + data[at]);
    }
  }
  const std::vector<std::u16string> queries = {u"Smith", candidates.back()};

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
  records.problems = {{3, "short of fields"}};
  std::string bytes;
  vantel::WriteIndex(bytes, *prepared, records);

  for (std::size_t damage = 0; damage < damages; ++damage) {
    const std::size_t offset = data[2 + 2 * damage] * bytes.size() / 256 + (flags >> 3);
    if ((flags & 2) != 0 && damage == 0) bytes.resize(std::min(offset, bytes.size()));
    if (offset < bytes.size()) bytes[offset] = static_cast<char>(bytes[offset] ^ data[3 + 2 * damage]);
  }
  if ((flags & 1) != 0) vantel::index::RefreshChecksums(bytes);

  const std::shared_ptr<const vantel::Index> index = Read(bytes);
  if (damages == 0) {
    Require(index != nullptr && index->size() == candidates.size());
    Require(MatchWith(queries, index->candidates()) == MatchWith(queries, prepared));
  } else if (index) {
    Touch(*index, queries);
  }
  if ((flags & 4) != 0) {
    if (const auto raw = Read(std::string(reinterpret_cast<const char*>(data), size))) Touch(*raw, queries);
  }
  return 0;
}
