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

#include <ctype.h>
#include <math.h>
#include <string.h>
#include <unistd.h>

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

/*
 * vantel.max_threads: the most that vantel.threads gets, whatever a role sets
 * it to; one per processor unless a superuser says otherwise. Threads cost
 * memory (each its own rules while the strings are prepared) and processors
 * that the server's other sessions share.
 */
static int max_threads = 1;

/* How often a running vantel_match looks whether the query was cancelled. */
#define INTERRUPT_CHECK_MS 20

void _PG_init(void);

void
_PG_init(void)
{
	DefineCustomIntVariable("vantel.threads",
							"Sets the number of threads vantel_match scores pairs on.",
							"0 means one per processor; vantel.max_threads caps it.",
							&match_threads, 0, 0, VantelMostThreads(), PGC_USERSET, 0, NULL, NULL, NULL);
	DefineCustomIntVariable("vantel.max_threads",
							"Sets the most threads that vantel_match uses, whatever vantel.threads says.",
							"The default is the number of processors; only a superuser may change it.",
							&max_threads, VantelProcessorCount(), 1, VantelMostThreads(), PGC_SUSET, 0, NULL, NULL, NULL);
	MarkGUCPrefixReserved("vantel");
}

/* The threads that a vantel_match runs on now. */
static unsigned
threads_to_use(void)
{
	int			wanted = match_threads == 0 ? VantelProcessorCount() : match_threads;

	return (unsigned) Max(1, Min(wanted, max_threads));
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
		case VANTEL_NO_THREAD:
			ereport(ERROR, (errcode(ERRCODE_INSUFFICIENT_RESOURCES),
							errmsg("vantel: could not start a thread: %s", failure->message),
							errhint("Lower vantel.threads, or vantel.max_threads.")));
			break;
		case VANTEL_INVALID_OPTION:
			ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("vantel: the %s", failure->message)));
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
PG_FUNCTION_INFO_V1(vantel_compare_names);
PG_FUNCTION_INFO_V1(vantel_compare_names_int4);
PG_FUNCTION_INFO_V1(vantel_match);
PG_FUNCTION_INFO_V1(vantel_match_int4);
PG_FUNCTION_INFO_V1(vantel_dedupe);
PG_FUNCTION_INFO_V1(vantel_dedupe_int4);
PG_FUNCTION_INFO_V1(vantel_match_names);
PG_FUNCTION_INFO_V1(vantel_match_names_int4);
PG_FUNCTION_INFO_V1(vantel_dedupe_names);
PG_FUNCTION_INFO_V1(vantel_dedupe_names_int4);

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

/*
 * The options of name forms as SQL gives them: words separated by spaces or
 * commas, letter case ignored. "order=any" (or "order=given"), "nicknames"
 * and "transliterate" (either also "=on" or "=off", or any other spelling of
 * a boolean that PostgreSQL reads). They stand for the command line's
 * --order, --nicknames and --transliterate; an empty text for none.
 */
static void
read_name_options(const char *function, const text *options, VantelNameSettings *settings)
{
	const char *data = VARDATA_ANY(options);
	int			length = VARSIZE_ANY_EXHDR(options);
	int			at = 0;

	while (at < length)
	{
		int			start;
		char	   *word;
		char	   *value;
		size_t		name_length;

		if (data[at] == ',' || isspace((unsigned char) data[at]))
		{
			++at;
			continue;
		}
		start = at;
		while (at < length && data[at] != ',' && !isspace((unsigned char) data[at]))
			++at;
		word = pnstrdup(data + start, at - start);
		value = strchr(word, '=');
		name_length = value == NULL ? strlen(word) : (size_t) (value - word);
		if (value != NULL)
			++value;

		if (name_length == 5 && pg_strncasecmp(word, "order", 5) == 0)
		{
			if (value != NULL && pg_strcasecmp(value, "any") == 0)
				settings->any_order = true;
			else if (value != NULL && pg_strcasecmp(value, "given") == 0)
				settings->any_order = false;
			else
				ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
								errmsg("%s: the option \"%s\" must be order=any or order=given", function, word)));
		}
		else if ((name_length == 9 && pg_strncasecmp(word, "nicknames", 9) == 0) ||
				 (name_length == 13 && pg_strncasecmp(word, "transliterate", 13) == 0))
		{
			bool		on = true;

			if (value != NULL && !parse_bool(value, &on))
				ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
								errmsg("%s: the option \"%s\" must be %.*s, %.*s=on or %.*s=off", function, word,
									   (int) name_length, word, (int) name_length, word, (int) name_length, word)));
			if (name_length == 9)
				settings->nicknames = on;
			else
				settings->transliterate = on;
		}
		else
			ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
							errmsg("%s: unknown option \"%s\"", function, word),
							errhint("The options are order=any, nicknames and transliterate, separated by spaces.")));
		pfree(word);
	}
}

