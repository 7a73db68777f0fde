#!/usr/bin/env bash
# Builds the vantel command and runs the main job: a comparison of two names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" core
"$root/scripts/build.sh" build/release -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF >/dev/null
set -x
"$root/build/release/cli/vantel" compare --method 2 cat kat
