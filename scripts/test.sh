#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: once in a
# normal build, once with AddressSanitizer and UndefinedBehaviorSanitizer;
# then the Python package's tests (scripts/test-python.sh), the PostgreSQL
# extension's (scripts/test-postgres.sh), vantel serve under OpenRefine and
# headless Chromium (scripts/test-browsers.sh) and the Windows automation
# server's (scripts/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh core fuzz lint words

step() { printf '\n== %s\n' "$*"; }

step "Release build and tests"
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=ON -DVANTEL_BUILD_BENCHMARKS=ON
ctest --test-dir build/release --output-on-failure -j "$(nproc)"

step "Python package: build into a virtual environment of Debian's Python, pytest"
VANTEL_CLI="$root/build/release/cli/vantel" scripts/test-python.sh

step "Lint: clang-format and clang-tidy"
scripts/lint.sh build/release

step "Sanitizer build (address, undefined) and tests"
scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_SANITIZE=ON -DVANTEL_BUILD_TESTS=ON -DVANTEL_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"

step "Fuzzing Compare, the index reader, the field comparisons and block keys, the pattern engine and the transcriber (libFuzzer, address, undefined) for ${VANTEL_FUZZ_SECONDS:=20} s each"
CXX=clang++ scripts/build.sh build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_BUILD_FUZZERS=ON \
  -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF -DVANTEL_BUILD_CLI=OFF
for fuzzer in CompareFuzzer IndexFuzzer LinkFuzzer PatternFuzzer TranscriberFuzzer; do
  corpus=build/fuzz/corpus/$fuzzer log=build/fuzz/$fuzzer.log
  mkdir -p "$corpus"
  if ! build/fuzz/tests/fuzz/$fuzzer -max_total_time="$VANTEL_FUZZ_SECONDS" -max_len=300 -timeout=10 \
      -artifact_prefix=build/fuzz/ "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$fuzzer failed; the input that failed is saved under build/fuzz/" >&2
    exit 1
  fi
  echo "$fuzzer: $(grep -E '^Done' "$log")"
done

step "PostgreSQL extension: PGXS build, pg_regress on a throwaway cluster"
VANTEL_CLI="$root/build/release/cli/vantel" scripts/test-postgres.sh

step "Real clients of vantel serve: OpenRefine reconciling, the search page in headless Chromium"
VANTEL_CLI="$root/build/release/cli/vantel" scripts/test-browsers.sh

step "Windows: VantelUS.dll and vantel.exe cross-built with MinGW-w64, the release archives, tests under Wine"
VANTEL_NATIVE_BUILD=build/release scripts/test-windows.sh

step "All tests passed"
