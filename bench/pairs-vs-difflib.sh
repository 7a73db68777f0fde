#!/usr/bin/env bash
# Pairs per second of `vantel compare --pairs --method 2` against Python's
# difflib ratio alone (SequenceMatcher(None, a, b).ratio(), the spelling half
# of the answer only) on the same pairs: PAIRS pairs of generated names
# (vantel_bench_names), each program timed over the whole file, best of 3.
# Usage: bench/pairs-vs-difflib.sh BUILD_DIR [PAIRS] [OTHER_VANTEL...]
#   BUILD_DIR      holds cli/vantel and bench/vantel_bench_names
#   OTHER_VANTEL   further vantel programs timed on the same file (an older build)
set -euo pipefail
build=${1:?usage: bench/pairs-vs-difflib.sh BUILD_DIR [PAIRS] [OTHER_VANTEL...]}
pairs=${2:-500000}
shift $(($# < 2 ? $# : 2))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3

"$build/bench/vantel_bench_names" 20000 7 >"$work/names.txt"
"$python" - "$work/names.txt" "$pairs" >"$work/pairs.tsv" <<'EOF'
import random, sys
names = open(sys.argv[1], encoding="utf-8").read().splitlines()
rng = random.Random(11)
out = sys.stdout
for _ in range(int(sys.argv[2])):
    out.write(f"{rng.choice(names)}\t{rng.choice(names)}\n")
EOF

best() {  # command... -> best wall seconds of 3 runs
  local best=
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    best=$(awk -v a="$best" -v s="$start" -v e="$end" 'BEGIN { t = e - s; print (a == "" || t < a) ? t : a }')
  done
  echo "$best"
}

report() { awk -v n="$pairs" -v t="$2" -v who="$1" 'BEGIN { printf "%-40s %8.2f s %12.0f pairs/s\n", who, t, n / t }'; }

for vantel in "$build/cli/vantel" "$@"; do
  report "$vantel" "$(best "$vantel" compare --method 2 --pairs "$work/pairs.tsv")"
done
difflib=$(best "$python" -c '
import difflib, sys
ratio = difflib.SequenceMatcher
for line in open(sys.argv[1], encoding="utf-8"):
    a, b = line.rstrip("\n").split("\t")
    ratio(None, a, b).ratio()
' "$work/pairs.tsv")
report "python3 difflib ratio" "$difflib"
