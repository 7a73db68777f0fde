#include <gtest/gtest.h>

#include "vantel/Errors.h"
#include "vantel/NameForms.h"
#include "vantel/Utf8.h"

namespace vantel {
namespace {

std::string Latin(std::string_view utf8) { return Utf16ToUtf8(TransliterateToLatin(Utf8ToUtf16(utf8))); }

TEST(Transliteration, WritesEachScriptInLatinLetters) {
  if (!TransliterationAvailable()) GTEST_SKIP() << "built without ICU";
  const struct {
    const char* text;
    const char* latin;
  } cases[] = {
      // Cyrillic: Russian and Ukrainian.
      {"Дмитрий Иванов", "Dmitrij Ivanov"},
      {"Наталья Попова", "Natal'a Popova"},
      {"Пётр Чайковский", "Petr Cajkovskij"},
      {"Юрий Гагарин", "Urij Gagarin"},
      {"Олександр Шевченко", "Oleksandr Sevcenko"},
      {"ИВАНОВ", "IVANOV"},
      // Greek.
      {"Ξενοφών Ζολώτας", "Xenophon Zolotas"},
      {"Νίκος Καζαντζάκης", "Nikos Kazantzakes"},
      {"Σοφία Βασιλείου", "Sophia Basileiou"},
      // Arabic and Hebrew: consonants, as they are written, with capitals.
      {"أحمد حسن", "Ahmd Hsn"},
      {"خالد سعيد", "Khald Sʿyd"},
      {"דוד כהן", "Dwd Khn"},
      {"משה לוי", "Msh Lwy"},
      // Chinese in Pinyin, without the tone marks.
      {"王伟", "Wang Wei"},
      {"周杰伦", "Zhou Jie Lun"},
      {"北京", "Bei Jing"},
      // Japanese kana, both syllabaries.
      {"すずき はなこ", "Suzuki Hanako"},
      {"たなか たろう", "Tanaka Tarou"},
      {"ヤマダ タロウ", "Yamada Tarou"},
      {"マツモト ケン", "Matsumoto Ken"},
      // Latin letters lose their marks and keep their case.
      {"José García", "Jose Garcia"},
      {"Łukasz Żółw", "Lukasz Zolw"},
      {"smith", "smith"},
  };
  for (const auto& c : cases) EXPECT_EQ(Latin(c.text), c.latin) << c.text;
}

TEST(Transliteration, LeavesWhatItCannotHandleAsItIs) {
  if (!TransliterationAvailable()) GTEST_SKIP() << "built without ICU";
  const std::u16string cases[] = {u"\U0001F600", u"\xD83D", u"\xDC00x", u"12345", u"!?", u"\uE000"};
  for (const std::u16string& text : cases) EXPECT_EQ(TransliterateToLatin(text), text) << Utf16ToUtf8(text);
  NameOptions transliterate;
  transliterate.transliterate = true;
  CompareUS comparer;
  EXPECT_EQ(CompareNames(comparer, u"\U0001F600", u"\U0001F600", 0, transliterate).answer, 100.0);
}

TEST(Transliteration, IsRefusedByABuildWithoutIt) {
  if (TransliterationAvailable()) GTEST_SKIP() << "built with ICU";
  try {
    (void)TransliterateToLatin(u"\u0414");
    ADD_FAILURE() << "transliterated without ICU";
  } catch (const RuntimeError& refused) {
    EXPECT_EQ(refused.number(), error::kInvalidProcedureCall);
  }
}

}  // namespace
}  // namespace vantel
