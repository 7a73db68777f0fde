#!/usr/bin/env bash
# De-duplicates a generated file of people with `vantel link` end to end
# (reading, candidates, training, scoring, groups) and reports its time, its
# peak memory and the candidate rules' recall of the planted truth.
# Usage: bench/link-scale.sh BUILD_DIR [ROWS] (default 1000000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: bench/link-scale.sh BUILD_DIR [ROWS]}
rows=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A file already written with these rows and seed may be given as PEOPLE.
if [[ -n "${PEOPLE:-}" ]]; then cp "$PEOPLE" "$work/people.csv"; else
  python3 "$root/tools/make_people.py" --count "$rows" --seed 11 --out "$work/people.csv"
fi
/usr/bin/time -f "link: %e s elapsed, %U s user, %M KB peak" \
  "$build/cli/vantel" link --quiet --id id --groups \
  --field given_name:name:swap=surname:edits=on --field surname:name:swap=given_name:edits=on:tf=off \
  --field birth_date:date --field postcode:code --field email:email:edits=on \
  --block 'birth_date+first(given_name,1)' --block postcode --block email \
  --block 'phonetic(given_name)+phonetic(surname)+year(birth_date)' \
  --truth person_id --evaluate "$work/quality.tsv" "$work/people.csv" >"$work/groups.tsv"
cat "$work/quality.tsv"
echo "groups: $(($(wc -l <"$work/groups.tsv") - 1)) rows"
