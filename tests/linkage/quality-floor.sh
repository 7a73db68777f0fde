#!/usr/bin/env bash
# The floor under the quality of `vantel link` without labels: 50,000
# generated people (fixed seed, planted truth) de-duplicated on five fields
# (the names with the options of scripts/run.sh),
# the F1 of the pairs kept at probability 0.9 read from --evaluate. A change
# that loses quality fails here. Usage: quality-floor.sh VANTEL MAKE_PEOPLE PYTHON
set -euo pipefail
vantel=$1 make_people=$2 python=$3
floor=0.98
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" "$make_people" --count 50000 --seed 7 --out "$work/people.csv"
"$vantel" link --quiet --id id --threads 2 --sample 300000 \
  --field given_name:name:nicknames=on:transliterate=on:order=any:swap=surname:edits=on \
  --field surname:name:transliterate=on:order=any:swap=given_name:edits=on:tf=off \
  --field birth_date:date --field postcode:code --field email:email:edits=on \
  --block birth_date --block postcode --block email --block 'phonetic(given_name)+phonetic(surname)' \
  --truth person_id --evaluate "$work/quality.tsv" "$work/people.csv" >"$work/pairs.tsv"
f1=$(awk -F'\t' '$1 == "0.9" { print $5 }' "$work/quality.tsv")
cat "$work/quality.tsv"
[[ -n "$f1" ]] || { echo "quality-floor: no F1 at 0.9 in the evaluation" >&2; exit 1; }
if ! awk -v f1="$f1" -v floor="$floor" 'BEGIN { exit !(f1 >= floor) }'; then
  echo "quality-floor: F1 $f1 at probability 0.9 is below the floor $floor" >&2
  exit 1
fi
echo "quality-floor: F1 $f1 (floor $floor)"
