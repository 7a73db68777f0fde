/*
 * The SQL functions of the extension vantel.
 *
 * This file is the server's side: it reads the arguments, converts text
 * between the database's encoding and UTF-8, reports failures with ereport
 * and fills result sets. It reaches the C++ library only through Bridge.h,
 * whose functions throw nothing; so an ereport here never unwinds through
 * C++ frames. The one place where the library calls back into the server,
 * the pair sink of vantel_match, catches every error of the server there and
 * hands it back to the library as a plain answer, to be thrown again here
 * once the matcher has stopped.
 */
#include "postgres.h"

#include <math.h>
#include <string.h>

#include "fmgr.h"
#include "funcapi.h"
#include "mb/pg_wchar.h"
#include "miscadmin.h"
#include "utils/array.h"
#include "utils/builtins.h"
#include "utils/guc.h"
#include "utils/tuplestore.h"

#include "Bridge.h"

PG_MODULE_MAGIC;

/* vantel.threads: the threads that vantel_match scores on; 0 is one per processor. */
static int match_threads = 0;

/* How often a running vantel_match looks whether the query was cancelled. */
#define INTERRUPT_CHECK_MS 20

void _PG_init(void);

void
_PG_init(void)
{
	DefineCustomIntVariable("vantel.threads",
							"Sets the number of threads vantel_match scores pairs on.",
							"0 means one per processor.",
							&match_threads, 0, 0, 1024, PGC_USERSET, 0, NULL, NULL, NULL);
	MarkGUCPrefixReserved("vantel");
}

/* Where the string at fault in a list of vantel_match is, for the message. */
typedef struct ListSubscripts
{
	int			query_base;		/* the subscript of the first query */
	int			candidate_base;
	bool		within_queries;
} ListSubscripts;

static int
sqlstate_of(int32 number)
{
	switch (VantelKindOf(number))
	{
		case VANTEL_ERROR_ARGUMENT:
			return ERRCODE_INVALID_PARAMETER_VALUE;
		case VANTEL_ERROR_OVERFLOW:
			return ERRCODE_NUMERIC_VALUE_OUT_OF_RANGE;
		case VANTEL_ERROR_SUBSCRIPT:
			return ERRCODE_ARRAY_SUBSCRIPT_ERROR;
		case VANTEL_ERROR_TYPE:
			return ERRCODE_DATATYPE_MISMATCH;
		case VANTEL_ERROR_PATTERN:
			return ERRCODE_INVALID_REGULAR_EXPRESSION;
		case VANTEL_ERROR_OTHER:
			break;
	}
	return ERRCODE_EXTERNAL_ROUTINE_EXCEPTION;
}

static int
errdetail_element(const VantelFailure *failure, const ListSubscripts *lists)
{
	if (lists == NULL || failure->element < 0)
		return 0;
	if (failure->in_candidates)
		return errdetail("The string is candidates[%lld].",
						 (long long) failure->element + lists->candidate_base);
	return errdetail("The string is queries[%lld].", (long long) failure->element + lists->query_base);
}

/* Reports a failure of the bridge as an SQL error; never returns. */
static void
report_failure(VantelOutcome outcome, const VantelFailure *failure, const ListSubscripts *lists)
{
	switch (outcome)
	{
		case VANTEL_RUNTIME_ERROR:
			ereport(ERROR,
					(errcode(sqlstate_of(failure->number)),
					 errmsg("vantel: run-time error %d: %s", (int) failure->number, failure->message),
					 errdetail_element(failure, lists)));
			break;
		case VANTEL_INVALID_UTF8:
			ereport(ERROR,
					(errcode(ERRCODE_CHARACTER_NOT_IN_REPERTOIRE),
					 errmsg("vantel: a string is not valid UTF-8 (byte %zu)", failure->offset + 1),
					 errdetail_element(failure, lists)));
			break;
		case VANTEL_OUT_OF_MEMORY:
			ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory"),
							errdetail("The vantel library could not allocate memory.")));
			break;
		case VANTEL_OK:
		case VANTEL_INTERRUPTED:
		case VANTEL_SINK_FAILED:
		case VANTEL_INTERNAL_ERROR:
			break;
	}
	ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR), errmsg("vantel: internal error: %s", failure->message)));
}

/* A text argument as UTF-8: as it is in a UTF-8 database, checked in an SQL_ASCII one, converted otherwise. */
typedef struct Utf8
{
	const char *data;
	size_t		length;
} Utf8;

static void
sql_ascii_context(void *arg)
{
	(void) arg;
	errcontext("vantel reads the text of an SQL_ASCII database as UTF-8");
}

static Utf8
utf8_of_text(const text *value)
{
	const char *data = VARDATA_ANY(value);
	int			length = VARSIZE_ANY_EXHDR(value);
	const char *converted;
	Utf8		result;

	if (GetDatabaseEncoding() == PG_SQL_ASCII)
	{
		/* Only checked, not converted: say why bytes that are not UTF-8 are refused. */
		ErrorContextCallback context;

		context.callback = sql_ascii_context;
		context.arg = NULL;
		context.previous = error_context_stack;
		error_context_stack = &context;
		converted = pg_server_to_any(data, length, PG_UTF8);
		error_context_stack = context.previous;
	}
	else
		converted = pg_server_to_any(data, length, PG_UTF8);
	result.data = converted;
	result.length = converted == data ? (size_t) length : strlen(converted);
	return result;
}

