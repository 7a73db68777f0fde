#!/usr/bin/env bash
# vantel.exe under Wine against the Linux vantel program: for each case the
# same arguments and the same input files (in one folder, named relative to
# it), and then the same bytes on standard output and standard error and the
# same exit status. Unicode arguments, a file with a UTF-8 name, files with a
# byte-order mark and with CRLF line ends, standard input, errors, every
# command and option that exists, and bulk matching on one and on several
# threads.
# Usage: tests/windows-cli/SameAsLinux.sh SUITE LINUX_VANTEL WINE_LOADER VANTEL_EXE
# Needs a UTF-8 locale (LC_ALL=C.UTF-8), in which Wine hands Unix arguments
# to Windows programs as the text they are.
# Prints a line per check and "RESULT SUITE passed=N failed=M" at the end.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
suite=$1
linux=$(realpath "$2")
loader=$(command -v "$3")
exe=$(realpath "$4")
passed=0
failed=0
work=$(mktemp -d "${TMPDIR:-/tmp}/vantel-same.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# The inputs.
cp "$root/data/names.txt" names.txt
cp "$root/tests/automation/pairs.tsv" pairs.tsv
printf '\xef\xbb\xbfcat\tkat\nJon\tJohn\n\xc5\x81ukasz\tLukasz\n' >bom.tsv
printf '\xef\xbb\xbfCatherine Johnson\nKatherine Johnson\nJeffrey Baker\nGeoffrey Baker\n' >bom.txt
printf 'cat\tkat\r\nSmith\tSmyth\r\n\xe4\xb8\xad\xe6\x96\x87\t\xe4\xb8\xad\xe6\x96\x87\xe5\xad\x97\r\n' >crlf.tsv
printf 'cat\tkat\nno tab here\ntoo\tmany\ttabs\n\xff\xfe\tbad bytes\n\tempty first\nJon\tJohn\n' >bad.tsv
printf 'knight\njudge\n\xc5\x81ukasz\n\xe4\xb8\xad\xe6\x96\x87\n\n\xff\nx-ray\n' >words.txt
printf '\xc5\x81ukasz Nowak\nLukasz Nowak\n\xe4\xb8\xad\xe6\x96\x87\n\xe4\xb8\xad\xe6\x96\x87\xe5\xad\x97\nZo\xc3\xab Anderson\nZoe Andersen\n' \
  >"名前.txt"
printf 'Kathrin Jonsen\nJeff Baker\n' >queries.txt
# Enough names for several threads to share the work.
awk 'BEGIN { for (i = 1; i <= 1500; i++) printf "Name%d Surname%d\n", (i * 7919) % 10007, i % 97 }' >many.txt

# One case: a name, a file for standard input ("" for none), the arguments.
same() {
  local name=$1 input=$2
  shift 2
  local status_linux=0 status_windows=0
  if [[ -n $input ]]; then
    "$linux" "$@" <"$input" >linux.out 2>linux.err || status_linux=$?
    "$loader" "$exe" "$@" <"$input" >windows.out 2>windows.err || status_windows=$?
  else
    "$linux" "$@" </dev/null >linux.out 2>linux.err || status_linux=$?
    "$loader" "$exe" "$@" </dev/null >windows.out 2>windows.err || status_windows=$?
  fi
  # The lookup server is built for Linux only: its line in the list of
  # commands is the one difference the help may show.
  sed -i '/^  serve     answer lookups/d' linux.out linux.err
  # Wine's own complaints (without a display) are not the program's.
  grep -a -v -E '^[0-9a-f]{4}:(err|fixme|warn):|nodrv_CreateWindow|Failed to open service manager' windows.err \
    >windows.err.clean
  local ok=1 why=""
  cmp -s linux.out windows.out || { ok=0; why+=" standard output differs ($(wc -c <linux.out) and $(wc -c <windows.out) bytes);"; }
  cmp -s linux.err windows.err.clean || { ok=0; why+=" standard error differs: '$(head -c 200 windows.err.clean)' for '$(head -c 200 linux.err)';"; }
  [[ $status_linux -eq $status_windows ]] || { ok=0; why+=" exit status $status_windows, Linux $status_linux;"; }
  if [[ $ok == 1 ]]; then
    passed=$((passed + 1))
    echo "ok   $name (exit $status_linux, $(wc -c <linux.out) bytes)"
  else
    failed=$((failed + 1))
    echo "FAIL $name:$why"
  fi
}

same "compare ASCII" "" compare --method 2 cat kat
same "compare Polish arguments" "" compare --method 99 Łukasz LUKASZ
same "compare Chinese arguments" "" compare 中文 中文字
same "compare beyond the BMP" "" compare --method 3 "😀 smile" "😀 smiles"
same "compare accents" "" compare --method 1 "Zoë" Zoe
for method in 0 1 2 3 99 7 -5; do
  same "compare --pairs, method $method" "" compare --method "$method" --pairs pairs.tsv
done
same "compare --pairs from standard input" pairs.tsv compare --method 2 --pairs -
same "compare --pairs, a file with a byte-order mark" "" compare --pairs bom.tsv
same "compare --pairs, CRLF line ends" "" compare --method 2 --pairs crlf.tsv
same "compare --pairs, bad lines" "" compare --pairs bad.tsv
same "compare, a string too long" "" compare "$(printf 'x%.0s' {1..71})" x
same "compare, a wrong command line" "" compare onlyone
same "compare, a wrong method" "" compare --method 40000 cat kat
same "compare, a file that is not there" "" compare --pairs missing.tsv
same "phonetic arguments" "" phonetic knight judge "o'neil" x-ray Łukasz 中文 "😀"
same "phonetic from standard input" words.txt phonetic
for format in "" csv json; do
  same "match a list${format:+, --format $format}" "" match ${format:+--format "$format"} names.txt
done
same "match queries from standard input" queries.txt match --top 2 --threshold 60 - names.txt
same "match, a file named in Chinese" "" match --threshold 50 名前.txt
same "match, a file with a byte-order mark" "" match bom.txt
same "match, one thread" "" match --threshold 75 --threads 1 many.txt
same "match, four threads" "" match --threshold 75 --threads 4 many.txt
same "match, the best of each, quiet" "" match --top 1 --threshold 0 --quiet many.txt
same "match, a wrong threshold" "" match --threshold abc names.txt
same "match, a wrong format" "" match --format xml names.txt
same "no command" "" 
same "an unknown command" "" contrast a b
for help in "" compare index match phonetic; do
  same "${help:-vantel} --help" "" ${help:+"$help"} --help
done
same "--version" "" --version

echo "RESULT $suite passed=$passed failed=$failed"
[[ $failed -eq 0 ]]
