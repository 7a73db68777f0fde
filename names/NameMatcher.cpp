// Bulk matching over the forms of names. Each string is laid out as its
// forms, one after another, and a Matcher runs over the forms as written and
// another over the sorted forms: a pair of strings reaches the threshold
// exactly when some pair of their forms of one kind does, so the Matcher's
// exactness carries over. Pairs of forms arrive by query form; the forms of
// one string are neighbours, so the pairs of a string are gathered, reduced
// to the best pair of forms per candidate and handed on before the next
// string's arrive. The sorted forms' pairs are gathered first and joined to
// the others string by string.

#include <algorithm>
#include <limits>
#include <optional>

#include "vantel/NameForms.h"

namespace vantel {
namespace {

// One kind of form of every string of a list.
struct FormList {
  std::vector<std::u16string> forms;
  std::vector<std::size_t> owner;  // each form's string
};

struct Layout {
  FormList written, sorted;
};

// How many strings are expanded between two calls of the checkpoint: their
// forms (a transliteration, the alias lookups) take some microseconds each,
// and a caller that stops a run should not wait for millions of them.
constexpr std::size_t kStringsPerCheckpoint = 1024;

Layout Expand(const std::vector<std::u16string>& strings, const NameOptions& names, const MatchOptions& options) {
  Layout layout;
  for (std::size_t index = 0; index < strings.size(); ++index) {
    if (options.checkpoint && index % kStringsPerCheckpoint == kStringsPerCheckpoint - 1) options.checkpoint();
    std::vector<std::u16string> written = NameForms(strings[index], names);
    for (std::u16string& form : SortedNameForms(written, names)) {
      layout.sorted.forms.push_back(std::move(form));
      layout.sorted.owner.push_back(index);
    }
    for (std::u16string& form : written) {
      layout.written.forms.push_back(std::move(form));
      layout.written.owner.push_back(index);
    }
  }
  return layout;
}

}  // namespace

struct NameMatcher::State {
  Layout queries, candidates;  // candidates unused when matching a list with itself
  bool withItself = false;
  std::size_t top = 0;
  std::optional<Matcher> written, sorted;  // sorted only under any word order
  std::vector<Rejection> rejections;
  std::vector<char> queryRejected, candidateRejected;

  const Layout& candidateLayout() const { return withItself ? queries : candidates; }

  void Build(const MatchOptions& options, const NameOptions& names, std::size_t queryCount,
             std::size_t candidateCount) {
    MatchOptions formOptions = options;
    formOptions.top = 0;  // a string's best candidates are known only once all its forms are in
    // The forms of an earlier string all come before those of a later one, so
    // the Matcher's earlier-first pairs of forms are earlier-first pairs of strings.
    if (withItself) {
      written.emplace(queries.written.forms, formOptions);
      if (names.anyOrder) sorted.emplace(queries.sorted.forms, formOptions);
    } else {
      written.emplace(queries.written.forms, candidates.written.forms, formOptions);
      if (names.anyOrder) sorted.emplace(queries.sorted.forms, candidates.sorted.forms, formOptions);
    }
    queryRejected.assign(queryCount, 0);
    candidateRejected.assign(candidateCount, 0);
    // Each string once, by its first rejected form: the string itself is the
    // first form as written, so a string of bad length is reported as the
    // plain Matcher reports it.
    const auto reject = [&](const Matcher& matcher, const FormList& queryForms, const FormList& candidateForms) {
      for (const Rejection& rejection : matcher.rejections()) {
        const bool isQuery = rejection.list == ListRole::Queries;
        const std::size_t owner = (isQuery ? queryForms : candidateForms).owner[rejection.index];
        std::vector<char>& rejected = isQuery || withItself ? queryRejected : candidateRejected;
        if (rejected[owner]) continue;
        rejected[owner] = 1;
        rejections.push_back({rejection.list, owner, rejection.reason});
      }
    };
    reject(*written, queries.written, candidateLayout().written);
    if (sorted) reject(*sorted, queries.sorted, candidateLayout().sorted);
    std::stable_sort(rejections.begin(), rejections.end(), [](const Rejection& a, const Rejection& b) {
      return std::pair(a.list, a.index) < std::pair(b.list, b.index);
    });
    if (withItself) candidateRejected = queryRejected;
  }