static text *
text_of_utf8(const char *data, size_t length)
{
	const char *converted = pg_any_to_server(data, (int) length, PG_UTF8);

	return cstring_to_text_with_len(converted, converted == data ? (int) length : (int) strlen(converted));
}

static int16
method_of(int64 number)
{
	VantelFailure failure;
	int16		method = 0;
	VantelOutcome outcome = VantelMethodOf(number, &method, &failure);

	if (outcome != VANTEL_OK)
		report_failure(outcome, &failure, NULL);
	return method;
}

static float8
compare_texts(const text *first, const text *second, int16 method)
{
	Utf8		a = utf8_of_text(first);
	Utf8		b = utf8_of_text(second);
	VantelFailure failure;
	double		answer = 0;
	VantelOutcome outcome = VantelCompare(a.data, a.length, b.data, b.length, method, &answer, &failure);

	if (outcome != VANTEL_OK)
		report_failure(outcome, &failure, NULL);
	return answer;
}

PG_FUNCTION_INFO_V1(vantel_compare);
PG_FUNCTION_INFO_V1(vantel_compare_int4);
PG_FUNCTION_INFO_V1(vantel_spelling);
PG_FUNCTION_INFO_V1(vantel_sound);
PG_FUNCTION_INFO_V1(vantel_phonetic);
PG_FUNCTION_INFO_V1(vantel_match);
PG_FUNCTION_INFO_V1(vantel_match_int4);

/* vantel_compare(text, text, method int2 DEFAULT 0) RETURNS float8 */
Datum
vantel_compare(PG_FUNCTION_ARGS)
{
	PG_RETURN_FLOAT8(compare_texts(PG_GETARG_TEXT_PP(0), PG_GETARG_TEXT_PP(1), PG_GETARG_INT16(2)));
}

/* vantel_compare(text, text, method int4): so that vantel_compare(a, b, 2) needs no cast */
Datum
vantel_compare_int4(PG_FUNCTION_ARGS)
{
	int16		method = method_of(PG_GETARG_INT32(2));

	PG_RETURN_FLOAT8(compare_texts(PG_GETARG_TEXT_PP(0), PG_GETARG_TEXT_PP(1), method));
}

/* The spelling measure alone, as a percentage: Compare's method 99. */
Datum
vantel_spelling(PG_FUNCTION_ARGS)
{
	PG_RETURN_FLOAT8(compare_texts(PG_GETARG_TEXT_PP(0), PG_GETARG_TEXT_PP(1), 99));
}

/* The sound measure alone, as a percentage: Compare's method 3. */
Datum
vantel_sound(PG_FUNCTION_ARGS)
{
	PG_RETURN_FLOAT8(compare_texts(PG_GETARG_TEXT_PP(0), PG_GETARG_TEXT_PP(1), 3));
}

Datum
vantel_phonetic(PG_FUNCTION_ARGS)
{
	Utf8		word = utf8_of_text(PG_GETARG_TEXT_PP(0));
	VantelFailure failure;
	const char *form = NULL;
	size_t		form_length = 0;
	VantelOutcome outcome = VantelPhonetic(word.data, word.length, &form, &form_length, &failure);

	if (outcome != VANTEL_OK)
		report_failure(outcome, &failure, NULL);
	PG_RETURN_TEXT_P(text_of_utf8(form, form_length));
}

/* The state of the pair sink of vantel_match, which runs on this thread. */
typedef struct MatchSink
{
	ReturnSetInfo *rsinfo;
	ListSubscripts subscripts;
	MemoryContext context;		/* the function's, where a caught error is kept */
	ErrorData  *error;			/* the error that stopped the sink, to throw again */
} MatchSink;

/* Called by the matcher for every kept pair. An error of the server is caught here, never let through the library. */
static bool
put_pair(void *opaque, size_t query, size_t candidate, double answer)
{
	MatchSink  *sink = (MatchSink *) opaque;
	volatile bool stored = true;

	PG_TRY();
	{
		Datum		values[3];
		bool		nulls[3] = {false, false, false};

		values[0] = Int32GetDatum(sink->subscripts.query_base + (int32) query);
		values[1] = Int32GetDatum((sink->subscripts.within_queries ? sink->subscripts.query_base
								   : sink->subscripts.candidate_base) + (int32) candidate);
		values[2] = Float8GetDatum(answer);
		tuplestore_putvalues(sink->rsinfo->setResult, sink->rsinfo->setDesc, values, nulls);
	}
	PG_CATCH();
	{
		MemoryContextSwitchTo(sink->context);
		sink->error = CopyErrorData();
		FlushErrorState();
		stored = false;
	}
	PG_END_TRY();
	return stored;
}

