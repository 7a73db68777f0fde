#include "Format.h"

#include <cstring>

namespace vantel::index {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;

constexpr std::uint64_t Rotate(std::uint64_t value, int bits) noexcept { return value << bits | value >> (64 - bits); }

constexpr std::uint64_t Mix(std::uint64_t lane, std::uint64_t word) noexcept {
  return Rotate(lane + word * kPrime2, 31) * kPrime1;
}

}  // namespace

const char* NameOf(Section section) noexcept {
  static constexpr const char* kNames[] = {"",
                                           "meta",
                                           "name ends",
                                           "names",
                                           "field ends",
                                           "fields",
                                           "lines",
                                           "problem lines",
                                           "problem ends",
                                           "problems",
                                           "text ends",
                                           "texts",
                                           "form ends",
                                           "forms",
                                           "entry positions",
                                           "entry texts",
                                           "failure texts",
                                           "failure ends",
                                           "failures",
                                           "rejection positions",
                                           "rejection ends",
                                           "rejections"};
  return section <= kSectionCount ? kNames[section] : "unknown";
}

std::uint64_t Checksum(const void* bytes, std::size_t size) noexcept {
  const auto* data = static_cast<const unsigned char*>(bytes);
  std::uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
  std::size_t at = 0;
  for (; at + 32 <= size; at += 32) {
    for (std::size_t lane = 0; lane < 4; ++lane) {
      std::uint64_t word = 0;
      std::memcpy(&word, data + at + 8 * lane, 8);
      lanes[lane] = Mix(lanes[lane], word);
    }
  }
  std::uint64_t sum = Rotate(lanes[0], 1) + Rotate(lanes[1], 7) + Rotate(lanes[2], 12) + Rotate(lanes[3], 18);
  sum += size;
  for (; at < size; ++at) sum = Rotate(sum ^ (data[at] * kPrime1), 11) * kPrime2;
  // Every input bit reaches every output bit.
  sum ^= sum >> 33;
  sum *= kPrime2;
  sum ^= sum >> 29;
  sum *= kPrime1;
  sum ^= sum >> 32;
  return sum;
}

void RefreshChecksums(std::string& bytes) {
  if (bytes.size() < sizeof(Header)) return;
  Header header;
  std::memcpy(&header, bytes.data(), sizeof header);
  const std::size_t count = header.sectionCount;
  if (count > (bytes.size() - sizeof(Header)) / sizeof(SectionEntry)) return;
  for (std::size_t section = 0; section < count; ++section) {
    char* at = bytes.data() + sizeof(Header) + section * sizeof(SectionEntry);
    SectionEntry entry;
    std::memcpy(&entry, at, sizeof entry);
    if (entry.offset > bytes.size() || entry.length > bytes.size() - entry.offset) continue;
    entry.checksum = Checksum(bytes.data() + entry.offset, static_cast<std::size_t>(entry.length));
    std::memcpy(at, &entry, sizeof entry);
  }
  std::string covered(bytes.data(), offsetof(Header, checksum));
  covered.append(bytes.data() + sizeof(Header), count * sizeof(SectionEntry));
  header.checksum = Checksum(covered.data(), covered.size());
  std::memcpy(bytes.data(), &header, sizeof header);
}

}  // namespace vantel::index
