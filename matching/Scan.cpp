// One implementation of the scan per instruction set. The vector ones are
// compiled for their instruction set through target attributes, function by
// function, so that nothing else in the program uses those instructions;
// which one runs is chosen when the matcher is built, from what the
// processor reports. Blocks are taken a few at a time so that a broadcast
// count serves several loads.
#include "Scan.h"

#include <algorithm>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define VANTEL_SCAN_X86 1
#include <immintrin.h>
#else
#define VANTEL_SCAN_X86 0
#endif

namespace vantel::matching {

QueryBuckets::QueryBuckets(const CharCounts& counts) noexcept {
  std::array<std::uint8_t, CharCounts::kBuckets> buckets{};
  for (std::size_t bucket = 0; bucket < CharCounts::kBuckets; ++bucket) {
    if (counts.counts()[bucket] != 0) buckets[size++] = static_cast<std::uint8_t>(bucket);
  }
  // The largest counts first: what is left to add then shrinks fastest.
  std::stable_sort(buckets.begin(), buckets.begin() + size,
                   [&](std::uint8_t a, std::uint8_t b) { return counts.counts()[a] > counts.counts()[b]; });
  unsigned left = 0;
  for (std::uint32_t i = 0; i < size; ++i) {
    rowOffset[i] = static_cast<std::uint16_t>(buckets[i] * kLanes);
    count[i] = counts.counts()[buckets[i]];
    if (i >= size / 2) left += count[i];
  }
  half = size / 2;
  rest = static_cast<std::uint8_t>(std::min(left, 255u));
}

namespace {

bool TestsSpelling(ScanMode mode) noexcept { return mode != ScanMode::Sound; }
bool TestsSound(ScanMode mode) noexcept { return mode != ScanMode::Spelling; }
bool TestsJointly(const ScanRequest& request) noexcept {
  return request.mode == ScanMode::Both && request.soundNeedBySpelling != nullptr && request.jointEntries != 0;
}

// The lanes of `passing` whose sound sum reaches the joint table's entry
// for their spelling sum, lane by lane: the sums of one block, 64 bytes each.
std::uint64_t JointlyScalar(const ScanRequest& request, const std::uint8_t* spelling, const std::uint8_t* sound,
                            std::uint64_t passing) noexcept {
  const std::size_t last = request.jointEntries - 1;
  std::uint64_t kept = passing;
  while (passing != 0) {
    const auto lane = static_cast<unsigned>(__builtin_ctzll(passing));
    passing &= passing - 1;
    if (sound[lane] < request.soundNeedBySpelling[std::min<std::size_t>(spelling[lane], last)]) {
      kept &= ~(std::uint64_t{1} << lane);
    }
  }
  return kept;
}

// The joint table cut into 16-entry chunks for a byte shuffle, which looks
// up 16 entries at a time; past the last entry it repeats the last, and
// sums are clamped to the last, so that a sum's chunk is always one filled.
struct JointChunks {
  alignas(16) std::uint8_t entries[256];
  std::size_t count = 0;  // chunks filled
  std::uint8_t last = 0;  // the index of the last entry

