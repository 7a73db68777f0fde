-- The scalar functions: declarations, answers, NULLs, lengths, errors.
CREATE EXTENSION vantel;

-- Every function is immutable and parallel safe; the scalar ones are strict.
SELECT p.proname, pg_get_function_identity_arguments(p.oid) AS arguments,
       p.provolatile, p.proisstrict, p.proparallel, p.proretset
FROM pg_proc p JOIN pg_depend d ON d.objid = p.oid AND d.classid = 'pg_proc'::regclass
JOIN pg_extension e ON e.oid = d.refobjid AND e.extname = 'vantel'
ORDER BY 1, 2;

-- A few answers known by heart: 'cat' and 'kat' sound alike (kat, kat) and
-- share the run 'at'; 'Cat' keeps its capital in its phonetic form.
SELECT m AS method, vantel_compare('cat', 'kat', m) AS cat_kat, vantel_compare('Cat', 'cat', m) AS "Cat_cat"
FROM unnest(ARRAY[0, 1, 2, 3, 99, 7, -5]) AS m;
SELECT vantel_compare('Catherine', 'Kathryn', 2::int2) AS int2_method, vantel_compare('Catherine', 'Kathryn') AS default_method;
SELECT vantel_compare(repeat('a', 43) || repeat('b', 17), repeat('a', 43) || repeat('c', 22), 99) AS cut_not_rounded;
SELECT vantel_spelling('Smith', 'Smyth') AS spelling, vantel_sound('Smith', 'Smyth') AS sound,
       vantel_spelling('Smith', 'Smyth') = vantel_compare('Smith', 'Smyth', 99) AS spelling_is_99,
       vantel_sound('Smith', 'Smyth') = vantel_compare('Smith', 'Smyth', 3) AS sound_is_3;
SELECT w AS word, vantel_phonetic(w) AS form
FROM unnest(ARRAY['knight', 'judge', 'o''neil', 'x-ray', 'Cat', '', 'Łukasz', '李小龍']) AS w;

-- NULL in, NULL out.
SELECT vantel_compare(NULL, 'a') IS NULL AS a, vantel_compare('a', NULL, 2) IS NULL AS b,
       vantel_compare('a', 'a', NULL::int2) IS NULL AS c, vantel_phonetic(NULL) IS NULL AS d,
       vantel_spelling(NULL, 'a') IS NULL AS e, vantel_sound('a', NULL) IS NULL AS f;

-- Empty strings and lengths in UTF-16 code units: 70 is compared, 71 is not.
-- Each emoji is two code units, so 35 of them are 70 units and one letter more is 71.
SELECT label, char_length(s) AS characters, vantel_compare(s, s) AS itself, vantel_compare(s, 'x', 99) AS with_x,
       vantel_spelling(s, s) AS spelling, vantel_sound(s, s) AS sound
FROM (VALUES ('empty', ''), ('1 unit', 'x'), ('70 units', repeat('x', 70)), ('71 units', repeat('x', 71)),
             ('35 emoji: 70 units', repeat('😀', 35)), ('35 emoji and a letter: 71 units', repeat('😀', 35) || 'x'),
             ('36 letters: 36 units', repeat('x', 36))) AS t(label, s);
SELECT vantel_compare('', 'x', m) AS empty_first FROM unnest(ARRAY[0, 3, 99]) AS m;

-- The component's run-time error 6 for a method that does not fit in 16 bits,
-- as the automation object answers, with its number, description and SQLSTATE.
SELECT vantel_compare('cat', 'kat', 32767), vantel_compare('cat', 'kat', -32768);
SELECT vantel_compare('cat', 'kat', 40000);
DO $$
BEGIN
  PERFORM vantel_compare('cat', 'kat', -32769);
EXCEPTION WHEN numeric_value_out_of_range THEN
  RAISE NOTICE 'caught %: %', SQLSTATE, SQLERRM;
END;
$$;

-- The phonetic form can be indexed, and the index is used.
CREATE TABLE people (id int PRIMARY KEY, name text);
INSERT INTO people VALUES (1, 'Catherine Johnson'), (2, 'Katherine Johnson'), (3, 'Kathryn Jonson'), (4, 'Jeffrey Baker');
CREATE INDEX people_sound ON people (vantel_phonetic(name));
SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT id FROM people WHERE vantel_phonetic(name) = vantel_phonetic('Katherine Johnson');
SELECT id FROM people WHERE vantel_phonetic(name) = vantel_phonetic('Catherine Johnson') ORDER BY id;
RESET enable_seqscan;
DROP TABLE people;

-- DROP EXTENSION removes every function; CREATE brings them back.
DROP EXTENSION vantel;
SELECT count(*) AS left_behind FROM pg_proc WHERE proname LIKE 'vantel\_%';
CREATE EXTENSION vantel;
SELECT vantel_compare('cat', 'kat', 2);

-- Version 1.0 updates to 1.1, which adds vantel_dedupe, then to 1.2, which
-- adds vantel_compare_names, vantel_match_names and vantel_dedupe_names, and
-- ends with the functions (and their declarations) that 1.2 creates.
SELECT extversion FROM pg_extension WHERE extname = 'vantel';
CREATE TEMP TABLE functions_of_1_2 AS
  SELECT p.proname, pg_get_function_identity_arguments(p.oid) AS arguments, p.prosrc,
         pg_get_function_arguments(p.oid) AS defaults, p.provolatile, p.proisstrict, p.proparallel, p.procost
  FROM pg_proc p WHERE p.proname LIKE 'vantel\_%';
CREATE TEMP VIEW functions_now AS
  SELECT p.proname, pg_get_function_identity_arguments(p.oid) AS arguments, p.prosrc,
         pg_get_function_arguments(p.oid) AS defaults, p.provolatile, p.proisstrict, p.proparallel, p.procost
  FROM pg_proc p WHERE p.proname LIKE 'vantel\_%';
DROP EXTENSION vantel;
CREATE EXTENSION vantel VERSION '1.0';
SELECT count(*) AS dedupe_in_1_0 FROM pg_proc WHERE proname = 'vantel_dedupe';
ALTER EXTENSION vantel UPDATE TO '1.1';
SELECT extversion, (SELECT count(*) FROM pg_proc WHERE proname = 'vantel_dedupe') AS dedupe,
       (SELECT count(*) FROM pg_proc WHERE proname = 'vantel_compare_names') AS compare_names
FROM pg_extension WHERE extname = 'vantel';
ALTER EXTENSION vantel UPDATE;
SELECT extversion FROM pg_extension WHERE extname = 'vantel';
(SELECT * FROM functions_now EXCEPT SELECT * FROM functions_of_1_2)
UNION ALL
(SELECT * FROM functions_of_1_2 EXCEPT SELECT * FROM functions_now);
SELECT * FROM vantel_dedupe(ARRAY['Jon', 'John'], 50);
SELECT vantel_compare_names('SMITH, John', 'John Smith', 2, 'order=any');

-- vantel.max_threads caps vantel.threads; only a superuser may change it.
CREATE ROLE vantel_user;
SET ROLE vantel_user;
SET vantel.threads = 1024;
SET vantel.max_threads = 1024;
SELECT * FROM vantel_dedupe(ARRAY['Jon', 'John'], 50);
RESET ROLE;
SET vantel.max_threads = 1;
SELECT * FROM vantel_dedupe(ARRAY['Jon', 'John'], 50);
RESET vantel.threads;
RESET vantel.max_threads;
DROP ROLE vantel_user;
