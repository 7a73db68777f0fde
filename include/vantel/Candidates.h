// Candidate rules: which pairs of records the model scores. A scan rule
// keeps every pair whose Compare answer on one column reaches a threshold,
// found by the matcher's exhaustive scan (never sampled); a block rule keeps
// the pairs that agree on a key made of one or more columns or of keys
// derived from them. The candidates are the union of the rules, each pair
// once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vantel/LinkModel.h"

namespace vantel {

enum class KeyKind : std::uint8_t {
  Value,     // C: the value, trimmed, case ignored
  Phonetic,  // phonetic(C): its phonetic form
  First,     // first(C,N): its first N characters, case ignored
  Year,      // year(C): the first run of four digits
  Last,      // last(C,N): its last N letters and digits, case ignored (a phone however written)
};

struct KeyPart {
  std::string column;
  KeyKind kind = KeyKind::Value;
  std::size_t length = 0;  // First and Last: N

  friend bool operator==(const KeyPart&, const KeyPart&) = default;
};

struct CandidateRule {
  enum class Kind : std::uint8_t { Scan, Block };
  Kind kind = Kind::Block;
  std::vector<KeyPart> parts;  // Block: the key's parts, all of which must agree
  std::string column;          // Scan
  double threshold = 0;        // Scan: answers at or above it
  std::int16_t method = 2;     // Scan: Compare's LaMethode

  std::vector<std::string> columns() const;
  std::string Describe() const;  // "scan surname>=80 (method 2)", "block phonetic(surname)+year(dob)"
};

// "C:T" and "C+phonetic(C)+first(C,N)+last(C,N)+year(C)". Throw std::invalid_argument
// naming what is wrong.
CandidateRule ParseScanRule(std::string_view given, std::int16_t method);
CandidateRule ParseBlockRule(std::string_view given);

// The values of every column the rules name, for every record (for linking,
// the records of the first file and then those of the second).
using RuleColumns = std::map<std::string, std::vector<std::string_view>, std::less<>>;

struct RecordSpan {
  std::size_t recordCount;
  std::size_t firstCount;  // == recordCount when de-duplicating
  bool linking() const noexcept { return firstCount < recordCount; }
};

// How many pairs a block rule yields (the sum over its keys of the pairs
// within each key), worked out without making them.
std::uint64_t BlockPairCount(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span);

// The pairs of one rule, in ascending order.
std::vector<RecordPair> RulePairs(const CandidateRule& rule, const RuleColumns& columns, RecordSpan span,
                                  unsigned threads);

// The union of the rules' pairs, ascending, each once; perRule (when given)
// receives each rule's own count and rulePairs its pairs.
std::vector<RecordPair> CandidatePairs(const std::vector<CandidateRule>& rules, const RuleColumns& columns,
                                       RecordSpan span, unsigned threads, std::vector<std::uint64_t>* perRule = nullptr,
                                       std::vector<std::vector<RecordPair>>* rulePairs = nullptr);

// A share of the candidates, for work split by rule: on a cluster, the block
// rules' pairs are found where their keys meet, and the scan rules' over
// pairs of parts. Every pair of the union falls in exactly one share.
struct CandidateShare {
  enum class Kind : std::uint8_t {
    Scans,  // the scan rules' pairs that no block rule yields
    Block,  // block rule `rule`'s pairs that no earlier block rule yields
  };
  Kind kind = Kind::Scans;
  std::size_t rule = 0;  // Block: its index among the rules
};

// The pairs of one share, ascending, each once. Throws std::invalid_argument
// when `share` names no block rule.
std::vector<RecordPair> SharePairs(const std::vector<CandidateRule>& rules, CandidateShare share,
                                   const RuleColumns& columns, RecordSpan span, unsigned threads);

// Each record's key under a block rule (its parts joined by a unit
// separator), or nullopt for a record that has none.
std::vector<std::optional<std::string>> BlockKeys(const CandidateRule& rule, const RuleColumns& columns,
                                                  RecordSpan span);

}  // namespace vantel
