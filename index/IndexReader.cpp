// Everything the index hands out points into the file's bytes, so every
// offset, length and count is checked here, once, before anything is read
// through it: the sections against the file, each against its checksum, and
// then each string list's ends, each position and each reference to another
// section.

#include <algorithm>
#include <cstring>
#include <limits>

#include "Format.h"
#include "Mapping.h"
#include "vantel/Errors.h"
#include "vantel/Index.h"

namespace vantel {
namespace {

using Fault = IndexError::Fault;

template <typename T>
struct Array {
  const T* data = nullptr;
  std::size_t size = 0;
  const T& operator[](std::size_t at) const noexcept { return data[at]; }
};

class Reader {
 public:
  Reader(const void* bytes, std::size_t size, const std::string& name)
      : bytes_(static_cast<const char*>(bytes)), size_(size), name_(name) {}

  std::uint32_t version() const noexcept { return version_; }  // once checked

  [[noreturn]] void Refuse(Fault fault, const std::string& why) const { throw IndexError(fault, name_ + ": " + why); }
  [[noreturn]] void Malformed(index::Section section, const std::string& why) const {
    Refuse(Fault::Corrupt, std::string("is corrupt: section '") + index::NameOf(section) + "' " + why);
  }

  void Check() {
    if (size_ == 0) Refuse(Fault::Truncated, "is empty, not an index");
    // A file cut short within its magic number is still an index cut short.
    const std::size_t magic = std::min(size_, sizeof index::kMagic);
    if (std::memcmp(bytes_, index::kMagic, magic) != 0) {
      Refuse(Fault::Foreign, "is not a vantel index (wrong magic number)");
    }
    if (size_ < sizeof(index::Header)) Refuse(Fault::Truncated, "is truncated: shorter than its header");
    index::Header header;
    std::memcpy(&header, bytes_, sizeof header);
    if (header.byteOrder == index::kSwappedByteOrderMark) {
      Refuse(Fault::ByteOrder, "was written on a machine of the other byte order");
    }
    if (header.byteOrder != index::kByteOrderMark) Refuse(Fault::Corrupt, "is corrupt: its byte order mark is wrong");
    if (header.version > index::kVersion) {
      Refuse(Fault::Newer, "was written in index format " + std::to_string(header.version) +
                               ", newer than this vantel reads (" + std::to_string(index::kVersion) + ")");
    }
    if (header.version == 0) Refuse(Fault::Corrupt, "is corrupt: its format version is 0");
    version_ = header.version;
    if (header.fileSize > size_) {
      Refuse(Fault::Truncated,
             "is truncated: " + std::to_string(size_) + " bytes of " + std::to_string(header.fileSize));
    }
    if (header.fileSize != size_) Refuse(Fault::Corrupt, "is corrupt: it is longer than its header says");
    if (header.sectionCount != index::kSectionCount) Refuse(Fault::Corrupt, "is corrupt: wrong number of sections");
    const std::size_t directoryBytes = index::kSectionCount * sizeof(index::SectionEntry);
    if (size_ - sizeof(index::Header) < directoryBytes) Refuse(Fault::Truncated, "is truncated: in its directory");
    std::string covered(bytes_, offsetof(index::Header, checksum));
    covered.append(bytes_ + sizeof(index::Header), directoryBytes);
    if (index::Checksum(covered.data(), covered.size()) != header.checksum) {
      Refuse(Fault::Corrupt, "is corrupt: the header fails its checksum");
    }
    for (std::uint32_t kind = 1; kind <= index::kSectionCount; ++kind) {
      index::SectionEntry& entry = entries_[kind];
      std::memcpy(&entry, bytes_ + sizeof(index::Header) + (kind - 1) * sizeof entry, sizeof entry);
      const auto section = static_cast<index::Section>(kind);
      if (entry.kind != kind) Malformed(section, "is missing or out of place");
      if (entry.offset % index::kAlignment != 0 || entry.offset < sizeof(index::Header) + directoryBytes ||
          entry.offset > size_ || entry.length > size_ - entry.offset) {
        Malformed(section, "lies outside the file");
      }
      // Within the file, so both fit a size_t even where that is 32 bits.
      if (index::Checksum(bytes_ + entry.offset, static_cast<std::size_t>(entry.length)) != entry.checksum) {
        Malformed(section, "fails its checksum");
      }
    }
  }

