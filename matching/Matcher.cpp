// The matcher prepares each distinct string once (its phonetic form and its
// character counts), then hands out queries one at a time to workers. A
// worker scans every candidate of its query, keeps what passes, and files the
// query's sorted results under the query's position; the calling thread
// writes them out in query order. The output therefore depends on nothing
// but the input, whatever the number of workers and however they interleave.

#include "vantel/Match.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "PairScorer.h"
#include "Profile.h"
#include "service/Scorer.h"
#include "vantel/Errors.h"

namespace vantel {
namespace {

// Runs work(worker, count) on `count` threads and waits for all of them; the
// first exception thrown by any of them is rethrown here.
template <typename Work>
void RunOnWorkers(unsigned count, const Work& work) {
  std::mutex mutex;
  std::exception_ptr failure;
  {
    std::vector<std::jthread> workers;
    workers.reserve(count);
    for (unsigned worker = 0; worker < count; ++worker) {
      workers.emplace_back([&, worker] {
        try {
          work(worker, count);
        } catch (...) {
          const std::lock_guard lock(mutex);
          if (!failure) failure = std::current_exception();
        }
      });
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// Phonetic forms of strings of at most 70 units are a few hundred units long.
// One past this would make the ratio's length sum overflow 32 bits, which
// SimilarityRatio refuses with the same error.
constexpr std::size_t kLongestForm = std::size_t{1} << 30;

// A worker's transcriptions cost far more than starting it only for long lists.
constexpr std::size_t kStringsPerPreparingWorker = 256;

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

}  // namespace
struct Matcher::State {
  struct Entry {
    std::size_t index;      // in the caller's list
    std::uint32_t profile;  // in profiles
  };

  State(const MatchOptions& matchOptions, bool oneList)
      : options(matchOptions), combination(service::CombinationFor(matchOptions.method)), withinOneList(oneList) {
    options.threads = std::max(1u, options.threads);
  }

  void Prepare(const std::vector<std::u16string>& queryList, const std::vector<std::u16string>& candidateList,
               PhoneticFormFunction phoneticForm);
  std::uint64_t PairCount() const noexcept;
  std::size_t FirstCandidateOf(std::size_t queryPosition) const noexcept {
    return withinOneList ? queryPosition + 1 : 0;
  }
  void ScanQuery(std::size_t queryPosition, matching::PairScorer& scorer, std::vector<ScoredPair>& kept) const;
  void Run(const PairSink& emit, const ProgressSink& progress, std::chrono::milliseconds interval) const;

  MatchOptions options;
  service::Combination combination;
  bool withinOneList;
  std::vector<matching::Profile> profiles;  // one per distinct comparable string
  std::vector<Entry> queries;               // the comparable ones, in list order
  std::vector<Entry> candidates;
  std::vector<Rejection> rejections;
};

void Matcher::State::Prepare(const std::vector<std::u16string>& queryList,
                             const std::vector<std::u16string>& candidateList, PhoneticFormFunction phoneticForm) {
  if (!phoneticForm) {
    phoneticForm = [](CompareUS& comparer, std::u16string_view word) { return comparer.PhoneticForm(word); };
  }

  // Strings that occur more than once, within a list or across the two, share one profile.
  std::unordered_map<std::u16string_view, std::uint32_t> profileOf;
  std::vector<std::u16string_view> distinct;
  const auto enter = [&](ListRole role, const std::vector<std::u16string>& list, std::vector<Entry>& entries) {
    for (std::size_t index = 0; index < list.size(); ++index) {
      const std::u16string_view text = list[index];
      if (!service::IsComparableLength(text)) {
        rejections.push_back({role, index, LengthProblem(text)});
        continue;
      }
      const auto [found, added] = profileOf.try_emplace(text, static_cast<std::uint32_t>(distinct.size()));
      if (added) distinct.push_back(text);
      entries.push_back({index, found->second});
    }
  };
  enter(ListRole::Queries, queryList, queries);
  if (!withinOneList) enter(ListRole::Candidates, candidateList, candidates);

  profiles.resize(distinct.size());
  std::vector<std::optional<std::string>> failures(distinct.size());
  const bool needsSound = service::NeedsSound(combination);
  const auto preparers =
      static_cast<unsigned>(std::clamp<std::size_t>(distinct.size() / kStringsPerPreparingWorker, 1, options.threads));
  RunOnWorkers(preparers, [&](unsigned worker, unsigned count) {
    CompareUS comparer;  // every worker its own rules
    for (std::size_t id = worker; id < distinct.size(); id += count) {
      std::u16string form;
      if (needsSound) {
        try {
          form = phoneticForm(comparer, distinct[id]);
          if (form.size() >= kLongestForm) throw RuntimeError(error::kOverflow);
        } catch (const RuntimeError& failure) {
          failures[id] = failure.what();
          continue;
        }
      }
      profiles[id] = matching::ProfileOf(std::u16string(distinct[id]), std::move(form));
    }
  });

  const auto dropFailed = [&](ListRole role, std::vector<Entry>& entries) {
    std::erase_if(entries, [&](const Entry& entry) {
      if (!failures[entry.profile]) return false;
      rejections.push_back({role, entry.index, *failures[entry.profile]});
      return true;
    });
  };
  dropFailed(ListRole::Queries, queries);
  if (withinOneList) {
    candidates = queries;
  } else {
    dropFailed(ListRole::Candidates, candidates);
  }
  std::sort(rejections.begin(), rejections.end(), [](const Rejection& a, const Rejection& b) {
    return std::pair(a.list, a.index) < std::pair(b.list, b.index);
  });
}

std::uint64_t Matcher::State::PairCount() const noexcept {
  const std::uint64_t queryCount = queries.size();
  if (withinOneList) return queryCount < 2 ? 0 : queryCount * (queryCount - 1) / 2;
  return queryCount * candidates.size();
}

void Matcher::State::ScanQuery(std::size_t queryPosition, matching::PairScorer& scorer,
                               std::vector<ScoredPair>& kept) const {
  kept.clear();
  const Entry& query = queries[queryPosition];
  const std::size_t top = options.top;
  service::Floor floor(options.threshold);
  scorer.SetQuery(profiles[query.profile]);
  // Candidates are visited in list order, so once `kept` holds `top` pairs a
  // later candidate has to beat the worst of them outright: a tie goes to the
  // earlier candidate.
  for (std::size_t position = FirstCandidateOf(queryPosition); position < candidates.size(); ++position) {
    const Entry& candidate = candidates[position];
    const matching::Profile& second = profiles[candidate.profile];
    double answer = 0.0;
    if (options.useBounds) {
      const std::optional<double> scored = scorer.Score(second, floor);
      if (!scored) continue;
      answer = *scored;
    } else {
      answer = scorer.Exact(second);
      if (!floor.Admits(answer)) continue;
    }
    kept.push_back({query.index, candidate.index, answer});
    if (top == 0) continue;
    // With a limit, `kept` is a heap whose front is the pair that ranks last.
    std::push_heap(kept.begin(), kept.end(), RanksBefore);
    if (kept.size() > top) {
      std::pop_heap(kept.begin(), kept.end(), RanksBefore);
      kept.pop_back();
    }
    if (kept.size() == top && kept.front().answer != floor.displaced()) floor.Displace(kept.front().answer);
  }
  std::sort(kept.begin(), kept.end(), RanksBefore);
}

void Matcher::State::Run(const PairSink& emit, const ProgressSink& progress, std::chrono::milliseconds interval) const {
  const std::size_t queryCount = queries.size();
  std::atomic<std::size_t> nextQuery{0};
  std::atomic<std::uint64_t> pairsDone{0};
  std::atomic<bool> abandoned{false};
  // Guarded by `mutex`:
  std::mutex mutex;
  std::condition_variable allDone;
  std::vector<std::vector<ScoredPair>> results(queryCount);
  std::vector<char> finished(queryCount, 0);
  std::size_t finishedCount = 0;
  std::exception_ptr failure;

  const auto work = [&](const std::stop_token& stop) {
    try {
      matching::PairScorer scorer(options.method);
      std::vector<ScoredPair> kept;
      while (!stop.stop_requested() && !abandoned.load(std::memory_order_relaxed)) {
        const std::size_t position = nextQuery.fetch_add(1, std::memory_order_relaxed);
        if (position >= queryCount) return;
        ScanQuery(position, scorer, kept);
        pairsDone.fetch_add(candidates.size() - FirstCandidateOf(position), std::memory_order_relaxed);
        const std::lock_guard lock(mutex);
        results[position] = std::move(kept);
        finished[position] = 1;
        if (++finishedCount == queryCount) allDone.notify_one();
      }
    } catch (...) {
      const std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
      abandoned = true;
      allDone.notify_one();
    }
  };

  {
    // Declared last, so destroyed first: should a sink throw, the workers are
    // asked to stop and joined before the state they share goes away.
    std::vector<std::jthread> workers;
    const auto workerCount = static_cast<unsigned>(std::min<std::size_t>(options.threads, queryCount));
    for (unsigned worker = 0; worker < workerCount; ++worker) workers.emplace_back(work);

    std::size_t nextToEmit = 0;
    std::vector<std::vector<ScoredPair>> ready;
    while (nextToEmit < queryCount) {
      {
        std::unique_lock lock(mutex);
        allDone.wait_for(lock, interval, [&] { return failure || finishedCount == queryCount; });
        if (failure) break;
        while (nextToEmit < queryCount && finished[nextToEmit]) ready.push_back(std::move(results[nextToEmit++]));
      }
      for (const std::vector<ScoredPair>& batch : ready) {
        for (const ScoredPair& pair : batch) emit(pair);
      }
      ready.clear();
      if (progress && nextToEmit < queryCount) progress(pairsDone.load(std::memory_order_relaxed));
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

void Matcher::Run(const PairSink& emit, const ProgressSink& progress, std::chrono::milliseconds interval) const {
  state_->Run(emit, progress, interval);
}

std::vector<ScoredPair> Matcher::Run() const {
  std::vector<ScoredPair> pairs;
  Run([&](const ScoredPair& pair) { pairs.push_back(pair); });
  return pairs;
}

}  // namespace vantel
