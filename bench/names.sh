#!/usr/bin/env bash
# What the options of name forms find and what they cost. First, on the
# tables of real name forms in tests/names/data/, the share of pairs that
# reach the threshold with method 2, without and with each option, for one
# person written two ways and for two different people whose names look
# alike the same way. Then the time and peak memory of `vantel match` on a
# generated list, plain and with each option, and each option's time as a
# multiple of the plain one.
#
# Usage: bench/names.sh [--build DIR] [--size N] [--threads T] [--threshold X]
#   (defaults: build/release, 100000 names from tools/generate_names.py N --seed 1, 2 threads, 85)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=100000
threads=2
threshold=85
while [[ $# -gt 0 ]]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --size) size=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --threshold) threshold=$2; shift 2 ;;
    *) echo "names: unknown option $1" >&2; exit 2 ;;
  esac
done
vantel=$build/cli/vantel
data=$root/tests/names/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The share of the lines of a --pairs output whose answer reaches the threshold.
share() { awk -F'\t' -v t="$threshold" '{ n++; if ($NF >= t) k++ } END { printf "%d/%d (%.1f%%)", k, n, n ? 100 * k / n : 0 }'; }

echo "Share found at $threshold, method 2: without -> with the option"
for row in "--order any:reordered" "--nicknames:nicknames" "--transliterate:transliterated"; do
  option=${row%%:*} table=${row#*:}
  read -r -a flags <<<"$option"
  for kind in same different; do
    file=$data/$table.tsv
    [[ $kind == different ]] && file=$data/different_$table.tsv
    before=$("$vantel" compare --method 2 --pairs "$file" | share)
    after=$("$vantel" compare --method 2 "${flags[@]}" --pairs "$file" | share)
    printf '  %-16s %-9s %s -> %s\n' "$option" "$kind" "$before" "$after"
  done
done

python3 "$root/tools/generate_names.py" "$size" --seed 1 >"$work/names.txt"
echo "vantel match of $size generated names at threshold $threshold on $threads threads:"
plain=""
for option in "" "--order any" "--nicknames" "--transliterate" "--order any --nicknames --transliterate"; do
  read -r -a flags <<<"$option"
  /usr/bin/time -f "%e %M" -o "$work/time" "$vantel" match --quiet --threads "$threads" --threshold "$threshold" \
    "${flags[@]}" "$work/names.txt" >"$work/pairs.tsv"
  read -r seconds kilobytes <"$work/time"
  [[ -z $plain ]] && plain=$seconds
  printf '  %-40s %8.2f s  %6d MB  %5.2fx  %d pairs\n' "${option:-plain}" "$seconds" $((kilobytes / 1024)) \
    "$(echo "$seconds / $plain" | bc -l)" "$(wc -l <"$work/pairs.tsv")"
done
