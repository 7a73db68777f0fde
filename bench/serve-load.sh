#!/usr/bin/env bash
# Lookups against `vantel serve` holding a generated list, asked by other
# processes on loopback (bench/serve_load.py): time until it listens, the
# first lookup, one query at a time (p50, p99), several clients together
# (queries per second) and the server's resident memory.
#
# Usage: bench/serve-load.sh [--build DIR] [--size N] [--queries Q] [--clients C] [--index]
#                            [-- SERVE ARGUMENTS...]
#   --index: serve an index of the list (vantel index, made first) instead of the list
#   (defaults: build/release, 1000000 names from tools/generate_names.py N --seed 1,
#    2000 queries from --seed 2, 2 clients; method 2, threshold 75, top 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=1000000
queries=2000
clients=2
index=
while [[ $# -gt 0 ]]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --size) size=$2; shift 2 ;;
    --queries) queries=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --index) index=1; shift ;;
    --) shift; break ;;
    *) echo "serve-load: unknown option $1" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/tools/generate_names.py" "$size" --seed 1 >"$work/names.txt"
python3 "$root/tools/generate_names.py" "$queries" --seed 2 >"$work/queries.txt"
served=()
if [[ -n $index ]]; then
  "$build/cli/vantel" index "$work/names.txt" -o "$work/names.vidx"
  served=(--index "$work/names.vidx")
  echo "index file $(stat -c %s "$work/names.vidx") bytes"
fi
echo "vantel serve of $size generated names, $queries queries, $clients clients"
python3 "$root/bench/serve_load.py" --vantel "$build/cli/vantel" --list "$work/names.txt" \
  --queries "$work/queries.txt" --clients "$clients" --serve-arguments "$*" "${served[@]}"
