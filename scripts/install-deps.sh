#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, if any is
# missing. Usage: scripts/install-deps.sh [core|fuzz|lint|words|postgres|python|windows|package|browsers]...  (default: core)
set -euo pipefail

declare -A groups=(
  [core]="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev pkg-config nlohmann-json3-dev libicu-dev libcpp-httplib-dev"
  [fuzz]="clang libclang-rt-14-dev"
  [lint]="clang-format clang-tidy"
  # The word list that the transcriber's differential test reads.
  [words]="wamerican"
  # The PostgreSQL extension: PGXS, a throwaway cluster (pg_virtualenv), pg_trgm for its benchmark.
  [postgres]="make postgresql postgresql-common postgresql-contrib postgresql-server-dev-15"
  # Cross-building VantelUS.dll and testing it under Wine (scripts/test-windows.sh).
  # The release archives and the Windows installer (scripts/package.sh).
  [package]="zip unzip nsis"
  [windows]="g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools libwine-dev wine wine32:i386 wine64 bsdutils"
  # The Python package and its tests (scripts/test-python.sh), all from Debian:
  # Debian's own interpreter, its headers and venv, pybind11, NumPy, pandas, Dask.
  [python]="python3 python3-dev python3-venv python3-pip-whl pybind11-dev python3-pybind11 python3-setuptools python3-wheel python3-numpy python3-pandas python3-pytest python3-dask python3-distributed python3-matplotlib"
  # The end-to-end tests of vantel serve by real clients (scripts/test-browsers.sh):
  # OpenRefine reconciling against it (it brings Java 17), and the search page
  # in headless Chromium, driven over its DevTools pipe by the standard library.
  [browsers]="python3 openrefine chromium"
)

wanted=()
for group in "${@:-core}"; do
  [[ -n "${groups[$group]:-}" ]] || { echo "install-deps: unknown group '$group'" >&2; exit 2; }
  wanted+=(${groups[$group]})
done

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

sudo=()
need_root() {
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "install-deps: need root (or sudo) to $*" >&2; exit 1; }
    sudo=(sudo)
  fi
}

# Some kernels are built without support for 32-bit x86 programs, and there
# the 32-bit Wine loader fails with "Exec format error". QEMU's user-mode
# emulator, registered with the kernel for 32-bit x86 executables, runs them
# instead (slower, same answers: the Windows code is built for SSE2).
ensure_32bit_programs_run() {
  local loader=/usr/lib/wine/wine
  [[ -x $loader ]] || return 0
  local status=0
  "$loader" --version >/dev/null 2>&1 || status=$?
  [[ $status -eq 126 ]] || return 0
  echo "install-deps: this kernel cannot run 32-bit x86 programs; registering qemu-i386 for them" >&2
  need_root "run 32-bit x86 programs through qemu-i386"
  if ! command -v qemu-i386 >/dev/null; then
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
  fi
  local binfmt=/proc/sys/fs/binfmt_misc
  [[ -e $binfmt/register ]] || "${sudo[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
  if [[ ! -e $binfmt/vantel-i386 ]]; then
    # ELF, 32-bit, little-endian, executable or shared object, Intel 80386;
    # F: the kernel opens the emulator now, so it is found in any mount namespace.
    printf '%s' ':vantel-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
      "${sudo[@]}" tee "$binfmt/register" >/dev/null
  fi
  "$loader" --version >/dev/null || { echo "install-deps: 32-bit x86 programs still do not run" >&2; exit 1; }
}
finish() {
  [[ " ${wanted[*]} " == *" wine32:i386 "* ]] && ensure_32bit_programs_run
  exit 0
}

[[ ${#missing[@]} -eq 0 ]] && finish

echo "install-deps: installing ${missing[*]}" >&2
need_root "install: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
# A mirror in the middle of a sync makes apt-get update fail for a minute or
# two ("File has unexpected size"); try again rather than fail the whole run,
# and install from the indexes we have when the update never succeeds.
for attempt in 1 2 3; do
  "${sudo[@]}" apt-get update -qq && break
  echo "install-deps: apt-get update failed (attempt $attempt of 3)" >&2
  [[ $attempt -lt 3 ]] && sleep $((attempt * 10))
done
install() { "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
install && finish
# When one architecture's security index could not be fetched, the 32-bit
# libraries that Wine needs have no version that matches the 64-bit ones
# already installed, and apt gives up ("held broken packages"). Taking the
# release's own suite as the target gives both architectures the same
# versions.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [[ -n "$codename" ]]; then
  echo "install-deps: apt-get install failed; trying again with $codename as the target release" >&2
  install -t "$codename" && finish
fi
for attempt in 1 2; do
  echo "install-deps: apt-get install failed, retrying (attempt $attempt of 2)" >&2
  sleep $((attempt * 20))
  "${sudo[@]}" apt-get update -qq || true
  install && finish
done
echo "install-deps: could not install ${missing[*]}" >&2
exit 1