  template <typename T>
  Array<T> Get(index::Section section) const {
    const index::SectionEntry& entry = entries_[section];
    if (entry.length % sizeof(T) != 0) Malformed(section, "is not a whole number of items");
    return {reinterpret_cast<const T*>(bytes_ + entry.offset), static_cast<std::size_t>(entry.length / sizeof(T))};
  }

  template <typename T>
  Array<T> Get(index::Section section, std::size_t count) const {
    const Array<T> array = Get<T>(section);
    if (array.size != count)
      Malformed(section, "has " + std::to_string(array.size) + " items, not " + std::to_string(count));
    return array;
  }

  // A list of strings: its ends start at 0, never fall, and end at its characters' end.
  template <typename Char>
  std::pair<Array<std::uint64_t>, const Char*> Strings(index::Section ends, index::Section characters) const {
    const Array<std::uint64_t> bounds = Get<std::uint64_t>(ends);
    const Array<Char> units = Get<Char>(characters);
    if (bounds.size == 0 || bounds[0] != 0) Malformed(ends, "does not start at 0");
    for (std::size_t at = 1; at < bounds.size; ++at) {
      if (bounds[at] < bounds[at - 1]) Malformed(ends, "goes backwards");
    }
    if (bounds[bounds.size - 1] != units.size) Malformed(ends, "does not end where its characters do");
    return {bounds, units.data};
  }

