-- De-duplicating one table of names inside PostgreSQL, four ways, in one run:
-- a self-join on vantel_compare(...) >= 85 (every pair through the function),
-- vantel_dedupe on the same names (the library's matcher), pg_trgm's
-- similarity() self-join, and pg_trgm's % operator with a trigram index; plus
-- a blocking join on the phonetic form's prefix, which is fast but not exact.
-- Run by scripts/bench-postgres.sh, which sets VANTEL_BENCH_NAMES.
\set ON_ERROR_STOP on
CREATE EXTENSION vantel;
CREATE EXTENSION pg_trgm;
CREATE TABLE names (id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name text NOT NULL);
\copy names (name) FROM PROGRAM 'cat "$VANTEL_BENCH_NAMES"'
-- The table is far smaller than min_parallel_table_scan_size: without this
-- the self-joins would run in one process, while vantel_dedupe uses a thread
-- per processor.
ALTER TABLE names SET (parallel_workers = 2);
ANALYZE names;

CREATE TABLE timings (step int GENERATED ALWAYS AS IDENTITY, label text, pairs bigint, seconds float8);
CREATE FUNCTION timed(label text, query text) RETURNS void LANGUAGE plpgsql AS $$
DECLARE
  started timestamptz := clock_timestamp();
  found bigint;
BEGIN
  IF query ~* '^\s*CREATE' THEN
    EXECUTE query;
  ELSE
    EXECUTE query INTO found;
  END IF;
  INSERT INTO timings (label, pairs, seconds)
  VALUES (label, found, extract(epoch FROM clock_timestamp() - started));
END;
$$;

SELECT count(*) AS names, count(*)::bigint * (count(*) - 1) / 2 AS pairs, current_setting('max_parallel_workers_per_gather') AS workers_per_gather
FROM names;
EXPLAIN (COSTS OFF) SELECT count(*) FROM names a JOIN names b ON a.id < b.id WHERE vantel_compare(a.name, b.name) >= 85;

\o /dev/null
SELECT timed('vantel_dedupe(names, 85)',
  $q$SELECT count(*) FROM vantel_dedupe((SELECT array_agg(name ORDER BY id) FROM names), 85)$q$);
SELECT timed('self-join, vantel_compare(a, b) >= 85',
  $q$SELECT count(*) FROM names a JOIN names b ON a.id < b.id WHERE vantel_compare(a.name, b.name) >= 85$q$);
SELECT timed('self-join, similarity(a, b) >= 0.6 (pg_trgm)',
  $q$SELECT count(*) FROM names a JOIN names b ON a.id < b.id WHERE similarity(a.name, b.name) >= 0.6$q$);
SELECT timed('CREATE INDEX USING gin (name gin_trgm_ops)',
  $q$CREATE INDEX names_trigrams ON names USING gin (name gin_trgm_ops)$q$);
SET pg_trgm.similarity_threshold = 0.6;
SELECT timed('self-join, a % b with the trigram index (pg_trgm, 0.6)',
  $q$SELECT count(*) FROM names a JOIN names b ON b.name % a.name AND a.id < b.id$q$);
RESET pg_trgm.similarity_threshold;
SELECT timed('CREATE INDEX ON names (left(vantel_phonetic(name), 3))',
  $q$CREATE INDEX names_sound_prefix ON names (left(vantel_phonetic(name), 3))$q$);
ANALYZE names;
\o
EXPLAIN (COSTS OFF) SELECT count(*) FROM names a JOIN names b ON left(vantel_phonetic(b.name), 3) = left(vantel_phonetic(a.name), 3)
  AND a.id < b.id WHERE vantel_compare(a.name, b.name) >= 85;
\o /dev/null
SELECT timed('blocking join on left(vantel_phonetic(name), 3), then vantel_compare >= 85',
  $q$SELECT count(*) FROM names a JOIN names b ON left(vantel_phonetic(b.name), 3) = left(vantel_phonetic(a.name), 3)
     AND a.id < b.id WHERE vantel_compare(a.name, b.name) >= 85$q$);
\o
SELECT step, label, pairs, round(seconds::numeric, 2) AS seconds,
       CASE WHEN pairs IS NOT NULL THEN round((seconds / (SELECT seconds FROM timings WHERE step = 1))::numeric, 1) END
         AS "× vantel_dedupe"
FROM timings ORDER BY step;
SELECT (SELECT pairs FROM timings WHERE step = 1) = (SELECT pairs FROM timings WHERE step = 2) AS match_finds_the_same_pairs;
