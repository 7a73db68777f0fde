#!/usr/bin/env bash
# Tests of the extension that pg_regress cannot make: what the backend process
# does while vantel_match runs. Run by scripts/test-postgres.sh inside
# pg_virtualenv (which sets PGHOST, PGPORT, PGUSER, PGPASSWORD), as root, so
# that /proc of the server's processes can be read and their limits set.
#
#   memory        the backend's peak (VmHWM) for 64 queries x 200,000
#                 candidates at threshold 0 as an ordinary role with work_mem
#                 4MB and vantel.threads 1024, within a bound
#   cancel        statement_timeout 1s and pg_terminate_backend while 2,000,000
#                 strings are prepared end the query within 5 s and 2 s; and
#                 statement_timeout while their name forms are made
#   signals       the worker threads block SIGFPE and the server's signals
#   no-thread     a thread the system refuses is SQLSTATE 53000
set -euo pipefail

failures=0
fail() {
  echo "not ok - $*"
  failures=$((failures + 1))
}
pass() { echo "ok - $*"; }

sql() { psql -X -q -At -v ON_ERROR_STOP=1 "$@"; }
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

sql -c "CREATE EXTENSION IF NOT EXISTS vantel" -c "DROP ROLE IF EXISTS vantel_user" \
  -c "CREATE ROLE vantel_user" \
  -c "CREATE TABLE IF NOT EXISTS many AS SELECT array_agg(md5(i::text) ORDER BY i) AS strings FROM generate_series(1, 2000000) AS i" \
  -c "GRANT SELECT ON many TO vantel_user"

# The peak resident memory of the backend, in kB, after a query run as an
# ordinary role in a fresh session.
peak_kb() {
  local threads=$1 queries=$2 candidates=$3
  sql <<SQL | tail -n 1
SELECT pg_backend_pid() AS pid \gset
SET ROLE vantel_user;
SET work_mem = '4MB';
SET vantel.threads = $threads;
SELECT count(*) FROM vantel_match(array(SELECT 'name' || i FROM generate_series(1, $queries) i),
                                  array(SELECT 'cand' || i FROM generate_series(1, $candidates) i), 0) \g /dev/null
RESET ROLE;
SELECT (regexp_match(pg_read_file('/proc/' || :pid || '/status'), 'VmHWM:\s*(\d+)'))[1];
SQL
}

# memory: far below what 1024 threads each holding a query's 200,000 pairs
# took (about 64 x 4.8 MB x 2 here, and 3.5 GB for 512 queries), and about
# what one thread takes.
one=$(peak_kb 1 64 200000)
many=$(peak_kb 1024 64 200000)
echo "# peak of the backend: ${one} kB on 1 thread, ${many} kB asking for 1024"
if ((many < 200 * 1024 && many < one + 64 * 1024)); then
  pass "memory: the backend's peak stays bounded whatever vantel.threads asks"
else
  fail "memory: the backend's peak was ${many} kB asking for 1024 threads (${one} kB on 1)"
fi

# cancel: a long preparation heeds statement_timeout = 1s, ending within 5 s.
# Usage: expect_timeout WHAT QUERY [SET...]
expect_timeout() {
  local what=$1 query=$2
  shift 2
  local settings=() setting
  for setting in "$@"; do settings+=(-c "$setting"); done
  start=$(now)
  out=$(sql "${settings[@]}" -c "SET statement_timeout = '1s'" -c "$query" 2>&1 || true)
  took=$(seconds_since "$start")
  echo "# statement_timeout 1s ended $what after ${took} s: $out"
  if [[ $out == *"canceling statement due to statement timeout"* ]] && awk -v t="$took" 'BEGIN { exit !(t < 5) }'; then
    pass "cancel: statement_timeout stops $what"
  else
    fail "cancel: statement_timeout 1s took ${took} s to stop $what ($out)"
  fi
}

