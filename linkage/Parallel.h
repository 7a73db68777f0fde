// Work split into fixed chunks handed to a few threads. Each chunk's result
// depends on the chunk alone, so what the callers merge in chunk order is
// the same on any number of threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vantel::linkage {

// Calls work(chunk, begin, end, worker) for every chunk of `chunkSize` items
// of [0, count), on up to `threads` threads (worker from 0). The first
// exception thrown stops the handing out of chunks and reaches the caller.
template <typename Work>
void ForEachChunk(std::size_t count, std::size_t chunkSize, unsigned threads, const Work& work) {
  const std::size_t chunks = (count + chunkSize - 1) / chunkSize;
  const unsigned workers = static_cast<unsigned>(std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(chunks, 1)));
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  const auto run = [&](unsigned worker) {
    try {
      for (std::size_t chunk = next++; chunk < chunks; chunk = next++)
        work(chunk, chunk * chunkSize, std::min(count, (chunk + 1) * chunkSize), worker);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
      next = chunks;
    }
  };
  std::vector<std::thread> pool;
  for (unsigned worker = 1; worker < workers; ++worker) pool.emplace_back(run, worker);
  run(0);
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

// Counts the items of the chunks done and tells `report(done, total)` from
// worker 0 alone, the thread that called ForEachChunk, so that what it
// reports to (a terminal) is never used by two threads at once; Finish
// tells it the whole count at the end.
template <typename Report>
class ChunkProgress {
 public:
  ChunkProgress(std::size_t total, const Report& report) : total_(total), report_(report) {}
  void Done(std::size_t items, unsigned worker) {
    const std::size_t done = done_ += items;
    if (worker == 0 && report_) report_(done, total_);
  }
  void Finish() {
    if (report_) report_(total_, total_);
  }

 private:
  std::size_t total_;
  const Report& report_;
  std::atomic<std::size_t> done_{0};
};

}  // namespace vantel::linkage
