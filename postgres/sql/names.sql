-- vantel_compare_names, vantel_match_names and vantel_dedupe_names: the
-- options of name forms (word order, nicknames, own aliases, transliteration)
-- as `vantel compare` and `vantel match` take them.
CREATE EXTENSION IF NOT EXISTS vantel;
\set aliases `cat "$PG_ABS_SRCDIR/data/aliases.csv"`

-- Answers known by heart, method 2, beside vantel_compare's: each option
-- reaches the pair it is for and leaves the others to Compare.
SELECT label, vantel_compare(a, b, 2) AS plain, vantel_compare_names(a, b, 2, options, aliases) AS names
FROM (VALUES
  ('no option', 'SMITH, John', 'John Smith', '', ''),
  ('order=any', 'SMITH, John', 'John Smith', 'order=any', ''),
  ('order=any, hyphen', 'John-Paul Smith', 'Smith Paul John', 'order=any', ''),
  ('order=given', 'SMITH, John', 'John Smith', 'order=given', ''),
  ('nicknames', 'Bob Smith', 'Robert Smith', 'nicknames', ''),
  ('nicknames, two short forms', 'Peggy Jones', 'Maggie Jones', 'nicknames', ''),
  ('order=any without nicknames', 'Bob Smith', 'Robert Smith', 'order=any', ''),
  ('transliterate', 'Дмитрий Иванов', 'Dmitriy Ivanov', 'transliterate', ''),
  ('transliterate, Greek', 'Σωκράτης Παππάς', 'Sokratis Pappas', 'transliterate', ''),
  ('transliterate and order', 'Иванов, Дмитрий', 'Dmitriy Ivanov', 'order=any transliterate', ''),
  ('own aliases', 'Olu Adeyemi', 'Olumide Adeyemi', '', 'Olumide,Olu'),
  ('own aliases replace the table', 'Bob Smith', 'Robert Smith', '', 'Olumide,Olu'),
  ('own aliases added to the table', 'Bob Smith', 'Robert Smith', 'nicknames', 'Olumide,Olu'),
  ('own short form of a built-in name', 'Bobbie Smith', 'Bob Smith', 'nicknames', 'Robert,Bobbie'),
  ('own aliases, comments only', 'Olu Adeyemi', 'Olumide Adeyemi', '', '# none yet'),
  ('upper case words', 'SMITH, John', 'John Smith', 'ORDER=Any', ''),
  ('nicknames=on', 'Bob Smith', 'Robert Smith', 'nicknames=on', ''),
  ('nicknames=off', 'Bob Smith', 'Robert Smith', 'nicknames=off', ''),
  ('the last word wins', 'SMITH, John', 'John Smith', 'order=any order=given', ''),
  ('commas and spaces', 'Иванов, Дмитрий', 'Dima Ivanov', ' order=any,transliterate ,, nicknames ', 'Dmitriy,Dima')
) AS t(label, a, b, options, aliases);

-- Own aliases in another script (the aliases file of the tests): Митя is
-- Dmitriy. The alias forms are made of the string as written and of its
-- transliteration, but a transliteration is not made of an alias form.
SELECT a, b, vantel_compare_names(a, b, 2, 'transliterate') AS without,
       vantel_compare_names(a, b, 2, 'transliterate', :'aliases') AS with_aliases
FROM (VALUES ('Митя Smith', 'Dmitriy Smith'), ('Митя Иванов', 'Dmitriy Ivanov'),
             ('Mitya Smith', 'Dmitriy Smith')) AS t(a, b);

-- The method as vantel_compare takes it: named options, an int4 literal, and
-- a method that does not fit in 16 bits (run-time error 6).
SELECT vantel_compare_names('SMITH, John', 'John Smith', options => 'order=any') AS default_method,
       vantel_compare_names('Bob Smith', 'Robert Smith', 3::int2, 'nicknames') AS int2_method,
       vantel_compare_names('Bob Smith', 'Robert Smith', 99, 'nicknames') AS int4_method,
       vantel_compare_names('Catherine', 'Kathryn', 2) AS no_options,
       vantel_compare('Catherine', 'Kathryn', 2) AS compare;
