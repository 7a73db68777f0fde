#!/usr/bin/env bash
# Lists and checks the release archives that scripts/package.sh makes.
# Usage: tests/package/CheckArchives.sh VERSION ZIP TARGZ
#   the Windows zip: its names, the bitness of each file by its PE header, the
#   exports of the DLLs, that every file imports only Windows' own DLLs, that
#   the files are the builds tested under Wine, the two text files;
#   the Linux tar.gz: its names, the program's ELF header, that the program
#   runs, and that a program builds against the CMake package it holds.
# Prints a line per check and "RESULT archives passed=N failed=M" at the end.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$1 zip_file=$2 tar_file=$3
passed=0
failed=0
check() {  # ok(1|0) what [detail]
  if [[ $1 == 1 ]]; then
    passed=$((passed + 1))
    echo "ok   $2"
  else
    failed=$((failed + 1))
    echo "FAIL $2${3:+: $3}"
  fi
}
is() { [[ $1 == "$2" ]] && echo 1 || echo 0; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vantel-archives.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Unsigned little-endian integer of `size` bytes at `offset` of a file.
le() { od -An -tu"$3" -j "$2" -N "$3" --endian=little "$1" | tr -d ' '; }

# ---- the Windows zip
check "$(unzip -tqq "$zip_file" >/dev/null 2>&1 && echo 1 || echo 0)" "zip: the archive is sound (unzip -t)"
names=$(unzip -Z1 "$zip_file" | sort | tr '\n' ' ')
want='LICENSE.txt README.txt vantel.exe x64/VantelUS.dll x86/VantelUS.dll '
check "$(is "$names" "$want")" "zip: holds exactly $want" "holds $names"
mkdir "$work/zip"
unzip -qq "$zip_file" -d "$work/zip"

# file, machine (0x14c x86, 0x8664 x64), PE32 or PE32+, dll or exe
declare -A machine=([x86/VantelUS.dll]=332 [x64/VantelUS.dll]=34404 [vantel.exe]=34404)
declare -A magic=([x86/VantelUS.dll]=267 [x64/VantelUS.dll]=523 [vantel.exe]=523)
declare -A kind=([x86/VantelUS.dll]=dll [x64/VantelUS.dll]=dll [vantel.exe]=exe)
declare -A objdump=([332]=i686-w64-mingw32-objdump [34404]=x86_64-w64-mingw32-objdump)
for name in x86/VantelUS.dll x64/VantelUS.dll vantel.exe; do
  file=$work/zip/$name
  [[ -f $file ]] || { check 0 "$name: present"; continue; }
  pe=$(le "$file" 60 4)
  check "$(is "$(head -c 2 "$file")" MZ)" "$name: starts as an executable image (MZ)"
  check "$(is "$(od -An -c -j "$pe" -N 4 "$file" | tr -d ' ')" 'PE\0\0')" "$name: PE signature"
  check "$(is "$(le "$file" $((pe + 4)) 2)" "${machine[$name]}")" "$name: machine ${machine[$name]} in the PE header" \
    "$(le "$file" $((pe + 4)) 2)"
  check "$(is "$(le "$file" $((pe + 24)) 2)" "${magic[$name]}")" "$name: optional header magic ${magic[$name]}"
  dll_flag=$(( $(le "$file" $((pe + 22)) 2) & 0x2000 ))
  check "$(is "$([[ $dll_flag -ne 0 ]] && echo dll || echo exe)" "${kind[$name]}")" "$name: kind ${kind[$name]}"
  dump=$("${objdump[${machine[$name]}]}" -p "$file")
  imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump" | sort -u | tr '\n' ' ')
  unexpected=$(tr ' ' '\n' <<<"$imports" | grep -v -i -E '^(KERNEL32|ADVAPI32|OLEAUT32|ole32|msvcrt|USER32|SHELL32)\.dll$' |
    grep -v '^$' | tr '\n' ' ')
  check "$([[ -n $imports && -z $unexpected ]] && echo 1 || echo 0)" "$name: imports only Windows' own DLLs ($imports)" \
    "also $unexpected"
  if [[ ${kind[$name]} == dll ]]; then
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/\[ *[0-9]+\]/ {print $NF}' | sort |
      tr '\n' ' ')
    check "$(is "$exports" 'DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer ')" \
      "$name: exports the four entry points of a server, nothing else" "exports $exports"
  else
    # Subsystem 3: a console program, so that a command prompt waits for it.
    check "$(is "$(le "$file" $((pe + 24 + 68)) 2)" 3)" "$name: a console program"
    check "$(grep -q 'There is an export table' <<<"$dump" && echo 0 || echo 1)" "$name: exports nothing"
  fi
done
declare -A built=([x86/VantelUS.dll]=build/windows-i686/automation/VantelUS.dll
                  [x64/VantelUS.dll]=build/windows-x86_64/automation/VantelUS.dll
                  [vantel.exe]=build/windows-x86_64/cli/vantel.exe)
