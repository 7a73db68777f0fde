#!/usr/bin/env bash
# Builds the Python package (python/) into a virtual environment of Debian's
# own interpreter that sees Debian's NumPy, pandas and Dask, and runs its
# tests with pytest. Usage: scripts/test-python.sh [pytest arguments...]
# VANTEL_CLI names the vantel command the tests compare with (default:
# build/release/cli/vantel, which scripts/test.sh builds first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh core python

# Not the python3 first on PATH: on some machines that is another
# interpreter, which does not see Debian's packages.
venv=${VANTEL_VENV:-$root/build/python-venv}
[[ -x "$venv/bin/python" ]] || /usr/bin/python3 -m venv --system-site-packages "$venv"
# Offline: nothing is downloaded, the build requirements are Debian's.
VANTEL_CMAKE_BUILD_DIR="$root/build/python-cmake" VANTEL_CMAKE_ARGS="-DVANTEL_WERROR=ON" \
  "$venv/bin/pip" install --quiet --no-build-isolation --no-index --no-deps --force-reinstall "$root/python"
export VANTEL_CLI=${VANTEL_CLI:-$root/build/release/cli/vantel}
# From outside python/, so that the installed package is the one imported.
cd "$root/build"
"$venv/bin/python" -m pytest "$root/python/tests" -q "$@"
