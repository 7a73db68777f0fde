// The matcher prepares each distinct string once (its phonetic form and its
// character counts) and lays the candidates out for the bound scan
// (Layout.h): in cells of equal lengths, sorted by length. Prepared
// candidates (PreparedCandidates) hold that candidate side for many
// matchers: their strings always with phonetic forms, and a layout for each
// set of measures, made when a matcher first needs it.
//
// Queries are taken in blocks of consecutive ones, a block at a time per
// worker. A worker goes through the candidates in tiles of a few hundred
// kilobytes, and every query of its block scans a tile while it is in the
// cache. For one query and one cell, the lengths alone give the least number
// of common characters each measure needs (Overlaps.h): a cell that cannot
// reach it is skipped whole, the others go through the vector scan (Scan.h),
// and the few candidates it lets through get the exact bound and then the
// scorer (PairScorer.h). A list matched with itself pairs each string with
// the strings after it only: in a cell those are a contiguous run, so each
// unordered pair is scanned once.
//
// A block's results are sorted per query and filed under the block's
// number; the calling thread writes blocks out in order. The pairs held,
// written out or not, are counted in bytes: past the budget
// (MatchOptions::pendingBytes) a worker waits for the writer unless its
// block is the next to write, so what is held at any time is about the
// budget, not the pairs of the whole run nor the threads times the
// candidates. The output depends on nothing
// but the input, whatever the number of workers and however they interleave.

#include "vantel/Match.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "Layout.h"
#include "Overlaps.h"
#include "PairScorer.h"
#include "Profile.h"
#include "Scan.h"
#include "service/Scorer.h"
#include "similarity/GestaltRatio.h"
#include "vantel/Errors.h"

namespace vantel {
namespace {

// A worker thread, started through the caller's hook when there is one.
template <typename Function>
std::jthread StartThread(const MatchOptions& options, const Function& function) {
  if (!options.startThread) return std::jthread(function);
  std::jthread thread;
  options.startThread([&] { thread = std::jthread(function); });
  return thread;
}

// Runs work(worker, count) on `count` workers, the first of them on the
// calling thread (so that its checkpoints run there), and waits for all of
// them. The first exception thrown by any of them, or by starting one, sets
// `stop`, which the others are to heed, and is rethrown here.
template <typename Work>
void RunOnWorkers(unsigned count, const MatchOptions& options, std::atomic<bool>& stop, const Work& work) {
  std::mutex mutex;
  std::exception_ptr failure;
  const auto fail = [&] {
    const std::lock_guard lock(mutex);
    if (!failure) failure = std::current_exception();
    stop = true;
  };
  const auto guarded = [&](unsigned worker) {
    try {
      work(worker, count);
    } catch (...) {
      fail();
    }
  };
  {
    std::vector<std::jthread> workers;
    try {
      workers.reserve(count);
      for (unsigned worker = 1; worker < count && !stop; ++worker) {
        workers.push_back(StartThread(options, [&guarded, worker] { guarded(worker); }));
      }
    } catch (...) {
      fail();
    }
    if (!stop) guarded(0);
  }
  if (failure) std::rethrow_exception(failure);
}

// Phonetic forms of strings of at most 70 units are a few hundred units long.
// One past this would make the ratio's length sum overflow 32 bits, which
// SimilarityRatio refuses with the same error.
constexpr std::size_t kLongestForm = std::size_t{1} << 30;

// A worker's transcriptions cost far more than starting it only for long lists.
constexpr std::size_t kStringsPerPreparingWorker = 256;
// How often the calling thread asks its checkpoint: every so many strings it
// transcribes (a few milliseconds' worth), or enters into the table of
// distinct strings.
constexpr std::size_t kStringsPerCheckpoint = 64;
constexpr std::size_t kEntriesPerCheckpoint = 16384;

// Queries per block: enough that a tile read into the cache serves many of
// them, few enough that every worker gets blocks to do and that a block's
// pairs stay few. Blocks start at one query, so that the first pairs come out
// at once, and grow to the most that keeps about kPairsPerBlock pairs, going
// by the pairs kept per query so far.
constexpr std::size_t kMostQueriesPerBlock = 256;
constexpr std::size_t kBlocksPerWorkerAtLeast = 8;
constexpr double kPairsPerBlock = 65536;
// A tile of candidates: well inside a core's second-level cache.
constexpr std::size_t kTileBytes = std::size_t{512} << 10;
constexpr std::size_t kLeastTiles = 4;

std::string LengthProblem(std::u16string_view text) {
  if (text.empty()) return "empty string";
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about a literal + std::string chain.
  std::string reason = "longer than ";
  reason += std::to_string(CompareUS::kMaxLength);
  reason += " UTF-16 code units (";
  reason += std::to_string(text.size());
  reason += ')';
  return reason;
}

// The output order within a query: the higher answer first, then the earlier candidate.
bool RanksBefore(const ScoredPair& a, const ScoredPair& b) noexcept {
  return a.answer > b.answer || (a.answer == b.answer && a.candidate < b.candidate);
}

using matching::Cell;
using matching::kLanes;
using matching::kNever;
using matching::ScanMode;

// What a query does with one cell.
enum class Visit : std::uint8_t {
  Skip,   // no candidate of the cell can pass
  Every,  // every candidate goes to the exact bound (the scan would rule none out)
  Scan,   // the vector scan picks the candidates
};

struct CellPlan {
  Visit visit = Visit::Skip;
  ScanMode mode = ScanMode::Spelling;
  std::uint8_t spellingNeed = 0;
  std::uint8_t soundNeed = 0;
};

// One measure alone: a need of 0 lets everything through, kNever nothing.
CellPlan PlanOne(ScanMode mode, std::uint8_t spellingNeed, std::uint8_t soundNeed) {
  const std::uint8_t need = mode == ScanMode::Spelling ? spellingNeed : soundNeed;
  if (need == kNever) return {};
  if (need == 0) return {Visit::Every};
  return {Visit::Scan, mode, spellingNeed, soundNeed};
}

CellPlan PlanFor(ScanMode mode, std::uint8_t spellingNeed, std::uint8_t soundNeed) {
  switch (mode) {
    case ScanMode::Spelling:
    case ScanMode::Sound: break;
    case ScanMode::Either:
      // A measure that cannot pass leaves the other to decide alone.
      if (spellingNeed == kNever) return PlanOne(ScanMode::Sound, spellingNeed, soundNeed);
      if (soundNeed == kNever) return PlanOne(ScanMode::Spelling, spellingNeed, soundNeed);
      if (spellingNeed == 0 || soundNeed == 0) return {Visit::Every};
      return {Visit::Scan, mode, spellingNeed, soundNeed};
    case ScanMode::Both:
      // A measure that every candidate passes leaves the other to decide alone.
      if (spellingNeed == kNever || soundNeed == kNever) return {};
      if (spellingNeed == 0) return PlanOne(ScanMode::Sound, spellingNeed, soundNeed);
      if (soundNeed == 0) return PlanOne(ScanMode::Spelling, spellingNeed, soundNeed);
      return {Visit::Scan, mode, spellingNeed, soundNeed};
  }
  return PlanOne(mode, spellingNeed, soundNeed);
}

struct Entry {
  std::size_t index;      // in the caller's list
  std::uint32_t profile;  // in its profiles
};

// The distinct comparable strings of one or two lists: each list position
// that takes part gets an entry, which strings seen before share.
struct DistinctStrings {
  std::unordered_map<std::u16string_view, std::uint32_t> profileOf;
  std::vector<std::u16string_view> texts;

