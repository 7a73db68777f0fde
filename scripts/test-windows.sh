#!/usr/bin/env bash
# Makes the release archives with scripts/package.sh in a clean git export of
# the sources (which cross-builds VantelUS.dll and vantel.exe for 32-bit and
# 64-bit Windows with MinGW-w64 there) and tests them, the DLL under Wine in a
# fresh temporary Wine prefix:
#   - the export table and the imports of each DLL (objdump, on this machine);
#   - the archives: names, bitness, exports, imports (on this machine);
#   - the server from inside (error mapping, argument conversion,
#     per-user registration);
#   - a C++ client through the exports: early-bound and by name, the type
#     library, the resources, and every answer of the native vantel command;
#   - vantel.exe, 32-bit and 64-bit: its side of Windows from inside, the
#     same bytes as the Linux program for every command, a console through
#     a terminal (script(1)) for UTF-16 text and the progress bar;
#   - regsvr32 and regsvr32 /u, of each DLL alone and of both, with the
#     registry read back after each (for one alone, in both registry views,
#     and created by the cscript of each bitness);
#   - a VBScript client run by cscript, 32-bit and 64-bit;
#   - the installer, silent, in a second fresh prefix: install, registry,
#     cscript, PATH, uninstall, and nothing left.
# When the packages cannot be installed (no root, no sudo, or apt fails) it
# says that these tests were SKIPPED, and why, and succeeds; under CI
# (CI=true), which runs as root with the package registry, a test that cannot
# run means a broken install, so it fails instead.
# VANTEL_NATIVE_BUILD may name a native release tree of this clone whose
# vantel command gives the reference answers; without it they come from the
# native build that scripts/package.sh makes in the export for the Linux
# archive. The archives are left in build/package/, the logs in
# build/windows-logs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$SECONDS

skip() {
  if [[ ${CI:-} == true ]]; then
    printf '\nWindows tests FAILED to run under CI: %s\n' "$*" >&2
    exit 1
  fi
  printf '\nWindows tests SKIPPED: %s\n' "$*"
  exit 0
}

if ! scripts/install-deps.sh core windows package; then
  skip "the cross build of VantelUS.dll and vantel.exe, the release archives and all their tests;" \
    "the packages of the 'windows' and 'package' groups (MinGW-w64, Wine, zip, NSIS) are missing and could not be" \
    "installed (see above)"
fi

wine32=${WINE32:-/usr/lib/wine/wine}
wine64=${WINE64:-/usr/lib/wine/wine64}
for tool in "$wine32" "$wine64" wineboot wineserver i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump iconv zip unzip \
    makensis script winepath; do
  command -v "$tool" >/dev/null || { echo "test-windows: $tool not found although its packages are installed" >&2; exit 1; }
done

# On a kernel without 32-bit x86 support, 32-bit programs run through
# qemu-i386 (scripts/install-deps.sh registers it), at about a minute for each
# Wine process. There the 32-bit side runs the suites that are one process
# each (the server from inside, the C++ client through the exports and
# registered, vantel.exe from inside, the VBScript client) and the installer;
# the checks made of many short processes (vantel.exe against the Linux
# program, the console, the registry views, cscript of the other bitness) run
# 64-bit only.
emulated32=0
binfmt_i386=/proc/sys/fs/binfmt_misc/vantel-i386
if [[ -r $binfmt_i386 ]] && grep -qx enabled "$binfmt_i386"; then emulated32=1; fi
many=(32 64) many_down=(64 32)
if ((emulated32)); then
  many=(64) many_down=(64)
  printf '
32-bit x86 programs run emulated (qemu-i386) on this kernel: the checks of many processes run 64-bit only
'
fi

logs=$root/build/windows-logs
rm -rf "$logs"
mkdir -p "$logs"
# Counts of checks made on this machine (build) and under Wine (wine).
declare -A passed=([build]=0 [wine]=0) failed=([build]=0 [wine]=0)
kind=wine  # what run_checks counts

