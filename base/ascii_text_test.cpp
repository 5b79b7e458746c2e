#include "base/ascii_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(AsciiText, CaseConversionTouchesOnlyAsciiLetters) {
  const std::string text = "Ab-\x82\xA0Z\xC1z[`";
  EXPECT_EQ(lowerAscii(text), "ab-\x82\xA0z\xC1z[`");
  EXPECT_EQ(upperAscii(text), "AB-\x82\xA0Z\xC1Z[`");
}

TEST(AsciiText, CaselessComparisonMatchesLettersOnly) {
  EXPECT_TRUE(equalsIgnoringCase("Keep-Alive", "kEEP-aLIVE"));
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));  // differ by the case bit, but are no letters
  EXPECT_FALSE(equalsIgnoringCase("abc", "abcd"));
  EXPECT_TRUE(startsWithIgnoringCase("Basic dXNlcg==", "BASIC "));
  EXPECT_FALSE(startsWithIgnoringCase("Bas", "BASIC "));
  EXPECT_TRUE(endsWithIgnoringCase("zu1234.TMP", ".tmp"));
  EXPECT_FALSE(endsWithIgnoringCase("tmp", ".tmp"));
}

TEST(AsciiText, HexDigitValuesOfBothCasesAndNothingAround) {
  EXPECT_EQ(hexDigitValue('0'), 0);
  EXPECT_EQ(hexDigitValue('9'), 9);
  EXPECT_EQ(hexDigitValue('a'), 10);
  EXPECT_EQ(hexDigitValue('F'), 15);
  for (char c : {'/', ':', '@', 'G', '`', 'g', '\0', '\x82'}) EXPECT_EQ(hexDigitValue(c), -1) << int(c);
}

TEST(AsciiText, TrimRemovesOnlyTheGivenBlanksAtTheEnds) {
  EXPECT_EQ(trimmed(" \ta b\t "), "a b");
  EXPECT_EQ(trimmed("\r\nx\r\n"), "\r\nx\r\n");
  EXPECT_EQ(trimmed("\r\nx\r\n", " \r\n"), "x");
  EXPECT_EQ(trimmedLeft("  x  "), "x  ");
  EXPECT_EQ(trimmedRight("  x  "), "  x");
  EXPECT_TRUE(trimmed(" \t \t").empty());
  EXPECT_TRUE(trimmedLeft("").empty());
}