  void Enter(ListRole role, const std::vector<std::u16string>& list, std::vector<Entry>& entries,
             std::vector<Rejection>& rejections, const std::function<void()>& checkpoint) {
    for (std::size_t index = 0; index < list.size(); ++index) {
      if (index % kEntriesPerCheckpoint == kEntriesPerCheckpoint - 1) checkpoint();
      const std::u16string_view text = list[index];
      if (!service::IsComparableLength(text)) {
        rejections.push_back({role, index, LengthProblem(text)});
        continue;
      }
      const auto [found, added] = profileOf.try_emplace(text, static_cast<std::uint32_t>(texts.size()));
      if (added) texts.push_back(text);
      entries.push_back({index, found->second});
    }
  }
};

// The profiles of distinct strings, whose characters they view in pools.
struct Profiles {
  std::vector<char16_t> textPool;
  std::vector<std::vector<char16_t>> formPools;      // one per preparing worker
  std::vector<matching::Profile> profiles;           // one per distinct string
  std::vector<std::optional<std::string>> failures;  // [profile] why its phonetic form could not be made
};

// Profiles `distinct` on up to options.threads workers (at least 1), with
// their phonetic forms when `needsSound`.
void MakeProfiles(const std::vector<std::u16string_view>& distinct, bool needsSound, const MatchOptions& options,
                  const PhoneticFormFunction& phoneticForm, const std::function<void()>& checkpoint, Profiles& made) {
  // The texts go into one pool, sized first so that views into it stay valid.
  std::size_t units = 0;
  for (const std::u16string_view text : distinct) units += text.size();
  std::vector<char16_t>& textPool = made.textPool;
  textPool.reserve(units);
  std::vector<std::u16string_view> texts;
  texts.reserve(distinct.size());
  for (const std::u16string_view text : distinct) {
    texts.emplace_back(textPool.data() + textPool.size(), text.size());
    textPool.insert(textPool.end(), text.begin(), text.end());
  }

  std::vector<matching::Profile>& profiles = made.profiles;
  profiles.resize(distinct.size());
  std::vector<std::optional<std::string>>& failures = made.failures;
  failures.resize(distinct.size());
  std::vector<std::size_t> formStart(distinct.size());
  const auto preparers =
      static_cast<unsigned>(std::clamp<std::size_t>(distinct.size() / kStringsPerPreparingWorker, 1, options.threads));
  std::vector<std::vector<char16_t>>& formPools = made.formPools;
  formPools.resize(preparers);
  checkpoint();
  std::atomic<bool> stop{false};
  RunOnWorkers(preparers, options, stop, [&](unsigned worker, unsigned count) {
    CompareUS comparer;  // every worker its own rules
    std::vector<char16_t>& pool = formPools[worker];
    std::size_t done = 0;
    for (std::size_t id = worker; id < distinct.size(); id += count) {
      if (stop.load(std::memory_order_relaxed)) return;
      // Worker 0 is the calling thread.
      if (worker == 0 && ++done % kStringsPerCheckpoint == 0) checkpoint();
      std::u16string form;
      if (needsSound) {
        try {
          form = phoneticForm(comparer, texts[id]);
          if (form.size() >= kLongestForm) throw RuntimeError(error::kOverflow);
        } catch (const RuntimeError& failure) {
          // Profiled without a form: a prepared list serves it to the methods that compare spellings alone.
          failures[id] = failure.what();
          form.clear();
        }
      }
      // The form's view is set once the pool has stopped growing.
      profiles[id] = matching::ProfileOf(texts[id], form);
      formStart[id] = pool.size();
      pool.insert(pool.end(), form.begin(), form.end());
    }
  });
  for (std::size_t id = 0; id < distinct.size(); ++id) {
    const std::vector<char16_t>& pool = formPools[id % preparers];
    matching::Profile& profile = profiles[id];
    profile.form = std::u16string_view(pool.data() + formStart[id], static_cast<std::size_t>(profile.formLength));
  }
}

// Takes the entries whose phonetic form failed out of `entries` into `rejections`.
void DropFailed(ListRole role, const Profiles& made, std::vector<Entry>& entries, std::vector<Rejection>& rejections) {
  std::erase_if(entries, [&](const Entry& entry) {
    if (!made.failures[entry.profile]) return false;
    rejections.push_back({role, entry.index, *made.failures[entry.profile]});
    return true;
  });
}

void SortRejections(std::vector<Rejection>& rejections) {
  std::sort(rejections.begin(), rejections.end(), [](const Rejection& a, const Rejection& b) {
    return std::pair(a.list, a.index) < std::pair(b.list, b.index);
  });
}

// The candidates as a run reads them: a Matcher's own or a prepared list's.
struct CandidateSide {
  std::vector<Entry> entries;
  std::vector<Rejection> rejections;  // a prepared list's; a Matcher keeps its own with the queries'
  matching::Layout layout;
  std::vector<matching::Tile> tiles;
};

// Lays `entries` out into `side` (whose own entries they need not be: a list matched with itself has none).
void LayOutSide(const std::vector<matching::Profile>& profiles, const std::vector<Entry>& entries, bool spelling,
                bool sound, CandidateSide& side) {
  std::vector<std::uint32_t> profileOf(entries.size());
  for (std::size_t position = 0; position < entries.size(); ++position) profileOf[position] = entries[position].profile;
  side.layout = matching::Layout(profiles, profileOf, spelling, sound);
  // Short lists still get a few tiles, so that what is tested on them is
  // what long lists do; when the whole list fits the cache that costs nothing.
  const std::size_t blocksPerTile = std::clamp<std::size_t>(
      side.layout.blockCount() / kLeastTiles, 1, kTileBytes / std::max<std::size_t>(1, side.layout.blockBytes()));
  side.tiles = side.layout.Tiles(blocksPerTile);
}

// The longest text and the longest form that the byte counts cover, grown to those of `profiles`.
void GrowLongest(const std::vector<matching::Profile>& profiles, std::int32_t& longestText, std::int32_t& longestForm) {
  for (const matching::Profile& profile : profiles) {
    longestText = std::max(longestText, profile.textLength);
    if (profile.formLength <= matching::kLongestCounted) longestForm = std::max(longestForm, profile.formLength);
  }
}

}  // namespace

struct PreparedCandidates::Data {
  std::size_t size = 0;
  std::shared_ptr<const void> storage;  // what the views of a list made of parts point into
  Profiles made;
  std::vector<Entry> entries;         // every comparable string's, those whose form failed included
  std::vector<Rejection> rejections;  // those of their lengths
  std::int32_t longestText = 0, longestForm = 0;
  // The sides by the measures a method uses (1 spelling, 2 sound, 3 both),
  // each laid out the first time a run needs it.
  mutable std::array<std::once_flag, 4> laidOut;
  mutable std::array<CandidateSide, 4> sides;

