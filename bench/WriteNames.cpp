// Writes a generated list of names, one a line in UTF-8, for benchmarks that
// run outside this program (the PostgreSQL extension's): the same lists that
// vantel_match_bench matches. Usage: vantel_bench_names COUNT [SEED]
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "NameLists.h"
#include "vantel/Utf8.h"

namespace {

template <typename Number>
bool Parse(std::string_view text, Number& value) {
  const auto [stop, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && failure == std::errc() && stop == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  std::uint32_t seed = 1;
  if (argc < 2 || argc > 3 || !Parse(argv[1], count) || (argc == 3 && !Parse(argv[2], seed))) {
    std::fputs("usage: vantel_bench_names COUNT [SEED]\n", stderr);
    return 2;
  }
  for (const std::u16string& name : vantel::bench::NameList(seed, count)) {
    const std::string line = vantel::Utf16ToUtf8(name);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