  explicit JointChunks(const ScanRequest& request) noexcept {
    const std::size_t size = std::min<std::size_t>(request.jointEntries, sizeof entries);
    count = (size + 15) / 16;
    last = static_cast<std::uint8_t>(size - 1);
    std::memcpy(entries, request.soundNeedBySpelling, size);
    std::memset(entries + size, request.soundNeedBySpelling[size - 1], count * 16 - size);
  }
};

// ---------------------------------------------------------------------------
// Portable: lane by lane. Also the reference the vector scans are tested against.

// Sixteen lanes a vector of the compiler's own (GCC's vector extensions,
// which Clang has too): the processor's vectors wherever it has some, plain
// bytes where it has none. The sums need no saturation: a sum never exceeds
// the query's length, which the matcher keeps to kLongestCounted.
using Lanes16 = std::uint8_t __attribute__((vector_size(16)));
constexpr std::size_t kVectors = kLanes / sizeof(Lanes16);

std::array<Lanes16, kVectors> SumPortable(const std::uint8_t* measure, const QueryBuckets& query) noexcept {
  std::array<Lanes16, kVectors> sums{};
  for (std::uint32_t i = 0; i < query.size; ++i) {
    const std::uint8_t* row = measure + query.rowOffset[i];
    const Lanes16 count = Lanes16{} + query.count[i];
    for (std::size_t part = 0; part < kVectors; ++part) {
      Lanes16 counts;
      std::memcpy(&counts, row + part * sizeof(Lanes16), sizeof counts);
      const auto above = reinterpret_cast<Lanes16>(counts > count);  // all ones where the candidate has more
      sums[part] += (counts & ~above) | (count & above);
    }
  }
  return sums;
}

// Bit l set when lane l of `sums` reaches `need`.
std::uint64_t AtLeastPortable(const std::array<Lanes16, kVectors>& sums, std::uint8_t need) noexcept {
  const Lanes16 floor = Lanes16{} + need;
  std::uint64_t mask = 0;
  for (std::size_t part = 0; part < kVectors; ++part) {
    const auto reached = reinterpret_cast<Lanes16>(sums[part] >= floor);
    std::uint64_t any = 0;
    for (std::size_t lane = 0; lane < sizeof(Lanes16); ++lane) any |= reached[lane];
    if (any == 0) continue;  // the common case: no lane of these reaches it
    for (std::size_t lane = 0; lane < sizeof(Lanes16); ++lane) {
      mask |= std::uint64_t{reached[lane] != 0} << (part * sizeof(Lanes16) + lane);
    }
  }
  return mask;
}

std::uint64_t ScanPortable(const ScanRequest& request, std::uint64_t* passed) {
  const bool jointly = TestsJointly(request);
  std::uint64_t any = 0;
  for (std::size_t block = 0; block < request.blockCount; ++block) {
    const std::uint8_t* base = request.firstBlock + block * request.blockBytes;
    std::uint64_t spelling = ~std::uint64_t{0};
    std::uint64_t sound = ~std::uint64_t{0};
    std::array<Lanes16, kVectors> spellingSums{};
    std::array<Lanes16, kVectors> soundSums{};
    if (TestsSpelling(request.mode)) {
      spellingSums = SumPortable(base + request.spellingOffset, *request.letters);
      spelling = AtLeastPortable(spellingSums, request.spellingNeed);
    }
    if (TestsSound(request.mode) && (spelling != 0 || request.mode == ScanMode::Either)) {
      soundSums = SumPortable(base + request.soundOffset, *request.phonemes);
      sound = AtLeastPortable(soundSums, request.soundNeed);
    }
    passed[block] = request.mode == ScanMode::Either ? spelling | sound : spelling & sound;
    if (jointly && passed[block] != 0) {
      std::uint8_t spellingBytes[kLanes];
      std::uint8_t soundBytes[kLanes];
      std::memcpy(spellingBytes, spellingSums.data(), kLanes);
      std::memcpy(soundBytes, soundSums.data(), kLanes);
      passed[block] = JointlyScalar(request, spellingBytes, soundBytes, passed[block]);
    }
    any |= passed[block];
  }
  return any;
}

#if VANTEL_SCAN_X86

// ---------------------------------------------------------------------------
// SSE2: four vectors of 16 lanes a block, one block at a time (32-bit x86
// has eight vector registers).

struct Sse2Sums {
  __m128i lanes[4];
};

[[gnu::target("sse2")]] inline Sse2Sums SumSse2(const std::uint8_t* measure, const QueryBuckets& query) {
  Sse2Sums sums{{_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()}};
  for (std::uint32_t i = 0; i < query.size; ++i) {
    const auto* row = reinterpret_cast<const __m128i*>(measure + query.rowOffset[i]);
    const __m128i count = _mm_set1_epi8(static_cast<char>(query.count[i]));
    for (int part = 0; part < 4; ++part) {
      sums.lanes[part] = _mm_adds_epu8(sums.lanes[part], _mm_min_epu8(_mm_load_si128(row + part), count));
    }
  }
  return sums;
}

[[gnu::target("sse2")]] inline std::uint64_t AtLeastSse2(const Sse2Sums& sums, std::uint8_t need) {
  const __m128i floor = _mm_set1_epi8(static_cast<char>(need));
  std::uint64_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    // sum >= need exactly when max(sum, need) == sum.
    const __m128i reached = _mm_cmpeq_epi8(_mm_max_epu8(sums.lanes[part], floor), sums.lanes[part]);
    mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(reached)) & 0xFFFF) << (16 * part);
  }
  return mask;
}

