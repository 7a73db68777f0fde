#!/usr/bin/env bash
# The PostgreSQL extension's benchmark (bench/postgres/bench.sql): builds and
# installs the extension as scripts/test-postgres.sh does, writes COUNT
# generated names (default 10,000; the lists of vantel_match_bench), and
# de-duplicates them in a throwaway cluster with vantel_match, a
# vantel_compare self-join, pg_trgm's similarity() and a blocking join, in
# one run; then the vantel command on the same names for reference. The
# installed files are removed again at the end. Usage: scripts/bench-postgres.sh [COUNT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
count=${1:-10000}

skip() {
  echo "bench-postgres: $*" >&2
  exit 1
}

source scripts/postgres-common.sh
find_installer
build_and_install_extension

# The names generator is a benchmark program of the release build.
cmake -S "$root" -B "$root/build/release" -G Ninja -DVANTEL_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
  -DVANTEL_BUILD_TESTS=ON -DVANTEL_BUILD_BENCHMARKS=ON >/dev/null
ninja -C "$root/build/release" vantel_bench_names >/dev/null
export VANTEL_BENCH_NAMES=$pg_ext/bench-names-$count.txt
"$root/build/release/bench/vantel_bench_names" "$count" 1 >"$VANTEL_BENCH_NAMES"

echo "$(nproc) processors; load average $(cut -d' ' -f1-3 /proc/loadavg)"
pg_virtualenv psql -X -q -v ON_ERROR_STOP=1 -f "$root/bench/postgres/bench.sql" 2>&1 | grep -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} '

start=$EPOCHREALTIME
pairs=$("$VANTEL_CLI" match --threshold 85 --quiet "$VANTEL_BENCH_NAMES" | wc -l)
echo "vantel match --threshold 85 on the same file: $pairs pairs in $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }') s"