SELECT vantel_compare_names('Bob Smith', 'Robert Smith', 40000, 'nicknames');

-- A pair that Compare refuses (empty, or longer than 70 UTF-16 units) is
-- refused under every option, as vantel_compare gives -1 for it; a form
-- longer than 70 units is left out (Margaret for Peggy and for Maggie in
-- the fourth pair).
SELECT label, vantel_compare(a, b) AS plain, vantel_compare_names(a, b, 0, 'order=any nicknames transliterate') AS names
FROM (VALUES ('empty', '', 'John Smith'), ('both empty', '', ''),
             ('71 units', repeat('x', 71), repeat('x', 71)),
             ('70 units each, their nickname forms 73 and 72',
              'Peggy ' || repeat('x', 64), 'Maggie ' || repeat('x', 63)),
             ('shorter: their nickname forms are equal', 'Peggy ' || repeat('x', 10), 'Maggie ' || repeat('x', 10)),
             ('35 emoji', repeat('😀', 35), repeat('😀', 35))) AS t(label, a, b);

-- NULL in, NULL out, for every argument.
SELECT vantel_compare_names(NULL, 'a') IS NULL AS a, vantel_compare_names('a', NULL) IS NULL AS b,
       vantel_compare_names('a', 'a', NULL::int2) IS NULL AS method,
       vantel_compare_names('a', 'a', 0, NULL) IS NULL AS options,
       vantel_compare_names('a', 'a', 0, 'nicknames', NULL) IS NULL AS aliases;

-- Bad options: each error names the word at fault, and none is taken for another.
\set VERBOSITY default
SELECT vantel_compare_names('Bob', 'Robert', 0, 'nicknames transliteration');
SELECT vantel_compare_names('Bob', 'Robert', 0, 'order=sideways');
SELECT vantel_compare_names('Bob', 'Robert', 0, 'order');
SELECT vantel_compare_names('Bob', 'Robert', 0, 'nicknames=maybe');
SELECT vantel_compare_names('Bob', 'Robert', 0, '=any');
SELECT vantel_compare_names('Bob', 'Robert', 0, 'nickname');
SELECT vantel_compare_names('Bob', 'Robert', 0, 'order=any;nicknames');
-- Own aliases that are not a table of groups: the component's run-time error 5, naming the line.
SELECT vantel_compare_names('Bob', 'Robert', 0, '', E'Olumide,Olu\n# a comment\nRobert,,Bob');
SELECT vantel_compare_names('Bob', 'Robert', 0, 'nicknames', E'Olumide,Olu\n , ');
DO $$
BEGIN
  PERFORM vantel_compare_names('Bob', 'Robert', 0, 'nicknames=2');
EXCEPTION WHEN invalid_parameter_value THEN
  RAISE NOTICE 'caught %: %', SQLSTATE, SQLERRM;
END;
$$;
DO $$
BEGIN
  PERFORM vantel_compare_names('Bob', 'Robert', 0, '', 'Robert,');
EXCEPTION WHEN invalid_parameter_value THEN
  RAISE NOTICE 'caught %: %', SQLSTATE, SQLERRM;
END;
$$;
-- A bad row after good ones is refused too: the options are checked on each
-- change, not only on the first row of a call site.
SELECT o, vantel_compare_names('Bob Smith', 'Robert Smith', 2, o)
FROM (VALUES (1, 'nicknames'), (2, 'order=any'), (3, 'order=any nickname')) AS t(i, o) ORDER BY i;

-- The command line's answers: every ordered pair of data/name-forms.txt and
-- data/names-utf8.txt under seven sets of options (none, each alone, all three,
-- own aliases alone and with nicknames and order) for methods 0, 2 and 3,
-- written at test time by `vantel compare --method M OPTIONS --pairs` (see
-- the Makefile).
CREATE TABLE cli_names (method int2, options text, own_aliases bool, first text, second text, answer float8);
\copy cli_names FROM PROGRAM 'cat "$PG_ABS_BUILDDIR/cli-names.tsv"'

