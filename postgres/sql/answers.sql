-- vantel_compare gives exactly the command line's answers: every ordered pair
-- of data/names-utf8.txt (English names, other scripts, emoji, 70 and 71
-- units), for seven methods. The answers were written at test time by
-- `vantel compare --method M --pairs` (see the Makefile).
CREATE TABLE cli_answers (method int2, first text, second text, answer float8);
\copy cli_answers FROM PROGRAM 'cat "$PG_ABS_BUILDDIR/cli-answers-utf8.tsv"'

-- All seven methods, and every pair of the names in each.
SELECT method, count(*) AS pairs, count(DISTINCT first) AS names, count(*) FILTER (WHERE answer = -1) AS refused
FROM cli_answers GROUP BY method ORDER BY method;

-- No answer differs (a difference would be listed).
SELECT method, first, second, answer AS cli, vantel_compare(first, second, method) AS sql
FROM cli_answers WHERE vantel_compare(first, second, method) IS DISTINCT FROM answer;
SELECT count(*) AS compared,
       count(*) FILTER (WHERE vantel_compare(first, second, method) = answer) AS equal,
       count(DISTINCT answer) AS distinct_answers
FROM cli_answers;

-- The int4 method overload and the two measures agree with the same answers.
SELECT count(*) FILTER (WHERE vantel_compare(first, second, method::int4) IS DISTINCT FROM answer) AS int4_differ,
       count(*) FILTER (WHERE method = 99 AND vantel_spelling(first, second) IS DISTINCT FROM answer) AS spelling_differ,
       count(*) FILTER (WHERE method = 3 AND vantel_sound(first, second) IS DISTINCT FROM answer) AS sound_differ
FROM cli_answers;

-- The phonetic forms are those of `vantel phonetic`.
CREATE TABLE cli_forms (name text, form text);
\copy cli_forms FROM PROGRAM '"$VANTEL_CLI" phonetic <"$PG_ABS_SRCDIR/data/names-utf8.txt" | paste "$PG_ABS_SRCDIR/data/names-utf8.txt" -'
SELECT count(*) AS forms, count(*) FILTER (WHERE vantel_phonetic(name) = form) AS equal FROM cli_forms;
SELECT name, form AS cli, vantel_phonetic(name) AS sql FROM cli_forms WHERE vantel_phonetic(name) IS DISTINCT FROM form;
