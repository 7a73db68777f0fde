-- Parallel query gives the same rows as a plan without workers: each worker
-- is a process with a comparer of its own.
CREATE TABLE people (id serial PRIMARY KEY, name text);
\copy people (name) FROM PROGRAM 'cat "$PG_ABS_SRCDIR/data/names-utf8.txt"'
INSERT INTO people (name) SELECT name || ' ' || suffix FROM people, unnest(ARRAY['Jr', 'Sr']) AS suffix;
-- Two workers even for a table this small.
ALTER TABLE people SET (parallel_workers = 2);
ANALYZE people;

-- How many parallel workers a query's plan launched.
CREATE FUNCTION workers_launched(query text) RETURNS int LANGUAGE plpgsql AS $$
DECLARE
  line text;
  launched int := 0;
BEGIN
  FOR line IN EXECUTE 'EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF, SUMMARY OFF) ' || query LOOP
    IF line ~ 'Workers Launched: ' THEN
      launched := launched + substring(line FROM 'Workers Launched: (\d+)')::int;
    END IF;
  END LOOP;
  RETURN launched;
END;
$$;

\set self_join 'SELECT a.id AS a, b.id AS b, vantel_compare(a.name, b.name, 2) AS answer FROM people a JOIN people b ON a.id < b.id WHERE vantel_compare(a.name, b.name, 2) >= 80'
\set measures 'SELECT id, vantel_spelling(name, ''Catherine Johnson''), vantel_sound(name, ''Catherine Johnson''), vantel_phonetic(name) FROM people'
\set match 'SELECT p.id, m.* FROM people p, LATERAL vantel_match(ARRAY[p.name], ARRAY[''Katherine Johnson'', ''Jeffrey Baker'', ''Zoe Smith''], 70) AS m'

-- Without workers.
SET max_parallel_workers_per_gather = 0;
SELECT count(*) AS rows, md5(string_agg(r::text, ';' ORDER BY r::text)) AS digest FROM (:self_join) AS r \gset serial_self_join_
SELECT count(*) AS rows, md5(string_agg(r::text, ';' ORDER BY r::text)) AS digest FROM (:measures) AS r \gset serial_measures_
SELECT count(*) AS rows, md5(string_agg(r::text, ';' ORDER BY r::text)) AS digest FROM (:match) AS r \gset serial_match_
SELECT :serial_self_join_rows > 0 AS pairs_found, :serial_measures_rows AS names, :serial_match_rows > 0 AS matches_found;

-- With two workers doing all of the work.
SET max_parallel_workers_per_gather = 2;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
SET parallel_leader_participation = off;
EXPLAIN (COSTS OFF) :self_join;
EXPLAIN (COSTS OFF) :measures;
EXPLAIN (COSTS OFF) :match;
SELECT workers_launched(:'self_join') > 0 AS self_join, workers_launched(:'measures') > 0 AS measures,
       workers_launched(:'match') > 0 AS match;
SELECT count(*) = :serial_self_join_rows AS same_count, md5(string_agg(r::text, ';' ORDER BY r::text)) = :'serial_self_join_digest' AS same_rows FROM (:self_join) AS r;
SELECT count(*) = :serial_measures_rows AS same_count, md5(string_agg(r::text, ';' ORDER BY r::text)) = :'serial_measures_digest' AS same_rows FROM (:measures) AS r;
SELECT count(*) = :serial_match_rows AS same_count, md5(string_agg(r::text, ';' ORDER BY r::text)) = :'serial_match_digest' AS same_rows FROM (:match) AS r;
RESET ALL;
