// Bulk matching: every query string against every candidate string, or a list
// against itself, keeping the pairs whose answer reaches a threshold. Every
// answer kept is exactly what CompareUS::Compare gives for that pair, in that
// order; pairs that provably cannot reach the threshold are skipped unscored.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vantel/CompareUS.h"

namespace vantel {

// The vector instructions with which the matcher rules pairs out. Every
// choice gives the same pairs; they differ in speed only. `Best` is the
// widest that the processor supports; the others are there to compare and
// test them (SupportedInstructionSets() lists those this processor has).
enum class InstructionSet : std::uint8_t {
  Best,
  Portable,  // plain C++, on every processor
  Sse2,      // x86
  Avx2,      // x86 with AVX2
  Avx512,    // x86 with AVX-512 BW
};

struct MatchOptions {
  std::int16_t method = 0;  // as Compare's LaMethode
  double threshold = 80.0;  // answers at or above it are kept
  std::size_t top = 0;      // keep only the best `top` answers of each query; 0 keeps all
  unsigned threads = 1;     // 0 counts as 1
  // Off, every pair is scored in full; the results are the same, only slower.
  bool useBounds = true;
  // One the processor lacks makes the Matcher's constructor throw
  // RuntimeError 5 (invalid procedure call or argument).
  InstructionSet instructionSet = InstructionSet::Best;
  // The most bytes of kept pairs that a run holds at once: pairs waiting to
  // be written out in order and pairs that workers are still gathering. A
  // worker that finds it spent waits, unless its queries are the next to be
  // written; so a run holds at most this, one block of queries' pairs and a
  // little per worker, however many threads and candidates there are.
  std::size_t pendingBytes = std::size_t{32} << 20;
  // Called on the calling thread during the preparation (the phonetic forms),
  // every few milliseconds. An exception it throws stops the preparation and
  // leaves the Matcher's constructor once every worker has ended.
  std::function<void()> checkpoint = nullptr;
  // Starts each worker thread, of the preparation and of a run: called on the
  // calling thread with the function that starts one. Lets the caller choose
  // what the thread inherits (its signal mask, say) and stop between threads
  // by throwing; `start` throws std::system_error when the system refuses a
  // thread. Unset, threads are simply started.
  std::function<void(const std::function<void()>& start)> startThread = nullptr;
};

// The instruction sets that this processor runs, Portable first and the
// widest last (which is what Best stands for).
std::vector<InstructionSet> SupportedInstructionSets();
const char* NameOf(InstructionSet set) noexcept;  // "best", "portable", "sse2", "avx2", "avx512"

// A kept pair. Indices are positions in the lists given to the Matcher; when a
// list is matched with itself both refer to it and query < candidate.
struct ScoredPair {
  std::size_t query;
  std::size_t candidate;
  double answer;  // exactly Compare(queries[query], candidates[candidate], method)

  friend bool operator==(const ScoredPair& a, const ScoredPair& b) {
    return a.query == b.query && a.candidate == b.candidate && a.answer == b.answer;
  }
};

enum class ListRole : std::uint8_t { Queries, Candidates };

// A string that takes part in no pair, and why.
struct Rejection {
  ListRole list;
  std::size_t index;
  std::string reason;  // "empty string", "longer than 70 UTF-16 code units (71)", or a run-time error

  friend bool operator==(const Rejection& a, const Rejection& b) {
    return a.list == b.list && a.index == b.index && a.reason == b.reason;
  }
};

// How a string becomes its phonetic form: CompareUS::PhoneticForm unless the
// caller supplies another, to observe transcription or to make it fail. It is
// called from several threads at once, each with a CompareUS of its own.
using PhoneticFormFunction = std::function<std::u16string(CompareUS&, std::u16string_view)>;

// A candidate list prepared once (each distinct string's phonetic form and
// character counts, the layout of the bound scan) for many runs, so that a
// service answering one query at a time against a long list does not
// prepare the list again for each. It serves every method, threshold and
// limit: what depends on the method is laid out the first time a run needs
// it. Immutable to its users and safe to share among threads.
class PreparedCandidates {
 public:
  // Of `options`, only threads, checkpoint and startThread are used (as for
  // a Matcher's preparation); `phoneticForm` as for a Matcher. Every string's
  // phonetic form is made, whatever the method: a string whose form fails is
  // refused only by the methods that compare sounds.
  explicit PreparedCandidates(const std::vector<std::u16string>& candidates, const MatchOptions& options = {},
                              PhoneticFormFunction phoneticForm = {});
  ~PreparedCandidates();
  PreparedCandidates(const PreparedCandidates&) = delete;
  PreparedCandidates& operator=(const PreparedCandidates&) = delete;

