#!/usr/bin/env bash
# The peak memory of a record file whose one field is far too long to match:
# a CSV file of a header, two short names and, between them, a name of
# 100 MB. The long field is reported and set aside; what it costs should be
# about its own text as the file is read (the text block doubles as it
# grows), not that text converted to UTF-16 and copied besides. Prints the
# peak resident set of the run and of the same file without the long field.
# Usage: bench/long-field-memory.sh [path/to/vantel] [megabytes]   (needs GNU time)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vantel=${1:-$root/build/release/cli/vantel}
megabytes=${2:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'name\nAnn\n' >"$work/long.csv"
head -c "$((megabytes << 20))" /dev/zero | tr '\0' x >>"$work/long.csv"
printf '\nAnne\n' >>"$work/long.csv"
printf 'name\nAnn\nAnne\n' >"$work/short.csv"

run() {  # prints the peak resident set in kB
  /usr/bin/time -f '%M' -o "$work/time" "$vantel" match --quiet --threads 1 "$1" >"$work/out" 2>"$work/err" || true
  tail -n 1 "$work/time"  # GNU time notes a failure status on a line before
}
shortKb=$(run "$work/short.csv")
longKb=$(run "$work/long.csv")
echo "reported: $(cat "$work/err")"
printf 'without the long field: %8s kB\nwith a %d MB field:     %8s kB (%.2f times the field)\n' \
  "$shortKb" "$megabytes" "$longKb" "$(awk -v k="$longKb" -v m="$megabytes" 'BEGIN { print k / (m * 1024) }')"
