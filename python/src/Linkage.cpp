// Record linkage for vantel.link: the library's LinkPipeline over columns
// handed over from pandas as lists of str ("" for a missing value). The
// columns are read into UTF-8 with the GIL held; the pipeline then runs with
// the GIL released on `workers` threads. A row holding a str that has no
// UTF-8 form (a lone surrogate) takes part in no pair and is reported.
// Results come back as NumPy arrays of row positions within the columns.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Binding.h"
#include "vantel/Candidates.h"
#include "vantel/Comparisons.h"
#include "vantel/Errors.h"
#include "vantel/Link.h"
#include "vantel/LinkModel.h"
#include "vantel/LinkPipeline.h"

namespace vantel::python {
namespace {

using namespace pybind11::literals;

template <typename T>
py::array_t<T> ToArray(std::vector<T>&& values) {
  auto* owned = new std::vector<T>(std::move(values));
  const py::capsule owner(owned, [](void* pointer) { delete static_cast<std::vector<T>*>(pointer); });
  return py::array_t<T>(static_cast<py::ssize_t>(owned->size()), owned->data(), owner);
}

// The texts of fields and rules as the library reads them; what is wrong is
// a ValueError that names the text.
[[noreturn]] void RaiseRuleTextError(const RuleTextError& bad) {
  static const char* const kParts[] = {"field", "scan rule", "block rule"};
  throw py::value_error(std::string(kParts[static_cast<int>(bad.part())]) + " '" + bad.given() + "': " + bad.reason());
}

// One field on its own; what ties it to the others (swap=) is checked with them.
FieldComparison FieldOf(const std::string& given) {
  try {
    FieldComparison field = ParseLinkField(given);
    // An aliases file that cannot be used is VantelError 5, before any work.
    static_cast<void>(NameOptionsOf(field));
    return field;
  } catch (const RuleTextError& bad) {
    RaiseRuleTextError(bad);
  }
}

LinkRules RulesOf(const std::vector<std::string>& fields, const std::vector<std::string>& scans,
                  const std::vector<std::string>& blocks) {
  std::vector<FieldComparison> comparisons;
  for (const std::string& given : fields) comparisons.push_back(FieldOf(given));
  try {
    return LinkRules::Of(std::move(comparisons), scans, blocks);
  } catch (const RuleTextError& bad) {
    RaiseRuleTextError(bad);
  } catch (const std::invalid_argument& bad) {
    throw py::value_error(bad.what());
  }
}

// Columns of str as UTF-8, the rows that can take part, and those that cannot.
struct Columns {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> texts;  // [column][kept row]
  std::vector<std::int64_t> rows;               // kept row -> position
  std::size_t firstKept = 0;                    // kept rows of the first frame
  std::vector<std::pair<std::int64_t, std::string>> rejected;
};

Columns ReadColumns(const py::dict& given, std::size_t rowCount, std::size_t firstCount) {
  Columns columns;
  std::vector<PyObject*> lists;
  for (const auto& [name, list] : given) {
    columns.names.push_back(py::cast<std::string>(name));
    if (!PyList_Check(list.ptr()) || static_cast<std::size_t>(PyList_GET_SIZE(list.ptr())) != rowCount)
      throw py::value_error("column '" + columns.names.back() + "' must be a list of " + std::to_string(rowCount) +
                            " str");
    lists.push_back(list.ptr());
  }
  std::vector<std::vector<std::string_view>> views(lists.size());
  for (std::size_t row = 0; row < rowCount; ++row) {
    std::string reason;
    for (std::size_t c = 0; c < lists.size() && reason.empty(); ++c) {
      PyObject* item = PyList_GET_ITEM(lists[c], static_cast<Py_ssize_t>(row));
      if (!PyUnicode_Check(item)) throw py::type_error("column '" + columns.names[c] + "' holds a non-str");
      Py_ssize_t size = 0;
      const char* bytes = PyUnicode_AsUTF8AndSize(item, &size);
      if (bytes == nullptr) {
        PyErr_Clear();
        reason = "column '" + columns.names[c] + "': not valid Unicode (a lone surrogate)";
        break;
      }
      views[c].emplace_back(bytes, static_cast<std::size_t>(size));
    }
    if (!reason.empty()) {
      for (auto& column : views)
        if (column.size() > columns.rows.size()) column.pop_back();
      columns.rejected.emplace_back(static_cast<std::int64_t>(row), std::move(reason));
      continue;
    }
    columns.rows.push_back(static_cast<std::int64_t>(row));
    if (row < firstCount) ++columns.firstKept;
  }
  // Copies: the views point into the str objects, which are not ours to keep.
  for (const auto& column : views) columns.texts.emplace_back(column.begin(), column.end());
  return columns;
}

py::dict Link(const py::dict& columnLists, std::size_t rowCount, std::size_t firstCount,
              const std::vector<std::string>& fields, const std::vector<std::string>& scans,
              const std::vector<std::string>& blocks, const std::optional<LinkModel>& given, double threshold,
              std::size_t top, bool score, bool explain, int groups, std::uint64_t sample, unsigned workers,
              const std::optional<std::string>& truth, const std::optional<TermCounts>& terms,
              const std::optional<std::vector<FirstTexts>>& firstTexts, std::optional<std::int64_t> share) {
  if (!(threshold >= 0.0 && threshold <= 1.0)) throw py::value_error("threshold must be a probability from 0 to 1");
  if (workers < 1) throw py::value_error("workers must be at least 1");
  if (sample < 1) throw py::value_error("sample must be at least 1");
  if (firstCount > rowCount) throw py::value_error("more rows in the first frame than in all");
  const LinkRules rules = RulesOf(fields, scans, blocks);
  std::optional<CandidateShare> candidateShare;
  if (share) {
    // -1: the scan rules' share; r: block rule r's.
    if (!given) throw py::value_error("a share of the candidates is scored with a model given");
    if (*share < -1 || *share >= static_cast<std::int64_t>(rules.rules.size()) ||
        (*share >= 0 && rules.rules[static_cast<std::size_t>(*share)].kind != CandidateRule::Kind::Block))
      throw py::value_error("share " + std::to_string(*share) + " is neither -1 (the scans) nor a block rule");
    candidateShare = *share < 0 ? CandidateShare{CandidateShare::Kind::Scans, 0}
                                : CandidateShare{CandidateShare::Kind::Block, static_cast<std::size_t>(*share)};
  }
  if (given) {
    try {
      CheckModelFits(*given, rules.fields);
    } catch (const std::invalid_argument& bad) {
      throw py::value_error(std::string("the model does not fit the fields: ") + bad.what());
    }
  }
  const Columns columns = ReadColumns(columnLists, rowCount, firstCount);
  const auto indexOf = [&](const std::string& name) -> std::size_t {
    for (std::size_t c = 0; c < columns.names.size(); ++c)
      if (columns.names[c] == name) return c;
    throw py::value_error("no values given for column '" + name + "'");
  };
  const std::size_t kept = columns.rows.size();
  const bool linking = firstCount < rowCount;
  // Linking, a side none of whose rows can take part leaves no pair (and
  // nothing to train on); its records must not be taken for one file.
  const bool sideEmpty = linking && (columns.firstKept == 0 || columns.firstKept == kept);
  if (sideEmpty && !given)
    throw py::value_error(std::string(columns.firstKept == 0 ? "the first frame" : "the other frame") +
                          " has no row that can take part: nothing to link or train on");
  std::vector<std::vector<std::string_view>> views;
  for (const auto& texts : columns.texts) views.emplace_back(texts.begin(), texts.end());
  RuleColumns values;
  for (const std::string& name : rules.columns()) values.emplace(name, views[indexOf(name)]);
  std::optional<std::vector<std::uint64_t>> entity;
  if (truth) entity = EntitiesOf(views[indexOf(*truth)]);

  py::dict result;
  LinkModel model;
  LinkCandidates found;
  std::vector<LinkedPair> pairs;
  std::vector<FieldExplanation> explained;
  std::vector<GroupRow> grouped;
  std::optional<LinkEvaluation> evaluation;
  std::vector<std::size_t> unreadable;
  {
    const py::gil_scoped_release release;
    const LinkPipeline pipeline(rules, std::move(values), linking ? columns.firstKept : kept);
    const LinkRecords records = pipeline.Prepare(firstTexts ? &*firstTexts : nullptr);
    for (std::size_t f = 0; f < records.fieldCount(); ++f) unreadable.push_back(records.field(f).unreadableCount());
    if (sideEmpty)
      found.perRule.assign(rules.rules.size(), 0);
    else
      found = candidateShare ? pipeline.FindShare(*candidateShare, workers) : pipeline.FindCandidates(workers, !given);
    if (given) {
      model = *given;
    } else {
      TrainingOptions training;
      training.samplePairs = sample;
      training.threads = workers;
      model = pipeline.Train(records, found, training);
      std::vector<std::vector<RecordPair>>().swap(found.byRule);  // each rule's own pairs served training only
    }
    if (score) {
      const TermCounts* whole = terms ? &*terms : nullptr;
      pairs = pipeline.Keep(model, records, found.pairs, threshold, top, workers, whole);
      if (explain) explained = pipeline.Explain(model, records, pairs, whole);
      if (groups > 0) grouped = pipeline.Groups(pairs, groups > 1);
    }
    if (entity && !sideEmpty)
      evaluation = pipeline.Evaluate(model, records, found.pairs, *entity, EvaluationThresholds(), workers);
  }

  std::vector<std::int64_t> first, second;
  std::vector<double> probability, weight;
  for (const LinkedPair& linked : pairs) {
    first.push_back(columns.rows[linked.pair.first]);
    second.push_back(columns.rows[linked.pair.second]);
    probability.push_back(linked.probability);
    weight.push_back(linked.weight);
  }
  result["first"] = ToArray(std::move(first));
  result["second"] = ToArray(std::move(second));
  result["probability"] = ToArray(std::move(probability));
  result["weight"] = ToArray(std::move(weight));
  if (explain) {
    py::list levels, weights;
    const std::size_t fieldCount = rules.fields.size();
    for (std::size_t f = 0; f < fieldCount; ++f) {
      const std::vector<std::string> names = rules.fields[f].levelNames();
      py::list fieldLevels;
      std::vector<double> fieldWeights;
      for (std::size_t p = 0; p < pairs.size(); ++p) {
        const FieldExplanation& each = explained[p * fieldCount + f];
        fieldLevels.append(each.level == kMissingLevel ? std::string("missing") : names[each.level]);
        fieldWeights.push_back(each.weight);
      }
      levels.append(fieldLevels);
      weights.append(ToArray(std::move(fieldWeights)));
    }
    result["levels"] = levels;
    result["field_weights"] = weights;
  }
  if (groups > 0) {
    std::vector<std::int64_t> group, member, size;
    std::vector<double> density;
    for (const GroupRow& row : grouped) {
      group.push_back(static_cast<std::int64_t>(row.group));
      member.push_back(columns.rows[row.record]);
      size.push_back(static_cast<std::int64_t>(row.size));
      density.push_back(row.density);
    }
    result["group"] = ToArray(std::move(group));
    result["member"] = ToArray(std::move(member));
    result["size"] = ToArray(std::move(size));
    result["density"] = ToArray(std::move(density));
  }
  if (evaluation) {
    py::list rows;
    for (const ThresholdQuality& row : evaluation->thresholds) {
      rows.append(py::make_tuple(row.threshold, row.pairs.foundPairs, row.pairs.precision(), row.pairs.recall(),
                                 row.pairs.f1(), row.groups.precision(), row.groups.recall(), row.groups.f1()));
    }
    result["evaluation"] = rows;
    result["candidate_recall"] = evaluation->candidates.recall();
  }
  py::list rejected;
  for (const auto& [position, reason] : columns.rejected) rejected.append(py::make_tuple(position, reason));
  result["rejected"] = rejected;
  result["candidates"] = found.pairs.size();
  result["per_rule"] = found.perRule;
  std::vector<std::string> described;
  for (const CandidateRule& rule : rules.rules) described.push_back(rule.Describe());
  result["rules"] = described;
  result["unreadable"] = unreadable;
  result["model"] = model;
  return result;
}

// The term counts of the fields' values in the rows that can take part (a
// partition of a frame), and the positions of those that cannot.
py::tuple Terms(const py::dict& columnLists, std::size_t rowCount, const std::vector<std::string>& fields) {
  const LinkRules rules = RulesOf(fields, {}, {});
  const Columns columns = ReadColumns(columnLists, rowCount, rowCount);
  RuleColumns values;
  for (const std::string& name : rules.columns()) {
    std::size_t c = 0;
    while (c < columns.names.size() && columns.names[c] != name) ++c;
    if (c == columns.names.size()) throw py::value_error("no values given for column '" + name + "'");
    values.emplace(name, std::vector<std::string_view>(columns.texts[c].begin(), columns.texts[c].end()));
  }
  TermCounts counts;
  std::vector<FirstTexts> texts, swapTexts;
  {
    const py::gil_scoped_release release;
    const LinkPipeline pipeline(rules, std::move(values), columns.rows.size());
    const LinkRecords records = pipeline.Prepare();
    counts = CountTerms(records);
    texts = pipeline.FirstTextsOf(records, &swapTexts);
  }
  py::list rejected;
  for (const auto& [position, reason] : columns.rejected) rejected.append(py::make_tuple(position, reason));
  return py::make_tuple(counts, texts, rejected, swapTexts);
}

// FNV-1a: a key's bucket must be the same in every process (Python's own
// hash of a str is not).
std::uint64_t KeyHash(std::string_view key) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// For each block rule of the rules (by index), the hash of each row's key
// and whether it has one; rows that cannot take part have none.
py::list BlockKeyHashes(const py::dict& columnLists, std::size_t rowCount, const std::vector<std::string>& fields,
                        const std::vector<std::string>& scans, const std::vector<std::string>& blocks) {
  const LinkRules rules = RulesOf(fields, scans, blocks);
  const Columns columns = ReadColumns(columnLists, rowCount, rowCount);
  std::vector<std::vector<std::string_view>> views;
  for (const auto& texts : columns.texts) views.emplace_back(texts.begin(), texts.end());
  RuleColumns values;
  for (std::size_t c = 0; c < columns.names.size(); ++c) values.emplace(columns.names[c], views[c]);
  const RecordSpan span{columns.rows.size(), columns.rows.size()};
  py::list result;
  for (std::size_t r = 0; r < rules.rules.size(); ++r) {
    if (rules.rules[r].kind != CandidateRule::Kind::Block) continue;
    std::vector<std::optional<std::string>> keys;
    {
      const py::gil_scoped_release release;
      try {
        keys = BlockKeys(rules.rules[r], values, span);
      } catch (const std::invalid_argument& bad) {
        throw py::value_error(bad.what());
      }
    }
    std::vector<std::uint64_t> hashes(rowCount, 0);
    std::vector<std::uint8_t> present(rowCount, 0);
    for (std::size_t kept = 0; kept < keys.size(); ++kept) {
      if (!keys[kept]) continue;
      const auto row = static_cast<std::size_t>(columns.rows[kept]);
      hashes[row] = KeyHash(*keys[kept]);
      present[row] = 1;
    }
    result.append(py::make_tuple(r, ToArray(std::move(hashes)), ToArray(std::move(present))));
  }
  return result;
}

// The groups of pairs kept elsewhere (by vantel.dask), among `count` records;
// linking, the first `firstCount` are those of the first frame.
py::tuple GroupsOfLinked(std::size_t count,
                         const py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>& first,
                         const py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>& second, bool all,
                         std::optional<std::size_t> firstCount) {
  if (first.size() != second.size()) throw py::value_error("first and second must be of one length");
  const RecordSpan span{count, firstCount.value_or(count)};
  if (span.firstCount > count) throw py::value_error("first_count is more than count");
  std::vector<LinkedPair> kept;
  for (py::ssize_t at = 0; at < first.size(); ++at) {
    const std::int64_t a = first.data()[at], b = second.data()[at];
    if (a < 0 || b < 0 || static_cast<std::uint64_t>(a) >= count || static_cast<std::uint64_t>(b) >= count)
      throw py::value_error("a pair outside the records");
    if (span.linking() &&
        (static_cast<std::uint64_t>(a) >= span.firstCount || static_cast<std::uint64_t>(b) < span.firstCount))
      throw py::value_error("linking, a pair joins a record of the first frame to one of the other");
    kept.push_back({{static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)}, 0.0, 0.0});
  }
  std::vector<std::int64_t> group, member, size;
  std::vector<double> density;
  for (const GroupRow& row : GroupRows(kept, span, all)) {
    group.push_back(static_cast<std::int64_t>(row.group));
    member.push_back(static_cast<std::int64_t>(row.record));
    size.push_back(static_cast<std::int64_t>(row.size));
    density.push_back(row.density);
  }
  return py::make_tuple(ToArray(std::move(group)), ToArray(std::move(member)), ToArray(std::move(size)),
                        ToArray(std::move(density)));
}

LinkModel ModelOfJson(const std::string& text) {
  try {
    return ModelFromJson(text);
  } catch (const std::invalid_argument& bad) {
    throw py::value_error(std::string("not a vantel link model: ") + bad.what());
  }
}

// (column, kind, level, level name, m, u, weight) for each field and level.
py::list ModelTable(const LinkModel& model) {
  py::list rows;
  for (std::size_t f = 0; f < model.fields.size(); ++f) {
    const FieldModel& field = model.fields[f];
    const std::vector<std::string> names = field.comparison.levelNames();
    for (std::size_t level = 0; level < field.m.size(); ++level)
      rows.append(py::make_tuple(field.comparison.column, NameOf(field.comparison.kind), level, names[level],
                                 field.m[level], field.u[level],
                                 model.LevelWeight(f, static_cast<std::uint8_t>(level))));
  }
  return rows;
}

}  // namespace