// SSE2 has no byte shuffle to look the joint table up with: the few lanes
// that pass both needs are looked up one by one.
[[gnu::target("sse2")]] inline std::uint64_t JointlySse2(const ScanRequest& request, const Sse2Sums& spellingSums,
                                                         const Sse2Sums& soundSums, std::uint64_t passing) {
  alignas(16) std::uint8_t spelling[kLanes];
  alignas(16) std::uint8_t sound[kLanes];
  for (std::size_t part = 0; part < 4; ++part) {
    _mm_store_si128(reinterpret_cast<__m128i*>(spelling + 16 * part), spellingSums.lanes[part]);
    _mm_store_si128(reinterpret_cast<__m128i*>(sound + 16 * part), soundSums.lanes[part]);
  }
  return JointlyScalar(request, spelling, sound, passing);
}

[[gnu::target("sse2")]] std::uint64_t ScanSse2(const ScanRequest& request, std::uint64_t* passed) {
  const bool jointly = TestsJointly(request);
  std::uint64_t any = 0;
  for (std::size_t block = 0; block < request.blockCount; ++block) {
    const std::uint8_t* base = request.firstBlock + block * request.blockBytes;
    std::uint64_t spelling = ~std::uint64_t{0};
    std::uint64_t sound = ~std::uint64_t{0};
    Sse2Sums spellingSums{};
    Sse2Sums soundSums{};
    if (TestsSpelling(request.mode)) {
      spellingSums = SumSse2(base + request.spellingOffset, *request.letters);
      spelling = AtLeastSse2(spellingSums, request.spellingNeed);
    }
    // Both: a block that no lane passes on spelling needs no sound measure.
    if (TestsSound(request.mode) && (spelling != 0 || request.mode == ScanMode::Either)) {
      soundSums = SumSse2(base + request.soundOffset, *request.phonemes);
      sound = AtLeastSse2(soundSums, request.soundNeed);
    }
    passed[block] = request.mode == ScanMode::Either ? spelling | sound : spelling & sound;
    if (jointly && passed[block] != 0) passed[block] = JointlySse2(request, spellingSums, soundSums, passed[block]);
    any |= passed[block];
  }
  return any;
}

// ---------------------------------------------------------------------------
// AVX2: two vectors of 32 lanes a block, two blocks at a time.

constexpr std::size_t kAvx2Group = 2;

template <std::size_t kBlocks>
[[gnu::target("avx2")]] inline void AddAvx2(const std::uint8_t* measure, std::size_t stride, const QueryBuckets& query,
                                            std::uint32_t first, std::uint32_t end, __m256i (&sums)[kAvx2Group][2]) {
  for (std::uint32_t i = first; i < end; ++i) {
    const std::uint8_t* row = measure + query.rowOffset[i];
    const __m256i count = _mm256_set1_epi8(static_cast<char>(query.count[i]));
    for (std::size_t block = 0; block < kBlocks; ++block) {
      const auto* lanes = reinterpret_cast<const __m256i*>(row + block * stride);
      for (std::size_t part = 0; part < 2; ++part) {
        sums[block][part] =
            _mm256_adds_epu8(sums[block][part], _mm256_min_epu8(_mm256_load_si256(lanes + part), count));
      }
    }
  }
}

