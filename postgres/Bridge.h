/*
 * The one way from the extension's C functions into the C++ library.
 *
 * Everything here takes and returns plain C types. No C++ exception leaves
 * these functions: each catches everything and says what went wrong in its
 * result and in a VantelFailure. Nothing here calls the server, except through
 * the callbacks of a VantelMatchRequest, which the server side writes so that
 * they never leave by longjmp. Strings are UTF-8 with a length; the server
 * side converts from and to the database's encoding.
 */
#ifndef VANTEL_POSTGRES_BRIDGE_H
#define VANTEL_POSTGRES_BRIDGE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum VantelOutcome {
  VANTEL_OK = 0,
  VANTEL_RUNTIME_ERROR,  /* the component's run-time error: failure->number and failure->message */
  VANTEL_INVALID_UTF8,   /* failure->offset: the first bad byte */
  VANTEL_OUT_OF_MEMORY,  /* the library could not allocate */
  VANTEL_INTERRUPTED,    /* vantel_match: should_stop answered true, and the run has stopped */
  VANTEL_SINK_FAILED,    /* vantel_match: emit answered false, and the run has stopped */
  VANTEL_NO_THREAD,      /* vantel_match: the system refused a thread (failure->message says why) */
  VANTEL_INVALID_OPTION, /* an option out of its range: failure->message says which and what it must be */
  VANTEL_INTERNAL_ERROR  /* anything else: failure->message */
} VantelOutcome;

enum { VANTEL_FAILURE_MESSAGE_SIZE = 256 };

typedef struct VantelFailure {
  int32_t number;                            /* VANTEL_RUNTIME_ERROR */
  size_t offset;                             /* VANTEL_INVALID_UTF8 */
  int in_candidates;                         /* vantel_match: the string at fault is a candidate (else a query) */
  int64_t element;                           /* vantel_match: its position in its list from 0, or -1 */
  char message[VANTEL_FAILURE_MESSAGE_SIZE]; /* NUL-terminated, cut if too long */
} VantelFailure;

/* The description of a run-time error number ("Overflow" for 6). */
const char* VantelDescriptionOf(int32_t number);

/* What kind of failure a run-time error number stands for, to choose its SQLSTATE. */
typedef enum VantelErrorKind {
  VANTEL_ERROR_ARGUMENT,  /* 5: invalid procedure call or argument */
  VANTEL_ERROR_OVERFLOW,  /* 6 */
  VANTEL_ERROR_SUBSCRIPT, /* 9 */
  VANTEL_ERROR_TYPE,      /* 13: type mismatch */
  VANTEL_ERROR_PATTERN,   /* an error in a regular expression of the rules */
  VANTEL_ERROR_OTHER
} VantelErrorKind;

VantelErrorKind VantelKindOf(int32_t number);

/* A method number as Compare takes it: one that does not fit in 16 bits is
 * run-time error 6 (Overflow), as the automation object answers. */
VantelOutcome VantelMethodOf(int64_t number, int16_t* method, VantelFailure* failure);

/* The library's rule for a threshold: VANTEL_INVALID_OPTION, with
 * failure->message "threshold must be a number from 0 to 100", for one out of range. */
VantelOutcome VantelCheckThreshold(double threshold, VantelFailure* failure);

/* What a thread count of 0 stands for: one per processor, as the library counts them. */
int VantelProcessorCount(void);

/* The most threads a match may ask for. */
int VantelMostThreads(void);

/* Compare with the comparer of this process, built on first use. */
VantelOutcome VantelCompare(const char* first, size_t first_length, const char* second, size_t second_length,
                            int16_t method, double* answer, VantelFailure* failure);

/*
 * The options of name forms, prepared once for many pairs: the library's
 * NameOptions with their name table built. Opaque to the server.
 */
typedef struct VantelNames VantelNames;

typedef struct VantelNameSettings {
  bool any_order;     /* also the forms with their words sorted */
  bool nicknames;     /* the built-in table of English given names */
  bool transliterate; /* also the forms in Latin letters */
  /* CSV text (UTF-8) of own name groups, added to the built-in table with
   * nicknames, else alone; NULL, or text of no groups: none. */
  const char* aliases;
  size_t aliases_length;
} VantelNameSettings;

/* Builds the options: run-time error 5 for aliases that are not a table of
 * groups (naming "aliases" and the line) or transliteration in a build
 * without it. *names is set on VANTEL_OK only; free it with VantelFreeNames. */
VantelOutcome VantelPrepareNames(const VantelNameSettings* settings, VantelNames** names, VantelFailure* failure);
void VantelFreeNames(VantelNames* names);

/* The library's CompareNames under prepared options, with the comparer of
 * this process: the largest answer over the forms of the two strings, or -1
 * when either is empty or longer than 70 UTF-16 code units. */
VantelOutcome VantelCompareNames(const char* first, size_t first_length, const char* second, size_t second_length,
                                 int16_t method, const VantelNames* names, double* answer, VantelFailure* failure);

/* The phonetic form of a word. *form stays valid until the next call. */
VantelOutcome VantelPhonetic(const char* word, size_t length, const char** form, size_t* form_length,
                             VantelFailure* failure);

/* One element of a list given to VantelMatch; data NULL stands for SQL NULL. */
typedef struct VantelString {
  const char* data;
  size_t length;
} VantelString;

typedef struct VantelMatchRequest {
  const VantelString* queries;
  size_t query_count;
  const VantelString* candidates; /* NULL: the queries are matched with each other */
  size_t candidate_count;
  double threshold;
  int16_t method;
  size_t top;           /* 0 keeps every pair */
  unsigned threads;     /* at least 1 */
  size_t pending_bytes; /* the most bytes of kept pairs held at once (about; see MatchOptions) */
  /* The options of name forms (the library's NameMatcher); NULL, or no
   * option on, for the plain matcher. */
  const VantelNames* names;
  /* Both are called on the calling thread only. should_stop is asked every few
   * milliseconds while the strings are prepared, before each thread is
   * started, and about every interval_ms milliseconds while the pairs are
   * scored; true stops the run. emit gets every kept pair in output order
   * (positions from 0); false stops the run. */
  bool (*should_stop)(void* context);
  bool (*emit)(void* context, size_t query, size_t candidate, double answer);
  void* context;
  unsigned interval_ms;
} VantelMatchRequest;

/*
 * Runs the library's matcher: candidates matched with queries, or the queries
 * with each other when candidates is NULL. NULL elements and strings that are empty or
 * longer than 70 UTF-16 code units take part in no pair. A string whose
 * phonetic form raises a run-time error fails the call with that error
 * (failure->element says which), before any pair is emitted.
 *
 * The matcher's worker threads start with every asynchronous signal and
 * SIGFPE blocked, so that the server's signal handlers run on the calling
 * thread only. The calling thread blocks them only while it starts a thread:
 * between two starts, and all through the preparation, a signal reaches the
 * server's handler at once and should_stop is asked.
 */
VantelOutcome VantelMatch(const VantelMatchRequest* request, VantelFailure* failure);

#ifdef __cplusplus
}
#endif

#endif /* VANTEL_POSTGRES_BRIDGE_H */
