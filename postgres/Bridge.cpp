// The C++ side of the bridge: the comparer of this backend process, and the
// matcher run under the server's rules (no exception out, signals handled on
// the server's own thread, a run that stops when asked to, from the
// preparation on).

#include "Bridge.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Match.h"
#include "vantel/MatchRequest.h"
#include "vantel/NameForms.h"
#include "vantel/Utf8.h"

// The options of name forms, behind an opaque handle: Functions.c is C and
// keeps it in fn_extra between rows without knowing what it holds.
struct VantelNames {
  vantel::NameOptions options;
};

namespace {

// One per backend process (and per parallel worker, each a process of its
// own), built on first use; the server calls it from one thread only.
vantel::CompareUS& Comparer() {
  static vantel::CompareUS comparer;
  return comparer;
}

// Thrown from the matcher's callbacks to stop a run.
struct Interrupted {};
struct SinkFailed {};
// The system refused a worker thread.
struct NoThread {
  std::string reason;
};

// A run-time error raised for one string of a list given to VantelMatch.
struct ElementError {
  bool inCandidates;
  std::size_t element;
  std::int32_t number;
  std::string description;
};

// A string of a list given to VantelMatch that is not valid UTF-8.
struct ElementNotUtf8 {
  bool inCandidates;
  std::size_t element;
  std::size_t offset;
};

void SetMessage(VantelFailure* failure, std::string_view message) noexcept {
  const std::size_t length = std::min(message.size(), sizeof failure->message - 1);
  std::memcpy(failure->message, message.data(), length);
  failure->message[length] = '\0';
}

void Clear(VantelFailure* failure) noexcept {
  failure->number = 0;
  failure->offset = 0;
  failure->in_candidates = 0;
  failure->element = -1;
  failure->message[0] = '\0';
}

// Runs `work` and turns whatever it throws into an outcome.
template <typename Work>
VantelOutcome Guarded(VantelFailure* failure, const Work& work) noexcept {
  Clear(failure);
  try {
    work();
    return VANTEL_OK;
  } catch (const Interrupted&) {
    return VANTEL_INTERRUPTED;
  } catch (const SinkFailed&) {
    return VANTEL_SINK_FAILED;
  } catch (const NoThread& error) {
    SetMessage(failure, error.reason);
    return VANTEL_NO_THREAD;
  } catch (const ElementError& error) {
    failure->number = error.number;
    failure->in_candidates = error.inCandidates ? 1 : 0;
    failure->element = static_cast<std::int64_t>(error.element);
    SetMessage(failure, error.description);
    return VANTEL_RUNTIME_ERROR;
  } catch (const ElementNotUtf8& error) {
    failure->offset = error.offset;
    failure->in_candidates = error.inCandidates ? 1 : 0;
    failure->element = static_cast<std::int64_t>(error.element);
    return VANTEL_INVALID_UTF8;
  } catch (const vantel::RuntimeError& error) {
    failure->number = error.number();
    SetMessage(failure, error.description());
    return VANTEL_RUNTIME_ERROR;
  } catch (const vantel::InvalidOption& error) {
    SetMessage(failure, error.what());
    return VANTEL_INVALID_OPTION;
  } catch (const vantel::InvalidUtf8& error) {
    failure->offset = error.offset();
    SetMessage(failure, error.what());
    return VANTEL_INVALID_UTF8;
  } catch (const std::bad_alloc&) {
    return VANTEL_OUT_OF_MEMORY;
  } catch (const std::exception& error) {
    SetMessage(failure, error.what());
    return VANTEL_INTERNAL_ERROR;
  } catch (...) {
    SetMessage(failure, "unknown exception");
    return VANTEL_INTERNAL_ERROR;
  }
}

// While it holds, the calling thread blocks every asynchronous signal, and
// SIGFPE, whose handler in the server raises an SQL error: a thread started
// meanwhile inherits that mask, so the server's handlers run on the calling
// thread alone. Held only while a thread starts; the destructor gives the
// caller's mask back, and signals that came meanwhile are delivered at once.
class SignalsHeldOff {
 public:
  SignalsHeldOff() {
    sigset_t all;
    sigfillset(&all);
    // Faults are delivered to the thread that caused them, blocked or not
    // (blocked, they end the process, as the server's handler would have
    // had to: it cannot raise an error on a worker thread).
    for (const int fault : {SIGSEGV, SIGBUS, SIGILL, SIGABRT}) sigdelset(&all, fault);
    held_ = pthread_sigmask(SIG_BLOCK, &all, &previous_) == 0;
  }
  ~SignalsHeldOff() {
    if (held_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SignalsHeldOff(const SignalsHeldOff&) = delete;
  SignalsHeldOff& operator=(const SignalsHeldOff&) = delete;

 private:
  sigset_t previous_{};
  bool held_ = false;
};

// How many strings are converted between two questions whether to stop.
constexpr std::size_t kStringsPerStopCheck = 4096;

std::vector<std::u16string> ToUtf16(const VantelMatchRequest& request, const VantelString* list, std::size_t count,
                                    bool inCandidates) {
  std::vector<std::u16string> strings(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (i % kStringsPerStopCheck == kStringsPerStopCheck - 1 && request.should_stop(request.context)) {
      throw Interrupted{};
    }
    // A NULL element stays empty, which the matcher leaves out of every pair.
    if (list[i].data == nullptr) continue;
    try {
      strings[i] = vantel::Utf8ToUtf16(std::string_view(list[i].data, list[i].length));
    } catch (const vantel::InvalidUtf8& bad) {
      throw ElementNotUtf8{inCandidates, i, bad.offset()};
    }
  }
  return strings;
}

// The matcher keeps a run-time error of a string's phonetic form as the
// reason of its rejection, worded as RuntimeError words it: "run-time error
// N: description". The other reasons (empty, too long) are not errors.
bool IsRuntimeError(const std::string& reason, std::int32_t& number, std::string& description) {
  static constexpr std::string_view kPrefix = "run-time error ";
  if (reason.compare(0, kPrefix.size(), kPrefix) != 0) return false;
  const char* const end = reason.data() + reason.size();
  const auto [stop, failure] = std::from_chars(reason.data() + kPrefix.size(), end, number);
  if (failure != std::errc()) return false;
  std::string_view rest(stop, static_cast<std::size_t>(end - stop));
  if (rest.substr(0, 2) == ": ") rest.remove_prefix(2);
  description = rest;
  return true;
}

void RunMatch(const VantelMatchRequest& request) {
  const bool withinQueries = request.candidates == nullptr;
  const std::vector<std::u16string> queries = ToUtf16(request, request.queries, request.query_count, false);
  const std::vector<std::u16string> candidates =
      withinQueries ? std::vector<std::u16string>()
                    : ToUtf16(request, request.candidates, request.candidate_count, true);

  const auto stopIfAsked = [&] {
    if (request.should_stop(request.context)) throw Interrupted{};
  };
  vantel::MatchOptions options = vantel::Bind({.method = request.method,
                                               .threshold = request.threshold,
                                               .top = static_cast<std::int64_t>(request.top),
                                               .threads = std::max(1u, request.threads)});
  options.pendingBytes = request.pending_bytes;
  options.checkpoint = stopIfAsked;
  options.startThread = [&](const std::function<void()>& start) {
    stopIfAsked();
    const SignalsHeldOff signals;
    try {
      start();
    } catch (const std::system_error& refused) {
      throw NoThread{refused.what()};
    }
  };

  // Without options of name forms the plain Matcher runs: it makes no forms,
  // and its answers are the ones every other surface is held to.
  const auto run = [&](const auto& matcher) {
    for (const vantel::Rejection& rejection : matcher.rejections()) {
      std::int32_t number = 0;
      std::string description;
      if (IsRuntimeError(rejection.reason, number, description)) {
        throw ElementError{rejection.list == vantel::ListRole::Candidates, rejection.index, number, description};
      }
    }
    const auto emit = [&](const vantel::ScoredPair& pair) {
      if (!request.emit(request.context, pair.query, pair.candidate, pair.answer)) throw SinkFailed{};
    };
    const auto progress = [&](std::uint64_t /*pairsDone*/) { stopIfAsked(); };
    matcher.Run(emit, progress, std::chrono::milliseconds(request.interval_ms));
  };
  if (request.names != nullptr && request.names->options.any()) {
    const vantel::NameOptions& names = request.names->options;
    run(withinQueries ? vantel::NameMatcher(queries, options, names)
                      : vantel::NameMatcher(queries, candidates, options, names));
  } else {
    run(withinQueries ? vantel::Matcher(queries, options) : vantel::Matcher(queries, candidates, options));
  }
}

}  // namespace

extern "C" {

const char* VantelDescriptionOf(int32_t number) {
  static char description[VANTEL_FAILURE_MESSAGE_SIZE];
  const std::string_view text = vantel::DescriptionOf(number);
  const std::size_t length = std::min(text.size(), sizeof description - 1);
  std::memcpy(description, text.data(), length);
  description[length] = '\0';
  return description;
}

VantelErrorKind VantelKindOf(int32_t number) {
  switch (number) {
    case vantel::error::kInvalidProcedureCall: return VANTEL_ERROR_ARGUMENT;
    case vantel::error::kOverflow: return VANTEL_ERROR_OVERFLOW;
    case vantel::error::kSubscriptOutOfRange: return VANTEL_ERROR_SUBSCRIPT;
    case vantel::error::kTypeMismatch: return VANTEL_ERROR_TYPE;
    case vantel::error::kRegexSyntax: return VANTEL_ERROR_PATTERN;
    default: return VANTEL_ERROR_OTHER;
  }
}

VantelOutcome VantelMethodOf(int64_t number, int16_t* method, VantelFailure* failure) {
  return Guarded(failure, [&] { *method = vantel::CheckedMethod(number); });
}

VantelOutcome VantelCheckThreshold(double threshold, VantelFailure* failure) {
  return Guarded(failure, [&] { vantel::CheckedThreshold(threshold); });
}

int VantelProcessorCount(void) { return static_cast<int>(vantel::ProcessorCount()); }

int VantelMostThreads(void) { return static_cast<int>(vantel::kMostThreads); }

VantelOutcome VantelCompare(const char* first, size_t first_length, const char* second, size_t second_length,
                            int16_t method, double* answer, VantelFailure* failure) {
  return Guarded(failure, [&] {
    *answer =
        Comparer().Compare(std::string_view(first, first_length), std::string_view(second, second_length), method);
  });
}

VantelOutcome VantelPrepareNames(const VantelNameSettings* settings, VantelNames** names, VantelFailure* failure) {
  return Guarded(failure, [&] {
    vantel::NameOptions options;
    options.anyOrder = settings->any_order;
    if (settings->transliterate && !vantel::TransliterationAvailable()) {
      throw vantel::RuntimeError(vantel::error::kInvalidProcedureCall,
                                 "this build of vantel cannot transliterate (built without ICU)");
    }
    options.transliterate = settings->transliterate;
    std::shared_ptr<const vantel::NameTable> own;
    if (settings->aliases != nullptr) {
      auto parsed = std::make_shared<vantel::NameTable>(
          vantel::NameTable::Parse(std::string_view(settings->aliases, settings->aliases_length), "aliases"));
      // Text of no groups (blank, or only comments) gives the answers of no
      // table, and the forms then cost nothing.
      if (parsed->groupCount() > 0) own = std::move(parsed);
    }
    if (own != nullptr && settings->nicknames) {
      auto merged = std::make_shared<vantel::NameTable>(*vantel::NameTable::English());
      merged->Add(*own);
      options.aliases = std::move(merged);
    } else if (own != nullptr) {
      options.aliases = std::move(own);
    } else if (settings->nicknames) {
      options.aliases = vantel::NameTable::English();
    }
    *names = new VantelNames{std::move(options)};
  });
}

void VantelFreeNames(VantelNames* names) { delete names; }

VantelOutcome VantelCompareNames(const char* first, size_t first_length, const char* second, size_t second_length,
                                 int16_t method, const VantelNames* names, double* answer, VantelFailure* failure) {
  return Guarded(failure, [&] {
    // Compare itself when no option is on, as the library's CompareNames
    // answers then, without the conversion to UTF-16 here.
    if (!names->options.any()) {
      *answer =
          Comparer().Compare(std::string_view(first, first_length), std::string_view(second, second_length), method);
      return;
    }
    // A text too long to compare is refused before it is converted: a
    // column may hold texts of any size, and each would cost twice that.
    const std::string_view firstText(first, first_length), secondText(second, second_length);
    if (vantel::Utf16Length(firstText) > vantel::CompareUS::kMaxLength ||
        vantel::Utf16Length(secondText) > vantel::CompareUS::kMaxLength) {
      *answer = vantel::CompareUS::kRefused;
      return;
    }
    const std::u16string a = vantel::Utf8ToUtf16(firstText);
    const std::u16string b = vantel::Utf8ToUtf16(secondText);
    *answer = vantel::CompareNames(Comparer(), a, b, method, names->options).answer;
  });
}

VantelOutcome VantelPhonetic(const char* word, size_t length, const char** form, size_t* form_length,
                             VantelFailure* failure) {
  static std::string last;
  return Guarded(failure, [&] {
    last = Comparer().PhoneticForm(std::string_view(word, length));
    *form = last.data();
    *form_length = last.size();
  });
}

VantelOutcome VantelMatch(const VantelMatchRequest* request, VantelFailure* failure) {
  return Guarded(failure, [&] { RunMatch(*request); });
}

}  // extern "C"
