// The layout of an index file. Every number is in the byte order of the
// machine that wrote it, which the header records; a reader refuses the
// other one rather than swap. The file is a header, a directory of sections
// and the sections, each a plain array that starts at a multiple of 8 bytes
// (so that a mapped file can be read in place) and has a checksum of its own;
// the header's checksum covers the header and the directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantel::index {

inline constexpr char kMagic[8] = {'V', 'A', 'N', 'T', 'E', 'L', 'I', 'X'};
inline constexpr std::uint32_t kByteOrderMark = 0x01020304;
inline constexpr std::uint32_t kSwappedByteOrderMark = 0x04030201;
// Version 2 added to the meta section the next number to give and the
// journal folded into the file; version 1 files are still read.
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::size_t kAlignment = 8;

struct Header {
  char magic[8];
  std::uint32_t byteOrder;
  std::uint32_t version;
  std::uint64_t fileSize;
  std::uint32_t sectionCount;
  std::uint32_t reserved;
  std::uint64_t checksum;  // of the header up to here and of the directory
};
static_assert(sizeof(Header) == 40);

struct SectionEntry {
  std::uint32_t kind;
  std::uint32_t reserved;
  std::uint64_t offset;
  std::uint64_t length;  // in bytes
  std::uint64_t checksum;
};
static_assert(sizeof(SectionEntry) == 32);

// The sections, each once and in this order. A list of strings is two
// sections: the ends of its strings (u64, the first 0) and their characters.
enum Section : std::uint32_t {
  kMeta = 1,            // u64: list size, fields per candidate, numbered ids; from version 2 also
                        //   the next number to give (0: after the largest id), and the length and
                        //   checksum of the journal folded in (0, 0: none)
  kNameEnds,            // id name, string name, source file, then the keep names
  kNameBytes,           //   UTF-8
  kFieldEnds,           // per candidate: id, string, kept fields
  kFieldBytes,          //   UTF-8
  kLines,               // u64 per candidate
  kProblemLines,        // u64 per row set aside
  kProblemEnds,         // why each was
  kProblemBytes,        //   UTF-8
  kTextEnds,            // the distinct comparable strings
  kTextUnits,           //   UTF-16
  kFormEnds,            // their phonetic forms
  kFormUnits,           //   UTF-16
  kEntryPositions,      // u32: list position of each candidate that takes part
  kEntryTexts,          // u32: its distinct string
  kFailureTexts,        // u32: distinct strings whose form failed
  kFailureEnds,         // why
  kFailureBytes,        //   UTF-8
  kRejectionPositions,  // u32: list positions refused for their lengths
  kRejectionEnds,       // why
  kRejectionBytes,      //   UTF-8
  kSectionCount = kRejectionBytes,
};

const char* NameOf(Section section) noexcept;

// A 64-bit sum of `size` bytes: four lanes of multiply and rotate over
// 8-byte words, so that checking a large file at open costs little.
std::uint64_t Checksum(const void* bytes, std::size_t size) noexcept;

// Writes every checksum of `bytes`, an index whose header and directory
// are in place, anew: lets tests and the fuzzer change a file's contents
// and still reach the checks behind the checksums.
void RefreshChecksums(std::string& bytes);

}  // namespace vantel::index
