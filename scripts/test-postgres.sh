#!/usr/bin/env bash
# Builds the PostgreSQL extension (postgres/) with PGXS over a build of the
# library with position-independent code, installs it into the server's
# folders, and runs its regression tests (make installcheck, pg_regress) on a
# throwaway cluster that pg_virtualenv makes and drops, then the process tests
# (postgres/process-tests.sh) on another. The installed files are removed
# again at the end.
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

source scripts/postgres-common.sh
find_installer
build_and_install_extension

rm -rf "$pg_ext/results" "$pg_ext/regression.diffs" "$pg_ext/regression.out"
if ! pg_virtualenv make -s -C "$pg_ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" VANTEL_BUILD="$root/$pg_lib" \
    VANTEL_CLI="$VANTEL_CLI" installcheck >"$pg_ext/installcheck.log" 2>&1; then
  grep -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} ' "$pg_ext/installcheck.log" | tail -n 40
  [[ -f $pg_ext/regression.diffs ]] && head -n 200 "$pg_ext/regression.diffs"
  echo "test-postgres: the regression tests failed; see $pg_ext/regression.diffs and $pg_ext/installcheck.log" >&2
  exit 1
fi
grep -E '^(test |ok |not ok )|tests passed' "$pg_ext/installcheck.log"

# What the backend process does while vantel_match runs: its peak memory,
# cancellation during the preparation, its threads' signal masks.
if ! pg_virtualenv "$root/postgres/process-tests.sh" >"$pg_ext/process-tests.log" 2>&1; then
  grep -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} ' "$pg_ext/process-tests.log" | tail -n 40
  echo "test-postgres: the process tests failed; see $pg_ext/process-tests.log" >&2
  exit 1
fi
grep -E '^(ok|not ok|#) ' "$pg_ext/process-tests.log"
