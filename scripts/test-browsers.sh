#!/usr/bin/env bash
# Runs vantel serve under real clients: a headless OpenRefine reconciling a
# column of names against it (tests/server/openrefine_test.py), and its search
# page in headless Chromium (tests/server/search_page_test.py). Installs
# Debian's openrefine and chromium first (scripts/install-deps.sh browsers).
#
# Installing needs root or sudo. Without either, and with the packages
# missing, it says that these tests were SKIPPED, and why; under CI (CI=true)
# it fails instead. VANTEL_CLI names the vantel command that is served and
# compared with (default: build/release/cli/vantel, which scripts/test.sh
# builds first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! scripts/install-deps.sh browsers; then
  if [[ ${CI:-} == true ]]; then
    echo "test-browsers: FAILED to run under CI: the packages of the browsers group could not be installed" >&2
    exit 1
  fi
  echo "test-browsers: SKIPPED: the packages of the browsers group could not be installed"
  exit 0
fi

vantel=${VANTEL_CLI:-$root/build/release/cli/vantel}
[[ -x $vantel ]] || { echo "test-browsers: no vantel command at $vantel; build it first" >&2; exit 1; }
# Debian's interpreter, standard library only; -B: no bytecode in the sources.
python=(/usr/bin/python3 -B)
"${python[@]}" tests/server/openrefine_test.py "$vantel" data/customers.csv
"${python[@]}" tests/server/search_page_test.py "$vantel" data/customers.csv