# The preparation of 2,000,000 strings (about 20 s).
expect_timeout "the preparation" "SELECT count(*) FROM many, vantel_dedupe(many.strings, 99, 2)" "SET vantel.threads = 1024"
# The same while the name forms of 2,000,000 strings are made (their
# transliterations, before the matcher's own preparation).
expect_timeout "the making of name forms" \
  "SELECT count(*) FROM many, vantel_dedupe_names(many.strings, 99, 2, options => 'transliterate')"

# A query that runs in the background under a name, and its backend's pid.
start_victim() {
  local name=$1 query=$2
  PGAPPNAME=$name psql -X -q -At -c "SET vantel.threads = 2" -c "$query" >"/tmp/vantel-$name.out" 2>&1 &
  victim=$!
  victim_pid=
  for _ in $(seq 100); do
    victim_pid=$(sql -c "SELECT pid FROM pg_stat_activity WHERE application_name = '$name' AND query LIKE '%vantel_%'")
    [[ -n $victim_pid ]] && break
    sleep 0.05
  done
}

start_victim terminated "SELECT count(*) FROM many, vantel_dedupe(many.strings, 99, 2)"
sleep 1
start=$(now)
sql -c "SELECT pg_terminate_backend($victim_pid)" >/dev/null
wait "$victim" || true
took=$(seconds_since "$start")
echo "# pg_terminate_backend during the preparation took ${took} s"
if awk -v t="$took" 'BEGIN { exit !(t < 2) }' && ! kill -0 "$victim_pid" 2>/dev/null; then
  pass "cancel: pg_terminate_backend ends the preparation"
else
  fail "cancel: pg_terminate_backend took ${took} s"
fi

# signals: 200,000 strings with each other at 99.5 take minutes once
# prepared; look at the threads' masks meanwhile. SIGFPE is signal 8 (bit 7),
# SIGINT 2, SIGTERM 15, SIGUSR1 10.
start_victim masks "SELECT count(*) FROM vantel_dedupe((SELECT array_agg(md5(i::text)) FROM generate_series(1, 200000) i), 99.5, 99)"
workers=0
unblocked=0
for _ in $(seq 200); do
  for status in /proc/"$victim_pid"/task/*/status; do
    [[ $status == /proc/$victim_pid/task/$victim_pid/status ]] && continue
    mask=$(awk '/^SigBlk:/ { print $2 }' "$status" 2>/dev/null) || continue
    [[ -n $mask ]] || continue
    workers=$((workers + 1))
    for signal in 2 8 10 15; do
      (((16#$mask >> (signal - 1)) & 1)) || unblocked=$((unblocked + 1))
    done
  done
  ((workers > 0)) && break
  sleep 0.05
done
sql -c "SELECT pg_cancel_backend($victim_pid)" >/dev/null
wait "$victim" || true
if ((workers > 0 && unblocked == 0)); then
  pass "signals: the worker threads block SIGFPE, SIGINT, SIGUSR1 and SIGTERM"
else
  fail "signals: $workers worker threads seen, $unblocked of those signals left unblocked"
fi

# no-thread: with RLIMIT_NPROC at 1 for the backend (set as its own user:
# lowering a limit needs no privilege), the system refuses its threads.
if [[ $(id -u) -ne 0 ]]; then
  echo "# no-thread skipped: setting the backend's limits needs root"
else
  out=$(
    sql 2>&1 <<'SQL' || true
SELECT pg_backend_pid() AS pid \gset
\setenv VICTIM :pid
\! runuser -u postgres -- prlimit --pid "$VICTIM" --nproc=1:1
SET vantel.threads = 2;
\set VERBOSITY verbose
SELECT count(*) FROM vantel_match(array(SELECT 'name' || i FROM generate_series(1, 1000) i), ARRAY['name1'], 50);
SQL
  )
  echo "# $out" | head -n 3
  if [[ $out == *"53000"*"could not start a thread"* ]]; then
    pass "no-thread: a refused thread is SQLSTATE 53000"
  else
    fail "no-thread: $out"
  fi
fi

sql -c "DROP TABLE many" -c "DROP ROLE vantel_user"
if ((failures > 0)); then
  echo "process tests: $failures failed" >&2
  exit 1
fi
echo "process tests: all passed"