void BindLinkage(py::module_& module) {
  py::class_<LinkModel>(module, "LinkModel", "A trained linkage model; see vantel.Model.")
      .def_static("from_json", &ModelOfJson, "text"_a)
      .def("to_json", [](const LinkModel& model) { return ModelToJson(model); })
      .def_property_readonly("fields",
                             [](const LinkModel& model) {
                               std::vector<std::string> fields;
                               for (const FieldModel& field : model.fields)
                                 fields.push_back(field.comparison.Describe());
                               return fields;
                             })
      .def_readonly("prior", &LinkModel::prior)
      .def_property_readonly("prior_weight", &LinkModel::PriorWeight)
      .def_property_readonly("converged", [](const LinkModel& model) { return model.training.converged; })
      .def_property_readonly("iterations", [](const LinkModel& model) { return model.training.iterations; })
      .def("table", &ModelTable)
      .def(py::pickle([](const LinkModel& model) { return ModelToJson(model); },
                      [](const std::string& text) { return ModelOfJson(text); }));
  module.def("link", &Link, "columns"_a, "row_count"_a, "first_count"_a, "fields"_a, "scans"_a, "blocks"_a, "model"_a,
             "threshold"_a, "top"_a, "score"_a, "explain"_a, "groups"_a, "sample"_a, "workers"_a, "truth"_a,
             "terms"_a = py::none(), "first_texts"_a = py::none(), "share"_a = py::none(),
             "The library's linkage pipeline over columns of str; see vantel.link.");
  module.def("link_terms", &Terms, "columns"_a, "row_count"_a, "fields"_a,
             "(term counts, first texts, [(position, reason)] of the rows left out, first texts of the values "
             "only a swap column holds) of one part of a frame.");
  module.def("link_block_keys", &BlockKeyHashes, "columns"_a, "row_count"_a, "fields"_a, "scans"_a, "blocks"_a,
             "[(rule, key hashes, has a key)] for each block rule, per row.");
  module.def(
      "link_rule_kinds",
      [](const std::vector<std::string>& fields, const std::vector<std::string>& scans,
         const std::vector<std::string>& blocks) {
        std::vector<std::string> kinds;
        for (const CandidateRule& rule : RulesOf(fields, scans, blocks).rules)
          kinds.emplace_back(rule.kind == CandidateRule::Kind::Scan ? "scan" : "block");
        return kinds;
      },
      "fields"_a, "scans"_a, "blocks"_a, "\"scan\" or \"block\" for each rule (the defaults when none is given).");
  module.def("link_merge_first_texts", &MergeFirstTexts, "own"_a, "swap"_a,
             "The first texts of a whole frame from those of its parts, in their order.");
  module.def("link_groups_of_pairs", &GroupsOfLinked, "count"_a, "first"_a, "second"_a, "all"_a,
             "first_count"_a = py::none(),
             "(group, member, size, density) of the kept pairs of `count` records (linking: the first "
             "`first_count` of the first frame).");
  module.def(
      "link_columns",
      [](const std::vector<std::string>& fields, const std::vector<std::string>& scans,
         const std::vector<std::string>& blocks) {
        const LinkRules rules = RulesOf(fields, scans, blocks);
        std::vector<std::string> fieldColumns;
        for (const FieldComparison& field : rules.fields) fieldColumns.push_back(field.column);
        return py::make_tuple(fieldColumns, rules.columns());
      },
      "fields"_a, "scans"_a, "blocks"_a, "(the fields' columns, every column the fields and rules name).");
  module.def(
      "link_field", [](const std::string& given) { return FieldOf(given).Describe(); }, "given"_a,
      "The field text as the library reads it back, or a ValueError naming what is wrong.");
}

}  // namespace vantel::python
