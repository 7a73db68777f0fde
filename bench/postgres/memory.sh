#!/usr/bin/env bash
# The backend's peak memory (VmHWM) and time for one link inside PostgreSQL:
# QUERIES generated names against CANDIDATES others at threshold 0, so that
# every pair is kept (default 512 x 200,000: 102,400,000 rows), as an ordinary
# role with work_mem 4MB, on 1 thread, one per processor, and asking for 1024
# (which vantel.max_threads caps for a role that is not a superuser). Builds
# and installs the extension as scripts/test-postgres.sh does, measures in a
# throwaway cluster, and removes the installed files again.
# Usage: bench/postgres/memory.sh [QUERIES] [CANDIDATES]
set -euo pipefail
queries=${1:-512}
candidates=${2:-200000}

if [[ ${VANTEL_MEMORY_INSIDE:-} != 1 ]]; then
  root=$(cd "$(dirname "$0")/../.." && pwd)
  cd "$root"
  skip() {
    echo "memory: $*" >&2
    exit 1
  }
  source scripts/postgres-common.sh
  find_installer
  build_and_install_extension
  echo "$(nproc) processors; load average $(cut -d' ' -f1-3 /proc/loadavg)"
  VANTEL_MEMORY_INSIDE=1 pg_virtualenv "$root/bench/postgres/memory.sh" "$queries" "$candidates" 2>&1 |
    grep -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} '
  exit 0
fi

psql -X -q -c "CREATE EXTENSION vantel" -c "CREATE ROLE vantel_bench"
printf '| %s queries x %s candidates, threshold 0, work_mem 4MB | rows | peak of the backend (MB) | seconds |\n|---|---|---|---|\n' \
  "$queries" "$candidates"
for threads in 1 "$(nproc)" 1024; do
  psql -X -q -At <<SQL | tail -n 1
SELECT pg_backend_pid() AS pid \gset
SET ROLE vantel_bench;
SET work_mem = '4MB';
SET vantel.threads = $threads;
SELECT clock_timestamp() AS started \gset
SELECT count(*) AS rows FROM vantel_match(array(SELECT 'name' || i FROM generate_series(1, $queries) i),
                                          array(SELECT 'cand' || i FROM generate_series(1, $candidates) i), 0) \gset
SELECT extract(epoch FROM clock_timestamp() - :'started') AS seconds \gset
RESET ROLE;
SELECT format('| vantel.threads = %s (%s used) | %s | %s | %s |', $threads,
              least(nullif($threads, 0), current_setting('vantel.max_threads')::int), :rows,
              round((regexp_match(pg_read_file('/proc/' || :pid || '/status'), 'VmHWM:\s*(\d+)'))[1]::numeric / 1024),
              round(:seconds, 1));
SQL
done

# The preparation's memory per string: the peak of a backend that prepares
# CANDIDATES strings (one query, no pair kept) less that of one that only
# builds the same array, over the strings.
peak_after() {
  psql -X -q -At <<SQL | tail -n 1
SELECT pg_backend_pid() AS pid \gset
$1 \g /dev/null
SELECT (regexp_match(pg_read_file('/proc/' || :pid || '/status'), 'VmHWM:\s*(\d+)'))[1];
SQL
}
for method in 99 2; do
  array="array(SELECT 'cand' || i FROM generate_series(1, $candidates) i)"
  base=$(peak_after "SET vantel.threads = 1; SELECT cardinality($array)")
  prepared=$(peak_after "SET vantel.threads = 1; SELECT count(*) FROM vantel_match(ARRAY['x'], $array, 100, $method)")
  echo "preparation, method $method (1 thread): $(((prepared - base) * 1024 / candidates)) bytes a string" \
    "(peak ${prepared} kB, the array alone ${base} kB)"
done
psql -X -q -c "DROP ROLE vantel_bench"
