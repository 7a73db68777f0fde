-- From vantel 1.1 to 1.2: vantel_compare_names, the options of name forms
-- (word order, nicknames, own aliases, transliteration).
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