[[gnu::target("avx2")]] inline std::uint64_t AtLeastAvx2(const __m256i (&sums)[2], std::uint8_t need) {
  const __m256i floor = _mm256_set1_epi8(static_cast<char>(need));
  std::uint64_t mask = 0;
  for (std::size_t part = 0; part < 2; ++part) {
    // sum >= need exactly when max(sum, need) == sum.
    const __m256i reached = _mm256_cmpeq_epi8(_mm256_max_epu8(sums[part], floor), sums[part]);
    mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(reached))) << (32 * part);
  }
  return mask;
}

// The lanes of kBlocks blocks that reach `need`, stopping half-way when none can.
// The sums are left in `sums`, whole for every block when any lane passes.
template <std::size_t kBlocks>
[[gnu::target("avx2")]] inline void PassingAvx2(const std::uint8_t* measure, std::size_t stride,
                                                const QueryBuckets& query, std::uint8_t need,
                                                std::uint64_t (&passing)[kBlocks], __m256i (&sums)[kAvx2Group][2]) {
  for (std::size_t block = 0; block < kBlocks; ++block) sums[block][0] = sums[block][1] = _mm256_setzero_si256();
  AddAvx2<kBlocks>(measure, stride, query, 0, query.half, sums);
  if (need > query.rest) {
    std::uint64_t hopeful = 0;
    for (std::size_t block = 0; block < kBlocks; ++block) {
      hopeful |= AtLeastAvx2(sums[block], static_cast<std::uint8_t>(need - query.rest));
    }
    if (hopeful == 0) {
      for (std::size_t block = 0; block < kBlocks; ++block) passing[block] = 0;
      return;
    }
  }
  AddAvx2<kBlocks>(measure, stride, query, query.half, query.size, sums);
  for (std::size_t block = 0; block < kBlocks; ++block) passing[block] = AtLeastAvx2(sums[block], need);
}

// The joint table as vectors: each chunk of 16 entries in both halves,
// since a byte shuffle looks up within each 16 bytes of a vector.
struct JointAvx2 {
  __m256i chunks[16];
  std::size_t count = 0;
  __m256i last;
};

[[gnu::target("avx2")]] inline void LoadJointAvx2(const JointChunks& table, JointAvx2& joint) {
  joint.count = table.count;
  joint.last = _mm256_set1_epi8(static_cast<char>(table.last));
  for (std::size_t chunk = 0; chunk < table.count; ++chunk) {
    joint.chunks[chunk] =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table.entries + 16 * chunk)));
  }
}

// The lanes whose sound sum reaches the table's entry for their spelling
// sum: each chunk looked up by the low four bits of the sum, and kept where
// the high four bits name that chunk.
[[gnu::target("avx2")]] inline std::uint64_t JointlyAvx2(const JointAvx2& joint, const __m256i (&spelling)[2],
                                                         const __m256i (&sound)[2]) {
  const __m256i low = _mm256_set1_epi8(0x0F);
  std::uint64_t mask = 0;
  for (std::size_t part = 0; part < 2; ++part) {
    const __m256i index = _mm256_min_epu8(spelling[part], joint.last);
    const __m256i within = _mm256_and_si256(index, low);
    const __m256i chunkOf = _mm256_and_si256(_mm256_srli_epi16(index, 4), low);
    __m256i need = _mm256_shuffle_epi8(joint.chunks[0], within);
    for (std::size_t chunk = 1; chunk < joint.count; ++chunk) {
      const __m256i here = _mm256_cmpeq_epi8(chunkOf, _mm256_set1_epi8(static_cast<char>(chunk)));
      need = _mm256_blendv_epi8(need, _mm256_shuffle_epi8(joint.chunks[chunk], within), here);
    }
    // sound >= need exactly when max(sound, need) == sound.
    const __m256i reached = _mm256_cmpeq_epi8(_mm256_max_epu8(sound[part], need), sound[part]);
    mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(reached))) << (32 * part);
  }
  return mask;
}

