// The batch functions of vantel._vantel: match, cdist and groups over the
// library's Matcher. Python lists are read into UTF-16 with the GIL held;
// the matcher then runs with the GIL released on `workers` threads, and
// checks for signals (Ctrl-C) on the calling thread about every 100 ms.
// Groups are the library's DuplicateGroups, as `vantel match --groups` has them.
// Results are gathered into plain vectors that become NumPy arrays without
// a copy: pairs only, never a matrix (but for cdist, which asks for one).

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Binding.h"
#include "Strings.h"
#include "vantel/Groups.h"
#include "vantel/Match.h"
#include "vantel/MatchRequest.h"
#include "vantel/NameForms.h"

namespace vantel::python {
namespace {

using namespace pybind11::literals;

constexpr std::chrono::milliseconds kSignalInterval{100};

// One list as the matcher takes it. A missing value (a pandas NaN or None,
// marked by the caller) stays an empty string, so that the matcher sets it
// aside like any string it cannot compare, and positions are kept.
struct ListInput {
  std::vector<std::u16string> strings;
  std::vector<char> missing;
};

ListInput ReadList(py::handle list, py::handle missingMask, const std::string& name) {
  if (!PyList_Check(list.ptr())) throw py::type_error(name + " must be a list");
  const auto count = static_cast<std::size_t>(PyList_GET_SIZE(list.ptr()));
  ListInput input;
  input.strings.resize(count);
  input.missing.assign(count, 0);
  if (!missingMask.is_none()) {
    const auto mask = py::array_t<bool, py::array::c_style | py::array::forcecast>::ensure(missingMask);
    if (!mask || mask.ndim() != 1 || static_cast<std::size_t>(mask.shape(0)) != count) {
      throw py::value_error("the missing-value mask of " + name + " must be one flag per item");
    }
    const bool* flags = mask.data();
    for (std::size_t index = 0; index < count; ++index) input.missing[index] = flags[index] ? 1 : 0;
  }
  for (std::size_t index = 0; index < count; ++index) {
    if ((index & 0xFFFF) == 0xFFFF && PyErr_CheckSignals() != 0) throw py::error_already_set();
    if (input.missing[index] != 0) continue;
    PyObject* item = PyList_GET_ITEM(list.ptr(), static_cast<Py_ssize_t>(index));
    if (!PyUnicode_Check(item)) ThrowNotStr(name + "[" + std::to_string(index) + "]", item);
    ToUtf16(item, input.strings[index]);
  }
  return input;
}

// The library's rules, with a refusal as Python's ValueError carrying what
// the option must be; vantel._api names the option and the value given.
template <typename Check, typename Value>
auto Checked(Check check, Value value) {
  try {
    return check(value);
  } catch (const InvalidOption& refused) {
    throw py::value_error(refused.requirement());
  }
}

MatchOptions OptionsOf(py::handle method, double threshold, std::size_t top, unsigned workers) {
  const auto request = MatchRequest{.method = MethodArgument(method),
                                    .threshold = threshold,
                                    .top = static_cast<std::int64_t>(std::min<std::size_t>(top, INT64_MAX)),
                                    .threads = workers};
  MatchOptions options = Checked(Bind, request);
  options.top = top;  // beyond what an int64 holds is still "all of them"
  return options;
}

// Called by the matcher on this thread while the GIL is released: a pending
// signal's handler runs here, and its exception (KeyboardInterrupt) ends the
// run once the workers have stopped.
void CheckSignals(std::uint64_t /*pairsDone*/) {
  const py::gil_scoped_acquire acquire;
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

// Thrown into the matcher's preparation to end it when Ctrl-C was pressed.
struct Cancelled {};

// Builds a matcher (which transcribes every distinct string: seconds for a
// long list) on a thread of its own while this one checks for signals; on
// Ctrl-C the preparation's next checkpoint (and, for a Matcher, its next
// transcription) throws, the builder ends, and the KeyboardInterrupt is
// raised here. `build` takes the options with that checkpoint and the
// transcription. Called with the GIL released.
template <typename Build>
auto BuildStoppable(const MatchOptions& options, const Build& build) {
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  // Each preparing thread transcribes with a comparer of its own, built for
  // this call (30 us): nothing is shared between calls but immutable rules.
  const PhoneticFormFunction forms = [cancelled](CompareUS& comparer, std::u16string_view word) {
    if (cancelled->load(std::memory_order_relaxed)) throw Cancelled{};
    return comparer.PhoneticForm(word);
  };
  // The checkpoint also ends the steps between transcriptions (finding the
  // distinct strings of a long list, or the forms of names, takes a while of
  // its own).
  MatchOptions stoppable = options;
  stoppable.checkpoint = [cancelled] {
    if (cancelled->load(std::memory_order_relaxed)) throw Cancelled{};
  };
  auto built = std::async(std::launch::async, [&] { return build(stoppable, forms); });
  while (built.wait_for(kSignalInterval) != std::future_status::ready) {
    std::optional<py::error_already_set> interrupted;
    {
      const py::gil_scoped_acquire acquire;
      if (PyErr_CheckSignals() != 0) interrupted.emplace();
    }
    if (interrupted) {
      cancelled->store(true);
      built.wait();
      throw *interrupted;
    }
  }
  return built.get();
}

// The matcher for one list or two, built and run with the GIL released.
template <typename Sink>
std::vector<Rejection> RunMatcher(ListInput& queries, ListInput* candidates, const MatchOptions& options,
                                  const Sink& sink) {
  const py::gil_scoped_release release;
  const Matcher matcher =
      BuildStoppable(options, [&](const MatchOptions& stoppable, const PhoneticFormFunction& forms) {
        return candidates == nullptr ? Matcher(queries.strings, stoppable, forms)
                                     : Matcher(queries.strings, candidates->strings, stoppable, forms);
      });
  // The matcher keeps copies of what it needs.
  queries.strings = {};
  if (candidates != nullptr) candidates->strings = {};
  matcher.Run(sink, CheckSignals, kSignalInterval);
  return matcher.rejections();
}

// The same over the forms of names (the library's NameMatcher), when an
// option of name forms is on; its checkpoints stop the forms and their
// transcriptions alike.
template <typename Sink>
std::vector<Rejection> RunNameMatcher(ListInput& queries, ListInput* candidates, const MatchOptions& options,
                                      const NameOptions& names, const Sink& sink) {
  const py::gil_scoped_release release;
  const NameMatcher matcher = BuildStoppable(options, [&](const MatchOptions& stoppable, const PhoneticFormFunction&) {
    return candidates == nullptr ? NameMatcher(queries.strings, stoppable, names)
                                 : NameMatcher(queries.strings, candidates->strings, stoppable, names);
  });
  queries.strings = {};
  if (candidates != nullptr) candidates->strings = {};
  matcher.Run(sink, CheckSignals, kSignalInterval);
  return matcher.rejections();
}

// [(list, position, reason)], list 0 for queries and 1 for candidates.
py::list RejectionsOf(const std::vector<Rejection>& rejections, const ListInput& queries, const ListInput* candidates) {
  py::list reported;
  for (const Rejection& rejection : rejections) {
    const bool ofQueries = rejection.list == ListRole::Queries;
    const ListInput& list = ofQueries || candidates == nullptr ? queries : *candidates;
    const bool missing = list.missing[rejection.index] != 0;
    reported.append(py::make_tuple(ofQueries ? 0 : 1, rejection.index, missing ? "missing value" : rejection.reason));
  }
  return reported;
}

template <typename T>
py::array_t<T> ToArray(std::vector<T>&& values) {
  auto* owned = new std::vector<T>(std::move(values));
  const py::capsule owner(owned, [](void* pointer) { delete static_cast<std::vector<T>*>(pointer); });
  return py::array_t<T>(static_cast<py::ssize_t>(owned->size()), owned->data(), owner);
}

py::tuple Match(py::handle queries, py::handle queriesMissing, py::handle candidates, py::handle candidatesMissing,
                py::handle method, double threshold, std::size_t top, unsigned workers,
                const std::string& candidatesName, const std::optional<NameOptions>& names) {
  const MatchOptions options = OptionsOf(method, threshold, top, workers);
  ListInput queryList = ReadList(queries, queriesMissing, "queries");
  std::optional<ListInput> candidateList;
  if (!candidates.is_none()) candidateList = ReadList(candidates, candidatesMissing, candidatesName);

  std::vector<std::int64_t> queryPositions, candidatePositions;
  std::vector<double> answers;
  const auto keep = [&](const ScoredPair& pair) {
    queryPositions.push_back(static_cast<std::int64_t>(pair.query));
    candidatePositions.push_back(static_cast<std::int64_t>(pair.candidate));
    answers.push_back(pair.answer);
  };
  ListInput* candidateInput = candidateList ? &*candidateList : nullptr;
  const std::vector<Rejection> rejections = names && names->any()
                                                ? RunNameMatcher(queryList, candidateInput, options, *names, keep)
                                                : RunMatcher(queryList, candidateInput, options, keep);
  py::list reported = RejectionsOf(rejections, queryList, candidateList ? &*candidateList : nullptr);
  return py::make_tuple(ToArray(std::move(queryPositions)), ToArray(std::move(candidatePositions)),
                        ToArray(std::move(answers)), reported);
}

py::array_t<double> Cdist(py::handle queries, py::handle queriesMissing, py::handle candidates,
                          py::handle candidatesMissing, py::handle method, unsigned workers) {
  const MatchOptions options = OptionsOf(method, 0.0, 0, workers);
  ListInput queryList = ReadList(queries, queriesMissing, "queries");
  ListInput candidateList = ReadList(candidates, candidatesMissing, "candidates");
  const std::size_t rows = queryList.strings.size(), columns = candidateList.strings.size();
  py::array_t<double> matrix({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
  double* cells = matrix.mutable_data();
  // What Compare gives for a string it refuses; NaN where a value is missing.
  std::fill_n(cells, rows * columns, CompareUS::kRefused);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t row = 0; row < rows; ++row) {
    if (queryList.missing[row] != 0) std::fill_n(cells + row * columns, columns, nan);
  }
  for (std::size_t column = 0; column < columns; ++column) {
    if (candidateList.missing[column] == 0) continue;
    for (std::size_t row = 0; row < rows; ++row) cells[row * columns + column] = nan;
  }
  // Every answer of two comparable strings is at least 0, so threshold 0 keeps them all.
  RunMatcher(queryList, &candidateList, options,
             [&](const ScoredPair& pair) { cells[pair.query * columns + pair.candidate] = pair.answer; });
  return matrix;
}

// group, member, partner (-1 for none), answer: the library's members as arrays.
py::tuple MemberArrays(const std::vector<GroupMember>& members) {
  std::vector<std::int64_t> group, member, partner;
  std::vector<double> answer;
  group.reserve(members.size());
  member.reserve(members.size());
  partner.reserve(members.size());
  answer.reserve(members.size());
  for (const GroupMember& each : members) {
    group.push_back(static_cast<std::int64_t>(each.group));
    member.push_back(static_cast<std::int64_t>(each.index));
    partner.push_back(each.partner == GroupMember::kNoPartner ? -1 : static_cast<std::int64_t>(each.partner));
    answer.push_back(each.answer);
  }
  return py::make_tuple(ToArray(std::move(group)), ToArray(std::move(member)), ToArray(std::move(partner)),
                        ToArray(std::move(answer)));
}

py::tuple Groups(py::handle strings, py::handle stringsMissing, py::handle method, double threshold, unsigned workers,
                 bool all) {
  const MatchOptions options = OptionsOf(method, threshold, 0, workers);
  ListInput list = ReadList(strings, stringsMissing, "strings");
  DuplicateGroups groups(list.strings.size());
  const std::vector<Rejection> rejections =
      RunMatcher(list, nullptr, options, [&](const ScoredPair& pair) { groups.Add(pair); });
  const py::tuple members = MemberArrays(groups.Members(all, rejections));
  return py::make_tuple(members[0], members[1], members[2], members[3], RejectionsOf(rejections, list, nullptr));
}

// The groups of pairs matched elsewhere (by vantel.dask, block by block), in any order.
py::tuple GroupsOfPairs(std::size_t count,
                        const py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>& query,
                        const py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>& candidate,
                        const py::array_t<double, py::array::c_style | py::array::forcecast>& answer,
                        const py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>& rejectedPositions,
                        bool all) {
  const auto pairs = static_cast<std::size_t>(query.size());
  if (static_cast<std::size_t>(candidate.size()) != pairs || static_cast<std::size_t>(answer.size()) != pairs) {
    throw py::value_error("query, candidate and answer must be of one length");
  }
  const auto inList = [count](std::int64_t position) {
    return position >= 0 && static_cast<std::uint64_t>(position) < count;
  };
  std::vector<Rejection> rejected;
  const std::int64_t* left = rejectedPositions.data();
  for (py::ssize_t at = 0; at < rejectedPositions.size(); ++at) {
    if (!inList(left[at])) throw py::value_error("a rejected position outside the list");
    rejected.push_back({ListRole::Queries, static_cast<std::size_t>(left[at]), {}});
  }
  DuplicateGroups groups(count);
  const std::int64_t* queries = query.data();
  const std::int64_t* candidates = candidate.data();
  const double* answers = answer.data();
  for (std::size_t at = 0; at < pairs; ++at) {
    if (!inList(queries[at]) || !inList(candidates[at])) throw py::value_error("a pair outside the list");
    groups.Add({static_cast<std::size_t>(queries[at]), static_cast<std::size_t>(candidates[at]), answers[at]});
  }
  return MemberArrays(groups.Members(all, rejected));
}

}  // namespace

void BindMatching(py::module_& module) {
  module.def(
      "checked_threshold", [](double threshold) { return Checked(CheckedThreshold, threshold); }, "threshold"_a,
      "The threshold, if the library takes it; otherwise ValueError(what it must be).");
  module.def(
      "checked_workers", [](std::int64_t workers) { return Checked(CheckedThreads, workers); }, "workers"_a,
      "The threads that `workers` stands for (0: one per processor), or ValueError(what it must be).");
  module.def("match", &Match, "queries"_a, "queries_missing"_a, "candidates"_a, "candidates_missing"_a, "method"_a,
             "threshold"_a, "top"_a, "workers"_a, "candidates_name"_a = "candidates", "names"_a = py::none(),
             "(query positions, candidate positions, answers, [(list, position, reason)]); see vantel.match.");
  module.def("cdist", &Cdist, "queries"_a, "queries_missing"_a, "candidates"_a, "candidates_missing"_a, "method"_a,
             "workers"_a, "The dense matrix of answers; see vantel.cdist.");
  module.def("groups", &Groups, "strings"_a, "strings_missing"_a, "method"_a, "threshold"_a, "workers"_a, "all"_a,
             "(group, member, partner, answer, [(list, position, reason)]); see vantel.groups.");
  module.def("groups_of_pairs", &GroupsOfPairs, "count"_a, "query"_a, "candidate"_a, "answer"_a, "rejected"_a, "all"_a,
             "(group, member, partner, answer) of the given pairs of a list of `count` strings.");
}

}  // namespace vantel::python
