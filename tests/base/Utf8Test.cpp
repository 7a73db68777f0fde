#include "vantel/Utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "vantel/Errors.h"

namespace vantel {
namespace {

TEST(Utf8ToUtf16, DecodesEveryLength) {
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf8ToUtf16("cat"), u"cat");
  EXPECT_EQ(Utf8ToUtf16("\xc5\x82\xc3\xb3"
                        "d\xc5\xba"),
            u"\u0142\u00f3d\u017a");
  EXPECT_EQ(Utf8ToUtf16("\xe4\xb8\xad"), u"\u4e2d");
  EXPECT_EQ(Utf8ToUtf16("\xf0\x9f\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf8ToUtf16("\xf4\x8f\xbf\xbf"), u"\U0010FFFF");
}

TEST(Utf8ToUtf16, RefusesMalformedInputNamingTheByte) {
  struct Case {
    std::string_view bytes;
    std::size_t offset;
  } const cases[] = {
      {"ab\x80", 2},            // stray continuation byte
      {"\xc0\xaf", 0},          // overlong
      {"\xe0\x80\xaf", 0},      // overlong, three bytes
      {"x\xed\xa0\x80", 1},     // an encoded surrogate
      {"\xf4\x90\x80\x80", 0},  // past U+10FFFF
      {"\xf5\x80\x80\x80", 0},
      {"abc\xe4\xb8", 3},  // truncated at the end
      {"\xe4"
       "a\xad",
       0},  // truncated by an ASCII byte
      {"\xff", 0},
  };
  for (const Case& c : cases) {
    try {
      Utf8ToUtf16(c.bytes);
      ADD_FAILURE() << "accepted malformed input at " << c.offset;
    } catch (const InvalidUtf8& bad) {
      EXPECT_EQ(bad.offset(), c.offset);
    }
  }
}

TEST(Utf8ToUtf16, ConvertsIntoABufferItReuses) {
  std::u16string buffer;
  Utf8ToUtf16("Katherine Johnson", buffer);
  EXPECT_EQ(buffer, u"Katherine Johnson");
  const std::size_t capacity = buffer.capacity();
  const char16_t* storage = buffer.data();
  Utf8ToUtf16("\xc5\x81ukasz", buffer);  // shorter: the same storage, the old text gone
  EXPECT_EQ(buffer, u"\u0141ukasz");
  EXPECT_EQ(buffer.data(), storage);
  EXPECT_EQ(buffer.capacity(), capacity);
  EXPECT_THROW(Utf8ToUtf16("ab\xff", buffer), InvalidUtf8);
  EXPECT_EQ(buffer, u"ab");  // the part before the bad byte
}

// Measuring is the conversion without its storage: the same length, and the
// same bad byte, for every kind of sequence.
TEST(Utf16Length, AgreesWithTheConversion) {
  const std::string_view texts[] = {
      "",
      "cat",
      "\xc5\x82\xc3\xb3\x64\xc5\xba",
      "\xe4\xb8\xad\xf0\x9f\x98\x80x",
      "\xf4\x8f\xbf\xbf",
      "ab\x80",
      "\xc0\xaf",
      "\xe0\x80\xaf",
      "x\xed\xa0\x80",
      "\xf4\x90\x80\x80",
      "abc\xe4\xb8",
      "\xe4\x61\xad",  // truncated by an ASCII byte
      "ok \xf0\x9f\x98\x80\xff",
  };
  for (const std::string_view text : texts) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    std::optional<std::size_t> converted, measured, convertedBad, measuredBad;
    try {
      converted = Utf8ToUtf16(text).size();
    } catch (const InvalidUtf8& bad) {
      convertedBad = bad.offset();
    }
    try {
      measured = Utf16Length(text);
    } catch (const InvalidUtf8& bad) {
      measuredBad = bad.offset();
    }
    EXPECT_EQ(measured, converted);
    EXPECT_EQ(measuredBad, convertedBad);
    // Walking the text a sequence at a time stops at the same byte.
    std::size_t at = 0;
    while (at < text.size() && Utf8SequenceLength(text, at) != 0) at += Utf8SequenceLength(text, at);
    EXPECT_EQ(at, convertedBad.value_or(text.size()));
  }
  EXPECT_EQ(Utf8SequenceLength("a\xc5\x82", 1), 2u);
  EXPECT_EQ(Utf8SequenceLength("a", 1), 0u);  // past the end
}

TEST(Utf16ToUtf8, EncodesAndReplacesLoneSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"\u0142\u4e2d\U0001F600"), "\xc5\x82\xe4\xb8\xad\xf0\x9f\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xd800') + u"a"),
            "\xef\xbf\xbd"
            "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xdc00')), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace vantel
