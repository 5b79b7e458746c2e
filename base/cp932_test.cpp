#include "base/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

TEST(Cp932, FullWidthTextRoundTrips) {
  const std::string utf8 = "短縮設定／着信履歴　株式会社";
  const std::string cp932 = utf8ToCp932(utf8);
  EXPECT_EQ(cp932.size(), 2u * 14u);
  EXPECT_EQ(cp932ToUtf8(cp932), utf8);
}

TEST(Cp932, HalfWidthKatakanaAreSingleBytes) {
  EXPECT_EQ(utf8ToCp932("ｷｬﾝｾﾙ"), "\xB7\xAC\xDD\xBE\xD9");
  EXPECT_EQ(cp932ToUtf8("\xB7\xAC\xDD\xBE\xD9"), "ｷｬﾝｾﾙ");
}

TEST(Cp932, TrailByte5CIsPartOfTheCharacter) {
  // "ソ" and "表" end in 0x5C, the byte of '\' when standing alone.
  EXPECT_EQ(utf8ToCp932("ソ表"), "\x83\x5C\x95\x5C");
  EXPECT_EQ(cp932ToUtf8("\x83\x5C\x95\x5C\\"), "ソ表\\");
}

TEST(Cp932, WindowsVariantMappings) {
  EXPECT_EQ(utf8ToCp932("～"), "\x81\x60");  // FULLWIDTH TILDE
  EXPECT_EQ(cp932ToUtf8("\x81\x60"), "～");
  EXPECT_EQ(utf8ToCp932("①"), "\x87\x40");  // NEC special row
  EXPECT_EQ(utf8ToCp932("\\~"), "\\~");     // ASCII stays ASCII, no yen sign
}

TEST(Cp932, UnconvertibleCharactersBecomeQuestionMarks) {
  EXPECT_EQ(utf8ToCp932("a\xF0\x9F\x98\x80" "b"), "a?b");  // emoji
  EXPECT_EQ(utf8ToCp932("a\xE3\x81" "b"), "a?b");          // truncated sequence
  EXPECT_EQ(utf8ToCp932("a\xE3\x81"), "a?");               // truncated at the end
  EXPECT_EQ(cp932ToUtf8("a\x80" "b"), "a?b");              // undefined single byte
  EXPECT_EQ(cp932ToUtf8("a\x81\x20" "b"), "a? b");         // lead byte without a valid trail
  EXPECT_EQ(cp932ToUtf8("ab\x83"), "ab?");                 // lead byte at the end
}

TEST(Cp932, NulBytesAndEmptyTextPassThrough) {
  EXPECT_EQ(cp932ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(utf8ToCp932(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(cp932ToUtf8(""), "");
  EXPECT_EQ(utf8ToCp932(""), "");
}

TEST(Cp932, ConvertsOnManyThreadsAtOnce) {
  const std::string utf8 = "内線電話帳ｱｲｳ０１２";
  const std::string cp932 = utf8ToCp932(utf8);
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if (utf8ToCp932(utf8) != cp932 || cp932ToUtf8(cp932) != utf8) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}
