#include <array>
#include <cstring>
#include <limits>

#include "Format.h"
#include "vantel/Errors.h"
#include "vantel/Index.h"

namespace vantel {
namespace {

using index::Section;

template <typename T>
void Append(std::string& section, const T& value) {
  section.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A list of strings as its two sections.
template <typename Strings>
void AppendStrings(std::string& ends, std::string& bytes, const Strings& strings) {
  Append(ends, std::uint64_t{0});
  for (const auto& text : strings) {
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof text[0]);
    Append(ends, static_cast<std::uint64_t>(bytes.size() / sizeof text[0]));
  }
}

std::uint32_t Narrow(std::size_t value) {
  if (value > std::numeric_limits<std::uint32_t>::max()) throw RuntimeError(error::kOverflow);
  return static_cast<std::uint32_t>(value);
}

}  // namespace

void WriteIndex(std::string& out, const PreparedCandidates& candidates, const IndexRecords& records) {
  const PreparedCandidates::Parts parts = candidates.parts();
  const std::size_t fieldsPer = 2 + records.keepNames.size();
  if (records.lines.size() != parts.size || records.fields.size() != parts.size * fieldsPer) {
    throw RuntimeError(error::kInvalidProcedureCall);
  }

  std::array<std::string, index::kSectionCount + 1> sections;
  const auto at = [&](Section section) -> std::string& { return sections[section]; };
  const std::string_view folded = records.foldedJournal;
  for (const std::uint64_t value :
       {std::uint64_t{parts.size}, std::uint64_t{fieldsPer}, std::uint64_t{records.numberedIds}, records.nextNumber,
        std::uint64_t{folded.size()}, folded.empty() ? 0 : index::Checksum(folded.data(), folded.size())}) {
    Append(at(index::kMeta), value);
  }
  std::vector<std::string_view> names = {records.idName, records.stringName, records.sourceName};
  names.insert(names.end(), records.keepNames.begin(), records.keepNames.end());
  AppendStrings(at(index::kNameEnds), at(index::kNameBytes), names);
  AppendStrings(at(index::kFieldEnds), at(index::kFieldBytes), records.fields);
  for (const std::uint64_t line : records.lines) Append(at(index::kLines), line);
  std::vector<std::string_view> reasons;
  for (const auto& [line, reason] : records.problems) {
    Append(at(index::kProblemLines), line);
    reasons.push_back(reason);
  }
  AppendStrings(at(index::kProblemEnds), at(index::kProblemBytes), reasons);
  AppendStrings(at(index::kTextEnds), at(index::kTextUnits), parts.texts);
  AppendStrings(at(index::kFormEnds), at(index::kFormUnits), parts.forms);
  for (const auto& [position, text] : parts.entries) {
    Append(at(index::kEntryPositions), Narrow(position));
    Append(at(index::kEntryTexts), text);
  }
  reasons.clear();
  for (const auto& [text, reason] : parts.failures) {
    Append(at(index::kFailureTexts), text);
    reasons.push_back(reason);
  }
  AppendStrings(at(index::kFailureEnds), at(index::kFailureBytes), reasons);
  reasons.clear();
  for (const Rejection& rejection : parts.rejections) {
    Append(at(index::kRejectionPositions), Narrow(rejection.index));
    reasons.push_back(rejection.reason);
  }
  AppendStrings(at(index::kRejectionEnds), at(index::kRejectionBytes), reasons);

  const auto aligned = [](std::size_t size) {
    return (size + index::kAlignment - 1) / index::kAlignment * index::kAlignment;
  };
  std::vector<index::SectionEntry> directory;
  std::size_t offset = sizeof(index::Header) + index::kSectionCount * sizeof(index::SectionEntry);
  for (std::uint32_t kind = 1; kind <= index::kSectionCount; ++kind) {
    const std::string& section = sections[kind];
    offset = aligned(offset);
    directory.push_back({kind, 0, offset, section.size(), index::Checksum(section.data(), section.size())});
    offset += section.size();
  }

  index::Header header{};
  std::memcpy(header.magic, index::kMagic, sizeof header.magic);
  header.byteOrder = index::kByteOrderMark;
  header.version = index::kVersion;
  header.fileSize = aligned(offset);
  header.sectionCount = index::kSectionCount;
  std::string covered(reinterpret_cast<const char*>(&header), offsetof(index::Header, checksum));
  covered.append(reinterpret_cast<const char*>(directory.data()), directory.size() * sizeof(index::SectionEntry));
  header.checksum = index::Checksum(covered.data(), covered.size());

  out.clear();
  // Every section is in memory already, so the file's size fits a size_t.
  const auto fileSize = static_cast<std::size_t>(header.fileSize);
  out.reserve(fileSize);
  Append(out, header);
  out.append(covered, offsetof(index::Header, checksum), std::string::npos);
  for (std::uint32_t kind = 1; kind <= index::kSectionCount; ++kind) {
    out.resize(static_cast<std::size_t>(directory[kind - 1].offset), '\0');
    out += sections[kind];
  }
  out.resize(fileSize, '\0');
}

}  // namespace vantel
