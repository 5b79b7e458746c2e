#include "base/sjis.h"

#include <gtest/gtest.h>

TEST(SjisByteClasses, RangesOfTheLeadAndTrailClasses) {
  for (int c = 0; c < 256; ++c) {
    const auto b = static_cast<unsigned char>(c);
    const bool narrow = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    const bool wide = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFE);
    EXPECT_EQ(isSjisLeadByte(b), narrow) << c;
    EXPECT_EQ(isSjisLeadByteWide(b), wide) << c;
    EXPECT_EQ(isSjisTrailByte(b), (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC)) << c;
  }
}

TEST(SjisCut, NeverSplitsADoubleByteCharacter) {
  const char text[] = "a\x93\xfa\x96\x7b";  // "a日本"
  EXPECT_EQ(sjisCutLength(text, 5), 5u);
  EXPECT_EQ(sjisCutLength(text, 4), 3u);
  EXPECT_EQ(sjisCutLength(text, 3), 3u);
  EXPECT_EQ(sjisCutLength(text, 2), 1u);
  EXPECT_EQ(sjisCutLength(text, 1), 1u);
  EXPECT_EQ(sjisCutLength(text, 0), 0u);
}

TEST(SjisCut, TrailByteThatLooksLikeALeadByteCountsByParity) {
  // 0x89 0x89 is a character whose trail byte is itself in the lead range: the run of
  // lead-range bytes before the cut decides by its parity. "ソ" (0x83 0x5C) ends in a byte
  // outside the range.
  const char run[] = "\x89\x89\x89\x89";
  EXPECT_EQ(sjisCutLength(run, 4), 4u);
  EXPECT_EQ(sjisCutLength(run, 3), 2u);
  const char so[] = "\x83\x5C" "a";
  EXPECT_EQ(sjisCutLength(so, 2), 2u);
  EXPECT_EQ(sjisCutLength(so, 1), 0u);
}

TEST(SjisCut, HalfWidthKatakanaAreSingleCharacters) {
  const char kana[] = "\xB1\xB2\xB3";
  EXPECT_EQ(sjisCutLength(kana, 2), 2u);
}