/*
 * The prepared options of one call site, kept in fn_extra: a query passes
 * the same options and aliases for every row, and building the name table
 * (the built-in one merged with own groups) once per row would cost more
 * than the comparison.
 */
typedef struct NamesCache
{
	char	   *options;		/* the texts they were prepared from, as given */
	int			options_length;
	char	   *aliases;
	int			aliases_length;
	VantelNames *names;			/* owned: freed with the function's memory context */
	MemoryContextCallback free_names;
} NamesCache;

static void
free_cached_names(void *arg)
{
	NamesCache *cache = (NamesCache *) arg;

	if (cache->names != NULL)
		VantelFreeNames(cache->names);
	cache->names = NULL;
}

static bool
same_bytes(const char *kept, int kept_length, const text *value)
{
	return kept_length == (int) VARSIZE_ANY_EXHDR(value) && memcmp(kept, VARDATA_ANY(value), kept_length) == 0;
}

static char *
copy_bytes(MemoryContext context, const text *value)
{
	int			length = VARSIZE_ANY_EXHDR(value);
	char	   *copy = MemoryContextAlloc(context, Max(length, 1));

	memcpy(copy, VARDATA_ANY(value), length);
	return copy;
}

static const VantelNames *
names_of_call(FunctionCallInfo fcinfo, const char *function, const text *options, const text *aliases)
{
	MemoryContext context = fcinfo->flinfo->fn_mcxt;
	NamesCache *cache = (NamesCache *) fcinfo->flinfo->fn_extra;
	VantelNameSettings settings;
	VantelNames *names = NULL;
	VantelFailure failure;
	VantelOutcome outcome;
	char	   *options_copy;
	char	   *aliases_copy;

	if (cache != NULL && cache->names != NULL && same_bytes(cache->options, cache->options_length, options) &&
		same_bytes(cache->aliases, cache->aliases_length, aliases))
		return cache->names;

	memset(&settings, 0, sizeof settings);
	read_name_options(function, options, &settings);
	if (VARSIZE_ANY_EXHDR(aliases) > 0)
	{
		Utf8		csv = utf8_of_text(aliases);

		settings.aliases = csv.data;
		settings.aliases_length = csv.length;
	}
	if (cache == NULL)
	{
		cache = MemoryContextAllocZero(context, sizeof(NamesCache));
		cache->free_names.func = free_cached_names;
		cache->free_names.arg = cache;
		MemoryContextRegisterResetCallback(context, &cache->free_names);
		fcinfo->flinfo->fn_extra = cache;
	}
	options_copy = copy_bytes(context, options);
	aliases_copy = copy_bytes(context, aliases);
	outcome = VantelPrepareNames(&settings, &names, &failure);
	if (outcome != VANTEL_OK)
	{
		pfree(options_copy);
		pfree(aliases_copy);
		report_failure(outcome, &failure, NULL);
	}

	/* Nothing below raises an error, so the new options are never lost. */
	free_cached_names(cache);
	if (cache->options != NULL)
		pfree(cache->options);
	if (cache->aliases != NULL)
		pfree(cache->aliases);
	cache->options = options_copy;
	cache->options_length = VARSIZE_ANY_EXHDR(options);
	cache->aliases = aliases_copy;
	cache->aliases_length = VARSIZE_ANY_EXHDR(aliases);
	cache->names = names;
	return names;
}

/*
 * vantel_compare_names(text, text, method, options text DEFAULT '', aliases text DEFAULT '')
 *   RETURNS float8
 */
