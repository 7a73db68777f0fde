-- vantel_match and vantel_dedupe give exactly the rows of a brute-force
-- join over vantel_compare, in the same order, for queries against
-- candidates and for a list with itself, with and without top.
CREATE TABLE names (id serial, name text);
\copy names (name) FROM PROGRAM 'cat "$PG_ABS_SRCDIR/data/names-utf8.txt"'
-- Odd elements: NULL, empty, over-long, and a name seen before.
INSERT INTO names (name) VALUES (NULL), (''), (repeat('y', 71)), ('Catherine Johnson');
CREATE TABLE settings (method int2, threshold float8);
INSERT INTO settings VALUES (0, 80), (1, 50), (2, 70), (3, 85), (99, 60), (7, 90), (0, 0), (2, 100);

-- An array whose subscripts start at 0.
CREATE FUNCTION from_zero(a text[]) RETURNS text[] LANGUAGE plpgsql AS $$
DECLARE
  shifted text[] := '{}';
BEGIN
  FOR i IN 1 .. cardinality(a) LOOP
    shifted[i - 1] := a[i];
  END LOOP;
  RETURN shifted;
END;
$$;

-- The rows in output order, as text: of vantel_dedupe on the whole list, or
-- of vantel_match on the first 30 names (from subscript 0) against it.
CREATE FUNCTION matched(within bool, m int2, t float8, k int) RETURNS text[] LANGUAGE sql AS $$
  SELECT CASE WHEN within THEN
    (SELECT coalesce(array_agg(row(query, candidate, answer)::text ORDER BY n), '{}')
     FROM vantel_dedupe((SELECT array_agg(name ORDER BY id) FROM names), t, m, k)
          WITH ORDINALITY AS f(query, candidate, answer, n))
  ELSE
    (SELECT coalesce(array_agg(row(query, candidate, answer)::text ORDER BY n), '{}')
     FROM vantel_match(from_zero((SELECT array_agg(name ORDER BY id) FROM names WHERE id <= 30)),
                       (SELECT array_agg(name ORDER BY id) FROM names), t, m, k)
          WITH ORDINALITY AS f(query, candidate, answer, n))
  END
$$;

-- The same from vantel_compare on every pair, in the order vantel_match
-- promises: by query, best answer first, then by candidate.
CREATE FUNCTION brute(within bool, m int2, t float8, k int) RETURNS text[] LANGUAGE sql AS $$
  SELECT coalesce(array_agg(row(query, candidate, answer)::text ORDER BY query, answer DESC, candidate), '{}')
  FROM (SELECT CASE WHEN within THEN a.id ELSE a.id - 1 END AS query, b.id AS candidate,
               vantel_compare(a.name, b.name, m) AS answer,
               row_number() OVER (PARTITION BY a.id ORDER BY vantel_compare(a.name, b.name, m) DESC, b.id) AS rank
        FROM names a JOIN names b ON CASE WHEN within THEN a.id < b.id ELSE a.id <= 30 END
        WHERE vantel_compare(a.name, b.name, m) >= t) AS ranked
  WHERE k IS NULL OR rank <= k
$$;

SELECT w.within, s.method, s.threshold, k.top, cardinality(matched(w.within, s.method, s.threshold, k.top)) AS rows,
       matched(w.within, s.method, s.threshold, k.top) = brute(w.within, s.method, s.threshold, k.top) AS same_rows_in_order
FROM (VALUES (true), (false)) AS w(within) CROSS JOIN settings s CROSS JOIN (VALUES (NULL::int), (1), (3)) AS k(top)
ORDER BY 1 DESC, 2, 3, 4;

-- What a query looks like, with the int4 method overload.
SELECT q.name AS query, c.name AS candidate, m.answer
FROM vantel_dedupe((SELECT array_agg(name ORDER BY id) FROM names), 85, 2) AS m
JOIN names q ON q.id = m.query JOIN names c ON c.id = m.candidate
ORDER BY m.query, m.answer DESC, m.candidate LIMIT 8;
-- NULL, empty and over-long elements take part in no pair and keep their subscripts.
SELECT * FROM vantel_match(ARRAY['Jeff Baker', NULL, '', repeat('z', 71), 'Kathrin Jonsen'],
                           ARRAY[NULL, 'Jeffrey Baker', 'Geoffrey Baker', 'Kathryn Jonson'], 60, top => 1);
SELECT count(*) FROM vantel_dedupe(ARRAY[NULL, '', repeat('z', 71), NULL, '', repeat('z', 71)], 0);

-- NULL lists, threshold or method give no rows; so do empty lists.
SELECT count(*) FROM vantel_match(NULL, ARRAY['a'], 0);
SELECT count(*) FROM vantel_match(ARRAY['a', 'a'], ARRAY['a'], NULL);
SELECT count(*) FROM vantel_match(ARRAY['a', 'a'], ARRAY['a'], 0, NULL::int2);
SELECT count(*) FROM vantel_match('{}', ARRAY['a'], 0);
SELECT count(*) FROM vantel_match(ARRAY['a'], '{}', 0);
SELECT count(*) FROM vantel_dedupe(NULL, 0);
SELECT count(*) FROM vantel_dedupe(ARRAY['a', 'a'], NULL);
SELECT count(*) FROM vantel_dedupe(ARRAY['a', 'a'], 0, NULL::int4);
SELECT count(*) FROM vantel_dedupe('{}', 0);
-- while NULL top keeps every pair.
SELECT count(*) FROM vantel_dedupe(ARRAY['a', 'a', 'a'], 0, top => NULL);

-- A link with no candidates has no pairs: candidates NULL, which array_agg
-- gives for an empty register, is no list of queries matched with itself.
CREATE TABLE incoming (name text);
CREATE TABLE register (name text);
INSERT INTO incoming VALUES ('Jon Smith'), ('John Smith'), ('Jean Smyth');
SELECT count(*) AS linked FROM vantel_match((SELECT array_agg(name) FROM incoming), (SELECT array_agg(name) FROM register), 80, 2, 3);
SELECT count(*) AS linked FROM vantel_match(ARRAY['Jon', 'John'], NULL, 0);
SELECT count(*) AS deduplicated FROM vantel_dedupe((SELECT array_agg(name) FROM incoming), 80, 2, 3);
INSERT INTO register VALUES ('Jon Smith');
SELECT * FROM vantel_match((SELECT array_agg(name) FROM incoming), (SELECT array_agg(name) FROM register), 80, 2, 3);
DROP TABLE incoming, register;

-- Bad arguments are refused clearly.
SELECT * FROM vantel_match(ARRAY['a'], ARRAY['b'], 101);
SELECT * FROM vantel_match(ARRAY['a'], ARRAY['b'], -0.5);
SELECT * FROM vantel_dedupe(ARRAY['a'], 'NaN');
SELECT * FROM vantel_match(ARRAY['a'], ARRAY['b'], 50, top => 0);
SELECT * FROM vantel_dedupe(ARRAY['a'], 50, top => 0);
SELECT * FROM vantel_match(ARRAY['a'], ARRAY['b'], 50, 70000);
SELECT * FROM vantel_match(ARRAY[ARRAY['a', 'b'], ARRAY['c', 'd']], ARRAY['b'], 50);
SELECT * FROM vantel_dedupe(ARRAY[ARRAY['a', 'b'], ARRAY['c', 'd']], 50);
