#!/usr/bin/env bash
# Builds the release archives into build/package/ in one step:
#   vantel-VERSION-windows.zip        x86\VantelUS.dll, x64\VantelUS.dll, vantel.exe
#                                     (64-bit), README.txt, LICENSE.txt
#   vantel-VERSION-windows-setup.exe  the same files in an installer for one user
#                                     (NSIS: packaging/vantel.nsi)
#   vantel-VERSION-linux-ARCH.tar.gz  the vantel program, the library, its headers,
#                                     the CMake and pkg-config packages, README, LICENSE
# The Windows files are cross-built with MinGW-w64 (build/windows-i686 and
# build/windows-x86_64; scripts/test-windows.sh runs this script in a clean
# export of the sources and tests the trees it makes there); the Linux
# ones come from VANTEL_NATIVE_BUILD, a configured native release tree, or
# else from build/package-native. Installs the packages of the 'core',
# 'windows' and 'package' groups of scripts/install-deps.sh when any is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh core windows package
out=$root/build/package

version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
[[ -n $version ]] || { echo "package: no VERSION in CMakeLists.txt" >&2; exit 1; }
# The build logs go to build/, which a fresh clone does not have yet.
mkdir -p "$root/build"

# Cross-builds one Windows tree (nothing is rebuilt when it is up to date).
windows_tree() {
  local arch=$1
  local log=$root/build/windows-$arch.log
  scripts/build.sh "build/windows-$arch" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DVANTEL_BUILD_CLI=ON -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF >"$log" 2>&1 ||
    { cat "$log"; exit 1; }
}
windows_tree i686
windows_tree x86_64

native=${VANTEL_NATIVE_BUILD:-}
if [[ -z $native ]]; then
  native=build/package-native
  scripts/build.sh "$native" -DCMAKE_BUILD_TYPE=Release -DVANTEL_BUILD_TESTS=OFF -DVANTEL_BUILD_BENCHMARKS=OFF \
    >"$root/build/package-native.log" 2>&1 || { cat "$root/build/package-native.log"; exit 1; }
else
  cmake --build "$native" --target vantel vantel_cli >/dev/null
fi

rm -rf "$out"
mkdir -p "$out"
staging=$(mktemp -d "${TMPDIR:-/tmp}/vantel-package.XXXXXX")
trap 'rm -rf "$staging"' EXIT

# Text for Windows users: CRLF line ends, the version filled in.
windows_text() { sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$1" >"$2"; }

# The zip: the names Windows shows as x86\VantelUS.dll and so on.
win=$staging/windows
mkdir -p "$win/x86" "$win/x64"
cp build/windows-i686/automation/VantelUS.dll "$win/x86/VantelUS.dll"
cp build/windows-x86_64/automation/VantelUS.dll "$win/x64/VantelUS.dll"
cp build/windows-x86_64/cli/vantel.exe "$win/vantel.exe"
windows_text packaging/README.txt "$win/README.txt"
windows_text LICENSE "$win/LICENSE.txt"
zip_file=$out/vantel-$version-windows.zip
(cd "$win" && zip -q -X -D "$zip_file" README.txt LICENSE.txt vantel.exe x86/VantelUS.dll x64/VantelUS.dll)

# The installer, from the same files.
setup_file=$out/vantel-$version-windows-setup.exe
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$win" -DOUTFILE="$setup_file" packaging/vantel.nsi >"$staging/makensis.log" 2>&1 ||
  { cat "$staging/makensis.log"; exit 1; }

# The tar.gz: what cmake --install puts in a prefix, under one folder.
linux_name=vantel-$version-linux-$(uname -m)
cmake --install "$native" --strip --prefix "$staging/$linux_name" >/dev/null
tar_file=$out/$linux_name.tar.gz
tar -C "$staging" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$linux_name" | gzip -9 -n >"$tar_file"

for file in "$zip_file" "$setup_file" "$tar_file"; do
  printf '  %-44s %8d bytes\n' "${file#"$root"/}" "$(stat -c %s "$file")"
done
