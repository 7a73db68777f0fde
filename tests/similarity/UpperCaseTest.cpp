#include "similarity/UpperCase.h"

#include <gtest/gtest.h>

namespace vantel::similarity {
namespace {

TEST(UpperCase, UsesTheSimpleMappingOfEachUnit) {
  const std::pair<char16_t, char16_t> cases[] = {
      {u'a', u'A'},           {u'z', u'Z'},           {u'A', u'A'},
      {u'1', u'1'},           {u'\'', u'\''},         {u'\u00e9', u'\u00c9'},  // e-acute
      {u'\u00ff', u'\u0178'},                          // y-diaeresis: its capital lies outside Latin-1
      {u'\u00df', u'\u00df'},                          // sharp s has no single-unit capital
      {u'\u0142', u'\u0141'},                          // l-stroke
      {u'\u015f', u'\u015e'},                          // s-cedilla
      {u'\u0159', u'\u0158'},                          // r-caron
      {u'\u1ec5', u'\u1ec4'},                          // e-circumflex-tilde
      {u'\u044f', u'\u042f'},                          // Cyrillic ya
      {u'\u03c3', u'\u03a3'}, {u'\u03c2', u'\u03a3'},  // both Greek sigmas
      {u'\u00b5', u'\u039c'},                          // micro sign
      {u'\u1d79', u'\ua77d'},                          // a mapping whose distance exceeds 32767
      {u'\u4e2d', u'\u4e2d'},                          // no case
      {u'\xd801', u'\xd801'}, {u'\xdc28', u'\xdc28'},  // surrogates stay
      {u'\uff41', u'\uff21'},                          // fullwidth a
  };
  for (const auto& [unit, upper] : cases) {
    EXPECT_EQ(static_cast<int>(UpperCase(unit)), static_cast<int>(upper)) << "U+" << std::hex << int(unit);
  }
}

TEST(EqualIgnoringCase, ComparesUnitByUnit) {
  EXPECT_TRUE(EqualIgnoringCase(u"", u""));
  EXPECT_TRUE(EqualIgnoringCase(u"Stra\u00dfe", u"STRA\u00dfE"));
  EXPECT_FALSE(EqualIgnoringCase(u"Stra\u00dfe", u"STRASSE"));  // no change of length
  EXPECT_FALSE(EqualIgnoringCase(u"ab", u"abc"));
  EXPECT_FALSE(EqualIgnoringCase(u"\u0142", u"L"));
}

}  // namespace
}  // namespace vantel::similarity
