#include "base/fixed_field.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FixedField, CopyFillsTheRestWithNul) {
  char field[6];
  std::memset(field, 'x', sizeof field);
  copyFixedField(field, 5, "abc");
  EXPECT_EQ(std::string(field, 6), std::string("abc\0\0x", 6));
}

TEST(FixedField, CopyCutsAtWidthWithoutTerminator) {
  char field[6];
  std::memset(field, 'x', sizeof field);
  copyFixedField(field, 5, "abcdefgh");
  EXPECT_EQ(std::string(field, 6), "abcdex");
  EXPECT_EQ(fixedFieldText(field, 5), "abcde");
}

TEST(FixedField, TextEndsAtFirstNulOrWidth) {
  const char field[5] = {'a', 'b', '\0', 'c', 'd'};
  EXPECT_EQ(fixedFieldText(field, 5), "ab");
  const char full[3] = {'a', 'b', 'c'};
  EXPECT_EQ(fixedFieldText(full, 3), "abc");
}

TEST(FixedField, CopyFromAnotherFieldStopsAtItsNul) {
  const char src[5] = {'a', '\0', 'z', 'z', 'z'};
  char dst[5];
  std::memset(dst, 'x', sizeof dst);
  copyFixedFieldFrom(dst, src, 5);
  EXPECT_EQ(std::string(dst, 5), std::string("a\0\0\0\0", 5));
}

TEST(FixedField, SpaceFilledCopyPadsWithBlanksAndStopsAtNul) {
  char field[6];
  copySpaceFilledField(field, 6, std::string_view("ab\0cd", 5));
  EXPECT_EQ(std::string(field, 6), "ab    ");
  copySpaceFilledField(field, 6, "abcdefgh");
  EXPECT_EQ(std::string(field, 6), "abcdef");
}

TEST(FixedField, EmptyDefaultViewCopiesNothing) {
  char field[4] = {'a', 'b', 'c', 'd'};
  copyFixedField(field, sizeof field, std::string_view{});
  EXPECT_EQ(std::string_view(field, 4), std::string_view("\0\0\0\0", 4));
  copySpaceFilledField(field, sizeof field, std::string_view{});
  EXPECT_EQ(std::string_view(field, 4), "    ");
}
