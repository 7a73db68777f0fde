// The model as JSON that a person can read and a later run can apply. Every
// field carries the spelling of its comparison as the command takes it, so
// that a model is only ever applied to fields compared the same way.

#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "vantel/LinkModel.h"

namespace vantel {
namespace {

using nlohmann::json;

constexpr std::string_view kFormat = "vantel-link-model";

const json& Member(const json& object, const char* name, const std::string& where) {
  if (!object.is_object() || !object.contains(name)) throw std::invalid_argument(where + " lacks \"" + name + "\"");
  return object.at(name);
}

double Probability(const json& value, const std::string& where) {
  if (!value.is_number()) throw std::invalid_argument(where + " is not a number");
  const double number = value.get<double>();
  if (!(number > 0 && number <= 1)) throw std::invalid_argument(where + " is " + value.dump() + ", outside (0, 1]");
  return number;
}

}  // namespace

std::string ModelToJson(const LinkModel& model) {
  json fields = json::array();
  for (std::size_t f = 0; f < model.fields.size(); ++f) {
    const FieldModel& field = model.fields[f];
    const std::vector<std::string> names = field.comparison.levelNames();
    json levels = json::array();
    for (std::size_t level = 0; level < field.m.size(); ++level)
      levels.push_back({{"level", level},
                        {"name", level < names.size() ? names[level] : "?"},
                        {"m", field.m[level]},
                        {"u", field.u[level]},
                        {"weight", model.LevelWeight(f, static_cast<std::uint8_t>(level))}});
    fields.push_back({{"column", field.comparison.column},
                      {"kind", NameOf(field.comparison.kind)},
                      {"comparison", field.comparison.Describe()},
                      {"levels", levels}});
  }
  const TrainingSummary& training = model.training;
  const json document = {{"format", kFormat},
                         {"version", 1},
                         {"prior", model.prior},
                         {"prior_weight", model.PriorWeight()},
                         {"fields", fields},
                         {"training",
                          {{"records", training.records},
                           {"other_records", training.otherRecords},
                           {"sample_pairs", training.samplePairs},
                           {"candidate_pairs", training.candidatePairs},
                           {"patterns", training.patterns},
                           {"labelled_matches", training.labelledMatches},
                           {"iterations", training.iterations},
                           {"converged", training.converged},
                           {"from_truth", training.fromTruth}}}};
  return document.dump(2) + "\n";
}

LinkModel ModelFromJson(std::string_view text) {
  json document;
  try {
    document = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& error) {
    throw std::invalid_argument(std::string("not a model: corrupt or truncated JSON (") + error.what() + ")");
  }
  if (!document.is_object() || document.value("format", std::string()) != kFormat)
    throw std::invalid_argument("not a model: \"format\" is not \"vantel-link-model\"");
  if (Member(document, "version", "the model") != 1)
    throw std::invalid_argument("the model's version " + document.at("version").dump() + " is not 1");
  LinkModel model;
  const json& prior = Member(document, "prior", "the model");
  model.prior = Probability(prior, "the prior");
  if (model.prior >= 1) throw std::invalid_argument("the prior is 1: every pair would match");
  const json& fields = Member(document, "fields", "the model");
  if (!fields.is_array() || fields.empty())
    throw std::invalid_argument("the model's \"fields\" is not a list of fields");
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const std::string where = "field " + std::to_string(f + 1);
    const json& comparison = Member(fields[f], "comparison", where);
    if (!comparison.is_string()) throw std::invalid_argument(where + ": \"comparison\" is not a string");
    FieldModel field;
    try {
      field.comparison = ParseFieldComparison(comparison.get<std::string>());
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(where + ": " + error.what());
    }
    const json& kind = Member(fields[f], "kind", where);
    if (!kind.is_string() || kind.get<std::string>() != NameOf(field.comparison.kind))
      throw std::invalid_argument(where + ": kind " + kind.dump() + " does not agree with " + comparison.dump());
    const json& levels = Member(fields[f], "levels", where);
    if (!levels.is_array() || levels.size() != field.comparison.levelCount())
      throw std::invalid_argument(where + " (" + field.comparison.column + ") has " +
                                  std::to_string(levels.is_array() ? levels.size() : 0) + " levels, its comparison " +
                                  std::to_string(field.comparison.levelCount()));
    const std::vector<std::string> names = field.comparison.levelNames();
    for (std::size_t level = 0; level < levels.size(); ++level) {
      const std::string at = where + " level " + std::to_string(level);
      const json& number = Member(levels[level], "level", at);
      if (!number.is_number_unsigned() || number.get<std::size_t>() != level)
        throw std::invalid_argument(at + ": level " + number.dump() + " is outside its table or out of order");
      if (levels[level].contains("name") && levels[level].at("name") != names[level])
        throw std::invalid_argument(at + ": level " + levels[level].at("name").dump() + " is not \"" + names[level] +
                                    "\" of " + field.comparison.Describe());
      field.m.push_back(Probability(Member(levels[level], "m", at), at + " m"));
      field.u.push_back(Probability(Member(levels[level], "u", at), at + " u"));
    }
    model.fields.push_back(std::move(field));
  }
  if (document.contains("training") && document.at("training").is_object()) {
    const json& training = document.at("training");
    model.training.records = training.value("records", std::uint64_t{0});
    model.training.otherRecords = training.value("other_records", std::uint64_t{0});
    model.training.samplePairs = training.value("sample_pairs", std::uint64_t{0});
    model.training.candidatePairs = training.value("candidate_pairs", std::uint64_t{0});
    model.training.patterns = training.value("patterns", std::uint64_t{0});
    model.training.labelledMatches = training.value("labelled_matches", std::uint64_t{0});
    model.training.iterations = training.value("iterations", 0);
    model.training.converged = training.value("converged", false);
    model.training.fromTruth = training.value("from_truth", false);
  }
  return model;
}

}  // namespace vantel
