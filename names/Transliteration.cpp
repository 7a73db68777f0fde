// Other scripts in Latin letters, with ICU's own transliteration. ICU is
// optional: a build without it (the Windows one) answers every other option
// and refuses only this one.

#include <memory>

#include "Words.h"
#include "vantel/Errors.h"
#include "vantel/NameForms.h"

#if VANTEL_HAVE_ICU
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>
#endif

namespace vantel {

#if VANTEL_HAVE_ICU

namespace {

// Creating the transliterator compiles ICU's rules, which takes
// milliseconds; it is done once and each thread works on a clone of its own,
// since ICU does not promise that one may be shared.
const icu::Transliterator* Prototype() {
  static const std::unique_ptr<icu::Transliterator> prototype = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> created(
        icu::Transliterator::createInstance(icu::UnicodeString(u"Any-Latin; Latin-ASCII"), UTRANS_FORWARD, status));
    if (U_FAILURE(status)) created.reset();
    return created;
  }();
  return prototype.get();
}

bool IsAsciiLetter(char16_t unit) { return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z'); }

// Scripts without letter case (Chinese, kana, Arabic, Hebrew) come out in
// small letters, and the sound measure reads case: names written in Latin
// letters start their words with capitals, so their forms do too.
void CapitaliseWords(std::u16string& latin) {
  for (const names::WordSpan& word : names::SplitWords(latin)) {
    bool anyCapital = false;
    for (std::size_t i = word.start; i < word.start + word.length; ++i) {
      anyCapital = anyCapital || (latin[i] >= u'A' && latin[i] <= u'Z');
    }
    char16_t& first = latin[word.start];
    if (!anyCapital && first >= u'a' && first <= u'z') first = static_cast<char16_t>(first - u'a' + u'A');
  }
}

}  // namespace

bool TransliterationAvailable() noexcept { return true; }

std::u16string TransliterateToLatin(std::u16string_view text) {
  thread_local std::unique_ptr<icu::Transliterator> own;
  if (!own) {
    const icu::Transliterator* prototype = Prototype();
    if (prototype == nullptr) return std::u16string(text);
    own.reset(prototype->clone());
    if (!own) return std::u16string(text);
  }
  icu::UnicodeString latin(text.data(), static_cast<int32_t>(text.size()));
  own->transliterate(latin);
  if (latin.isBogus() || latin.isEmpty()) return std::u16string(text);
  std::u16string result(latin.getBuffer(), static_cast<std::size_t>(latin.length()));
  bool written = false;  // in Latin letters already: its case is the writer's
  for (const char16_t unit : text) written = written || IsAsciiLetter(unit);
  if (!written) CapitaliseWords(result);
  return result;
}

#else

bool TransliterationAvailable() noexcept { return false; }

std::u16string TransliterateToLatin(std::u16string_view /*text*/) {
  throw RuntimeError(error::kInvalidProcedureCall,
                     "this build of the library cannot transliterate (built without ICU)");
}

#endif

}  // namespace vantel
