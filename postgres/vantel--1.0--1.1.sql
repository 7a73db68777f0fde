-- From vantel 1.0 to 1.1: vantel_dedupe, the de-duplication that
-- vantel_match(names, NULL, ...) did in 1.0. A NULL candidates list now gives
-- no rows, as an empty register must (array_agg over no rows is NULL).
\echo Use "ALTER EXTENSION vantel UPDATE TO '1.1'" to load this file. \quit

-- De-duplication: the names matched with each other as vantel_match matches
-- queries with candidates, each pair once, the lower subscript first (query)
-- and no name with itself. NULL names, threshold or method give no rows.
CREATE FUNCTION vantel_dedupe(names text[], threshold float8, method int2 DEFAULT 0, top int DEFAULT NULL)
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_dedupe'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;

CREATE FUNCTION vantel_dedupe(names text[], threshold float8, method int4, top int DEFAULT NULL)
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_dedupe_int4'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;