  const CandidateSide& SideFor(bool spelling, bool sound) const {
    const std::size_t kind = (spelling ? 1 : 0) | (sound ? 2 : 0);
    std::call_once(laidOut[kind], [&] {
      CandidateSide& side = sides[kind];
      side.entries = entries;
      side.rejections = rejections;
      // Methods that compare spellings alone never transcribe.
      if (sound) DropFailed(ListRole::Candidates, made, side.entries, side.rejections);
      SortRejections(side.rejections);
      LayOutSide(made.profiles, side.entries, spelling, sound, side);
    });
    return sides[kind];
  }
};

PreparedCandidates::PreparedCandidates(const std::vector<std::u16string>& candidates, const MatchOptions& options,
                                       PhoneticFormFunction phoneticForm) {
  if (!phoneticForm) {
    phoneticForm = [](CompareUS& comparer, std::u16string_view word) { return comparer.PhoneticForm(word); };
  }
  // Positions in a list are kept in 32 bits.
  if (candidates.size() >= matching::Layout::kEmpty) throw RuntimeError(error::kOverflow);
  MatchOptions preparing = options;
  preparing.threads = std::max(1u, preparing.threads);
  const std::function<void()> checkpoint = [&] {
    if (options.checkpoint) options.checkpoint();
  };
  checkpoint();
  auto data = std::make_unique<Data>();
  data->size = candidates.size();
  DistinctStrings distinct;
  distinct.Enter(ListRole::Candidates, candidates, data->entries, data->rejections, checkpoint);
  MakeProfiles(distinct.texts, /*needsSound=*/true, preparing, phoneticForm, checkpoint, data->made);
  GrowLongest(data->made.profiles, data->longestText, data->longestForm);
  checkpoint();
  data_ = std::move(data);
}

PreparedCandidates::PreparedCandidates(Parts parts, std::shared_ptr<const void> storage) {
  const auto refuse = [] { throw RuntimeError(error::kInvalidProcedureCall); };
  // Positions in a list are kept in 32 bits.
  if (parts.size >= matching::Layout::kEmpty || parts.texts.size() >= matching::Layout::kEmpty) refuse();
  if (parts.forms.size() != parts.texts.size()) refuse();
  auto data = std::make_unique<Data>();
  data->size = parts.size;
  data->storage = std::move(storage);
  Profiles& made = data->made;
  made.profiles.resize(parts.texts.size());
  made.failures.resize(parts.texts.size());
  for (std::size_t id = 0; id < parts.texts.size(); ++id) {
    if (!service::IsComparableLength(parts.texts[id]) || parts.forms[id].size() >= kLongestForm) refuse();
    made.profiles[id] = matching::ProfileOf(parts.texts[id], parts.forms[id]);
  }
  for (auto& [id, reason] : parts.failures) {
    if (id >= made.failures.size() || made.failures[id] || !parts.forms[id].empty()) refuse();
    made.failures[id] = std::move(reason);
  }
  // Every position once at most, in order, whether it takes part or was refused.
  std::vector<char> seen(parts.size, 0);
  const auto take = [&](std::size_t position, std::size_t& next) {
    if (position >= parts.size || position < next || seen[position]) refuse();
    seen[position] = 1;
    next = position + 1;
  };
  std::size_t next = 0;
  data->entries.reserve(parts.entries.size());
  for (const auto& [position, id] : parts.entries) {
    take(position, next);
    if (id >= parts.texts.size()) refuse();
    data->entries.push_back({position, id});
  }
  next = 0;
  for (Rejection& rejection : parts.rejections) {
    if (rejection.list != ListRole::Candidates) refuse();
    take(rejection.index, next);
  }
  data->rejections = std::move(parts.rejections);
  GrowLongest(made.profiles, data->longestText, data->longestForm);
  data_ = std::move(data);
}

PreparedCandidates::Parts PreparedCandidates::parts() const {
  Parts parts;
  parts.size = data_->size;
  const std::vector<matching::Profile>& profiles = data_->made.profiles;
  parts.texts.reserve(profiles.size());
  parts.forms.reserve(profiles.size());
  for (std::size_t id = 0; id < profiles.size(); ++id) {
    parts.texts.push_back(profiles[id].text);
    parts.forms.push_back(profiles[id].form);
    if (data_->made.failures[id])
      parts.failures.emplace_back(static_cast<std::uint32_t>(id), *data_->made.failures[id]);
  }
  parts.entries.reserve(data_->entries.size());
  for (const Entry& entry : data_->entries) parts.entries.emplace_back(entry.index, entry.profile);
  parts.rejections = data_->rejections;
  return parts;
}

PreparedCandidates::~PreparedCandidates() = default;

std::size_t PreparedCandidates::size() const noexcept { return data_->size; }

struct Matcher::State {
  // One query of a block being scanned.
  struct QueryScan {
    std::uint32_t position = 0;  // in queries
    std::size_t index = 0;       // in the caller's list
    const matching::Profile* profile = nullptr;
    matching::QueryBuckets letters, phonemes;
    bool counted = false;  // its lengths fit the byte counts
    service::Floor floor;
    // The least overlaps by candidate length: rows of the tables while the
    // floor is the threshold; once a full list of best answers raises it,
    // worked out as needed (kUnknown until then).
    const std::uint8_t* spellingRow = nullptr;
    const std::uint8_t* soundRow = nullptr;
    std::vector<std::uint16_t> raised;  // spelling lengths first, then sound lengths
    // For the mean of the measures, the sound overlap each spelling overlap
    // needs in the cell being visited (LowestSoundOverlaps), set by Plan.
    std::array<std::uint8_t, matching::kLongestCounted + 1> soundNeedBySpelling{};
    std::vector<ScoredPair> kept;
  };
  static constexpr std::uint16_t kUnknown = 0xFFFF;

