#include "link/encode.h"

#include <gtest/gtest.h>

namespace {

TEST(Encode, Base64EncodesWithPadding) {
  EXPECT_EQ(CEncode::Base64Encode(""), "");
  EXPECT_EQ(CEncode::Base64Encode("f"), "Zg==");
  EXPECT_EQ(CEncode::Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(CEncode::Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(CEncode::Base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(CEncode::Base64Encode("\xff\xfe"), "//4=");
  EXPECT_EQ(CEncode::Base64Encode(nullptr), "");
}

TEST(Encode, Base64DecodeStopsAtPaddingAndShortGroups) {
  EXPECT_EQ(CEncode::Base64Decode("Zm9vYmFy"), "foobar");
  EXPECT_EQ(CEncode::Base64Decode("Zg=="), "f");
  EXPECT_EQ(CEncode::Base64Decode("Zm8="), "fo");
  EXPECT_EQ(CEncode::Base64Decode("Zm9vY"), "foo");  // one character left over
  EXPECT_EQ(CEncode::Base64Decode("Zm9vYg"), "foob");
  EXPECT_EQ(CEncode::Base64Decode("Zg==Zm9v"), "f");  // nothing after the padding
  EXPECT_EQ(CEncode::Base64Decode("=abc"), "");
  EXPECT_EQ(CEncode::Base64Decode("!!!!"), "\xff\xff\xff");  // outside the alphabet is 63
  EXPECT_EQ(CEncode::Base64Decode(""), "");
}

}  // namespace
