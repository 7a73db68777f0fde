#include "vantel/CompareUS.h"

#include "ObjectState.h"
#include "Scorer.h"
#include "phonetics/Transcriber.h"
#include "vantel/Utf8.h"

namespace vantel {

CompareUS::CompareUS() : state_(std::make_unique<detail::ObjectState>()) {}
CompareUS::~CompareUS() = default;
CompareUS::CompareUS(CompareUS&&) noexcept = default;
CompareUS& CompareUS::operator=(CompareUS&&) noexcept = default;

namespace {

// A moved-from object behaves as a new one.
detail::ObjectState& StateOf(std::unique_ptr<detail::ObjectState>& state) {
  if (!state) state = std::make_unique<detail::ObjectState>();
  return *state;
}

}  // namespace

double CompareUS::Compare(std::u16string_view Lachaine1, std::u16string_view Lachaine2, std::int16_t LaMethode) {
  detail::ObjectState& state = StateOf(state_);
  if (!state.Initialized) InitVT();
  if (!service::IsComparableLength(Lachaine1) || !service::IsComparableLength(Lachaine2)) return kRefused;

  service::Scorer scorer(LaMethode, state.codes);
  if (scorer.needsSound()) {
    phonetics::TranscribeWord(state.rules, Lachaine1, state.formA);
    phonetics::TranscribeWord(state.rules, Lachaine2, state.formB);
  } else {
    state.formA.clear();
    state.formB.clear();
  }
  scorer.SetQuery({Lachaine1, state.formA});
  return scorer.Score({Lachaine2, state.formB});
}

double CompareUS::Compare(std::string_view Lachaine1, std::string_view Lachaine2, std::int16_t LaMethode) {
  const std::u16string first = Utf8ToUtf16(Lachaine1);
  const std::u16string second = Utf8ToUtf16(Lachaine2);
  return Compare(std::u16string_view(first), std::u16string_view(second), LaMethode);
}

void CompareUS::InitVT() {
  detail::ObjectState& state = StateOf(state_);
  state.rules.LoadEnglishRules();
  state.rules.CompileRules();
  state.Initialized = true;
}

std::u16string CompareUS::PhoneticForm(std::u16string_view word) {
  detail::ObjectState& state = StateOf(state_);
  if (!state.Initialized) InitVT();
  std::u16string form;
  phonetics::TranscribeWord(state.rules, word, form);
  return form;
}

std::string CompareUS::PhoneticForm(std::string_view word) {
  return Utf16ToUtf8(PhoneticForm(std::u16string_view(Utf8ToUtf16(word))));
}

bool CompareUS::Initialized() const noexcept { return state_ && state_->Initialized; }

std::string_view Version() noexcept { return VANTEL_VERSION; }

}  // namespace vantel
