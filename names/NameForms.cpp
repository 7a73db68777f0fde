// The forms of a name, and a pair's answer over them. Every surface asks
// here, so the command line, the bulk matcher and the other languages give
// one answer for one pair.

#include "vantel/NameForms.h"
#include "Words.h"

namespace vantel {
namespace {

bool Usable(std::u16string_view form) { return !form.empty() && form.size() <= CompareUS::kMaxLength; }

void AddForm(std::vector<std::u16string>& forms, std::u16string form) {
  if (forms.size() >= kMostNameForms || !Usable(form)) return;
  for (const std::u16string& known : forms) {
    if (known == form) return;
  }
  forms.push_back(std::move(form));
}

// The ways of replacing the words that belong to groups by their groups'
// formal names, those that replace fewer words first (so that when the bound
// cuts them short, every word's own replacements are in): for each count of
// words, each choice of words from the left, each formal name in table order.
void AddAliasForms(std::vector<std::u16string>& forms, const std::u16string& text, const NameTable& table) {
  struct Choices {
    names::WordSpan span;
    std::vector<std::u16string_view> formal;
  };
  std::vector<Choices> words;
  for (const names::WordSpan& span : names::SplitWords(text)) {
    const std::u16string_view word = std::u16string_view(text).substr(span.start, span.length);
    Choices choices{span, {}};
    for (const std::u16string_view formal : table.FormalNamesOf(word)) {
      if (formal != word) choices.formal.push_back(formal);
    }
    if (!choices.formal.empty()) words.push_back(std::move(choices));
  }
  const auto build = [&](const std::vector<std::size_t>& replaced, const std::vector<std::size_t>& chosen) {
    std::u16string form;
    std::size_t copied = 0;
    for (std::size_t r = 0; r < replaced.size(); ++r) {
      const names::WordSpan span = words[replaced[r]].span;
      form.append(text, copied, span.start - copied);
      form.append(words[replaced[r]].formal[chosen[r]]);
      copied = span.start + span.length;
    }
    form.append(text, copied, std::u16string::npos);
    return form;
  };
  for (std::size_t count = 1; count <= words.size(); ++count) {
    std::vector<std::size_t> replaced(count);
    for (std::size_t r = 0; r < count; ++r) replaced[r] = r;
    for (;;) {
      // Every choice of formal names for these words, the last turning fastest.
      std::vector<std::size_t> chosen(count, 0);
      for (;;) {
        if (forms.size() >= kMostNameForms) return;
        AddForm(forms, build(replaced, chosen));
        std::size_t turn = count;
        while (turn > 0 && chosen[turn - 1] + 1 == words[replaced[turn - 1]].formal.size()) chosen[--turn] = 0;
        if (turn == 0) break;
        ++chosen[turn - 1];
      }
      // The next set of `count` words, in lexicographic order.
      std::size_t move = count;
      while (move > 0 && replaced[move - 1] == words.size() - count + move - 1) --move;
      if (move == 0) break;
      ++replaced[move - 1];
      for (std::size_t r = move; r < count; ++r) replaced[r] = replaced[r - 1] + 1;
    }
  }
}

}  // namespace

std::vector<std::u16string> NameForms(std::u16string_view text, const NameOptions& options) {
  std::vector<std::u16string> forms{std::u16string(text)};
  if (!Usable(text)) return forms;  // refused as it stands; no form of it is compared
  if (options.transliterate) AddForm(forms, TransliterateToLatin(text));
  if (options.aliases) {
    const std::size_t before = forms.size();
    for (std::size_t f = 0; f < before; ++f) AddAliasForms(forms, std::u16string(forms[f]), *options.aliases);
  }
  return forms;
}

std::vector<std::u16string> SortedNameForms(const std::vector<std::u16string>& forms, const NameOptions& options) {
  std::vector<std::u16string> sorted;
  if (!options.anyOrder || forms.empty() || !Usable(forms.front())) return sorted;
  for (const std::u16string& form : forms) AddForm(sorted, SortedWords(form));
  return sorted;
}

namespace {

// The best pair of a form of the first list with a form of the second, if better than `best`.
void BestOf(CompareUS& comparer, const std::vector<std::u16string>& first, const std::vector<std::u16string>& second,
            std::int16_t method, NamesAnswer& best) {
  for (const std::u16string& firstForm : first) {
    for (const std::u16string& secondForm : second) {
      const double answer = comparer.Compare(std::u16string_view(firstForm), std::u16string_view(secondForm), method);
      if (answer > best.answer) {
        best.answer = answer;
        best.first = firstForm;
        best.second = secondForm;
      }
    }
  }
}

}  // namespace

NamesAnswer CompareNames(CompareUS& comparer, std::u16string_view first, std::u16string_view second,
                         std::int16_t method, const NameOptions& options) {
  NamesAnswer best;
  best.answer = comparer.Compare(first, second, method);
  best.first = std::u16string(first);
  best.second = std::u16string(second);
  if (best.answer == CompareUS::kRefused || !options.any()) return best;
  const std::vector<std::u16string> firstForms = NameForms(first, options), secondForms = NameForms(second, options);
  BestOf(comparer, firstForms, secondForms, method, best);
  BestOf(comparer, SortedNameForms(firstForms, options), SortedNameForms(secondForms, options), method, best);
  return best;
}

}  // namespace vantel