 private:
  std::uint32_t version_ = 0;
  const char* bytes_;
  std::size_t size_;
  const std::string& name_;
  index::SectionEntry entries_[index::kSectionCount + 1]{};
};

template <typename Char>
std::basic_string_view<Char> StringAt(const std::pair<Array<std::uint64_t>, const Char*>& strings, std::size_t at) {
  return {strings.second + strings.first[at], static_cast<std::size_t>(strings.first[at + 1] - strings.first[at])};
}

}  // namespace

Index::~Index() = default;

std::string_view Index::Field(std::size_t candidate, std::size_t field) const noexcept {
  const std::size_t at = candidate * fieldsPer_ + field;
  return {fieldBytes_ + fieldEnds_[at], static_cast<std::size_t>(fieldEnds_[at + 1] - fieldEnds_[at])};
}

std::shared_ptr<const Index> Index::Open(const std::string& path) {
  index::MappedFile mapped = index::MapFile(path);
  return FromBytes(std::move(mapped.owner), mapped.bytes, mapped.size, path);
}

std::size_t Index::FoldedPrefix(std::string_view journal) const noexcept {
  if (foldedBytes_ == 0 || journal.size() < foldedBytes_) return 0;
  const auto folded = static_cast<std::size_t>(foldedBytes_);
  return index::Checksum(journal.data(), folded) == foldedChecksum_ ? folded : 0;
}

std::shared_ptr<const Index> Index::FromBytes(std::shared_ptr<const void> owner, const void* bytes, std::size_t size,
                                              const std::string& name) {
  // Mapped files start on a page, so only bytes from elsewhere can be misaligned.
  if (reinterpret_cast<std::uintptr_t>(bytes) % index::kAlignment != 0) {
    throw IndexError(Fault::Unreadable, name + ": is not aligned in memory");
  }
  Reader reader(bytes, size, name);
  reader.Check();
  std::shared_ptr<Index> made(new Index);
  Index& index = *made;

  const std::size_t metaCount = reader.version() == 1 ? 3 : 6;
  const Array<std::uint64_t> meta = reader.Get<std::uint64_t>(index::kMeta, metaCount);
  const std::uint64_t listSize = meta[0];
  if (listSize >= std::numeric_limits<std::uint32_t>::max()) reader.Malformed(index::kMeta, "gives too long a list");
  const std::uint64_t fieldsPer = meta[1];
  if (fieldsPer < 2 || fieldsPer > 1u << 16) reader.Malformed(index::kMeta, "gives a wrong number of fields");
  if (meta[2] > 1) reader.Malformed(index::kMeta, "has a wrong flag");
  index.numberedIds_ = meta[2] == 1;
  if (metaCount > 3) {
    if (meta[3] != 0 && !index.numberedIds_) reader.Malformed(index::kMeta, "gives a next number without numbered ids");
    index.nextNumber_ = meta[3];
    index.foldedBytes_ = meta[4];
    index.foldedChecksum_ = meta[5];
  }
  index.fieldsPer_ = static_cast<std::size_t>(fieldsPer);
  const auto count = static_cast<std::size_t>(listSize);

  const auto names = reader.Strings<char>(index::kNameEnds, index::kNameBytes);
  if (names.first.size != fieldsPer + 2) reader.Malformed(index::kNameEnds, "has a wrong number of names");
  for (std::size_t at = 0; at + 1 < names.first.size; ++at) index.names_.push_back(StringAt(names, at));
  index.sourceName_ = std::string(index.names_[2]);
  index.keepNames_.assign(index.names_.begin() + 3, index.names_.end());

  const auto fields = reader.Strings<char>(index::kFieldEnds, index::kFieldBytes);
  if (fields.first.size != count * index.fieldsPer_ + 1)
    reader.Malformed(index::kFieldEnds, "has a wrong number of fields");
  index.fieldEnds_ = fields.first.data;
  index.fieldBytes_ = fields.second;
  const Array<std::uint64_t> lines = reader.Get<std::uint64_t>(index::kLines, count);
  index.lines_.assign(lines.data, lines.data + lines.size);

  const Array<std::uint64_t> problemLines = reader.Get<std::uint64_t>(index::kProblemLines);
  const auto problems = reader.Strings<char>(index::kProblemEnds, index::kProblemBytes);
  if (problems.first.size != problemLines.size + 1)
    reader.Malformed(index::kProblemEnds, "does not match the problem lines");
  for (std::size_t at = 0; at < problemLines.size; ++at)
    index.problems_.emplace_back(problemLines[at], StringAt(problems, at));

  PreparedCandidates::Parts parts;
  parts.size = count;
  const auto texts = reader.Strings<char16_t>(index::kTextEnds, index::kTextUnits);
  const auto forms = reader.Strings<char16_t>(index::kFormEnds, index::kFormUnits);
  if (forms.first.size != texts.first.size) reader.Malformed(index::kFormEnds, "does not match the texts");
  const std::size_t distinct = texts.first.size - 1;
  parts.texts.reserve(distinct);
  parts.forms.reserve(distinct);
  for (std::size_t at = 0; at < distinct; ++at) {
    parts.texts.push_back(StringAt(texts, at));
    parts.forms.push_back(StringAt(forms, at));
  }
  const Array<std::uint32_t> entryPositions = reader.Get<std::uint32_t>(index::kEntryPositions);
  const Array<std::uint32_t> entryTexts = reader.Get<std::uint32_t>(index::kEntryTexts, entryPositions.size);
  parts.entries.reserve(entryPositions.size);
  for (std::size_t at = 0; at < entryPositions.size; ++at)
    parts.entries.emplace_back(entryPositions[at], entryTexts[at]);
  const Array<std::uint32_t> failureTexts = reader.Get<std::uint32_t>(index::kFailureTexts);
  const auto failures = reader.Strings<char>(index::kFailureEnds, index::kFailureBytes);
  if (failures.first.size != failureTexts.size + 1)
    reader.Malformed(index::kFailureEnds, "does not match the failures");
  for (std::size_t at = 0; at < failureTexts.size; ++at) {
    parts.failures.emplace_back(failureTexts[at], std::string(StringAt(failures, at)));
  }
  const Array<std::uint32_t> rejectionPositions = reader.Get<std::uint32_t>(index::kRejectionPositions);
  const auto rejections = reader.Strings<char>(index::kRejectionEnds, index::kRejectionBytes);
  if (rejections.first.size != rejectionPositions.size + 1) {
    reader.Malformed(index::kRejectionEnds, "does not match the rejections");
  }
  for (std::size_t at = 0; at < rejectionPositions.size; ++at) {
    parts.rejections.push_back({ListRole::Candidates, rejectionPositions[at], std::string(StringAt(rejections, at))});
  }

  index.storage_ = owner;
  try {
    index.candidates_ = std::make_shared<const PreparedCandidates>(std::move(parts), std::move(owner));
  } catch (const RuntimeError&) {
    throw IndexError(Fault::Corrupt, name + ": is corrupt: its prepared strings do not hold together");
  }
  return made;
}

}  // namespace vantel
