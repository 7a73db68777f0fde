-- From vantel 1.1 to 1.2: vantel_compare_names, vantel_match_names and
-- vantel_dedupe_names, under the options of name forms (word order,
-- nicknames, own aliases, transliteration).
\echo Use "ALTER EXTENSION vantel UPDATE TO '1.2'" to load this file. \quit

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
