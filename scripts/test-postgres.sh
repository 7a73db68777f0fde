#!/usr/bin/env bash
# Builds the PostgreSQL extension (postgres/) with PGXS over a build of the
# library with position-independent code, installs it into the server's
# folders, and runs its regression tests (make installcheck, pg_regress) on a
# throwaway cluster that pg_virtualenv makes and drops. The installed files
# are removed again at the end.
#
# Installing needs root or sudo. Without either it says that these tests were
# SKIPPED, and why; under CI (CI=true), which runs as root, it fails instead.
# VANTEL_CLI may name an already built vantel command, whose answers the tests
# hold the functions to (default: the one built here).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

skip() {
  if [[ ${CI:-} == true ]]; then
    printf '\nPostgreSQL tests FAILED to run under CI: %s\n' "$*" >&2
    exit 1
  fi
  printf '\nPostgreSQL tests SKIPPED: %s\n' "$*"
  exit 0
}

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null && sudo -n true 2>/dev/null || skip "installing the extension into the server's folders needs root or sudo"
  sudo=(sudo)
fi
scripts/install-deps.sh core postgres

lib=build/postgres/lib
ext=$root/build/postgres/extension
scripts/build.sh "$lib" -DCMAKE_BUILD_TYPE=Release -DCMAKE_POSITION_INDEPENDENT_CODE=ON
export VANTEL_CLI=${VANTEL_CLI:-$root/$lib/cli/vantel}

mkdir -p "$ext"
pgmake() {
  make -s -C "$ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" VANTEL_BUILD="$root/$lib" \
    VANTEL_CLI="$VANTEL_CLI" VANTEL_WERROR=ON "$@"
}
pgmake
uninstall() { pgmake uninstall; }
[[ ${#sudo[@]} -eq 0 ]] || uninstall() { "${sudo[@]}" make -s -C "$ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" uninstall; }
trap uninstall EXIT
if [[ ${#sudo[@]} -eq 0 ]]; then pgmake install; else "${sudo[@]}" make -s -C "$ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" VANTEL_BUILD="$root/$lib" install; fi

rm -rf "$ext/results" "$ext/regression.diffs" "$ext/regression.out"
if ! pg_virtualenv make -s -C "$ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" VANTEL_BUILD="$root/$lib" \
    VANTEL_CLI="$VANTEL_CLI" installcheck >"$ext/installcheck.log" 2>&1; then
  grep -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} ' "$ext/installcheck.log" | tail -n 40
  [[ -f $ext/regression.diffs ]] && head -n 200 "$ext/regression.diffs"
  echo "test-postgres: the regression tests failed; see $ext/regression.diffs and $ext/installcheck.log" >&2
  exit 1
fi
grep -E '^(test |ok |not ok )|tests passed' "$ext/installcheck.log"
