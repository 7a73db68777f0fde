// Bulk matching: every query string against every candidate string, or a list
// against itself, keeping the pairs whose answer reaches a threshold.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "matching/PairScorer.h"
#include "matching/Profile.h"
#include "service/Scoring.h"
#include "vantel/CompareUS.h"

namespace vantel::matching {

struct MatchOptions {
  std::int16_t method = 0;  // as Compare's LaMethode
  double threshold = 80.0;  // answers at or above it are kept
  std::size_t top = 0;      // keep only the best `top` answers of each query; 0 keeps all
  unsigned threads = 1;
  // Off, every pair is scored in full; the results are the same, only slower.
  bool useBounds = true;
};

// A kept pair. Indices are positions in the lists given to the Matcher; when a
// list is matched with itself both refer to it and query < candidate.
struct ScoredPair {
  std::size_t query;
  std::size_t candidate;
  double answer;  // exactly Compare(queries[query], candidates[candidate], method)

  friend bool operator==(const ScoredPair&, const ScoredPair&) = default;
  friend std::ostream& operator<<(std::ostream& out, const ScoredPair& pair) {
    return out << '(' << pair.query << ", " << pair.candidate << ", " << pair.answer << ')';
  }
};

enum class ListRole : std::uint8_t { Queries, Candidates };

// A string that takes part in no pair, and why.
struct Rejection {
  ListRole list;
  std::size_t index;
  std::string reason;

  friend bool operator==(const Rejection&, const Rejection&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Rejection& rejection) {
    return out << (rejection.list == ListRole::Queries ? "query " : "candidate ") << rejection.index << ": "
               << rejection.reason;
  }
};

// How a string becomes its phonetic form: CompareUS::PhoneticForm unless the
// caller supplies another (tests use it to make transcription fail).
using PhoneticFormFunction = std::function<std::u16string(CompareUS&, std::u16string_view)>;

class Matcher {
 public:
  using PairSink = std::function<void(const ScoredPair&)>;
  using ProgressSink = std::function<void(std::uint64_t pairsDone)>;

  // Record linkage: each query with each candidate, the query first.
  Matcher(std::span<const std::u16string> queries, std::span<const std::u16string> candidates,
          const MatchOptions& options, PhoneticFormFunction phoneticForm = {});
  // De-duplication: each unordered pair of the list once, the earlier string
  // first, no string with itself.
  Matcher(std::span<const std::u16string> strings, const MatchOptions& options, PhoneticFormFunction phoneticForm = {});

  // The strings left out: empty, longer than 70 UTF-16 code units, or whose
  // phonetic form raised a run-time error. In list order, queries first.
  const std::vector<Rejection>& rejections() const noexcept { return rejections_; }

  // How many pairs a run considers (kept or not): the unit of its progress.
  std::uint64_t pairCount() const noexcept;

  // Scores the pairs on `options.threads` workers. `emit` receives the kept
  // pairs on the calling thread in output order: by query, then by answer
  // from the highest, then by candidate. `progress` is called on the calling
  // thread about every `interval` with the number of pairs considered so far,
  // and once more at the end. An exception from a worker or from a sink stops
  // the run and reaches the caller once every worker has ended.
  void Run(const PairSink& emit, const ProgressSink& progress = {},
           std::chrono::milliseconds interval = std::chrono::milliseconds(100)) const;
  std::vector<ScoredPair> Run() const;

 private:
  struct Entry {
    std::size_t index;      // in the caller's list
    std::uint32_t profile;  // in profiles_
  };

  void Prepare(std::span<const std::u16string> queries, std::span<const std::u16string> candidates,
               PhoneticFormFunction phoneticForm);
  std::size_t FirstCandidateOf(std::size_t queryPosition) const noexcept;
  void ScanQuery(std::size_t queryPosition, PairScorer& scorer, std::vector<ScoredPair>& kept) const;

  MatchOptions options_;
  service::Combination combination_;
  bool withinOneList_;
  std::vector<Profile> profiles_;  // one per distinct comparable string
  std::vector<Entry> queries_;     // the comparable ones, in list order
  std::vector<Entry> candidates_;
  std::vector<Rejection> rejections_;
};

}  // namespace vantel::matching
