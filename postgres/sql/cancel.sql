-- A cancelled vantel_match stops promptly: 200,000 strings matched with each
-- other are 2 * 10^10 pairs, minutes of work, but statement_timeout ends the
-- query within a second or two, and the backend goes on working.
CREATE TABLE many AS SELECT array_agg(md5(i::text) ORDER BY i) AS strings FROM generate_series(1, 200000) AS i;
SELECT clock_timestamp() AS started \gset
SET statement_timeout = '500ms';
SELECT count(*) FROM many, vantel_dedupe(many.strings, 99.5, 99);
RESET statement_timeout;
SELECT clock_timestamp() - :'started'::timestamptz < interval '5 seconds' AS stopped_promptly;
-- The same through the int4 overload, with a single thread.
SET vantel.threads = 1;
SELECT clock_timestamp() AS started \gset
SET statement_timeout = '500ms';
SELECT count(*) FROM many, vantel_dedupe(many.strings, 99.5, 99::int4);
RESET statement_timeout;
SELECT clock_timestamp() - :'started'::timestamptz < interval '5 seconds' AS stopped_promptly;
RESET vantel.threads;
-- And under options of name forms, whose forms are made before the matcher's preparation.
SELECT clock_timestamp() AS started \gset
SET statement_timeout = '500ms';
SELECT count(*) FROM many, vantel_dedupe_names(many.strings, 99.5, 99, options => 'order=any nicknames transliterate');
RESET statement_timeout;
SELECT clock_timestamp() - :'started'::timestamptz < interval '5 seconds' AS stopped_promptly;
SELECT vantel_compare('cat', 'kat', 2) AS still_answering,
       (SELECT count(*) FROM vantel_dedupe(ARRAY['Jon', 'John', 'Jean'], 50)) AS still_matching,
       (SELECT count(*) FROM vantel_dedupe_names(ARRAY['Jon', 'Jonathan', 'Jean'], 95, options => 'nicknames')) AS still_matching_names;
DROP TABLE many;
