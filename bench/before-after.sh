#!/usr/bin/env bash
# The figures of one Compare, one PhoneticForm and one new object, for two
# builds in one run: instructions (callgrind, bench/callgrind-cost.sh), time
# (vantel_bench, median of 5 repetitions, the two builds taking turns) and
# the cost of 10,000 objects (vantel_object_cost, 3 runs each).
# Usage: bench/before-after.sh BEFORE_DIR AFTER_DIR, each holding vantel_bench,
# vantel_compare_cost and vantel_object_cost.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
before=${1:?usage: bench/before-after.sh BEFORE_DIR AFTER_DIR}
after=${2:?usage: bench/before-after.sh BEFORE_DIR AFTER_DIR}

for dir in "$before" "$after"; do
  echo "== instructions per call: $dir"
  "$here/callgrind-cost.sh" "$dir/vantel_compare_cost"
done

filter='CompareNamePairs|PhoneticFormOfNames|CompareLongestStrings'
for round in 1 2; do
  for dir in "$before" "$after"; do
    echo "== time, round $round: $dir"
    "$dir/vantel_bench" --benchmark_filter="$filter" --benchmark_repetitions=5 \
      --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median'
  done
done

for round in 1 2 3; do
  for dir in "$before" "$after"; do
    echo "== 10,000 objects, run $round: $dir"
    "$dir/vantel_object_cost" 10000
  done
done
