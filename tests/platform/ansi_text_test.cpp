#include "platform/ansi_text.h"

#include <gtest/gtest.h>

#include "platform/testing/scoped_code_page.h"

namespace tollwick {
namespace {

TEST(AnsiText, Windows1252MapsToUnicodeAndEveryByteSurvivesARoundTrip) {
  testing::ScopedCodePage western(1252);
  const std::string ansi = "caf\xE9 \x80 \x9F \x81";
  EXPECT_EQ(ansiToUtf16(ansi), u"caf\u00E9 \u20AC \u0178 \u0081");
  EXPECT_EQ(ansiToUtf8(ansi), "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC2\x81");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf16ToAnsi(ansiToUtf16(all)), all);
  EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
  // What the code page lacks, and malformed UTF-8, become '?'.
  EXPECT_EQ(utf16ToAnsi(u"a\u263Ab\xD83D\xDE00"), "a?b??");  // '?' for each UTF-16 unit
  EXPECT_EQ(utf8ToAnsi("a\xD0\x98\xFF"), "a??");
}

// The same bytes are other letters in another code page: a Russian folder name is
// Cyrillic in 1251 and cannot be named at all in 1252.
TEST(AnsiText, TheSystemsCodePageGivesTheBytesTheirLetters) {
  const std::string games = "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B";  // "Игры" in UTF-8
  {
    testing::ScopedCodePage cyrillic(1251);
    EXPECT_EQ(utf8ToAnsi(games), "\xC8\xE3\xF0\xFB");
    EXPECT_TRUE(nameableInCodePage(games));
    EXPECT_TRUE(sameFileName("\xC8\xE3\xF0\xFB", "\xE8\xE3\xF0\xFB"));  // Игры, игры
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(utf16ToAnsi(ansiToUtf16(all)), all);  // 0x98, undefined, too
  }
  {
    testing::ScopedCodePage western(1252);
    EXPECT_EQ(utf8ToAnsi(games), "????");
    EXPECT_FALSE(nameableInCodePage(games));
  }
  {
    testing::ScopedCodePage centralEuropean(1250);
    EXPECT_EQ(utf8ToAnsi("\xC5\x81\xC3\xB3\x64\xC5\xBA"), "\xA3\xF3\x64\x9F");  // Łódź
  }
}

// Shift-JIS "表" is 0x95 0x5C: its second byte is a backslash's, and nothing that looks
// for a backslash, cuts a text or matches a name may take it for one.
TEST(AnsiText, DoubleByteCharactersAreNeverSplitNorTakenForABackslash) {
  testing::ScopedCodePage japanese(932);
  const std::string table = "\x95\x5C";
  EXPECT_EQ(utf8ToAnsi("\xE8\xA1\xA8"), table);
  EXPECT_EQ(ansiToUtf16("C:\\" + table), u"C:\\\u8868");

  const std::string folder = "C:\\Games\\Zelkor" + table;
  EXPECT_FALSE(endsWithCharacter(folder, '\\'));
  EXPECT_TRUE(endsWithCharacter(folder + "\\", '\\'));
  EXPECT_EQ(findLastCharacterOf(folder, "\\"), 8u);
  EXPECT_EQ(findFirstCharacterOf(table + "\\x", "\\"), 2u);
  EXPECT_EQ(wholeCharactersWithin("ab" + table, 3), "ab");
  EXPECT_EQ(wholeCharactersWithin("ab" + table, 4), "ab" + table);

  EXPECT_TRUE(fileNameMatches("Zelkor" + table + ".MSF", "zelkor?.msf"));
  EXPECT_FALSE(fileNameMatches("Zelkor" + table + ".MSF", "zelkor??.msf"));
  EXPECT_FALSE(fileNameMatches(table, "*\\"));  // "表" does not end in a backslash
}

}  // namespace
}  // namespace tollwick
