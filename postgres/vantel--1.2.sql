-- The SQL functions of vantel 1.2.
\echo Use "CREATE EXTENSION vantel" to load this file. \quit

-- How alike two strings are: a percentage from 0 to 100 cut to two decimals,
-- or -1 when either string is empty or longer than 70 UTF-16 code units.
-- Method 3 is the sound measure, 99 the spelling measure, 1 the smaller of
-- the two, 2 their mean, 0 and every other number the larger.
CREATE FUNCTION vantel_compare(text, text, method int2 DEFAULT 0) RETURNS float8
AS 'MODULE_PATHNAME', 'vantel_compare'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 50;

-- The same with an integer method, so that vantel_compare(a, b, 2) needs no
-- cast; a method that does not fit in a smallint is run-time error 6 (Overflow).
CREATE FUNCTION vantel_compare(text, text, method int4) RETURNS float8
AS 'MODULE_PATHNAME', 'vantel_compare_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 50;

-- The phonetic form that the sound measure compares, for expression indexes.
CREATE FUNCTION vantel_phonetic(text) RETURNS text
AS 'MODULE_PATHNAME', 'vantel_phonetic'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 20;

-- The two measures alone, as vantel_compare gives them with methods 99 and 3.
CREATE FUNCTION vantel_spelling(text, text) RETURNS float8
AS 'MODULE_PATHNAME', 'vantel_spelling'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 10;

CREATE FUNCTION vantel_sound(text, text) RETURNS float8
AS 'MODULE_PATHNAME', 'vantel_sound'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 50;

-- Every pair of a query and a candidate whose vantel_compare answer reaches
-- the threshold (0 to 100), on several threads (the setting vantel.threads,
-- at most vantel.max_threads), skipping the pairs that provably cannot reach
-- it. query and candidate are the subscripts of the two strings in their
-- arrays. top keeps the best top pairs of each query (NULL keeps all). Rows
-- come by query, then best answer first, then by candidate. NULL elements,
-- and strings that are empty or longer than 70 UTF-16 code units, take part
-- in no pair, as vantel_compare gives them NULL or -1; NULL queries,
-- candidates, threshold or method give no rows (array_agg over no rows is
-- NULL, and a link with no candidates has no pairs).
CREATE FUNCTION vantel_match(queries text[], candidates text[], threshold float8,
                             method int2 DEFAULT 0, top int DEFAULT NULL)
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_match'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;

CREATE FUNCTION vantel_match(queries text[], candidates text[], threshold float8,
                             method int4, top int DEFAULT NULL)
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_match_int4'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;

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

-- How alike two names are, under the options of name forms that `vantel
-- compare` takes: the largest vantel_compare answer over the forms of the two
-- strings, and exactly vantel_compare's answer with no option. options is a
-- text of words separated by spaces or commas: order=any (also the words
-- sorted and in lower case), nicknames (the built-in table of English given
-- names), transliterate (also the strings in Latin letters); an unknown word
-- is an error. aliases is CSV text of own name groups, one a row, the formal
-- name first: added to the built-in table with nicknames, alone in place of
-- it. Both are prepared once for each call site of a query.
CREATE FUNCTION vantel_compare_names(text, text, method int2 DEFAULT 0, options text DEFAULT '',
                                     aliases text DEFAULT '') RETURNS float8
AS 'MODULE_PATHNAME', 'vantel_compare_names'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 200;

CREATE FUNCTION vantel_compare_names(text, text, method int4, options text DEFAULT '',
                                     aliases text DEFAULT '') RETURNS float8
AS 'MODULE_PATHNAME', 'vantel_compare_names_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 200;

-- vantel_match and vantel_dedupe under the same options: exactly the pairs
-- whose vantel_compare_names answer reaches the threshold, in the same order
-- and with the same columns. Every form of every string takes part in the
-- scan. NULL options or aliases give no rows, as the other NULL arguments do.
CREATE FUNCTION vantel_match_names(queries text[], candidates text[], threshold float8, method int2 DEFAULT 0,
                                   top int DEFAULT NULL, options text DEFAULT '', aliases text DEFAULT '')
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_match_names'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;

CREATE FUNCTION vantel_match_names(queries text[], candidates text[], threshold float8, method int4,
                                   top int DEFAULT NULL, options text DEFAULT '', aliases text DEFAULT '')
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_match_names_int4'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;

CREATE FUNCTION vantel_dedupe_names(names text[], threshold float8, method int2 DEFAULT 0, top int DEFAULT NULL,
                                    options text DEFAULT '', aliases text DEFAULT '')
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_dedupe_names'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;

CREATE FUNCTION vantel_dedupe_names(names text[], threshold float8, method int4, top int DEFAULT NULL,
                                    options text DEFAULT '', aliases text DEFAULT '')
RETURNS TABLE (query int, candidate int, answer float8)
AS 'MODULE_PATHNAME', 'vantel_dedupe_names_int4'
LANGUAGE C IMMUTABLE PARALLEL SAFE ROWS 1000;
