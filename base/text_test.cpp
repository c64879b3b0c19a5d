#include "base/text.h"

#include <gtest/gtest.h>

namespace tollwick {
namespace {

TEST(TrimSpaces, RemovesOnlySpacesAtTheChosenEnds) {
  EXPECT_EQ(trimSpaces("  ab c  "), "ab c");
  EXPECT_EQ(trimLeft("  ab  "), "ab  ");
  EXPECT_EQ(trimRight("  ab  "), "  ab");
  EXPECT_EQ(trimSpaces("   "), "");
  EXPECT_EQ(trimSpaces("\tab\t"), "\tab\t");  // tabs are not spaces here
  EXPECT_EQ(trimSpaces(std::string("\0 a", 3)), std::string("\0 a", 3));
}

TEST(AnsiConversion, Windows1252MapsToUnicodeAndBack) {
  const std::string ansi = "caf\xE9 \x80 \x9F \x81";
  const std::u16string utf16 = ansiToUtf16(ansi);
  EXPECT_EQ(utf16, u"caf\u00E9 \u20AC \u0178 \u0081");
  EXPECT_EQ(utf16ToAnsi(utf16), ansi);
  EXPECT_EQ(ansiToUtf8(ansi), "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC2\x81");
  EXPECT_EQ(utf8ToAnsi(ansiToUtf8(ansi)), ansi);
}

TEST(AnsiConversion, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf16ToAnsi(ansiToUtf16(all)), all);
  EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
}

TEST(AnsiConversion, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(utf16ToAnsi(u"a\u263Ab"), "a?b");
  EXPECT_EQ(utf16ToAnsi(u"\xD83D\xDE00"), "?");  // one character outside the BMP
  EXPECT_EQ(utf8ToAnsi("a\xE2\x98\xBA"
                       "b"),
            "a?b");
  EXPECT_EQ(utf8ToAnsi("a\xFF"
                       "b"),
            "a?b");                      // malformed UTF-8
  EXPECT_EQ(utf8ToAnsi("a\xC3"), "a?");  // cut short
}

}  // namespace
}  // namespace tollwick