  // What a worker keeps from block to block.
  struct Worker {
    explicit Worker(std::int16_t method) : scorer(method) {}
    matching::PairScorer scorer;
    std::vector<QueryScan> scans;
    std::vector<std::size_t> firstSlot;    // [cell] the first slot a query of the block may pair with
    std::vector<std::uint32_t> cellOrder;  // a lone query's cells, nearest in length first
    std::vector<std::uint64_t> passed;
    std::uint64_t bounded = 0;
    std::size_t grownBytes = 0;  // what the kept pairs took since the run last looked
  };

  State(const MatchOptions& matchOptions, bool oneList)
      : options(matchOptions),
        thresholdFloor(matchOptions.threshold),
        combination(service::CombinationFor(matchOptions.method)),
        mode(matching::ScanModeFor(combination)),
        withinOneList(oneList) {
    options.threads = std::max(1u, options.threads);
    if (!matching::IsSupported(options.instructionSet)) throw RuntimeError(error::kInvalidProcedureCall);
    scan = matching::ScanFunctionFor(options.instructionSet);
  }

  void Prepare(const std::vector<std::u16string>& queryList, const std::vector<std::u16string>& candidateList,
               PhoneticFormFunction phoneticForm);
  void LayOut();
  std::uint64_t PairCount() const noexcept;
  const std::vector<Entry>& CandidateEntries() const noexcept { return withinOneList ? queries : side->entries; }
  const std::vector<matching::Profile>& CandidateProfiles() const noexcept {
    return shared ? shared->data_->made.profiles : own.profiles;
  }
  std::size_t FirstCandidateOf(std::size_t queryPosition) const noexcept {
    return withinOneList ? queryPosition + 1 : 0;
  }
  bool usesSpelling() const noexcept { return service::NeedsSpelling(combination); }
  bool usesSound() const noexcept { return service::NeedsSound(combination); }

  void StartQuery(QueryScan& query, std::size_t position) const;
  std::uint8_t SpellingNeed(QueryScan& query, std::int32_t length) const noexcept;
  std::uint8_t SoundNeed(QueryScan& query, std::int32_t length) const noexcept;
  CellPlan Plan(QueryScan& query, const Cell& cell) const noexcept;
  void Keep(QueryScan& query, std::size_t candidate, double answer) const;
  void Consider(QueryScan& query, std::size_t slot, matching::KnownBounds known, Worker& worker) const;
  void VisitCell(QueryScan& query, const Cell& cell, std::size_t begin, std::size_t end, Worker& worker) const;
  template <typename Stopping>
  bool ScanBlock(std::size_t first, std::size_t end, Worker& worker, std::vector<std::vector<ScoredPair>>& pairs,
                 const Stopping& stopping) const;
  void Run(const PairSink& emit, const ProgressSink& progress, std::chrono::milliseconds interval) const;

  MatchOptions options;
  service::Floor thresholdFloor;  // every query's floor until a full list of best answers raises it
  service::Combination combination;
  ScanMode mode;
  bool withinOneList;
  matching::ScanFunction scan = nullptr;

  // Every distinct string of the lists, or of the queries alone when the candidates are prepared.
  Profiles own;
  std::vector<Entry> queries;  // the comparable ones, in list order
  std::vector<Rejection> rejections;

  std::shared_ptr<const PreparedCandidates> shared;  // the prepared candidates, if any
  CandidateSide ownSide;  // the candidates otherwise (with itself: no entries, the queries' layout)
  const CandidateSide* side = &ownSide;
  // The least overlaps for the threshold, by query length and candidate length.
  matching::OverlapTable spellingOverlaps, soundOverlaps;

