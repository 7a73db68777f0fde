#!/usr/bin/env bash
# Fails on any finding of clang-format (.clang-format) or clang-tidy
# (.clang-tidy) in the C++ sources built natively. Usage: scripts/lint.sh
# BUILD_DIR, a configured build tree whose compile_commands.json it reads.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${1:?usage: scripts/lint.sh BUILD_DIR}
scripts/install-deps.sh lint

mapfile -t formatted < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run -Werror "${formatted[@]}"; then
  echo "lint: clang-format would change the files above; run clang-format -i on them" >&2
  exit 1
fi

# Only what the native build compiles (the Windows sources need MinGW's headers),
# and not the probes of the layering, which must not compile; nor the
# mapping of indexes for systems without mmap.
mapfile -t sources < <(git ls-files '*.cpp' | grep -v -E '^(automation|tests/automation|tests/windows-cli|tests/fuzz/.*Fuzzer|tests/install|tests/layering|python|postgres)/|^cli/(Windows|PlatformWindows)|^index/MappingPortable')
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>&1; then
  grep -E -A3 'error:|warning:' "$log" | head -n 80 >&2
  echo "lint: clang-tidy found the problems above" >&2
  exit 1
fi
echo "lint: clang-format and clang-tidy found nothing in ${#sources[@]} sources"
