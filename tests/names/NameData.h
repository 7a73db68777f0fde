// The tables of real name forms that the tests of name forms read: pairs of
// one person written two ways, and pairs of two people whose names look alike
// in the same way.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "vantel/Utf8.h"

namespace vantel::names::testing {

using NamePair = std::pair<std::u16string, std::u16string>;

inline std::vector<NamePair> ReadPairs(const std::string& file) {
  const std::string path = std::string(VANTEL_NAMES_DATA) + "/" + file;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<NamePair> pairs;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      std::string message = path;
      message += ": a line without a tab: ";
      message += line;
      throw std::runtime_error(message);
    }
    pairs.emplace_back(Utf8ToUtf16(line.substr(0, tab)), Utf8ToUtf16(line.substr(tab + 1)));
  }
  return pairs;
}

// Every string of the tables named, each once, in file order.
inline std::vector<std::u16string> NamesOf(const std::vector<std::string>& files) {
  std::vector<std::u16string> names;
  for (const std::string& file : files) {
    for (auto& [first, second] : ReadPairs(file)) {
      names.push_back(std::move(first));
      names.push_back(std::move(second));
    }
  }
  return names;
}

}  // namespace vantel::names::testing