static Datum
compare_names(FunctionCallInfo fcinfo, bool method_int4)
{
	int16		method = method_int4 ? method_of(PG_GETARG_INT32(2)) : PG_GETARG_INT16(2);
	const VantelNames *names = names_of_call(fcinfo, "vantel_compare_names", PG_GETARG_TEXT_PP(3),
											 PG_GETARG_TEXT_PP(4));
	Utf8		a = utf8_of_text(PG_GETARG_TEXT_PP(0));
	Utf8		b = utf8_of_text(PG_GETARG_TEXT_PP(1));
	VantelFailure failure;
	double		answer = 0;
	VantelOutcome outcome = VantelCompareNames(a.data, a.length, b.data, b.length, method, names, &answer, &failure);

	if (outcome != VANTEL_OK)
		report_failure(outcome, &failure, NULL);
	PG_RETURN_FLOAT8(answer);
}

Datum
vantel_compare_names(PG_FUNCTION_ARGS)
{
	return compare_names(fcinfo, false);
}

/* So that a literal method needs no cast, as with vantel_compare. */
Datum
vantel_compare_names_int4(PG_FUNCTION_ARGS)
{
	return compare_names(fcinfo, true);
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

/*
 * An element of an array in an SQL_ASCII database, whose bytes are read as
 * UTF-8 unconverted: one that is not UTF-8 is refused, naming the element,
 * which a check of the whole array could not.
 */
static void
check_sql_ascii_element(const text *value, const char *function, const char *name, int subscript)
{
	const char *data = VARDATA_ANY(value);
	int			length = VARSIZE_ANY_EXHDR(value);
	int			valid = pg_encoding_verifymbstr(PG_UTF8, data, length);

	if (valid < length)
		ereport(ERROR, (errcode(ERRCODE_CHARACTER_NOT_IN_REPERTOIRE),
						errmsg("%s: %s[%d] is not valid UTF-8: byte %d is 0x%02x", function, name, subscript,
							   valid + 1, (unsigned char) data[valid]),
						errdetail("vantel reads the text of an SQL_ASCII database as UTF-8.")));
}

/* The elements of a one-dimensional text array as UTF-8 strings; NULL elements stay NULL. */
static VantelString *
strings_of_array(ArrayType *array, const char *function, const char *name, size_t *count, int *base)
{
	bool		sql_ascii = GetDatabaseEncoding() == PG_SQL_ASCII;
	Datum	   *elements;
	bool	   *nulls;
	int			n;
	VantelString *strings;

	if (ARR_NDIM(array) > 1)
		ereport(ERROR, (errcode(ERRCODE_ARRAY_SUBSCRIPT_ERROR),
						errmsg("%s: %s must be a one-dimensional array", function, name)));
	*base = ARR_NDIM(array) == 1 ? ARR_LBOUND(array)[0] : 1;
	deconstruct_array(array, TEXTOID, -1, false, TYPALIGN_INT, &elements, &nulls, &n);
	strings = palloc_extended(sizeof(VantelString) * (Size) Max(n, 1), MCXT_ALLOC_HUGE);
	for (int i = 0; i < n; ++i)
	{
		/* Millions of strings take a while to convert. */
		CHECK_FOR_INTERRUPTS();
		if (nulls[i])
		{
			strings[i].data = NULL;
			strings[i].length = 0;
		}
		else
		{
			Utf8		value;

			if (sql_ascii)
				check_sql_ascii_element(DatumGetTextPP(elements[i]), function, name, *base + i);
			value = utf8_of_text(DatumGetTextPP(elements[i]));

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
 * vantel_dedupe(names text[], threshold float8, method, top int)
 *   RETURNS TABLE (query int, candidate int, answer float8)
 *
 * Every pair of a query and a candidate whose answer reaches the threshold,
 * with the subscripts of the two strings in their arrays; vantel_dedupe
 * pairs the names with each other, each pair once, the lower subscript
 * first. A NULL list, threshold or method gives no rows: a NULL candidates is
 * what array_agg gives for no rows, and a link with no candidates has no
 * pairs. top NULL keeps every pair, top K the K best of each query.
 */
static Datum
match(FunctionCallInfo fcinfo, bool within, bool method_int4, bool with_names)
{
	const char *function = within ? (with_names ? "vantel_dedupe_names" : "vantel_dedupe")
		: (with_names ? "vantel_match_names" : "vantel_match");
	const int	threshold_arg = within ? 1 : 2;
	const int	method_arg = threshold_arg + 1;
	const int	top_arg = threshold_arg + 2;
	const int	options_arg = top_arg + 1;
	const int	aliases_arg = top_arg + 2;
	ReturnSetInfo *rsinfo = (ReturnSetInfo *) fcinfo->resultinfo;
	VantelMatchRequest request;
	MatchSink	sink;
	VantelFailure failure;
	VantelOutcome outcome;
	double		threshold;
	int16		method;
	const VantelNames *names;

	InitMaterializedSRF(fcinfo, 0);
	for (int arg = 0; arg <= method_arg; ++arg)
	{
		if (PG_ARGISNULL(arg))
			return (Datum) 0;
	}
	if (with_names && (PG_ARGISNULL(options_arg) || PG_ARGISNULL(aliases_arg)))
		return (Datum) 0;

	threshold = PG_GETARG_FLOAT8(threshold_arg);
	if (VantelCheckThreshold(threshold, &failure) != VANTEL_OK)
		ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
						errmsg("%s: the %s, not %g", function, failure.message, threshold)));
	if (!PG_ARGISNULL(top_arg) && PG_GETARG_INT32(top_arg) < 1)
		ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
						errmsg("%s: top must be at least 1 (or NULL, to keep every pair), not %d", function,
							   PG_GETARG_INT32(top_arg))));
	method = method_int4 ? method_of(PG_GETARG_INT32(method_arg)) : PG_GETARG_INT16(method_arg);
	/* Read before the lists, whose conversion takes a while: a bad option fails at once. */
	names = with_names ? names_of_call(fcinfo, function, PG_GETARG_TEXT_PP(options_arg),
									   PG_GETARG_TEXT_PP(aliases_arg)) : NULL;

	memset(&request, 0, sizeof request);
	memset(&sink, 0, sizeof sink);
	request.queries = strings_of_array(PG_GETARG_ARRAYTYPE_P(0), function, within ? "names" : "queries",
									   &request.query_count, &sink.subscripts.query_base);
	sink.subscripts.within_queries = within;
	if (!within)
		request.candidates = strings_of_array(PG_GETARG_ARRAYTYPE_P(1), function, "candidates",
											  &request.candidate_count, &sink.subscripts.candidate_base);
	request.threshold = threshold;
	request.method = method;
	request.names = names;
	request.top = PG_ARGISNULL(top_arg) ? 0 : (size_t) PG_GETARG_INT32(top_arg);
	request.threads = threads_to_use();
	/* The pairs waiting to be written out in order, like a sort's: within work_mem. */
	request.pending_bytes = (size_t) work_mem * 1024;
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
		ereport(ERROR, (errcode(ERRCODE_QUERY_CANCELED), errmsg("canceling %s", function)));
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
	return match(fcinfo, false, false, false);
}