/* Asked by the matcher on this thread; only reads the flags the signal handlers set. */
static bool
query_cancelled(void *opaque)
{
	(void) opaque;
	return InterruptPending && (QueryCancelPending || ProcDiePending);
}

/* The elements of a one-dimensional text array as UTF-8 strings; NULL elements stay NULL. */
static VantelString *
strings_of_array(ArrayType *array, const char *name, size_t *count, int *base)
{
	Datum	   *elements;
	bool	   *nulls;
	int			n;
	VantelString *strings;

	if (ARR_NDIM(array) > 1)
		ereport(ERROR, (errcode(ERRCODE_ARRAY_SUBSCRIPT_ERROR),
						errmsg("vantel_match: %s must be a one-dimensional array", name)));
	*base = ARR_NDIM(array) == 1 ? ARR_LBOUND(array)[0] : 1;
	deconstruct_array(array, TEXTOID, -1, false, TYPALIGN_INT, &elements, &nulls, &n);
	strings = palloc_extended(sizeof(VantelString) * (Size) Max(n, 1), MCXT_ALLOC_HUGE);
	for (int i = 0; i < n; ++i)
	{
		if (nulls[i])
		{
			strings[i].data = NULL;
			strings[i].length = 0;
		}
		else
		{
			Utf8		value = utf8_of_text(DatumGetTextPP(elements[i]));

			strings[i].data = value.data;
			strings[i].length = value.length;
		}
	}
	*count = (size_t) n;
	return strings;
}

/*
 * vantel_match(queries text[], candidates text[], threshold float8, method, top int)
 *   RETURNS TABLE (query int, candidate int, answer float8)
 *
 * Every pair of a query and a candidate whose answer reaches the threshold,
 * with the subscripts of the two strings in their arrays. candidates NULL
 * matches the queries with each other, each pair once, the lower subscript
 * first. NULL queries, threshold or method give no rows; top NULL keeps every
 * pair, top K the K best of each query.
 */
static Datum
match(FunctionCallInfo fcinfo, int16 method)
{
	ReturnSetInfo *rsinfo = (ReturnSetInfo *) fcinfo->resultinfo;
	VantelMatchRequest request;
	MatchSink	sink;
	VantelFailure failure;
	VantelOutcome outcome;
	double		threshold;

	InitMaterializedSRF(fcinfo, 0);
	if (PG_ARGISNULL(0) || PG_ARGISNULL(2) || PG_ARGISNULL(3))
		return (Datum) 0;

	threshold = PG_GETARG_FLOAT8(2);
	if (isnan(threshold) || threshold < 0 || threshold > 100)
		ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
						errmsg("vantel_match: the threshold must be a number from 0 to 100, not %g", threshold)));
	if (!PG_ARGISNULL(4) && PG_GETARG_INT32(4) < 1)
		ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
						errmsg("vantel_match: top must be at least 1 (or NULL, to keep every pair), not %d",
							   PG_GETARG_INT32(4))));

	memset(&request, 0, sizeof request);
	memset(&sink, 0, sizeof sink);
	request.queries = strings_of_array(PG_GETARG_ARRAYTYPE_P(0), "queries", &request.query_count,
									   &sink.subscripts.query_base);
	sink.subscripts.within_queries = PG_ARGISNULL(1);
	if (!sink.subscripts.within_queries)
		request.candidates = strings_of_array(PG_GETARG_ARRAYTYPE_P(1), "candidates", &request.candidate_count,
											  &sink.subscripts.candidate_base);
	request.threshold = threshold;
	request.method = method;
	request.top = PG_ARGISNULL(4) ? 0 : (size_t) PG_GETARG_INT32(4);
	request.threads = (unsigned) match_threads;
	request.should_stop = query_cancelled;
	request.emit = put_pair;
	request.context = &sink;
	request.interval_ms = INTERRUPT_CHECK_MS;
	sink.rsinfo = rsinfo;
	sink.context = CurrentMemoryContext;

	CHECK_FOR_INTERRUPTS();
	outcome = VantelMatch(&request, &failure);
	if (outcome == VANTEL_INTERRUPTED)
	{
		/* The matcher has stopped and its threads are gone: now the server may unwind. */
		CHECK_FOR_INTERRUPTS();
		ereport(ERROR, (errcode(ERRCODE_QUERY_CANCELED), errmsg("canceling vantel_match")));
	}
	if (outcome == VANTEL_SINK_FAILED)
		ReThrowError(sink.error);
	if (outcome != VANTEL_OK)
		report_failure(outcome, &failure, &sink.subscripts);
	return (Datum) 0;
}

/* vantel_match(..., method int2 DEFAULT 0, top int DEFAULT NULL) */
Datum
vantel_match(PG_FUNCTION_ARGS)
{
	return match(fcinfo, PG_ARGISNULL(3) ? 0 : PG_GETARG_INT16(3));
}

/* vantel_match(..., method int4, top int DEFAULT NULL): so that a literal method needs no cast */
Datum
vantel_match_int4(PG_FUNCTION_ARGS)
{
	return match(fcinfo, PG_ARGISNULL(3) ? 0 : method_of(PG_GETARG_INT32(3)));
}
