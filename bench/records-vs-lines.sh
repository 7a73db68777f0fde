#!/usr/bin/env bash
# Record mode against bare-list mode on the same names: a CSV file of
# 100,000 rows and 4 columns (id, name, city, email) linked with the 2,000
# customers of data/customers.csv, once as records (--column name --id id
# --keep city,email) and once as the bare list of its names. Prints the time
# and peak memory of each and their ratios; record mode should stay within
# 15% of the time and twice the memory of bare-list mode.
# Usage: bench/records-vs-lines.sh [path/to/vantel]   (needs GNU time)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vantel=${1:-$root/build/release/cli/vantel}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 50 variants of each customer: a letter of the name changed in a different
# place each time (or one added), so that the names are not all repeats.
awk -F, -v OFS=, 'NR == 1 { print; next }
  { rows[NR] = $0 }
  END {
    for (copy = 1; copy <= 50; ++copy) {
      for (row = 2; row <= NR; ++row) {
        split(rows[row], field, ",")
        name = field[2]
        at = (copy * 7 + row) % length(name) + 1
        letter = substr("aeiouy", copy % 6 + 1, 1)
        # awk counts bytes: only an ASCII byte is replaced, so the UTF-8 stays whole.
        if (substr(name, at, 1) ~ /^[ -~]$/) name = substr(name, 1, at - 1) letter substr(name, at + 1)
        else name = name letter
        print "R" copy "-" field[1], name, field[3], field[4]
      }
    }
  }' "$root/data/customers.csv" >"$work/queries.csv"
tail -n +2 "$work/queries.csv" | cut -d, -f2 >"$work/queries.txt"
tail -n +2 "$root/data/customers.csv" | cut -d, -f2 >"$work/candidates.txt"
echo "queries: $(($(wc -l <"$work/queries.csv") - 1)) rows of 4 columns; candidates: $(wc -l <"$work/candidates.txt")"

run() {  # prints "seconds kilobytes"
  /usr/bin/time -f '%e %M' -o "$work/time" "$vantel" match --quiet --method 2 --threshold 85 "$@" >"$work/out" 2>/dev/null
  echo "$(cat "$work/time") $(wc -l <"$work/out")"
}
best() {  # the fastest of three runs
  local line fastest=""
  for _ in 1 2 3; do
    line=$(run "$@")
    if [[ -z $fastest ]] || awk -v a="${line%% *}" -v b="${fastest%% *}" 'BEGIN { exit !(a < b) }'; then fastest=$line; fi
  done
  echo "$fastest"
}
read -r lineSeconds lineKb lineRows < <(best "$work/queries.txt" "$work/candidates.txt")
read -r recordSeconds recordKb recordRows < <(best --column name --id id --keep city,email "$work/queries.csv" "$root/data/customers.csv")
printf '%-8s %8s s %9s kB %8s rows\n' lines "$lineSeconds" "$lineKb" "$lineRows" records "$recordSeconds" "$recordKb" "$recordRows"
awk -v lt="$lineSeconds" -v rt="$recordSeconds" -v lm="$lineKb" -v rm="$recordKb" \
  'BEGIN { printf "records / lines: time %.3f (at most 1.15), peak memory %.2f (at most 2)\n", rt / lt, rm / lm }'