template <std::size_t kBlocks>
[[gnu::target("avx2")]] inline std::uint64_t ScanAvx2Group(const ScanRequest& request, const JointAvx2* joint,
                                                           const std::uint8_t* base, std::uint64_t* passed) {
  std::uint64_t spelling[kBlocks];
  std::uint64_t sound[kBlocks];
  // Read only for lanes that pass both needs; zeroed for the compiler's sake.
  __m256i spellingSums[kAvx2Group][2] = {};
  __m256i soundSums[kAvx2Group][2] = {};
  std::uint64_t anySpelling = 1;
  for (std::size_t block = 0; block < kBlocks; ++block) spelling[block] = sound[block] = ~std::uint64_t{0};
  if (TestsSpelling(request.mode)) {
    PassingAvx2<kBlocks>(base + request.spellingOffset, request.blockBytes, *request.letters, request.spellingNeed,
                         spelling, spellingSums);
    anySpelling = 0;
    for (std::size_t block = 0; block < kBlocks; ++block) anySpelling |= spelling[block];
  }
  if (TestsSound(request.mode) && (anySpelling != 0 || request.mode == ScanMode::Either)) {
    PassingAvx2<kBlocks>(base + request.soundOffset, request.blockBytes, *request.phonemes, request.soundNeed, sound,
                         soundSums);
  }
  std::uint64_t any = 0;
  for (std::size_t block = 0; block < kBlocks; ++block) {
    passed[block] = request.mode == ScanMode::Either ? spelling[block] | sound[block] : spelling[block] & sound[block];
    // A lane that passes both needs has both sums whole.
    if (joint != nullptr && passed[block] != 0) {
      passed[block] &= JointlyAvx2(*joint, spellingSums[block], soundSums[block]);
    }
    any |= passed[block];
  }
  return any;
}

[[gnu::target("avx2")]] std::uint64_t ScanAvx2(const ScanRequest& request, std::uint64_t* passed) {
  JointAvx2 table;
  const JointAvx2* joint = nullptr;
  if (TestsJointly(request)) {
    LoadJointAvx2(JointChunks(request), table);
    joint = &table;
  }
  std::uint64_t any = 0;
  std::size_t block = 0;
  for (; block + kAvx2Group <= request.blockCount; block += kAvx2Group) {
    any |= ScanAvx2Group<kAvx2Group>(request, joint, request.firstBlock + block * request.blockBytes, passed + block);
  }
  if (block < request.blockCount) {
    any |= ScanAvx2Group<1>(request, joint, request.firstBlock + block * request.blockBytes, passed + block);
  }
  return any;
}

// ---------------------------------------------------------------------------
// AVX-512 BW: one vector of 64 lanes a block, four blocks at a time.

constexpr std::size_t kAvx512Group = 4;

template <std::size_t kBlocks>
[[gnu::target("avx512bw")]] inline void AddAvx512(const std::uint8_t* measure, std::size_t stride,
                                                  const QueryBuckets& query, std::uint32_t first, std::uint32_t end,
                                                  __m512i (&sums)[kAvx512Group]) {
  for (std::uint32_t i = first; i < end; ++i) {
    const std::uint8_t* row = measure + query.rowOffset[i];
    const __m512i count = _mm512_set1_epi8(static_cast<char>(query.count[i]));
    for (std::size_t block = 0; block < kBlocks; ++block) {
      sums[block] = _mm512_adds_epu8(sums[block], _mm512_min_epu8(_mm512_load_si512(row + block * stride), count));
    }
  }
}