/* vantel_match(..., method int4, top int DEFAULT NULL): so that a literal method needs no cast */
Datum
vantel_match_int4(PG_FUNCTION_ARGS)
{
	return match(fcinfo, false, true, false);
}

/* vantel_dedupe(names text[], threshold float8, method int2 DEFAULT 0, top int DEFAULT NULL) */
Datum
vantel_dedupe(PG_FUNCTION_ARGS)
{
	return match(fcinfo, true, false, false);
}

Datum
vantel_dedupe_int4(PG_FUNCTION_ARGS)
{
	return match(fcinfo, true, true, false);
}

/*
 * vantel_match_names(queries, candidates, threshold, method, top, options text DEFAULT '', aliases text DEFAULT '')
 * vantel_dedupe_names(names, threshold, method, top, options text DEFAULT '', aliases text DEFAULT '')
 *
 * vantel_match and vantel_dedupe under the options of name forms: exactly
 * the pairs whose vantel_compare_names answer reaches the threshold.
 */
Datum
vantel_match_names(PG_FUNCTION_ARGS)
{
	return match(fcinfo, false, false, true);
}

Datum
vantel_match_names_int4(PG_FUNCTION_ARGS)
{
	return match(fcinfo, false, true, true);
}

Datum
vantel_dedupe_names(PG_FUNCTION_ARGS)
{
	return match(fcinfo, true, false, true);
}

Datum
vantel_dedupe_names_int4(PG_FUNCTION_ARGS)
{
	return match(fcinfo, true, true, true);
}
