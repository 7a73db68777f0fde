// Opening an index of 1,000,000 names, each distinct, as `vantel match
// --index` and `vantel serve --index` do: mapping the file, checking its
// checksums and bounds and taking up the prepared list. The first lookup
// after it lays the list out for the scan, which is timed apart.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/NameLists.h"
#include "vantel/Index.h"
#include "vantel/Match.h"
#include "vantel/Utf8.h"

namespace vantel::bench {
namespace {

constexpr std::size_t kNames = 1000000;

// The generated names, each made distinct by a middle name spelt from its number.
std::vector<std::u16string> DistinctNames() {
  std::vector<std::u16string> names = NameList(21, kNames);
  for (std::size_t at = 0; at < names.size(); ++at) {
    std::u16string middle = u" ";
    for (std::size_t rest = at; middle.size() < 5; rest /= 26) middle += static_cast<char16_t>(u'a' + rest % 26);
    middle[1] = static_cast<char16_t>(middle[1] - u'a' + u'A');
    const std::size_t space = names[at].find(u' ');
    names[at].insert(space == std::u16string::npos ? names[at].size() : space, middle);
  }
  return names;
}

// Written once per run of the benchmarks, into the temporary folder.
const std::string& IndexPath() {
  static const std::string path = [] {
    const std::vector<std::u16string> names = DistinctNames();
    MatchOptions options;
    options.threads = std::max(1u, std::thread::hardware_concurrency());
    const PreparedCandidates prepared(names, options);
    std::vector<std::string> fields;
    fields.reserve(2 * names.size());
    IndexRecords records;
    records.sourceName = "names.txt";
    for (std::size_t at = 0; at < names.size(); ++at) {
      fields.push_back(std::to_string(at + 1));
      fields.push_back(Utf16ToUtf8(names[at]));
      records.lines.push_back(at + 1);
    }
    records.fields.assign(fields.begin(), fields.end());
    records.numberedIds = true;
    std::string bytes;
    WriteIndex(bytes, prepared, records);
    std::string file = (std::filesystem::temp_directory_path() / "vantel-bench-names.vidx").string();
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file);
    return file;
  }();
  return path;
}

void BM_OpenIndex(benchmark::State& state) {
  const std::string& path = IndexPath();
  for (auto _ : state) {
    const std::shared_ptr<const Index> index = Index::Open(path);
    benchmark::DoNotOptimize(index->size());
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_OpenIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenIndexAndLookUpOneName(benchmark::State& state) {
  const std::string& path = IndexPath();
  const std::vector<std::u16string> query = {u"Jon Smyth"};
  MatchOptions options;
  for (auto _ : state) {
    const std::shared_ptr<const Index> index = Index::Open(path);
    benchmark::DoNotOptimize(Matcher(query, index->candidates(), options).Run().size());
  }
}
BENCHMARK(BM_OpenIndexAndLookUpOneName)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vantel::bench