  std::size_t size() const noexcept;  // of the list it was given

  // What a prepared list is made of, so that it can be stored and taken up
  // again without transcribing anything.
  struct Parts {
    std::size_t size = 0;                                         // of the list it was given
    std::vector<std::u16string_view> texts;                       // its distinct comparable strings
    std::vector<std::u16string_view> forms;                       // [text] its phonetic form; empty where that failed
    std::vector<std::pair<std::uint32_t, std::string>> failures;  // text, why its form failed; by text
    std::vector<std::pair<std::size_t, std::uint32_t>> entries;   // list position, its text; by position
    std::vector<Rejection> rejections;                            // the positions refused for their lengths, in order
  };
  // Views into this list, which must outlive them.
  Parts parts() const;
  // The list that `parts` describe, the same as the one they were taken
  // from: its views point into `storage`, which it holds. Parts that do not
  // fit together (a position or a text out of range, out of order, a text
  // that could not be compared) throw RuntimeError 5 (invalid procedure call
  // or argument).
  PreparedCandidates(Parts parts, std::shared_ptr<const void> storage);

 private:
  friend class Matcher;
  struct Data;
  std::unique_ptr<const Data> data_;
};

class Matcher {
 public:
  using PairSink = std::function<void(const ScoredPair&)>;
  using ProgressSink = std::function<void(std::uint64_t pairsDone)>;

  // Record linkage: each query with each candidate, the query first.
  Matcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
          const MatchOptions& options, PhoneticFormFunction phoneticForm = {});
  // Record linkage against a prepared list: the same pairs, answers and
  // rejections as the constructor above given the list it was prepared
  // from; only the queries are prepared here. The matcher holds the list.
  Matcher(const std::vector<std::u16string>& queries, std::shared_ptr<const PreparedCandidates> candidates,
          const MatchOptions& options);
  // De-duplication: each unordered pair of the list once, the earlier string
  // first, no string with itself.
  Matcher(const std::vector<std::u16string>& strings, const MatchOptions& options,
          PhoneticFormFunction phoneticForm = {});
  ~Matcher();
  Matcher(Matcher&&) noexcept;
  Matcher& operator=(Matcher&&) noexcept;

  // The strings left out: empty, longer than 70 UTF-16 code units, or whose
  // phonetic form raised a run-time error. In list order, queries first.
  const std::vector<Rejection>& rejections() const noexcept;

  // How many pairs a run considers (kept or not): the unit of its progress.
  std::uint64_t pairCount() const noexcept;

  // What the runs of this matcher have done so far, summed over them: the
  // pairs considered, those that the vector scan could not rule out (their
  // bound was then worked out exactly), and those that were scored.
  struct Counts {
    std::uint64_t considered = 0;
    std::uint64_t bounded = 0;
    std::uint64_t scored = 0;
  };
  Counts counts() const noexcept;

  // Scores the pairs on `options.threads` workers. `emit` receives the kept
  // pairs on the calling thread in output order: by query, then by answer
  // from the highest, then by candidate. `progress` is called on the calling
  // thread about every `interval` with the number of pairs considered so far,
  // and once more at the end. An exception thrown by a worker or by a sink
  // (which is how a caller cancels a run) stops the run and reaches the
  // caller once every worker has ended.
  void Run(const PairSink& emit, const ProgressSink& progress = {},
           std::chrono::milliseconds interval = std::chrono::milliseconds(100)) const;
  std::vector<ScoredPair> Run() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantel
