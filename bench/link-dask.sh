#!/usr/bin/env bash
# Links generated people with vantel.link in one process and vantel.dask.link
# on a LocalCluster (bench/link_dask.py): the time of each, the Dask share of
# the cluster's time, and that both give the same pairs.
# Usage: bench/link-dask.sh [ROWS_EACH] [WORKERS] [PARTITIONS]   (default 1000000 2 8)
# The Python package must be importable (scripts/test-python.sh installs it
# into build/python-venv, whose interpreter this uses when it is there;
# VANTEL_PYTHON names another).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-1000000}
workers=${2:-2}
partitions=${3:-8}
python=${VANTEL_PYTHON:-/usr/bin/python3}
[[ -z ${VANTEL_PYTHON:-} && -x $root/build/python-venv/bin/python ]] && python=$root/build/python-venv/bin/python
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/tools/make_people.py" --count $((rows * 2)) --seed 11 --out "$work/people.csv"
/usr/bin/time -f "peak memory of the client: %M KB" \
  "$python" "$root/bench/link_dask.py" "$work/people.csv" --workers "$workers" --partitions "$partitions"
