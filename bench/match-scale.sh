#!/usr/bin/env bash
# De-duplicates generated lists of names with `vantel match` at threshold 85
# and reports, for each list size, method and number of threads: wall time,
# CPU time, pairs per second per core (pairs / CPU seconds, reading and
# transcription included), the share of pairs that reached the exact bound
# and the scorer, and peak memory; and the same for another `vantel` (today's
# matcher), whose output must then be identical.
#
# Usage: bench/match-scale.sh [options]
#   --build DIR        the build tree with cli/vantel and bench/vantel_match_scale (default build/release)
#   --sizes "N..."     list sizes (default "100000 300000 1000000")
#   --methods "M..."   (default "0 2 99")
#   --threads "T..."   (default "1 2")
#   --baseline FILE    another vantel command to compare with (default: none)
#   --baseline-runs "SIZE:METHOD:THREADS..."  which runs of it (default
#                      "100000:0:1 100000:0:2 100000:2:2 100000:99:2 300000:0:2";
#                      today's matcher needs hours for a million names)
#   --work DIR         where lists and outputs go (default build/match-scale)
# Lists come from tools/generate_names.py SIZE --seed 1, so every run sees the same names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
sizes="100000 300000 1000000"
methods="0 2 99"
threads="1 2"
baseline=""
baseline_runs="100000:0:1 100000:0:2 100000:2:2 100000:99:2 300000:0:2"
work=$root/build/match-scale
while [[ $# -gt 0 ]]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --methods) methods=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    --baseline-runs) baseline_runs=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "match-scale: unknown option $1" >&2; exit 2 ;;
  esac
done
vantel=$build/cli/vantel
scale=$build/bench/vantel_match_scale
for tool in "$vantel" "$scale" /usr/bin/time python3 awk; do
  command -v "$tool" >/dev/null || { echo "match-scale: $tool not found (build cli/vantel and vantel_match_scale)" >&2; exit 1; }
done
mkdir -p "$work"

# Runs a command under /usr/bin/time -v; prints "wall cpu peak_kb".
timed() {
  local log=$work/time.log
  /usr/bin/time -v "$@" 2>"$log" >/dev/null
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
    /User time/ { user = $2 } /System time/ { sys = $2 } /Maximum resident/ { peak = $2 }
    END { printf "%.1f %.1f %d\n", wall, user + sys, peak }' "$log"
}

rate() { awk -v pairs="$1" -v cpu="$2" 'BEGIN { print (cpu > 0 ? pairs / cpu : 0) }'; }

printf 'machine: %s, %s cores; load average before: %s\n' "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)" \
  "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %-7s %-6s %-8s %9s %9s %14s %10s %10s %9s  %s\n' size method threads matcher wall_s cpu_s \
  pairs/s/core bounded scored peak_MB output
for size in $sizes; do
  names=$work/names-$size.txt
  [[ -s $names ]] || python3 "$root/tools/generate_names.py" "$size" --seed 1 >"$names"
  pairs=$((size * (size - 1) / 2))
  for method in $methods; do
    # The shares do not depend on the number of threads: one run of the scale tool.
    read -r bounded scored < <("$scale" --method "$method" --threshold 85 --threads 2 "$names" |
      sed -E 's/.*bounded_share=([^ ]+) scored_share=([^ ]+).*/\1 \2/')
    for count in $threads; do
      out=$work/new-$size-$method.txt
      # Written to a file by the shell, as a user would.
      read -r wall cpu peak < <(timed sh -c "\"$vantel\" match --quiet --threshold 85 --method $method --threads $count \"$names\" >\"$out\"")
      printf '%-8s %-7s %-6s %-8s %9s %9s %14.3g %10.3g %10.3g %9d  %s lines\n' "$size" "$method" "$count" new "$wall" \
        "$cpu" "$(rate "$pairs" "$cpu")" "$bounded" "$scored" $((peak / 1024)) "$(wc -l <"$out")"
      if [[ -n $baseline && " $baseline_runs " == *" $size:$method:$count "* ]]; then
        old=$work/old-$size-$method.txt
        read -r wall cpu peak < <(timed sh -c "\"$baseline\" match --quiet --threshold 85 --method $method --threads $count \"$names\" >\"$old\"")
        same=$(cmp -s "$old" "$out" && echo identical || echo DIFFERENT)
        printf '%-8s %-7s %-6s %-8s %9s %9s %14.3g %10s %10s %9d  %s lines, %s\n' "$size" "$method" "$count" today "$wall" \
          "$cpu" "$(rate "$pairs" "$cpu")" - - $((peak / 1024)) "$(wc -l <"$old")" "$same"
      fi
    done
  done
done
printf 'load average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
