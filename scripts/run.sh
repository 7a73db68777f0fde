#!/usr/bin/env bash
# Builds the vantel command and runs the main job: finds the duplicates in the
# sample list of names data/names.txt (one name a line, spelling variants among them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" core
# A build tree of its own: the options cached here must not leave scripts/test.sh
# a release tree without tests.
"$root/scripts/build.sh" build/run -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF >/dev/null
set -x
"$root/build/run/cli/vantel" match "$root/data/names.txt"
