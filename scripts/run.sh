#!/usr/bin/env bash
# Builds the vantel command and runs the main job: groups the duplicates of the
# sample customer file data/customers.csv (id, name, city, email; 2,000 rows
# with planted duplicates), matching the names and carrying the cities.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" core
# A build tree of its own: the options cached here must not leave scripts/test.sh
# a release tree without tests.
"$root/scripts/build.sh" build/run -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF >/dev/null
set -x
"$root/build/run/cli/vantel" match --groups --method 2 --threshold 85 --column name --id id --keep city \
  "$root/data/customers.csv"
