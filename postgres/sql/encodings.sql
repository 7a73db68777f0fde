-- Databases in other encodings: LATIN1 text is converted to UTF-16 and back
-- correctly; an SQL_ASCII database's bytes are read as UTF-8, and bytes that
-- are not UTF-8 are refused.
CREATE DATABASE vantel_latin1 ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;
CREATE DATABASE vantel_sql_ascii ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;

\c vantel_latin1
SET client_encoding = 'UTF8';
CREATE EXTENSION vantel;
SELECT pg_encoding_to_char(encoding) AS encoding FROM pg_database WHERE datname = current_database();
-- Every ordered pair of data/names-latin1.txt against the command line's answers.
CREATE TABLE cli_answers (method int2, first text, second text, answer float8);
\copy cli_answers FROM PROGRAM 'cat "$PG_ABS_BUILDDIR/cli-answers-latin1.tsv"' WITH (ENCODING 'UTF8')
SELECT count(*) AS compared, count(*) FILTER (WHERE vantel_compare(first, second, method) = answer) AS equal,
       count(*) FILTER (WHERE answer = -1) AS refused
FROM cli_answers;
SELECT method, first, second, answer AS cli, vantel_compare(first, second, method) AS sql
FROM cli_answers WHERE vantel_compare(first, second, method) IS DISTINCT FROM answer;
-- 'é' is one byte here and one UTF-16 unit: 70 are compared, 71 are not.
SELECT octet_length(repeat('é', 70)) AS bytes, vantel_compare(repeat('é', 70), repeat('é', 70)) AS "70",
       vantel_compare(repeat('é', 71), repeat('é', 71)) AS "71";
-- Phonetic forms come back in LATIN1, as the command line writes them in UTF-8.
CREATE TABLE cli_forms (name text, form text);
\copy cli_forms FROM PROGRAM '"$VANTEL_CLI" phonetic <"$PG_ABS_SRCDIR/data/names-latin1.txt" | paste "$PG_ABS_SRCDIR/data/names-latin1.txt" -' WITH (ENCODING 'UTF8')
SELECT count(*) AS forms, count(*) FILTER (WHERE vantel_phonetic(name) = form) AS equal FROM cli_forms;
SELECT vantel_phonetic('Jürgen Müller') AS form, convert_to(vantel_phonetic('Jürgen Müller'), 'LATIN1') AS latin1_bytes;
SELECT query, candidate, answer FROM vantel_match(ARRAY['José García', 'Jürgen Müller'], ARRAY['Jose Garcia', 'Juergen Mueller'], 50);
-- Own aliases are read in LATIN1 too, and an unknown option is named as it was written.
SELECT vantel_compare_names('José García', 'GARCIA, Jose', 2, 'order=any transliterate') AS order_and_accents,
       vantel_compare_names('Jürg Müller', 'Jürgen Müller', 2, '', 'Jürgen,Jürg') AS own_aliases,
       vantel_compare('Jürg Müller', 'Jürgen Müller', 2) AS plain;
SELECT vantel_compare_names('a', 'b', 0, 'ordér=any');
-- A character that LATIN1 cannot hold never gets in.
SELECT vantel_compare('Łukasz', 'Lukasz');

\c vantel_sql_ascii
SET client_encoding = 'SQL_ASCII';
CREATE EXTENSION vantel;
SELECT pg_encoding_to_char(encoding) AS encoding FROM pg_database WHERE datname = current_database();
-- UTF-8 bytes give the same answers as in a UTF-8 database.
CREATE TABLE cli_answers (method int2, first text, second text, answer float8);
\copy cli_answers FROM PROGRAM 'cat "$PG_ABS_BUILDDIR/cli-answers-utf8.tsv"'
SELECT count(*) AS compared, count(*) FILTER (WHERE vantel_compare(first, second, method) = answer) AS equal
FROM cli_answers;
SELECT vantel_phonetic('Łukasz') AS form, vantel_compare(repeat('😀', 35), repeat('😀', 35)) AS "70 units",
       vantel_compare(repeat('😀', 35) || 'x', repeat('😀', 35) || 'x') AS "71 units";
-- Bytes that are not UTF-8 are refused, whichever function reads them.
SELECT vantel_compare(E'caf\xe9', 'cafe');
SELECT vantel_phonetic(E'\xff');
SELECT vantel_compare_names('cafe', 'cafe', 0, '', E'caf\xe9,cafe');
-- In a list, the error names the element and the byte.
SELECT * FROM vantel_dedupe(ARRAY['cafe', E'caf\xe9'], 50);
SELECT count(*) FROM vantel_match(ARRAY['cafe'], ARRAY['cafe', 'caf', E'\xc3'], 50);
SELECT count(*) FROM vantel_match(ARRAY['cafe', 'ok', 'ok', E'ab\xffcd'], ARRAY['cafe'], 50);
SELECT count(*) FROM vantel_match('[0:0]={ok}'::text[] || E'caf\xe9'::text, ARRAY['cafe'], 50);

\c contrib_regression
DROP DATABASE vantel_latin1;
DROP DATABASE vantel_sql_ascii;