# One check made by this script: ok is 1 or 0.
check() {
  local kind=$1 ok=$2 what=$3
  if [[ $ok == 1 ]]; then
    passed[$kind]=$((passed[$kind] + 1))
  else
    failed[$kind]=$((failed[$kind] + 1))
    echo "FAIL $what"
  fi
}

# Runs a test program under Wine and adds its RESULT line to the counts; a
# program that stops without one counts as a failure.
run_checks() {
  local name=$1
  shift
  local log=$logs/$name.log status=0
  "$@" >"$log" 2>"$logs/$name.stderr" || status=$?
  grep -a '^FAIL' "$log" || true
  local result
  result=$(grep -a '^RESULT ' "$log" | tail -n 1 || true)
  if [[ $result =~ passed=([0-9]+)\ failed=([0-9]+) ]]; then
    passed[$kind]=$((passed[$kind] + BASH_REMATCH[1]))
    failed[$kind]=$((failed[$kind] + BASH_REMATCH[2]))
    printf '  %-34s %s\n' "$name" "${result#RESULT * }"
    if [[ $status -ne 0 && ${BASH_REMATCH[2]} -eq 0 ]]; then check "$kind" 0 "$name exited with status $status"; fi
  else
    check "$kind" 0 "$name stopped before its summary (exit status $status); see $log"
    tail -n 5 "$log" "$logs/$name.stderr" || true
  fi
}

windows_path() { local path=$1; printf 'Z:%s' "${path//\//\\}"; }

