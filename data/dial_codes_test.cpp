#include "data/dial_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// ---- dial codes ----

TEST(DialCodes, EveryCharacterPacksToItsCodeLowNibbleFirst) {
  unsigned char packed[12];
  packDialCodes("1234567890*#P-M", packed);
  const unsigned char expected[12] = {0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0xED, 0x0F, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(packed, expected, 12));
  char text[25];
  EXPECT_EQ(15u, unpackDialCodes(packed, text));
  EXPECT_STREQ("1234567890*#P-M", text);
}

TEST(DialCodes, NumbersKeepAtMost24Characters) {
  unsigned char packed[12];
  packDialCodes("123456789012345678901234567", packed);
  char text[25];
  EXPECT_EQ(24u, unpackDialCodes(packed, text));
  EXPECT_STREQ("123456789012345678901234", text);
}

TEST(DialCodes, UnpackingEndsAtTheFirstBlankCode) {
  const unsigned char packed[12] = {0x21, 0x30, 0x54};  // "12", "" then "3" after a blank
  char text[25];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(2u, unpackDialCodes(packed, text));
  EXPECT_EQ(std::string(25, '\0').replace(0, 2, "12"), std::string(text, 25));
}

}  // namespace
