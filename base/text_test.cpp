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

TEST(Utf8AndUtf16, CharactersOutsideTheBmpTakeASurrogatePairAndMalformedInputIsReplaced) {
  EXPECT_EQ(utf8ToUtf16("a\xD0\x98\xF0\x9F\x98\x80"), u"a\u0418\xD83D\xDE00");
  EXPECT_EQ(utf16ToUtf8(u"a\u0418\xD83D\xDE00"), "a\xD0\x98\xF0\x9F\x98\x80");
  // A lone surrogate, a byte that starts nothing, a sequence cut short, an overlong form.
  EXPECT_EQ(utf16ToUtf8(u"\xD83D!"), "\xEF\xBF\xBD!");
  EXPECT_EQ(utf8ToUtf16("\xFF\xC3"), u"\uFFFD\uFFFD");
  EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD");
}

}  // namespace
}  // namespace tollwick