for name in "${!built[@]}"; do
  check "$(cmp -s "$work/zip/$name" "$root/${built[$name]}" && echo 1 || echo 0)" \
    "$name: is the build tested here (${built[$name]})"
done

readme=$work/zip/README.txt
licence=$work/zip/LICENSE.txt
for text in "$readme" "$licence"; do
  lines=$(wc -l <"$text")
  crlf=$(grep -c $'\r$' "$text")
  check "$([[ $lines -gt 0 && $crlf -eq $lines ]] && echo 1 || echo 0)" \
    "$(basename "$text"): Windows line ends ($crlf of $lines lines)"
done
check "$(diff -q <(tr -d '\r' <"$licence") "$root/LICENSE" >/dev/null && echo 1 || echo 0)" "LICENSE.txt: the project's licence"
check "$(grep -q '^MIT License' "$licence" && echo 1 || echo 0)" "LICENSE.txt: MIT"
check "$(head -n 1 "$readme" | grep -qF "Vantel $version for Windows" && echo 1 || echo 0)" "README.txt: names the version"
for topic in 'SysWOW64\regsvr32' 'System32\regsvr32' 'run as administrator' 'HKEY_CURRENT_USER\Software\Classes' \
    'elevated' 'CreateObject("VantelUS.CompareUS")' 'Dim comparer As New VantelUS.CompareUS' 'vantel compare' \
    'vantel match' 'vantel phonetic'; do
  check "$(grep -qF "$topic" "$readme" && echo 1 || echo 0)" "README.txt: tells of $topic"
done
check "$(grep -q '@[A-Z]*@' "$readme" && echo 0 || echo 1)" "README.txt: no placeholder left"

# ---- the Linux tar.gz
top=vantel-$version-linux-$(uname -m)
listing=$(tar tzf "$tar_file")
files=$(tar tzvf "$tar_file" | awk '$1 !~ /^d/ {print $NF}' | sort | tr '\n' ' ')
want=""
# Every public header of the source tree, whatever the layers add.
headers=$(cd "$(dirname "$0")/../.." && ls include/vantel/*.h | tr '\n' ' ')
for f in bin/vantel $headers \
    lib/cmake/Vantel/VantelConfig.cmake lib/cmake/Vantel/VantelConfigVersion.cmake \
    lib/cmake/Vantel/VantelTargets-release.cmake lib/cmake/Vantel/VantelTargets.cmake lib/libvantel.a \
    lib/pkgconfig/vantel.pc share/doc/Vantel/LICENSE share/doc/Vantel/README.md; do
  want+="$top/$f "
done
want=$(tr ' ' '\n' <<<"$want" | sed '/^$/d' | sort | tr '\n' ' ')
check "$(is "$files" "$want")" "tar.gz: holds exactly the program, library, headers, packages, README and licence" \
  "holds $files"
check "$(grep -v -q "^$top/" <<<"$listing" && echo 0 || echo 1)" "tar.gz: everything under $top/"
check "$(tar tzvf "$tar_file" | awk '{print $2}' | sort -u | tr '\n' ' ' | grep -qx '0/0 ' && echo 1 || echo 0)" \
  "tar.gz: owned by 0/0, not by the builder"
mkdir "$work/tar"
tar -C "$work/tar" -xzf "$tar_file"
prefix=$work/tar/$top
program=$prefix/bin/vantel
# ELF: class 2 (64-bit), data 1 (little-endian), machine 62 (x86-64) on x86-64 builders.
check "$(is "$(od -An -c -j 1 -N 3 "$program" | tr -d ' ')" ELF)" "bin/vantel: an ELF file"
check "$(is "$(le "$program" 4 1)/$(le "$program" 5 1)" 2/1)" "bin/vantel: 64-bit little-endian"
if [[ $(uname -m) == x86_64 ]]; then
  check "$(is "$(le "$program" 18 2)" 62)" "bin/vantel: for x86-64"
fi
check "$(is "$("$program" compare --method 2 cat kat 2>&1)" 83.33)" "bin/vantel: runs and answers"
check "$("$program" --version 2>&1 | grep -qF "$version" && echo 1 || echo 0)" "bin/vantel: says its version"
check "$(cmp -s "$prefix/share/doc/Vantel/LICENSE" "$root/LICENSE" && echo 1 || echo 0)" "tar.gz: the project's licence"
consumer=$work/consumer
if cmake -S "$root/tests/install/consumer" -B "$consumer" -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer.log" 2>&1 &&
    cmake --build "$consumer" >>"$work/consumer.log" 2>&1; then
  check "$(is "$("$consumer/consumer")" "77.77 $version")" "tar.gz: a program built with find_package(Vantel) answers"
else
  check 0 "tar.gz: a program builds with find_package(Vantel) against it" "$(tail -n 5 "$work/consumer.log")"
fi

echo "RESULT archives passed=$passed failed=$failed"
[[ $failed -eq 0 ]]
