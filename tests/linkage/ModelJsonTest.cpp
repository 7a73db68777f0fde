#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "vantel/LinkModel.h"

namespace vantel {
namespace {

LinkModel SampleModel() {
  LinkModel model;
  model.fields.push_back(
      {ParseFieldComparison("surname:name"), {0.8, 0.1, 0.05, 0.03, 0.02}, {0.001, 0.002, 0.01, 0.02, 0.967}});
  model.fields.push_back({ParseFieldComparison("dob:date:format=DD/MM/YYYY"),
                          {0.9, 0.03, 0.03, 0.02, 0.02},
                          {0.0001, 0.0001, 0.001, 0.01, 0.9888}});
  model.prior = 0.0123456789012345;
  model.training.records = 5000;
  model.training.samplePairs = 1000000;
  model.training.candidatePairs = 41234;
  model.training.patterns = 87;
  model.training.iterations = 17;
  model.training.converged = true;
  return model;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(ModelJson, ReadsBackBitForBit) {
  const LinkModel model = SampleModel();
  const std::string json = ModelToJson(model);
  const LinkModel back = ModelFromJson(json);
  EXPECT_EQ(back.prior, model.prior);
  ASSERT_EQ(back.fields.size(), 2u);
  for (std::size_t f = 0; f < 2; ++f) {
    EXPECT_EQ(back.fields[f].comparison, model.fields[f].comparison);
    EXPECT_EQ(back.fields[f].m, model.fields[f].m);
    EXPECT_EQ(back.fields[f].u, model.fields[f].u);
  }
  EXPECT_EQ(back.training.candidatePairs, 41234u);
  EXPECT_EQ(back.training.iterations, 17);
  EXPECT_TRUE(back.training.converged);
  // Readable: each level states its name and weight.
  EXPECT_NE(json.find("\"name\": \"day-month-swapped\""), std::string::npos);
  EXPECT_NE(json.find("\"comparison\": \"dob:date:format=DD/MM/YYYY\""), std::string::npos);
  EXPECT_NO_THROW(
      CheckModelFits(back, {ParseFieldComparison("surname:name"), ParseFieldComparison("dob:date:format=DD/MM/YYYY")}));
}

TEST(ModelJson, RefusesWhatDoesNotFit) {
  const std::string json = ModelToJson(SampleModel());
  const std::pair<std::string, const char*> wrong[] = {
      {json.substr(0, json.size() / 2), "corrupt or truncated JSON"},
      {"", "corrupt or truncated JSON"},
      {"[1, 2]", "\"format\""},
      {Replace(json, "\"version\": 1", "\"version\": 2"), "version 2"},
      {Replace(json, "\"prior\": 0.0123456789012345", "\"prior\": 1.5"), "the prior is 1.5"},
      {Replace(json, "\"kind\": \"date\"", "\"kind\": \"exact\""), "field 2: kind \"exact\""},
      {Replace(json, "\"comparison\": \"surname:name:method=2:levels=95,88,80:tf=on\"",
               "\"comparison\": \"surname:name:method=2:levels=95,88:tf=on\""),
       "field 1 (surname) has 5 levels, its comparison 4"},
      {Replace(json, "\"comparison\": \"surname:name:method=2:levels=95,88,80:tf=on\"",
               "\"comparison\": \"surname:fuzzy\""),
       "field 1: unknown kind 'fuzzy'"},
      {Replace(json, "\"level\": 4", "\"level\": 7"), "level 7 is outside its table"},
      {Replace(json, "\"m\": 0.8", "\"m\": 0.0"), "field 1 level 0 m is 0.0, outside (0, 1]"},
      {Replace(json, "\"u\": 0.001", "\"u\": \"small\""), "field 1 level 0 u is not a number"},
  };
  for (const auto& [text, message] : wrong) {
    try {
      ModelFromJson(text);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
  const LinkModel model = SampleModel();
  try {
    CheckModelFits(model,
                   {ParseFieldComparison("surname:name:method=3"), ParseFieldComparison("dob:date:format=DD/MM/YYYY")});
    ADD_FAILURE() << "a model of other methods was accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("field 1 is surname:name:method=2"), std::string::npos) << error.what();
  }
  EXPECT_THROW(CheckModelFits(model, {ParseFieldComparison("surname:name")}), std::invalid_argument);
}

}  // namespace
}  // namespace vantel
