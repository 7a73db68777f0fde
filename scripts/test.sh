#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: once in a
# normal build, once with AddressSanitizer and UndefinedBehaviorSanitizer;
# then the Windows automation server's tests (scripts/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh core

step() { printf '\n== %s\n' "$*"; }

step "Release build and tests"
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build/release --output-on-failure -j "$(nproc)"

step "Sanitizer build (address, undefined) and tests"
scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_SANITIZE=ON -DVANTEL_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"

step "Windows automation server VantelUS.dll: MinGW-w64 cross build, tests under Wine"
VANTEL_CLI="$root/build/release/cli/vantel" scripts/test-windows.sh

step "All tests passed"
