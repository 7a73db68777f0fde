// The built-in English rules, loaded and compiled once for a whole test suite.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "phonetics/RuleSet.h"

namespace vantel::phonetics {

inline std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

class WithEnglishRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rules_ = std::make_unique<RuleSet>();
    rules_->LoadEnglishRules();
    rules_->CompileRules();
  }
  static void TearDownTestSuite() { rules_.reset(); }

  static inline std::unique_ptr<RuleSet> rules_;
};

}  // namespace vantel::phonetics
