#!/usr/bin/env bash
# Builds the vantel command and runs the main job: groups the duplicate
# records of the sample people file data/people.csv (5,000 rows with planted
# duplicates and their truth in person_id) by a model over five fields that
# is trained on the file itself, and reports its quality against the truth.
# The names are compared in any word order, in Latin letters, crosswise (a
# given name and surname written in each other's place) and within one
# edit, given names also by their groups of nicknames; e-mail addresses
# within one edit before the @. Surnames weigh alike however rare: relatives
# share them (README, "Linking records").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" core
# A build tree of its own: the options cached here must not leave scripts/test.sh
# a release tree without tests.
"$root/scripts/build.sh" build/run -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF >/dev/null
set -x
"$root/build/run/cli/vantel" link --groups --id id --keep given_name,surname,birth_date,town \
  --field given_name:name:nicknames=on:transliterate=on:order=any:swap=surname:edits=on \
  --field surname:name:transliterate=on:order=any:swap=given_name:edits=on:tf=off \
  --field birth_date:date --field postcode:code --field email:email:edits=on \
  --truth person_id "$root/data/people.csv"