-- The answers of SQL, computed once for the checks below.
CREATE TABLE sql_names AS
  SELECT *, vantel_compare_names(first, second, method, options,
                                 CASE WHEN own_aliases THEN :'aliases' ELSE '' END) AS sql
  FROM cli_names;

-- Each set of options changes many answers from Compare's, and gives the
-- command line's answer to every pair (a difference would be counted).
SELECT options, own_aliases, count(*) AS pairs,
       count(*) FILTER (WHERE answer = -1) AS refused,
       count(*) FILTER (WHERE answer <> vantel_compare(first, second, method)) AS not_compare,
       count(*) FILTER (WHERE sql IS DISTINCT FROM answer) AS differ
FROM sql_names GROUP BY options, own_aliases ORDER BY options, own_aliases;

-- The differences, if any.
SELECT method, options, own_aliases, first, second, answer AS cli, sql FROM sql_names WHERE sql IS DISTINCT FROM answer;

-- The same with the options changing from row to row (method 2), so that the
-- options prepared for a call site are replaced at almost every row.
SELECT count(*) AS compared,
       count(*) FILTER (WHERE sql IS DISTINCT FROM answer) AS differ
FROM (SELECT answer, vantel_compare_names(first, second, method, options,
                                          CASE WHEN own_aliases THEN :'aliases' ELSE '' END) AS sql
      FROM (SELECT * FROM cli_names WHERE method = 2
            ORDER BY first, second, options, own_aliases) AS interleaved) AS t;

-- vantel_match_names and vantel_dedupe_names give exactly the rows that the
-- command line's answers above give, in vantel_match's order: each list
-- (data/name-forms.txt, data/names-utf8.txt) with itself, and its odd rows
-- against its even rows, for every set of options, three methods and
-- thresholds, with and without top.
CREATE TABLE forms_list (id serial, name text);
\copy forms_list (name) FROM PROGRAM 'cat "$PG_ABS_SRCDIR/data/name-forms.txt"'
CREATE TABLE utf8_list (id serial, name text);
\copy utf8_list (name) FROM PROGRAM 'cat "$PG_ABS_SRCDIR/data/names-utf8.txt"'
CREATE VIEW lists AS SELECT 'forms' AS list, * FROM forms_list UNION ALL SELECT 'utf8', * FROM utf8_list;
-- Each pair once (a name of both files gives some pairs twice), to look answers up.
CREATE TABLE cli_pairs AS SELECT DISTINCT method, options, own_aliases, first, second, answer FROM cli_names;
CREATE UNIQUE INDEX ON cli_pairs (first, second, method, options, own_aliases);

-- The rows of the functions in output order, as text. Queries are the odd
-- rows, candidates the even ones (subscript k is row 2k - 1 or 2k).
CREATE FUNCTION matched(l text, within bool, o text, own bool, m int2, t float8, k int) RETURNS text[]
LANGUAGE sql AS $$
  SELECT coalesce(array_agg(row(query, candidate, answer)::text ORDER BY n), '{}')
  FROM (SELECT * FROM vantel_dedupe_names((SELECT array_agg(name ORDER BY id) FROM lists WHERE list = l), t, m, k,
                                          o, CASE WHEN own THEN current_setting('vantel_test.aliases') ELSE '' END)
                 WITH ORDINALITY AS f(query, candidate, answer, n) WHERE within
        UNION ALL
        SELECT * FROM vantel_match_names((SELECT array_agg(name ORDER BY id) FROM lists WHERE list = l AND id % 2 = 1),
                                         (SELECT array_agg(name ORDER BY id) FROM lists WHERE list = l AND id % 2 = 0),
                                         t, m, k, o,
                                         CASE WHEN own THEN current_setting('vantel_test.aliases') ELSE '' END)
                 WITH ORDINALITY AS f(query, candidate, answer, n) WHERE NOT within) AS rows
$$;

