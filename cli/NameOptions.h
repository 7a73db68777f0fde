// The options of name forms, which compare and match share: how they are read
// from the command line, and the library's options they stand for.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "Arguments.h"
#include "vantel/NameForms.h"

namespace vantel::cli {

struct NameSettings {
  bool anyOrder = false;
  bool nicknames = false;
  std::optional<std::string> aliasesFile;
  bool transliterate = false;

  bool any() const noexcept { return anyOrder || nicknames || aliasesFile || transliterate; }
};

// The lines of a command's help that describe them.
extern const std::string_view kNameOptionsHelp;

// Takes the option just peeked when it is one of them; false when it is not.
bool TakeNameOption(ArgumentCursor& args, std::string_view option, NameSettings& settings);

// Reads the aliases file, if any. One that cannot be read or used leaves as
// InputError naming it and the line; transliteration in a build without it
// as UsageError.
NameOptions ResolveNameOptions(const NameSettings& settings);

// The Matcher, or the NameMatcher when an option of name forms is on: the
// plain Matcher stays the one that runs without them.
class FormMatcher {
 public:
  FormMatcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
              const MatchOptions& options, const NameOptions& names);
  FormMatcher(const std::vector<std::u16string>& strings, const MatchOptions& options, const NameOptions& names);

  const std::vector<Rejection>& rejections() const noexcept;
  std::uint64_t pairCount() const noexcept;
  void Run(const Matcher::PairSink& emit, const Matcher::ProgressSink& progress) const;

 private:
  std::variant<Matcher, NameMatcher> matcher_;
};

}  // namespace vantel::cli