// The lanes of kBlocks blocks that reach `need`, stopping half-way when none can.
// The sums are left in `sums`, whole for every block when any lane passes.
template <std::size_t kBlocks>
[[gnu::target("avx512bw")]] inline void PassingAvx512(const std::uint8_t* measure, std::size_t stride,
                                                      const QueryBuckets& query, std::uint8_t need,
                                                      std::uint64_t (&passing)[kBlocks],
                                                      __m512i (&sums)[kAvx512Group]) {
  for (std::size_t block = 0; block < kBlocks; ++block) sums[block] = _mm512_setzero_si512();
  AddAvx512<kBlocks>(measure, stride, query, 0, query.half, sums);
  if (need > query.rest) {
    const __m512i within = _mm512_set1_epi8(static_cast<char>(need - query.rest));
    std::uint64_t hopeful = 0;
    for (std::size_t block = 0; block < kBlocks; ++block) hopeful |= _mm512_cmpge_epu8_mask(sums[block], within);
    if (hopeful == 0) {
      for (std::size_t block = 0; block < kBlocks; ++block) passing[block] = 0;
      return;
    }
  }
  AddAvx512<kBlocks>(measure, stride, query, query.half, query.size, sums);
  const __m512i floor = _mm512_set1_epi8(static_cast<char>(need));
  for (std::size_t block = 0; block < kBlocks; ++block) passing[block] = _mm512_cmpge_epu8_mask(sums[block], floor);
}

// The joint table as vectors: each chunk of 16 entries in all four
// quarters, since a byte shuffle looks up within each 16 bytes of a vector.
struct JointAvx512 {
  __m512i chunks[16];
  std::size_t count = 0;
  __m512i last;
};

[[gnu::target("avx512bw")]] inline void LoadJointAvx512(const JointChunks& table, JointAvx512& joint) {
  joint.count = table.count;
  joint.last = _mm512_set1_epi8(static_cast<char>(table.last));
  for (std::size_t chunk = 0; chunk < table.count; ++chunk) {
    joint.chunks[chunk] = _mm512_maskz_broadcast_i32x4(
        0xFFFF, _mm_load_si128(reinterpret_cast<const __m128i*>(table.entries + 16 * chunk)));
  }
}

// The lanes whose sound sum reaches the table's entry for their spelling
// sum: each chunk looked up by the low four bits of the sum, and written
// over the lanes whose sum is at least the chunk's first index, so that
// each lane ends with its own chunk's entry.
[[gnu::target("avx512bw")]] inline std::uint64_t JointlyAvx512(const JointAvx512& joint, __m512i spelling,
                                                               __m512i sound) {
  const __m512i index = _mm512_min_epu8(spelling, joint.last);
  const __m512i within = _mm512_and_si512(index, _mm512_set1_epi8(0x0F));
  __m512i need = _mm512_shuffle_epi8(joint.chunks[0], within);
  for (std::size_t chunk = 1; chunk < joint.count; ++chunk) {
    const __mmask64 here = _mm512_cmpge_epu8_mask(index, _mm512_set1_epi8(static_cast<char>(16 * chunk)));
    need = _mm512_mask_shuffle_epi8(need, here, joint.chunks[chunk], within);
  }
  return _mm512_cmpge_epu8_mask(sound, need);
}

template <std::size_t kBlocks>
[[gnu::target("avx512bw")]] inline std::uint64_t ScanAvx512Group(const ScanRequest& request, const JointAvx512* joint,
                                                                 const std::uint8_t* base, std::uint64_t* passed) {
  std::uint64_t spelling[kBlocks];
  std::uint64_t sound[kBlocks];
  // Read only for lanes that pass both needs; zeroed for the compiler's sake.
  __m512i spellingSums[kAvx512Group] = {};
  __m512i soundSums[kAvx512Group] = {};
  std::uint64_t anySpelling = 1;
  for (std::size_t block = 0; block < kBlocks; ++block) spelling[block] = sound[block] = ~std::uint64_t{0};
  if (TestsSpelling(request.mode)) {
    PassingAvx512<kBlocks>(base + request.spellingOffset, request.blockBytes, *request.letters, request.spellingNeed,
                           spelling, spellingSums);
    anySpelling = 0;
    for (std::size_t block = 0; block < kBlocks; ++block) anySpelling |= spelling[block];
  }
  if (TestsSound(request.mode) && (anySpelling != 0 || request.mode == ScanMode::Either)) {
    PassingAvx512<kBlocks>(base + request.soundOffset, request.blockBytes, *request.phonemes, request.soundNeed, sound,
                           soundSums);
  }
  std::uint64_t any = 0;
  for (std::size_t block = 0; block < kBlocks; ++block) {
    passed[block] = request.mode == ScanMode::Either ? spelling[block] | sound[block] : spelling[block] & sound[block];
    // A lane that passes both needs has both sums whole.
    if (joint != nullptr && passed[block] != 0) {
      passed[block] &= JointlyAvx512(*joint, spellingSums[block], soundSums[block]);
    }
    any |= passed[block];
  }
  return any;
}

