// Bulk matching over the forms of names. Each string is laid out as its
// forms, one after another, and the Matcher runs over the forms: a pair of
// strings reaches the threshold exactly when some pair of their forms does,
// so the Matcher's exactness carries over. Its pairs arrive by query form;
// the forms of one string are neighbours, so the pairs of a string are
// gathered, reduced to the best form pair per candidate and handed on
// before the next string's arrive.

#include <algorithm>
#include <optional>

#include "vantel/NameForms.h"

namespace vantel {
namespace {

struct FormList {
  std::vector<std::u16string> forms;
  std::vector<std::size_t> owner;  // each form's string
};

FormList Expand(const std::vector<std::u16string>& strings, const NameOptions& names) {
  FormList list;
  for (std::size_t index = 0; index < strings.size(); ++index) {
    for (std::u16string& form : NameForms(strings[index], names)) {
      list.forms.push_back(std::move(form));
      list.owner.push_back(index);
    }
  }
  return list;
}

}  // namespace

struct NameMatcher::State {
  FormList queries, candidates;  // candidates unused when matching a list with itself
  bool withItself = false;
  std::size_t top = 0;
  std::optional<Matcher> matcher;
  std::vector<Rejection> rejections;
  std::vector<char> queryRejected, candidateRejected;

  const FormList& candidateForms() const { return withItself ? queries : candidates; }

  void MapRejections(std::size_t queryCount, std::size_t candidateCount) {
    queryRejected.assign(queryCount, 0);
    candidateRejected.assign(candidateCount, 0);
    for (const Rejection& rejection : matcher->rejections()) {
      const bool isQuery = rejection.list == ListRole::Queries;
      const std::size_t owner = (isQuery ? queries : candidateForms()).owner[rejection.index];
      std::vector<char>& rejected = isQuery ? queryRejected : candidateRejected;
      if (rejected[owner]) continue;
      rejected[owner] = 1;
      rejections.push_back({rejection.list, owner, rejection.reason});
    }
    if (withItself) candidateRejected = queryRejected;
  }
};

NameMatcher::NameMatcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
                         const MatchOptions& options, const NameOptions& names)
    : state_(std::make_unique<State>()) {
  state_->queries = Expand(queries, names);
  state_->candidates = Expand(candidates, names);
  state_->top = options.top;
  MatchOptions formOptions = options;
  formOptions.top = 0;  // a string's best candidates are known only once all its forms are in
  state_->matcher.emplace(state_->queries.forms, state_->candidates.forms, formOptions);
  state_->MapRejections(queries.size(), candidates.size());
}

NameMatcher::NameMatcher(const std::vector<std::u16string>& strings, const MatchOptions& options,
                         const NameOptions& names)
    : state_(std::make_unique<State>()) {
  state_->queries = Expand(strings, names);
  state_->withItself = true;
  state_->top = options.top;
  MatchOptions formOptions = options;
  formOptions.top = 0;
  // The forms of an earlier string all come before those of a later one, so
  // the Matcher's earlier-first pairs of forms are earlier-first pairs of strings.
  state_->matcher.emplace(state_->queries.forms, formOptions);
  state_->MapRejections(strings.size(), strings.size());
}

NameMatcher::~NameMatcher() = default;
NameMatcher::NameMatcher(NameMatcher&&) noexcept = default;
NameMatcher& NameMatcher::operator=(NameMatcher&&) noexcept = default;

const std::vector<Rejection>& NameMatcher::rejections() const noexcept { return state_->rejections; }
std::uint64_t NameMatcher::pairCount() const noexcept { return state_->matcher->pairCount(); }
std::size_t NameMatcher::formCount() const noexcept {
  return state_->queries.forms.size() + (state_->withItself ? 0 : state_->candidates.forms.size());
}

void NameMatcher::Run(const Matcher::PairSink& emit, const Matcher::ProgressSink& progress,
                      std::chrono::milliseconds interval) const {
  const State& state = *state_;
  const FormList& candidates = state.candidateForms();
  std::vector<ScoredPair> gathered;
  std::size_t current = 0;
  const auto flush = [&] {
    // Best form pair per candidate, then the Matcher's order: best answer
    // first, then by candidate.
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
  state.matcher->Run(
      [&](const ScoredPair& formPair) {
        const std::size_t query = state.queries.owner[formPair.query];
        const std::size_t candidate = candidates.owner[formPair.candidate];
        if (state.withItself && query == candidate) return;  // two forms of one string
        if (state.queryRejected[query] || state.candidateRejected[candidate]) return;
        if (query != current) flush();
        current = query;
        gathered.push_back({query, candidate, formPair.answer});
      },
      progress, interval);
  flush();
}

std::vector<ScoredPair> NameMatcher::Run() const {
  std::vector<ScoredPair> pairs;
  Run([&pairs](const ScoredPair& pair) { pairs.push_back(pair); });
  return pairs;
}

}  // namespace vantel