  mutable std::atomic<std::uint64_t> considered{0}, bounded{0}, scored{0};
};

void Matcher::State::Prepare(const std::vector<std::u16string>& queryList,
                             const std::vector<std::u16string>& candidateList, PhoneticFormFunction phoneticForm) {
  if (!phoneticForm) {
    phoneticForm = [](CompareUS& comparer, std::u16string_view word) { return comparer.PhoneticForm(word); };
  }
  // Positions in a list are kept in 32 bits.
  if (queryList.size() >= matching::Layout::kEmpty || candidateList.size() >= matching::Layout::kEmpty) {
    throw RuntimeError(error::kOverflow);
  }

  const std::function<void()> checkpoint = [&] {
    if (options.checkpoint) options.checkpoint();
  };
  checkpoint();

  // Strings that occur more than once, within a list or across the two, share one profile.
  const bool ownCandidates = !withinOneList && !shared;
  DistinctStrings distinct;
  distinct.Enter(ListRole::Queries, queryList, queries, rejections, checkpoint);
  if (ownCandidates) distinct.Enter(ListRole::Candidates, candidateList, ownSide.entries, rejections, checkpoint);
  MakeProfiles(distinct.texts, usesSound(), options, phoneticForm, checkpoint, own);

  DropFailed(ListRole::Queries, own, queries, rejections);
  if (ownCandidates) DropFailed(ListRole::Candidates, own, ownSide.entries, rejections);
  SortRejections(rejections);
  // The prepared list's refusals, in order already, come after the queries'.
  if (shared) rejections.insert(rejections.end(), side->rejections.begin(), side->rejections.end());
  checkpoint();
  if (options.useBounds) LayOut();
}

void Matcher::State::LayOut() {
  if (!shared) LayOutSide(own.profiles, CandidateEntries(), usesSpelling(), usesSound(), ownSide);

  // Tables as long as the longest lengths that the byte counts cover.
  std::int32_t longestText = 0;
  std::int32_t longestForm = 0;
  GrowLongest(own.profiles, longestText, longestForm);
  if (shared) {
    longestText = std::max(longestText, shared->data_->longestText);
    longestForm = std::max(longestForm, shared->data_->longestForm);
  }
  const service::Floor& floor = thresholdFloor;
  const double other = matching::OtherMeasureFor(mode);
  if (usesSpelling()) {
    spellingOverlaps = matching::OverlapTable(combination, floor, matching::Measure::Spelling, other, longestText);
  }
  if (usesSound()) {
    soundOverlaps = matching::OverlapTable(combination, floor, matching::Measure::Sound, other, longestForm);
  }
}

std::uint64_t Matcher::State::PairCount() const noexcept {
  const std::uint64_t queryCount = queries.size();
  if (withinOneList) return queryCount < 2 ? 0 : queryCount * (queryCount - 1) / 2;
  return queryCount * side->entries.size();
}

void Matcher::State::StartQuery(QueryScan& query, std::size_t position) const {
  const Entry& entry = queries[position];
  const matching::Profile& profile = own.profiles[entry.profile];
  query.position = static_cast<std::uint32_t>(position);
  query.index = entry.index;
  query.profile = &profile;
  query.floor = thresholdFloor;
  query.kept.clear();
  query.raised.clear();
  if (!options.useBounds) return;
  query.counted = (!usesSpelling() || profile.textLength <= matching::kLongestCounted) &&
                  (!usesSound() || profile.formLength <= matching::kLongestCounted);
  if (!query.counted) return;
  if (usesSpelling()) {
    query.letters = matching::QueryBuckets(profile.Letters());
    query.spellingRow = spellingOverlaps.Row(profile.textLength);
  }
  if (usesSound()) {
    query.phonemes = matching::QueryBuckets(profile.Phonemes());
    query.soundRow = soundOverlaps.Row(profile.formLength);
  }
}

std::uint8_t Matcher::State::SpellingNeed(QueryScan& query, std::int32_t length) const noexcept {
  if (query.spellingRow) return query.spellingRow[length];
  std::uint16_t& need = query.raised[static_cast<std::size_t>(length)];
  if (need == kUnknown) {
    need = matching::LowestOverlap(combination, query.floor, matching::Measure::Spelling,
                                   matching::OtherMeasureFor(mode), query.profile->textLength, length);
  }
  return static_cast<std::uint8_t>(need);
}

std::uint8_t Matcher::State::SoundNeed(QueryScan& query, std::int32_t length) const noexcept {
  if (query.soundRow) return query.soundRow[length];
  std::uint16_t& need = query.raised[spellingOverlaps.width() + static_cast<std::size_t>(length)];
  if (need == kUnknown) {
    need = matching::LowestOverlap(combination, query.floor, matching::Measure::Sound, matching::OtherMeasureFor(mode),
                                   query.profile->formLength, length);
  }
  return static_cast<std::uint8_t>(need);
}

CellPlan Matcher::State::Plan(QueryScan& query, const Cell& cell) const noexcept {
  // Strings too long for the byte counts are left to the exact bound.
  if (!query.counted || !cell.counted) return {Visit::Every};
  const std::uint8_t spellingNeed = usesSpelling() ? SpellingNeed(query, cell.textLength) : 0;
  const std::uint8_t soundNeed = usesSound() ? SoundNeed(query, cell.formLength) : 0;
  if (combination != service::Combination::Mean || spellingNeed == kNever || soundNeed == kNever) {
    return PlanFor(mode, spellingNeed, soundNeed);
  }
  // Each need above assumes the other measure at its best, a ratio of 1;
  // for their mean, the other's best is what the lengths of this cell allow,
  // and the two sums together decide for each lane (VisitCell).
  std::uint8_t* need = query.soundNeedBySpelling.data();
  const std::int32_t spellingMost = std::min(query.profile->textLength, cell.textLength);
  matching::LowestSoundOverlaps(combination, query.floor, query.profile->textLength, cell.textLength,
                                query.profile->formLength, cell.formLength, need);
  if (need[spellingMost] == kNever) return {};
  std::int32_t leastSpelling = spellingMost;
  while (leastSpelling > 0 && need[leastSpelling - 1] != kNever) --leastSpelling;
  return PlanFor(mode, static_cast<std::uint8_t>(leastSpelling), need[spellingMost]);
}

void Matcher::State::Keep(QueryScan& query, std::size_t candidate, double answer) const {
  std::vector<ScoredPair>& kept = query.kept;
  kept.push_back({query.index, candidate, answer});
  const std::size_t top = options.top;
  if (top == 0) return;
  // With a limit, `kept` is a heap whose front is the pair that ranks last.
  std::push_heap(kept.begin(), kept.end(), RanksBefore);
  if (kept.size() > top) {
    std::pop_heap(kept.begin(), kept.end(), RanksBefore);
    kept.pop_back();
  }
  if (kept.size() < top) return;
  // Candidates are not visited in list order, so one with the answer of the
  // last pair kept may still rank before it: the floor admits that answer.
  const double displaced = std::nextafter(kept.front().answer, -std::numeric_limits<double>::infinity());
  if (displaced == query.floor.displaced()) return;
  query.floor.Displace(displaced);
  if (!options.useBounds || !query.counted) return;
  query.spellingRow = nullptr;
  query.soundRow = nullptr;
  query.raised.assign(spellingOverlaps.width() + soundOverlaps.width(), kUnknown);
}

void Matcher::State::Consider(QueryScan& query, std::size_t slot, matching::KnownBounds known, Worker& worker) const {
  const std::uint32_t candidatePosition = side->layout.positionAt(slot);
  // The earlier strings of a block's cells come first; those are not this query's.
  if (withinOneList && candidatePosition <= query.position) return;
  ++worker.bounded;
  const Entry& candidate = CandidateEntries()[candidatePosition];
  const std::optional<double> answer = worker.scorer.Score(CandidateProfiles()[candidate.profile], query.floor, known);
  if (answer) Keep(query, candidate.index, *answer);
}

void Matcher::State::VisitCell(QueryScan& query, const Cell& cell, std::size_t begin, std::size_t end,
                               Worker& worker) const {
  const CellPlan plan = Plan(query, cell);
  if (plan.visit == Visit::Skip) return;
  if (plan.visit == Visit::Every) {
    for (std::size_t slot = begin; slot < end; ++slot) Consider(query, slot, matching::KnownBounds(), worker);
    return;
  }
  const std::size_t firstBlock = begin / kLanes;
  const std::size_t endBlock = (end + kLanes - 1) / kLanes;
  matching::ScanRequest request;
  request.firstBlock = side->layout.block(firstBlock);
  request.blockCount = endBlock - firstBlock;
  request.blockBytes = side->layout.blockBytes();
  request.mode = plan.mode;
  request.spellingOffset = side->layout.spellingOffset();
  request.letters = &query.letters;
  request.spellingNeed = plan.spellingNeed;
  request.soundOffset = side->layout.soundOffset();
  request.phonemes = &query.phonemes;
  request.soundNeed = plan.soundNeed;
  // The needs above test each measure with the other at its best; for their
  // mean the two sums together rule out most of what passes those, before
  // any of the candidate's own data is read. Plan filled the table for this
  // cell whenever it asks for both measures.
  if (combination == service::Combination::Mean && plan.mode == ScanMode::Both) {
    request.soundNeedBySpelling = query.soundNeedBySpelling.data();
    request.jointEntries = static_cast<std::size_t>(std::min(query.profile->textLength, cell.textLength)) + 1;
  }
  worker.passed.resize(std::max(worker.passed.size(), request.blockCount));
  if (scan(request, worker.passed.data()) == 0) return;  // the usual case: none passes

  for (std::size_t block = firstBlock; block < endBlock; ++block) {
    std::uint64_t passed = worker.passed[block - firstBlock];
    // Only the lanes from `begin` to `end` are this visit's.
    const std::size_t blockStart = block * kLanes;
    if (begin > blockStart) passed &= ~std::uint64_t{0} << (begin - blockStart);
    if (end < blockStart + kLanes) passed &= ~(~std::uint64_t{0} << (end - blockStart));
    while (passed != 0) {
      const auto lane = static_cast<std::size_t>(__builtin_ctzll(passed));
      passed &= passed - 1;
      // What the scan summed, for both measures, summed again for the few
      // lanes that pass: the scorer can start from them.
      const std::uint8_t* counts = side->layout.block(block);
      matching::KnownBounds known;
      if (usesSpelling())
        known.spelling = matching::BoundAt(counts + side->layout.spellingOffset(), lane, query.letters);
      if (usesSound()) known.sound = matching::BoundAt(counts + side->layout.soundOffset(), lane, query.phonemes);
      Consider(query, blockStart + lane, known, worker);
    }
  }
}

// Scores the queries at positions first to end into `pairs`, a list per
// query in output order; false if `stopping()` said so before it was done.
// What the kept pairs take grows into worker.grownBytes, which `stopping`
// may look at.
template <typename Stopping>
bool Matcher::State::ScanBlock(std::size_t first, std::size_t end, Worker& worker,
                               std::vector<std::vector<ScoredPair>>& pairs, const Stopping& stopping) const {
  const auto grown = [&](const QueryScan& query, std::size_t before) {
    worker.grownBytes += (query.kept.capacity() - before) * sizeof(ScoredPair);
  };
  worker.scans.resize(end - first);
  for (std::size_t position = first; position < end; ++position) StartQuery(worker.scans[position - first], position);

  if (!options.useBounds) {
    // Every pair in full, in candidate order.
    const std::vector<Entry>& entries = CandidateEntries();
    for (QueryScan& query : worker.scans) {
      if (stopping()) return false;
      const std::size_t before = query.kept.capacity();
      worker.scorer.SetQuery(*query.profile);
      for (std::size_t position = FirstCandidateOf(query.position); position < entries.size(); ++position) {
        const double answer = worker.scorer.Exact(CandidateProfiles()[entries[position].profile]);
        if (query.floor.Admits(answer)) Keep(query, entries[position].index, answer);
      }
      grown(query, before);
    }
  } else {
    const std::vector<Cell>& cells = side->layout.cells();
    worker.firstSlot.resize(cells.size());
    for (std::size_t cell = 0; cell < cells.size(); ++cell) {
      worker.firstSlot[cell] = withinOneList
                                   ? side->layout.FirstSlotAfter(cells[cell], static_cast<std::uint32_t>(first))
                                   : cells[cell].firstSlot;
    }
    if (options.top != 0 && worker.scans.size() == 1) {
      // One query with a limit (a lookup): its cells nearest in length first,
      // whole, so that a full list of best answers raises its floor early and
      // the cells further away are skipped or scanned for more. The order of
      // visits changes no pair kept (the floor admits ties), only the work.
      QueryScan& query = worker.scans.front();
      const std::int32_t textLength = usesSpelling() ? query.profile->textLength : 0;
      const std::int32_t formLength =
          usesSound() ? std::min<std::int32_t>(query.profile->formLength, matching::kLongestCounted + 1) : 0;
      const auto distance = [&](const Cell& cell) {
        return std::abs(cell.textLength - textLength) + std::abs(cell.formLength - formLength);
      };
      std::vector<std::uint32_t>& order = worker.cellOrder;
      order.resize(cells.size());
      for (std::size_t cell = 0; cell < cells.size(); ++cell) order[cell] = static_cast<std::uint32_t>(cell);
      std::stable_sort(order.begin(), order.end(),
                       [&](std::uint32_t a, std::uint32_t b) { return distance(cells[a]) < distance(cells[b]); });
      const std::size_t before = query.kept.capacity();
      worker.scorer.SetQuery(*query.profile);
      for (const std::uint32_t cell : order) {
        // A lookup's deadline, Ctrl-C or a cancelled statement ends it between cells.
        if (stopping()) return false;
        if (worker.firstSlot[cell] < cells[cell].endSlot())
          VisitCell(query, cells[cell], worker.firstSlot[cell], cells[cell].endSlot(), worker);
      }
      grown(query, before);
    } else {
      for (const matching::Tile& tile : side->tiles) {
        for (QueryScan& query : worker.scans) {
          if (stopping()) return false;
          const std::size_t before = query.kept.capacity();
          worker.scorer.SetQuery(*query.profile);
          for (std::size_t cell = tile.firstCell; cell < tile.endCell; ++cell) {
            const std::size_t begin = std::max(worker.firstSlot[cell], tile.firstBlock * kLanes);
            const std::size_t stop = std::min(cells[cell].endSlot(), tile.endBlock * kLanes);
            if (begin < stop) VisitCell(query, cells[cell], begin, stop, worker);
          }
          grown(query, before);
        }
      }
    }
  }

  // Handed over, not copied: a copy would hold the block's pairs twice.
  pairs.clear();
  for (QueryScan& query : worker.scans) {
    std::sort(query.kept.begin(), query.kept.end(), RanksBefore);
    pairs.push_back(std::move(query.kept));
    query.kept = std::vector<ScoredPair>();
  }
  return true;
}

void Matcher::State::Run(const PairSink& emit, const ProgressSink& progress, std::chrono::milliseconds interval) const {
  const std::size_t queryCount = queries.size();
  const auto pairsOf = [&](std::size_t first, std::size_t end) {
    std::uint64_t pairs = 0;
    for (std::size_t position = first; position < end; ++position) {
      pairs += CandidateEntries().size() - std::min(CandidateEntries().size(), FirstCandidateOf(position));
    }
    return pairs;
  };
  const auto workerCount = static_cast<unsigned>(std::min<std::size_t>(options.threads, queryCount));
  const std::size_t budget = options.pendingBytes;

  std::atomic<std::uint64_t> pairsDone{0};
  std::atomic<bool> abandoned{false};
  // The bytes of kept pairs held: by the workers and in blocks not yet written.
  // It grows without the mutex but shrinks under it, so that a worker waiting
  // for room cannot miss the moment there is some.
  std::atomic<std::size_t> held{0};
  // Guarded by `mutex`:
  std::mutex mutex;
  std::condition_variable blockDone;  // a worker filed a block, or failed
  std::condition_variable roomMade;   // pairs were written out, or the run is abandoned
  struct Block {
    std::size_t first, end;  // query positions
    bool finished = false;
    std::size_t bytes = 0;                       // what its pairs take
    std::vector<std::vector<ScoredPair>> pairs;  // one list per query
  };
  std::deque<Block> blocks;  // every block handed out, in query order; the written ones emptied
  std::size_t nextQuery = 0;
  std::uint64_t queriesDone = 0, pairsKept = 0;
  std::size_t written = 0;  // blocks taken by the writer
  std::exception_ptr failure;

  // The next block, under `mutex`: its number, or none when every query has one.
  const auto takeBlock = [&]() -> std::optional<std::size_t> {
    if (nextQuery >= queryCount) return std::nullopt;
    std::size_t size = blocks.empty() ? 1 : 2 * (blocks.back().end - blocks.back().first);
    if (queriesDone > 0 && pairsKept > 0) {
      const double perQuery = static_cast<double>(pairsKept) / static_cast<double>(queriesDone);
      size = std::min(size, static_cast<std::size_t>(std::max(1.0, kPairsPerBlock / perQuery)));
    }
    const std::size_t share = (queryCount - nextQuery) / (std::size_t{workerCount} * kBlocksPerWorkerAtLeast);
    size = std::clamp<std::size_t>(std::min(size, share), 1, kMostQueriesPerBlock);
    size = std::min(size, queryCount - nextQuery);
    blocks.push_back({nextQuery, nextQuery + size, false, 0, {}});
    nextQuery += size;
    return blocks.size() - 1;
  };

  const auto work = [&](const std::stop_token& stop) {
    try {
      Worker worker(options.method);
      std::vector<std::vector<ScoredPair>> pairs;
      std::size_t block = 0;
      std::size_t blockBytes = 0;
      const auto stopped = [&] { return stop.stop_requested() || abandoned.load(std::memory_order_relaxed); };
      // Counts what the block's pairs have grown by and, while the budget is
      // spent, waits for the writer, unless this block is the next to write:
      // that one always goes on, so the run cannot stall.
      const auto account = [&] {
        held.fetch_add(worker.grownBytes);
        blockBytes += worker.grownBytes;
        worker.grownBytes = 0;
      };
      const auto stopping = [&] {
        account();
        if (held.load() > budget && !stopped()) {
          std::unique_lock lock(mutex);
          roomMade.wait(lock, [&] { return held.load() <= budget || block == written || abandoned.load(); });
        }
        return stopped();
      };
      while (!stopped()) {
        std::size_t first = 0;
        std::size_t end = 0;
        {
          std::unique_lock lock(mutex);
          const std::optional<std::size_t> taken = takeBlock();
          if (!taken) break;
          block = *taken;
          first = blocks[block].first;
          end = blocks[block].end;
          blockBytes = 0;
          lock.unlock();
          if (!ScanBlock(first, end, worker, pairs, stopping)) break;
          account();
          lock.lock();
          blocks[block].pairs = std::move(pairs);
          blocks[block].bytes = blockBytes;
          blocks[block].finished = true;
          queriesDone += end - first;
          for (const std::vector<ScoredPair>& list : blocks[block].pairs) pairsKept += list.size();
          pairs = {};
          blockDone.notify_one();
        }
        pairsDone.fetch_add(pairsOf(first, end), std::memory_order_relaxed);
        considered.fetch_add(pairsOf(first, end), std::memory_order_relaxed);
      }
      bounded.fetch_add(worker.bounded, std::memory_order_relaxed);
      scored.fetch_add(worker.scorer.scored(), std::memory_order_relaxed);
    } catch (...) {
      const std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
      abandoned = true;
      blockDone.notify_one();
      roomMade.notify_all();
    }
  };

  {
    // Declared before the guard below, so destroyed after it: should a sink
    // or a thread's start throw, the guard releases the workers waiting for
    // room, and they are asked to stop and joined before the state they share
    // goes away.
    std::vector<std::jthread> workers;
    struct Release {
      std::mutex& mutex;
      std::atomic<bool>& abandoned;
      std::condition_variable& roomMade;
      ~Release() {
        const std::lock_guard lock(mutex);
        abandoned = true;
        roomMade.notify_all();
      }
    } const release{mutex, abandoned, roomMade};
    workers.reserve(workerCount);
    for (unsigned worker = 0; worker < workerCount; ++worker) workers.push_back(StartThread(options, work));

    std::size_t queriesWritten = 0;
    std::vector<std::vector<std::vector<ScoredPair>>> ready;
    std::size_t readyBytes = 0;
    while (queriesWritten < queryCount) {
      {
        std::unique_lock lock(mutex);
        const auto nextFinished = [&] { return written < blocks.size() && blocks[written].finished; };
        blockDone.wait_for(lock, interval, [&] { return failure || nextFinished(); });
        if (failure) break;
        while (nextFinished()) {
          queriesWritten += blocks[written].end - blocks[written].first;
          readyBytes += blocks[written].bytes;
          ready.push_back(std::move(blocks[written++].pairs));
        }
      }
      // The next block to write may be waiting for its turn.
      roomMade.notify_all();
      for (const std::vector<std::vector<ScoredPair>>& batch : ready) {
        for (const std::vector<ScoredPair>& list : batch) {
          for (const ScoredPair& pair : list) emit(pair);
        }
      }
      ready.clear();
      if (readyBytes != 0) {
        {
          const std::lock_guard lock(mutex);
          held -= readyBytes;
        }
        readyBytes = 0;
        roomMade.notify_all();
      }
      if (progress && queriesWritten < queryCount) progress(pairsDone.load(std::memory_order_relaxed));
    }
  }
  if (failure) std::rethrow_exception(failure);
  if (progress) progress(pairsDone.load());
}

Matcher::Matcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
                 const MatchOptions& options, PhoneticFormFunction phoneticForm)
    : state_(std::make_unique<State>(options, /*oneList=*/false)) {
  state_->Prepare(queries, candidates, std::move(phoneticForm));
}

