// A small file of people with planted duplicates, made from a fixed seed:
// enough for the model and candidate tests to have matches, near misses and
// missing values to work on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vantel/Comparisons.h"
#include "vantel/LinkModel.h"

namespace vantel::testing {

struct SmallPeople {
  std::vector<FieldComparison> fields;
  std::vector<std::vector<std::string>> columns;  // [field][record]
  std::vector<std::size_t> person;                // the truth: records of one person share it

  std::vector<std::vector<std::string_view>> Views() const {
    std::vector<std::vector<std::string_view>> views;
    for (const auto& column : columns) views.emplace_back(column.begin(), column.end());
    return views;
  }
};

inline std::uint64_t NextRandom(std::uint64_t& state) {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  return state >> 33;
}

inline std::string DateText(const std::string& year, unsigned month, unsigned day) {
  std::string text = year;
  for (const unsigned part : {month, day}) {
    text.push_back('-');
    text.push_back(static_cast<char>('0' + part / 10));
    text.push_back(static_cast<char>('0' + part % 10));
  }
  return text;
}

// `persons` people, a third of them written twice with a typo, a swapped day
// and month or a missing value.
inline SmallPeople MakeSmallPeople(std::size_t persons, std::uint64_t seed) {
  static const char* given[] = {"Anna", "John", "Maria", "Peter", "Lucy", "Omar", "Chen", "Ivan", "Sara", "Paul"};
  static const char* surnames[] = {"Smith",  "Jones",    "Brown",  "Taylor",    "Wilson", "Nguyen",
                                   "Garcia", "Kowalski", "Okafor", "Lindqvist", "Moreau", "Rossi"};
  SmallPeople people;
  people.fields = {ParseFieldComparison("given:name"), ParseFieldComparison("surname:name"),
                   ParseFieldComparison("dob:date"), ParseFieldComparison("postcode:code")};
  people.columns.resize(4);
  std::uint64_t state = seed;
  const auto add = [&](std::size_t person, std::string g, std::string s, std::string d, std::string p) {
    people.columns[0].push_back(std::move(g));
    people.columns[1].push_back(std::move(s));
    people.columns[2].push_back(std::move(d));
    people.columns[3].push_back(std::move(p));
    people.person.push_back(person);
  };
  for (std::size_t person = 0; person < persons; ++person) {
    std::string g = given[NextRandom(state) % 10];
    std::string s = surnames[NextRandom(state) % 12];
    const unsigned month = 1 + static_cast<unsigned>(NextRandom(state) % 12);
    const unsigned day = 1 + static_cast<unsigned>(NextRandom(state) % 28);
    const std::string year = std::to_string(1940 + NextRandom(state) % 60);
    std::string d = DateText(year, month, day);
    std::string p = std::to_string(1000 + NextRandom(state) % 9000);
    add(person, g, s, d, p);
    if (NextRandom(state) % 3 != 0) continue;
    switch (NextRandom(state) % 4) {
      case 0: s[s.size() / 2] = 'e'; break;
      case 1: d = DateText(year, day <= 12 ? day : month, day <= 12 ? month : day); break;
      case 2: p.clear(); break;
      default: g.insert(0, "  "); break;
    }
    add(person, g, s, d, p);
  }
  return people;
}

}  // namespace vantel::testing