  // Runs one Matcher, handing on each pair of strings that a pair of forms gave.
  void RunForms(const Matcher& matcher, const FormList& queryForms, const FormList& candidateForms,
                const std::function<void(const ScoredPair&)>& sink, const Matcher::ProgressSink& progress,
                std::chrono::milliseconds interval) const {
    matcher.Run(
        [&](const ScoredPair& formPair) {
          const std::size_t query = queryForms.owner[formPair.query];
          const std::size_t candidate = candidateForms.owner[formPair.candidate];
          if (withItself && query == candidate) return;  // two forms of one string
          if (queryRejected[query] || candidateRejected[candidate]) return;
          sink({query, candidate, formPair.answer});
        },
        progress, interval);
  }
};

NameMatcher::NameMatcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
                         const MatchOptions& options, const NameOptions& names)
    : state_(std::make_unique<State>()) {
  state_->queries = Expand(queries, names, options);
  state_->candidates = Expand(candidates, names, options);
  state_->top = options.top;
  state_->Build(options, names, queries.size(), candidates.size());
}

NameMatcher::NameMatcher(const std::vector<std::u16string>& strings, const MatchOptions& options,
                         const NameOptions& names)
    : state_(std::make_unique<State>()) {
  state_->queries = Expand(strings, names, options);
  state_->withItself = true;
  state_->top = options.top;
  state_->Build(options, names, strings.size(), strings.size());
}

NameMatcher::~NameMatcher() = default;
NameMatcher::NameMatcher(NameMatcher&&) noexcept = default;
NameMatcher& NameMatcher::operator=(NameMatcher&&) noexcept = default;

const std::vector<Rejection>& NameMatcher::rejections() const noexcept { return state_->rejections; }

std::uint64_t NameMatcher::pairCount() const noexcept {
  return state_->written->pairCount() + (state_->sorted ? state_->sorted->pairCount() : 0);
}

std::size_t NameMatcher::formCount() const noexcept {
  const auto count = [](const Layout& layout) { return layout.written.forms.size() + layout.sorted.forms.size(); };
  return count(state_->queries) + (state_->withItself ? 0 : count(state_->candidates));
}

void NameMatcher::Run(const Matcher::PairSink& emit, const Matcher::ProgressSink& progress,
                      std::chrono::milliseconds interval) const {
  const State& state = *state_;
  const Layout& candidates = state.candidateLayout();

  // The sorted forms' pairs of strings first, in query order.
  std::vector<ScoredPair> sortedPairs;
  std::uint64_t done = 0;
  if (state.sorted) {
    state.RunForms(
        *state.sorted, state.queries.sorted, candidates.sorted,
        [&](const ScoredPair& pair) { sortedPairs.push_back(pair); }, progress, interval);
    done = state.sorted->pairCount();
  }

  std::vector<ScoredPair> gathered;
  std::size_t next = 0;  // the first of sortedPairs not yet handed on
  // Hands on the pairs of one query: the best pair of forms per candidate,
  // then in the Matcher's order, best answer first, then by candidate.
  const auto finish = [&](std::size_t query) {
    while (next < sortedPairs.size() && sortedPairs[next].query == query) gathered.push_back(sortedPairs[next++]);
    std::sort(gathered.begin(), gathered.end(), [](const ScoredPair& a, const ScoredPair& b) {
      return a.candidate != b.candidate ? a.candidate < b.candidate : a.answer > b.answer;
    });
    gathered.erase(std::unique(gathered.begin(), gathered.end(),
                               [](const ScoredPair& a, const ScoredPair& b) { return a.candidate == b.candidate; }),
                   gathered.end());
    std::stable_sort(gathered.begin(), gathered.end(),
                     [](const ScoredPair& a, const ScoredPair& b) { return a.answer > b.answer; });
    if (state.top != 0 && gathered.size() > state.top) gathered.resize(state.top);
    for (const ScoredPair& pair : gathered) emit(pair);
    gathered.clear();
  };
  // Hands on the queries before `query` that only sorted forms paired.
  const auto finishBefore = [&](std::size_t query) {
    while (next < sortedPairs.size() && sortedPairs[next].query < query) finish(sortedPairs[next].query);
  };
  bool open = false;
  std::size_t current = 0;
  const Matcher::ProgressSink shifted =
      progress ? Matcher::ProgressSink([&](std::uint64_t pairs) { progress(done + pairs); }) : Matcher::ProgressSink();
  state.RunForms(
      *state.written, state.queries.written, candidates.written,
      [&](const ScoredPair& pair) {
        if (!open || pair.query != current) {
          if (open) finish(current);
          finishBefore(pair.query);
          open = true;
          current = pair.query;
        }
        gathered.push_back(pair);
      },
      shifted, interval);
  if (open) finish(current);
  finishBefore(std::numeric_limits<std::size_t>::max());
}

std::vector<ScoredPair> NameMatcher::Run() const {
  std::vector<ScoredPair> pairs;
  Run([&pairs](const ScoredPair& pair) { pairs.push_back(pair); });
  return pairs;
}

}  // namespace vantel