-- The same from the command line's answer to every pair.
CREATE FUNCTION brute(l text, within bool, o text, own bool, m int2, t float8, k int) RETURNS text[]
LANGUAGE sql AS $$
  SELECT coalesce(array_agg(row(query, candidate, answer)::text ORDER BY query, answer DESC, candidate), '{}')
  FROM (SELECT CASE WHEN within THEN a.id ELSE (a.id + 1) / 2 END AS query,
               CASE WHEN within THEN b.id ELSE b.id / 2 END AS candidate, c.answer,
               row_number() OVER (PARTITION BY a.id ORDER BY c.answer DESC, b.id) AS rank
        FROM lists a JOIN lists b ON a.list = l AND b.list = l
                                 AND CASE WHEN within THEN a.id < b.id ELSE a.id % 2 = 1 AND b.id % 2 = 0 END
        JOIN cli_pairs c ON c.first = a.name AND c.second = b.name AND c.method = m AND c.options = o
                        AND c.own_aliases = own
        WHERE c.answer >= t) AS ranked
  WHERE k IS NULL OR rank <= k
$$;

SELECT set_config('vantel_test.aliases', :'aliases', false) IS NOT NULL AS aliases_set;
SELECT options, own_aliases, count(*) AS runs, sum(cardinality(matched)) AS rows,
       count(*) FILTER (WHERE matched = brute) AS same_rows_in_order
FROM (SELECT s.options, s.own_aliases,
             matched(l.list, w.within, s.options, s.own_aliases, t.method, t.threshold, k.top),
             brute(l.list, w.within, s.options, s.own_aliases, t.method, t.threshold, k.top)
      FROM (SELECT DISTINCT options, own_aliases FROM cli_pairs) AS s
      CROSS JOIN (VALUES ('forms'), ('utf8')) AS l(list) CROSS JOIN (VALUES (true), (false)) AS w(within)
      CROSS JOIN (VALUES (0::int2, 80::float8), (2::int2, 85::float8), (3::int2, 90::float8)) AS t(method, threshold)
      CROSS JOIN (VALUES (NULL::int), (2)) AS k(top)) AS runs
GROUP BY 1, 2 ORDER BY 1, 2;

-- What a query looks like: a register's duplicates under the options, joined
-- back through the subscripts; NULL, empty and over-long names take part in
-- no pair and keep their subscripts.
SELECT q.name AS query, c.name AS candidate, m.answer
FROM vantel_dedupe_names((SELECT array_agg(name ORDER BY id) FROM forms_list), 90, 2,
                         options => 'order=any nicknames transliterate') AS m
JOIN forms_list q ON q.id = m.query JOIN forms_list c ON c.id = m.candidate
ORDER BY m.query, m.answer DESC, m.candidate LIMIT 12;
SELECT * FROM vantel_dedupe_names(ARRAY['Bob Smith', NULL, '', repeat('x', 71), 'SMITH, Robert'], 90, 2,
                                  options => 'order=any nicknames');
SELECT * FROM vantel_match_names(ARRAY['Olu Adeyemi', 'Bob Smith'], ARRAY['Robert Smith', 'Olumide Adeyemi'], 95, 2,
                                 NULL, 'nicknames', 'Olumide,Olu');
-- NULL options or aliases give no rows, as the other NULL arguments do; a
-- bad option is refused before the lists are read.
SELECT count(*) AS null_options FROM vantel_dedupe_names(ARRAY['Bob', 'Robert'], 50, 0, NULL, NULL);
SELECT count(*) AS null_aliases FROM vantel_match_names(ARRAY['Bob'], ARRAY['Robert'], 50, 0, NULL, '', NULL);
SELECT * FROM vantel_dedupe_names(ARRAY['Bob', 'Robert'], 50, options => 'nicknames=sometimes');
SELECT * FROM vantel_match_names(ARRAY['Bob'], ARRAY['Robert'], 50, 70000, NULL, 'nicknames');
SELECT * FROM vantel_match_names(ARRAY['Bob'], ARRAY['Robert'], 50, aliases => 'Robert,Bob,');