Matcher::Matcher(const std::vector<std::u16string>& queries, std::shared_ptr<const PreparedCandidates> candidates,
                 const MatchOptions& options)
    : state_(std::make_unique<State>(options, /*oneList=*/false)) {
  if (!candidates) throw RuntimeError(error::kInvalidProcedureCall);
  state_->shared = std::move(candidates);
  state_->side = &state_->shared->data_->SideFor(state_->usesSpelling(), state_->usesSound());
  state_->Prepare(queries, {}, {});
}

Matcher::Matcher(const std::vector<std::u16string>& strings, const MatchOptions& options,
                 PhoneticFormFunction phoneticForm)
    : state_(std::make_unique<State>(options, /*oneList=*/true)) {
  state_->Prepare(strings, {}, std::move(phoneticForm));
}

Matcher::~Matcher() = default;
Matcher::Matcher(Matcher&&) noexcept = default;
Matcher& Matcher::operator=(Matcher&&) noexcept = default;

const std::vector<Rejection>& Matcher::rejections() const noexcept { return state_->rejections; }

std::uint64_t Matcher::pairCount() const noexcept { return state_->PairCount(); }

Matcher::Counts Matcher::counts() const noexcept {
  return {state_->considered.load(), state_->bounded.load(), state_->scored.load()};
}

void Matcher::Run(const PairSink& emit, const ProgressSink& progress, std::chrono::milliseconds interval) const {
  state_->Run(emit, progress, interval);
}

std::vector<ScoredPair> Matcher::Run() const {
  std::vector<ScoredPair> pairs;
  Run([&](const ScoredPair& pair) { pairs.push_back(pair); });
  return pairs;
}

}  // namespace vantel