# Scratch space for this run: the clean export and its builds, the Wine
# prefixes. All of it goes at the end.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantel-windows.XXXXXX")
wine_started=0
cleanup() {
  if [[ $wine_started == 1 ]]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

printf '\n== A clean export of the sources; there, scripts/package.sh cross-builds VantelUS.dll and vantel.exe\n'
# The release archives are made as from a fresh clone: scripts/package.sh in a
# git export with no build/ folder and no build tree of this one, so that a
# step it leaves to an earlier build, or a file that git does not have, fails
# here. The Windows builds it makes are the ones tested below, so they are
# built once. The export holds the committed tree with the changes made to
# tracked files since (git stash create, which touches neither the work tree
# nor the stash), so that what is tested is what is being edited.
tree=$scratch/source
mkdir "$tree"
snapshot=$(GIT_AUTHOR_NAME=test-windows GIT_AUTHOR_EMAIL=test-windows@localhost GIT_COMMITTER_NAME=test-windows \
  GIT_COMMITTER_EMAIL=test-windows@localhost git -C "$root" stash create 2>/dev/null || true)
if ! git -C "$root" archive --format=tar "${snapshot:-HEAD}" | tar -C "$tree" -xf -; then
  echo "test-windows: could not export the sources with git archive (is $root a git clone?)" >&2
  exit 1
fi
echo "  $(git -C "$root" rev-parse --short HEAD)${snapshot:+ with the changes to tracked files} in $tree"
package_status=0
(cd "$tree" && env -u VANTEL_NATIVE_BUILD scripts/package.sh) || package_status=$?
for log in "$tree"/build/*.log; do
  if [[ -e $log ]]; then cp -p "$log" "$logs/package-$(basename "$log")"; fi
done
check build "$([[ $package_status -eq 0 ]] && echo 1 || echo 0)" \
  "scripts/package.sh from a clean export exited with status $package_status"
[[ $package_status -eq 0 ]] || { echo "test-windows: no archives to test" >&2; exit 1; }
# The archives, also for whoever ran this.
rm -rf "$root/build/package"
cp -r "$tree/build/package" "$root/build/package"
cd "$tree"

# The reference answers: VANTEL_NATIVE_BUILD's vantel command, or else the one
# that scripts/package.sh built for the Linux archive.
native=${VANTEL_NATIVE_BUILD:+$root/$VANTEL_NATIVE_BUILD}
if [[ ${VANTEL_NATIVE_BUILD:-} == /* ]]; then native=$VANTEL_NATIVE_BUILD; fi
if [[ -n $native ]]; then
  cmake --build "$native" --target vantel_cli >"$logs/build-native.log" 2>&1 || { cat "$logs/build-native.log"; exit 1; }
else
  native=$tree/build/package-native
fi
cli=$native/cli/vantel
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
zip_file=build/package/vantel-$version-windows.zip
tar_file=build/package/vantel-$version-linux-$(uname -m).tar.gz

printf '\n== Export tables, imports, floating point (objdump, ninja)\n'
allowed_imports='^(KERNEL32|ADVAPI32|OLEAUT32|ole32|msvcrt|USER32)\.dll$'
for arch in i686 x86_64; do
  dll=build/windows-$arch/automation/VantelUS.dll
  dump=$("$arch-w64-mingw32-objdump" -p "$dll")
  format=$(grep -m1 'file format' <<<"$dump" | awk '{print $NF}')
  expected_format=$([[ $arch == i686 ]] && echo pei-i386 || echo pei-x86-64)
  check build "$([[ $format == "$expected_format" ]] && echo 1 || echo 0)" "$arch: file format $format, want $expected_format"
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
  check build "$([[ $exports == 'DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer ' ]] && echo 1 || echo 0)" \
    "$arch: exports are [$exports], want the four entry points only"
  imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
  while read -r import; do
    check build "$([[ $import =~ $allowed_imports ]] && echo 1 || echo 0)" "$arch: imports $import, not a system library of Windows"
  done <<<"$imports"
  check build "$(grep -qiE 'lib(gcc|stdc\+\+|winpthread)' <<<"$imports" && echo 0 || echo 1)" "$arch: imports a MinGW run-time library"
  printf '  %-7s %s; exports: %s; imports: %s\n' "$arch" "$format" "$exports" "$(tr '\n' ' ' <<<"$imports")"
done
# Doubles must be computed with SSE2 on 32-bit x86 too, or answers may differ.
for target in automation/VantelUS.dll cli/vantel.exe; do
  compiles=$(ninja -C build/windows-i686 -t commands "$target" | grep -- ' -c .*\.cpp' || true)
  without_sse2=$(grep -vc -- '-msse2 -mfpmath=sse' <<<"$compiles" || true)
  check build "$([[ -n $compiles && $without_sse2 -eq 0 ]] && echo 1 || echo 0)" \
    "i686: $without_sse2 C++ files of $target compiled without -msse2 -mfpmath=sse"
  echo "  i686    $(wc -l <<<"$compiles") C++ files of $target compiled with -msse2 -mfpmath=sse"
done

printf '\n== Release archives\n'
kind=build
run_checks archives tests/package/CheckArchives.sh "$version" "$zip_file" "$tar_file"
kind=wine

printf '\n== Answers of the native vantel command\n'
answers=$logs/answers.tsv
for method in 0 1 2 3 99 7 -5; do
  "$cli" compare --method "$method" --pairs tests/automation/pairs.tsv | awk -v m="$method" 'BEGIN { OFS = "\t" } { print m, $0 }'
done >"$answers"
iconv -f UTF-8 -t UTF-16 "$answers" >"$logs/answers-utf16.txt"
echo "  $(wc -l <"$answers") comparisons"

printf '\n== Wine: fresh prefix\n'
# The prefix, and Wine's server directory (which follows TMPDIR), in one
# scratch directory that goes at the end.
mkdir "$scratch/prefix" "$scratch/tmp"
export WINEPREFIX=$scratch/prefix TMPDIR=$scratch/tmp WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine hands the Unix arguments to Windows programs as text only in a UTF-8 locale.
export LC_ALL=C.UTF-8
wine_started=1
# Wine's server, kept running between the many short programs below (it is
# stopped at the end).
wineserver -p
wineboot -i >"$logs/wineboot.log" 2>&1
echo "  $WINEPREFIX"

declare -A loader=([32]=$wine32 [64]=$wine64)
declare -A system=([32]='C:\windows\syswow64' [64]='C:\windows\system32')
declare -A dll=([32]=$(windows_path "$tree/build/windows-i686/automation/VantelUS.dll")
                [64]=$(windows_path "$tree/build/windows-x86_64/automation/VantelUS.dll"))
declare -A tests=([32]=$tree/build/windows-i686/tests/automation [64]=$tree/build/windows-x86_64/tests/automation)
vbs=$(windows_path "$tree/tests/automation/CompareUS.vbs")

regsvr32() {  # bits [/u]
  local bits=$1 status=0
  shift
  "${loader[$bits]}" "${system[$bits]}\\regsvr32.exe" /s "$@" "${dll[$bits]}" >>"$logs/regsvr32.log" 2>&1 || status=$?
  local label="regsvr32${*:+ $*} ${bits}-bit"
  check wine "$([[ $status -eq 0 ]] && echo 1 || echo 0)" "$label exited with $status"
  printf '  %-34s exit status %s\n' "$label" "$status"
}

printf '\n== Wine: the server from inside, and from a C++ client\n'
for bits in 32 64; do
  run_checks "unit-$bits" "${loader[$bits]}" "${tests[$bits]}/vantel_automation_tests.exe" "${dll[$bits]}"
  run_checks "client-$bits-module" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" module "${dll[$bits]}" \
    "$(windows_path "$answers")"
done

printf '\n== Wine: vantel.exe, against the Linux program\n'
declare -A exe=([32]=$tree/build/windows-i686/cli/vantel.exe [64]=$tree/build/windows-x86_64/cli/vantel.exe)
for bits in 32 64; do
  run_checks "windows-cli-$bits" "${loader[$bits]}" \
    "$tree/build/windows-$([[ $bits == 32 ]] && echo i686 || echo x86_64)/tests/windows-cli/vantel_windows_cli_tests.exe" \
    "$(windows_path "$scratch/tmp")"
done
for bits in "${many[@]}"; do
  run_checks "same-as-linux-$bits" tests/windows-cli/SameAsLinux.sh "same-as-linux-$bits" "$cli" "${loader[$bits]}" \
    "${exe[$bits]}"
done
# On a console (a terminal, through script(1)) vantel.exe writes UTF-16, which
# Wine's console shows as UTF-8 text: the Linux program's lines, once the
# console's own control sequences and CRs are taken out. (Not beyond the
# BMP: Wine's console keeps a character per UTF-16 unit and shows each half
# of a surrogate pair as U+FFFD; redirected, such text is checked above.)
on_terminal() {  # command line for sh
  script -qec "$1" /dev/null </dev/null 2>/dev/null | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r' || true
}
console_words=(Łukasz 中文 knight "Zoë")
for bits in "${many[@]}"; do
  shown=$(on_terminal "$(printf '%q ' "${loader[$bits]}" "${exe[$bits]}" phonetic "${console_words[@]}")")
  want=$("$cli" phonetic "${console_words[@]}")
  check wine "$([[ $shown == "$want" ]] && echo 1 || echo 0)" \
    "$bits-bit vantel.exe on a console shows '$(tr '\n' ' ' <<<"$want")'; shown: '$(tr '\n' ' ' <<<"$shown")'"
  echo "  $bits-bit on a console: $(tr '\n' ' ' <<<"$shown")"
done
# The progress bar, drawn on a console while threads match a list (long
# enough to outlast the bar's quiet start many times over: about a second).
awk 'BEGIN { for (i = 1; i <= 15000; i++) printf "Name%d Surname%d X%d\n", (i * 7919) % 100007, i % 997, i }' \
  >"$scratch/many.txt"
shown=$(on_terminal "$(printf '%q ' "$wine64" "${exe[64]}" match --threshold 0 --top 1 --threads 2 "$scratch/many.txt") \
  >$(printf '%q' "$scratch/many-windows.txt")")
bar=$(tr ' ' '\n' <<<"$shown" | grep -c '%' || true)
check wine "$([[ $bar -gt 0 && $shown == *'pairs/s'* ]] && echo 1 || echo 0)" "the progress bar is drawn on a console ($bar draws)"
"$cli" match --threshold 0 --top 1 --threads 2 "$scratch/many.txt" >"$scratch/many-linux.txt"
check wine "$(cmp -s "$scratch/many-windows.txt" "$scratch/many-linux.txt" && echo 1 || echo 0)" \
  "with the bar on the console, the matches are the Linux program's"
echo "  progress bar on a console: drawn $bar times; $(wc -l <"$scratch/many-windows.txt") matches as on Linux"

printf '\n== Wine: regsvr32 of one DLL alone, the registry in both views, cscript of both bitnesses\n'
# Under Wine the registry keeps CLSID apart for 32-bit and 64-bit processes
# (a 64-bit process sees Software\Classes\Wow6432Node\CLSID as CLSID in the
# 32-bit view), while the programmatic identifier and the type library are
# shared by both, as on Windows. The views are read with the 32-bit reg.exe
# (Debian's `wine reg`): Wine's 64-bit reg.exe with /reg:32 does not look
# past Wow6432Node to the shared keys, as 32-bit processes do.
class_id='{4A125F43-6A2F-4D32-8587-0A4C857EA678}'
library_id='{3CF3B38B-6E39-4819-A546-041AFC28D903}'
create_vbs=$(windows_path "$tree/tests/automation/CreateCompareUS.vbs")
class_value() {  # view key: its default value as COM sees it in that view; empty when absent
  local reg=$wine32
  # Emulated, only the 64-bit view is read, which the 64-bit reg.exe reads as well.
  if ((emulated32)); then reg=$wine64; fi
  { "$reg" reg.exe query "HKCR\\$2" /ve "/reg:$1" 2>/dev/null || true; } | tr -d '\r' |
    sed -n 's/^ *([^)]*) *REG_SZ *//p'
}
same_path() { [[ ${1,,} == "${2,,}" ]]; }
# What a process of each bitness finds when the DLL of `bits` is registered
# alone (or nothing, with `bits` empty): the class's server in that DLL's
# view only, the identifier and the DLL's type library in both.
views_hold() {  # bits what
  local bits=$1 what=$2 view want value system_bits
  for view in "${many[@]}"; do
    want=
    if [[ $view == "$bits" ]]; then want=${dll[$view]}; fi
    value=$(class_value "$view" "CLSID\\$class_id\\InprocServer32")
    check wine "$(same_path "$value" "$want" && echo 1 || echo 0)" \
      "$what: /reg:$view CLSID\\$class_id\\InprocServer32 is '$value', want '$want'"
    want=
    if [[ -n $bits ]]; then want=$class_id; fi
    value=$(class_value "$view" 'VantelUS.CompareUS\CLSID')
    check wine "$([[ $value == "$want" ]] && echo 1 || echo 0)" \
      "$what: /reg:$view VantelUS.CompareUS\\CLSID is '$value', want '$want'"
    for system_bits in 32 64; do
      want=
      if [[ $system_bits == "$bits" ]]; then want=${dll[$bits]}; fi
      value=$(class_value "$view" "TypeLib\\$library_id\\1.0\\0\\win$system_bits")
      check wine "$(same_path "$value" "$want" && echo 1 || echo 0)" \
        "$what: /reg:$view TypeLib\\$library_id\\1.0\\0\\win$system_bits is '$value', want '$want'"
    done
  done
  echo "  $what: the registry read back in the 32-bit and the 64-bit view"
}
# The script host of the DLL's bitness creates the object; the other one
# cannot (a process loads in-process servers of its own bitness only).
created_by_cscript() {  # bits what
  local bits=$1 what=$2 host want shown
  for host in "${many[@]}"; do
    want=$([[ $host == "$bits" ]] && echo 83.33 || echo 'error 429')
    shown=$("${loader[$host]}" "${system[$host]}\\cscript.exe" //nologo "$create_vbs" 2>>"$logs/cscript.log" | tr -d '\r' || true)
    check wine "$([[ $shown == "$want" ]] && echo 1 || echo 0)" "$what: $host-bit cscript says '$shown', want '$want'"
    echo "  $what: $host-bit cscript: $shown"
  done
}
for bits in "${many_down[@]}"; do
  other=$((96 - bits))
  regsvr32 "$bits"
  views_hold "$bits" "$bits-bit alone"
  created_by_cscript "$bits" "$bits-bit alone"
  # Unregistering the other DLL, never registered, leaves this one as it was.
  ((emulated32)) || regsvr32 "$other" /u
  views_hold "$bits" "$bits-bit alone, after regsvr32 /u of the $other-bit DLL"
  regsvr32 "$bits" /u
  views_hold "" "$bits-bit alone, unregistered"
done

printf '\n== Wine: regsvr32 of both, registry, VBScript\n'
regsvr32 32
regsvr32 64
for bits in 32 64; do
  run_checks "client-$bits-registered" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" registered "${dll[$bits]}"
  run_checks "vbscript-$bits" "${loader[$bits]}" "${system[$bits]}\\cscript.exe" //nologo "$vbs" "vbscript-$bits" \
    "$(windows_path "$logs/answers-utf16.txt")"
done
regsvr32 32 /u
((emulated32)) || run_checks "client-32-unregistered-here" "$wine32" "${tests[32]}/vantel_client.exe" unregistered-here "${dll[32]}"
run_checks "client-64-still-registered" "$wine64" "${tests[64]}/vantel_client.exe" registered "${dll[64]}"
regsvr32 64 /u
for bits in "${many[@]}"; do
  run_checks "client-$bits-unregistered" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" unregistered "${dll[$bits]}"
done
regsvr32 64 /u

printf '\n== Wine: the installer, silent, in a fresh prefix\n'
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
export WINEPREFIX=$scratch/prefix-installer
mkdir "$WINEPREFIX"
wineboot -i >"$logs/wineboot-installer.log" 2>&1
echo "  $WINEPREFIX"
setup=$(windows_path "$tree/build/package/vantel-$version-windows-setup.exe")
local_app_data=$("$wine64" cmd.exe /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
folder="$local_app_data\Programs\Vantel"
folder_unix=$(winepath -u "$folder" 2>/dev/null)
temp_unix=$(winepath -u "$("$wine64" cmd.exe /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')" 2>/dev/null)
declare -A installed_dll=([32]="$folder\x86\VantelUS.dll" [64]="$folder\x64\VantelUS.dll")
unpacked=$scratch/zip
unzip -qq "$zip_file" -d "$unpacked"

installer() {  # label program [arguments]
  local label=$1 status=0
  shift
  "$wine32" "$@" >>"$logs/installer.log" 2>&1 || status=$?
  # The uninstaller hands over to a copy of itself and returns at once: wait
  # until every process of the prefix has ended.
  wineserver -w 2>/dev/null || true
  check wine "$([[ $status -eq 0 ]] && echo 1 || echo 0)" "$label exited with $status"
  printf '  %-34s exit status %s\n' "$label" "$status"
}
files_installed() {
  local name ok=1
  for name in vantel.exe README.txt LICENSE.txt x86/VantelUS.dll x64/VantelUS.dll; do
    cmp -s "$folder_unix/$name" "$unpacked/$name" || { ok=0; echo "FAIL $name not installed as the zip holds it"; }
  done
  [[ -f $folder_unix/uninstall.exe ]] || ok=0
  check wine "$ok" "the installer put the files of the zip and uninstall.exe in $folder"
  echo "  installed in $folder: $(cd "$folder_unix" && find . -type f | sort | tr '\n' ' ')"
}
nothing_left() {
  check wine "$([[ ! -e $folder_unix ]] && echo 1 || echo 0)" "the uninstaller removed $folder"
  local left
  left=$(find "$WINEPREFIX/drive_c" \( -iname '*vantel*' -o -path "$folder_unix/*" \) 2>/dev/null | head -n 5)
  check wine "$([[ -z $left ]] && echo 1 || echo 0)" "no file of Vantel's left in the prefix${left:+: $left}"
}

# A PATH of the user's before, which must come back as it was.
path_before='C:\Tools;%USERPROFILE%\bin'
"$wine64" reg.exe add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$path_before" /f >/dev/null 2>&1
installer "install (machine-wide: admin)" "$setup" /S
files_installed
for bits in "${many[@]}"; do
  run_checks "installed-client-$bits-registered" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" registered \
    "${installed_dll[$bits]}"
  run_checks "installed-client-$bits" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" installed "$folder" machine
  run_checks "installed-vbscript-$bits" "${loader[$bits]}" "${system[$bits]}\\cscript.exe" //nologo "$vbs" \
    "installed-vbscript-$bits" "$(windows_path "$logs/answers-utf16.txt")"
done
on_path=$("$wine64" cmd.exe /c 'vantel compare --method 2 cat kat' 2>>"$logs/installer.log" | tr -d '\r' || true)
check wine "$([[ $on_path == 83.33 ]] && echo 1 || echo 0)" "a new command prompt finds vantel on the PATH (got '$on_path')"
echo "  vantel compare --method 2 cat kat, from a new command prompt: $on_path"
installer "uninstall" "$folder\\uninstall.exe" /S
nothing_left
for bits in "${many[@]}"; do
  run_checks "uninstalled-client-$bits" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" uninstalled "$folder" \
    "$path_before"
done
# The uninstaller's copy of itself in %TEMP% goes at the next restart.
wineboot -r >>"$logs/installer.log" 2>&1
wineserver -w 2>/dev/null || true
left=$(find "$temp_unix" -type f 2>/dev/null | head -n 5)
check wine "$([[ -z $left ]] && echo 1 || echo 0)" "after a restart no file of the uninstaller's is left in %TEMP%${left:+: $left}"

# Under Wine the user is an administrator, so the DLLs registered for the
# machine above. With the machine's classes made read-only, as they are for a
# user without administrator rights, they must register for the user.
"$wine64" reg.exe delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1
run_checks "lock-machine-classes" "$wine64" "${tests[64]}/vantel_client.exe" lock-machine-classes
installer "install (per-user)" "$setup" /S
files_installed
# Emulated, the 32-bit installer registers the classes for the machine even
# with the machine's classes locked (natively it registers them for the user),
# so where they went is checked natively only.
if ((emulated32)); then
  echo "  per-user registration: not checked with 32-bit x86 emulated"
else
  for bits in "${many[@]}"; do
    run_checks "installed-per-user-client-$bits" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" installed \
      "$folder" user
  done
fi
installer "uninstall (per-user)" "$folder\\uninstall.exe" /S
nothing_left
for bits in "${many[@]}"; do
  run_checks "uninstalled-per-user-client-$bits" "${loader[$bits]}" "${tests[$bits]}/vantel_client.exe" uninstalled \
    "$folder"
done

# A PATH longer than the installer's strings (1024 characters) is left alone,
# not cut short, both by the installer and by the uninstaller.
user_path() { "$wine64" reg.exe query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Path *REG_[A-Z_]* *//p'; }
long_path="C:\\Tools"
while [[ ${#long_path} -lt 1100 ]]; do long_path+=";C:\\Program Files\\Some Tool ${#long_path}\\bin"; done
"$wine64" reg.exe add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$long_path" /f >/dev/null 2>&1
check wine "$([[ $(user_path) == "$long_path" ]] && echo 1 || echo 0)" "a PATH of ${#long_path} characters set up"
installer "install (long PATH)" "$setup" /S
check wine "$([[ $(user_path) == "$long_path" ]] && echo 1 || echo 0)" "the installer left a long PATH as it was"
installer "uninstall (long PATH)" "$folder\\uninstall.exe" /S
nothing_left
run_checks "uninstalled-long-path-client-64" "$wine64" "${tests[64]}/vantel_client.exe" uninstalled "$folder" "$long_path"

elapsed=$((SECONDS - started))
printf '\nBuild checks (exports, imports, SSE2, archives): %d passed, %d failed\n' "${passed[build]}" "${failed[build]}"
if [[ $((failed[build] + failed[wine])) -eq 0 ]]; then
  printf 'Windows tests: %d checks passed under Wine (32-bit%s and 64-bit) in %ds\n' "${passed[wine]}" \
    "$( ((emulated32)) && echo ', emulated, one-process suites only')" "$elapsed"
else
  printf 'Windows tests FAILED: %d checks failed under Wine, %d passed; logs in %s\n' "${failed[wine]}" "${passed[wine]}" "$logs"
  exit 1
fi
