#include "NameOptions.h"

#include "TextInput.h"
#include "vantel/Errors.h"

namespace vantel::cli {

const std::string_view kNameOptionsHelp =
    "Names (the answer is then the largest over the forms of the two strings):\n"
    "  --order any     also each string's forms with their words (split at spaces,\n"
    "                  commas and hyphens) sorted and in lower case, compared with\n"
    "                  the other's so sorted (default: given, as written)\n"
    "  --nicknames     also the forms in which each given name of the built-in\n"
    "                  table (Bob, Peggy, Bill...) is replaced by its formal name\n"
    "  --aliases FILE  the same with the groups of FILE (CSV, one group a row, the\n"
    "                  formal name first): with --nicknames added to the built-in\n"
    "                  table, alone in place of it\n"
    "  --transliterate also each string in Latin letters (Cyrillic, Greek, Arabic,\n"
    "                  Hebrew, Chinese in Pinyin, Japanese kana...)\n";

bool TakeNameOption(ArgumentCursor& args, std::string_view option, NameSettings& settings) {
  if (option == "--order") {
    const std::string_view value = args.TakeValue(option);
    if (value == "any") {
      settings.anyOrder = true;
    } else if (value == "given") {
      settings.anyOrder = false;
    } else {
      throw UsageError("--order: '" + std::string(value) + "' is not any or given");
    }
  } else if (option == "--nicknames") {
    args.TakeFlag(option);
    settings.nicknames = true;
  } else if (option == "--aliases") {
    settings.aliasesFile = std::string(args.TakeValue(option));
  } else if (option == "--transliterate") {
    args.TakeFlag(option);
    settings.transliterate = true;
  } else {
    return false;
  }
  return true;
}

NameOptions ResolveNameOptions(const NameSettings& settings) {
  NameOptions names;
  names.anyOrder = settings.anyOrder;
  if (settings.transliterate && !TransliterationAvailable()) {
    throw UsageError("--transliterate: this build of vantel cannot transliterate (it was built without ICU)");
  }
  names.transliterate = settings.transliterate;
  if (settings.aliasesFile) {
    NameTable own;
    try {
      own = NameTable::Read(*settings.aliasesFile);
    } catch (const RuntimeError& refused) {
      throw InputError("--aliases: " + refused.description());
    }
    if (settings.nicknames) {
      auto merged = std::make_shared<NameTable>(*NameTable::English());
      merged->Add(own);
      names.aliases = std::move(merged);
    } else {
      names.aliases = std::make_shared<const NameTable>(std::move(own));
    }
  } else if (settings.nicknames) {
    names.aliases = NameTable::English();
  }
  return names;
}

namespace {

template <typename... Lists>
std::variant<Matcher, NameMatcher> MakeMatcher(const NameOptions& names, const MatchOptions& options,
                                               const Lists&... lists) {
  if (!names.any()) return std::variant<Matcher, NameMatcher>(std::in_place_type<Matcher>, lists..., options);
  return std::variant<Matcher, NameMatcher>(std::in_place_type<NameMatcher>, lists..., options, names);
}

}  // namespace

FormMatcher::FormMatcher(const std::vector<std::u16string>& queries, const std::vector<std::u16string>& candidates,
                         const MatchOptions& options, const NameOptions& names)
    : matcher_(MakeMatcher(names, options, queries, candidates)) {}

FormMatcher::FormMatcher(const std::vector<std::u16string>& strings, const MatchOptions& options,
                         const NameOptions& names)
    : matcher_(MakeMatcher(names, options, strings)) {}

const std::vector<Rejection>& FormMatcher::rejections() const noexcept {
  return std::visit([](const auto& matcher) -> const std::vector<Rejection>& { return matcher.rejections(); },
                    matcher_);
}

std::uint64_t FormMatcher::pairCount() const noexcept {
  return std::visit([](const auto& matcher) { return matcher.pairCount(); }, matcher_);
}

void FormMatcher::Run(const Matcher::PairSink& emit, const Matcher::ProgressSink& progress) const {
  std::visit([&](const auto& matcher) { matcher.Run(emit, progress); }, matcher_);
}

}  // namespace vantel::cli
