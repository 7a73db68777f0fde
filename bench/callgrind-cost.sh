#!/usr/bin/env bash
# Instructions per call of Compare (methods 2, 3, 99) and of PhoneticForm on
# the name pairs of bench/NamePairs.h, counted by callgrind as the difference
# between 20 and 120 rounds, so that start-up and InitVT drop out.
# Usage: bench/callgrind-cost.sh PATH/TO/vantel_compare_cost
set -euo pipefail
program=${1:?usage: bench/callgrind-cost.sh PATH/TO/vantel_compare_cost}
pairs=$(grep -c '^    {u"' "$(dirname "$0")/NamePairs.h")
count() {  # what rounds -> instructions
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$program" "$1" "$2" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
for what in 2 3 99 phonetic; do
  low=$(count "$what" 20)
  high=$(count "$what" 120)
  calls=$((100 * pairs))
  [[ $what == phonetic ]] && calls=$((2 * calls))
  echo "$what: $(((high - low) / calls)) instructions per call"
done