[[gnu::target("avx512bw")]] std::uint64_t ScanAvx512(const ScanRequest& request, std::uint64_t* passed) {
  JointAvx512 table;
  const JointAvx512* joint = nullptr;
  if (TestsJointly(request)) {
    LoadJointAvx512(JointChunks(request), table);
    joint = &table;
  }
  std::uint64_t any = 0;
  std::size_t block = 0;
  for (; block + kAvx512Group <= request.blockCount; block += kAvx512Group) {
    any |=
        ScanAvx512Group<kAvx512Group>(request, joint, request.firstBlock + block * request.blockBytes, passed + block);
  }
  const std::uint8_t* rest = request.firstBlock + block * request.blockBytes;
  switch (request.blockCount - block) {
    case 3: any |= ScanAvx512Group<3>(request, joint, rest, passed + block); break;
    case 2: any |= ScanAvx512Group<2>(request, joint, rest, passed + block); break;
    case 1: any |= ScanAvx512Group<1>(request, joint, rest, passed + block); break;
    default: break;
  }
  return any;
}

#endif  // VANTEL_SCAN_X86

}  // namespace

bool IsSupported(InstructionSet set) noexcept {
  switch (set) {
    case InstructionSet::Best:
    case InstructionSet::Portable: return true;
#if VANTEL_SCAN_X86
    case InstructionSet::Sse2: __builtin_cpu_init(); return __builtin_cpu_supports("sse2") != 0;
    case InstructionSet::Avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2") != 0;
    case InstructionSet::Avx512: __builtin_cpu_init(); return __builtin_cpu_supports("avx512bw") != 0;
#else
    case InstructionSet::Sse2:
    case InstructionSet::Avx2:
    case InstructionSet::Avx512: break;
#endif
  }
  return false;
}

InstructionSet Resolve(InstructionSet set) noexcept {
  if (set != InstructionSet::Best) return set;
  for (const InstructionSet widest : {InstructionSet::Avx512, InstructionSet::Avx2, InstructionSet::Sse2}) {
    if (IsSupported(widest)) return widest;
  }
  return InstructionSet::Portable;
}

ScanFunction ScanFunctionFor(InstructionSet set) noexcept {
  switch (Resolve(set)) {
#if VANTEL_SCAN_X86
    case InstructionSet::Sse2: return ScanSse2;
    case InstructionSet::Avx2: return ScanAvx2;
    case InstructionSet::Avx512: return ScanAvx512;
#endif
    default: return ScanPortable;
  }
}

}  // namespace vantel::matching

namespace vantel {

std::vector<InstructionSet> SupportedInstructionSets() {
  std::vector<InstructionSet> sets;
  for (const InstructionSet set :
       {InstructionSet::Portable, InstructionSet::Sse2, InstructionSet::Avx2, InstructionSet::Avx512}) {
    if (matching::IsSupported(set)) sets.push_back(set);
  }
  return sets;
}

const char* NameOf(InstructionSet set) noexcept {
  switch (set) {
    case InstructionSet::Best: return "best";
    case InstructionSet::Portable: return "portable";
    case InstructionSet::Sse2: return "sse2";
    case InstructionSet::Avx2: return "avx2";
    case InstructionSet::Avx512: return "avx512";
  }
  return "unknown";
}

}  // namespace vantel
