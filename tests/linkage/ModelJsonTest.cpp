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

// The levels of name forms are saved with their names and read back, and a
// model whose levels are not those of its comparison is refused.
TEST(ModelJson, NameFormLevelsReadBackAndMustFit) {
  LinkModel model;
  model.fields.push_back({ParseFieldComparison("given:name:nicknames=on:initials=on:order=any"),
                          {0.7, 0.1, 0.08, 0.05, 0.03, 0.02, 0.02},
                          {0.001, 0.002, 0.003, 0.01, 0.02, 0.03, 0.934}});
  model.fields.push_back({ParseFieldComparison("surname:name:initials=on"),
                          {0.8, 0.1, 0.04, 0.03, 0.02, 0.01},
                          {0.001, 0.01, 0.02, 0.03, 0.04, 0.899}});
  model.prior = 0.001;
  const std::string json = ModelToJson(model);
  const LinkModel back = ModelFromJson(json);
  ASSERT_EQ(back.fields.size(), 2u);
  for (std::size_t f = 0; f < 2; ++f) {
    EXPECT_EQ(back.fields[f].comparison, model.fields[f].comparison);
    EXPECT_EQ(back.fields[f].m, model.fields[f].m);
    EXPECT_EQ(back.fields[f].u, model.fields[f].u);
  }
  EXPECT_NE(json.find("\"name\": \"alias\""), std::string::npos);
  EXPECT_NE(json.find("\"name\": \"initials\""), std::string::npos);
  EXPECT_NO_THROW(CheckModelFits(back, {ParseFieldComparison("given:name:order=any:initials=on:nicknames=on"),
                                        ParseFieldComparison("surname:name:initials=on")}));

  const std::string given =
      "\"comparison\": \"given:name:method=2:levels=95,88,80:tf=on:order=any:nicknames=on:initials=on\"";
  const std::string surname = "\"comparison\": \"surname:name:method=2:levels=95,88,80:tf=on:initials=on\"";
  const std::pair<std::string, const char*> wrong[] = {
      // fewer levels than the comparison has
      {Replace(json, given, "\"comparison\": \"given:name:method=2:levels=95,88,80:tf=on:order=any:initials=on\""),
       "field 1 (given) has 7 levels, its comparison 6"},
      // as many levels, but others: alias where the comparison has none
      {Replace(json, surname, "\"comparison\": \"surname:name:method=2:levels=95,88,80:tf=on:nicknames=on\""),
       "field 2 level 1: level \">=95\" is not \"alias\""},
      {Replace(json, "\"name\": \"initials\"", "\"name\": \"alias\""),
       "field 1 level 3: level \"alias\" is not \"initials\""},
      {Replace(json, "order=any", "order=sideways"), "field 1: order must be any or written"},
  };
  for (const auto& [text, message] : wrong) {
    try {
      ModelFromJson(text);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
  // A model of other name forms does not fit the command's fields.
  EXPECT_THROW(CheckModelFits(back, {ParseFieldComparison("given:name:initials=on:nicknames=on"),
                                     ParseFieldComparison("surname:name:initials=on")}),
               std::invalid_argument);
}

}  // namespace
}  // namespace vantel
