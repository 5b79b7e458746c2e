#include "base/http_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UrlDecode, DecodesEscapesAndPlusAndNeverReadsPastTheEnd) {
  EXPECT_EQ(urlDecode("a+b%41%6a"), "a bAj");
  EXPECT_EQ(urlDecode("50%"), "50%");
  EXPECT_EQ(urlDecode("x%4"), "x%4");
  EXPECT_EQ(urlDecode("%zz%2"), "%zz%2");
  EXPECT_EQ(urlDecode("%00"), std::string(1, '\0'));
  // Only the text itself is read, even when more bytes follow it in memory.
  const std::string backing = "ab%4142";
  EXPECT_EQ(urlDecode(std::string_view(backing).substr(0, 4)), "ab%4");
}

TEST(HttpStatusText, KnownCodesHaveTheirPhraseAndOthersTheCallersChoice) {
  EXPECT_STREQ(httpStatusText(401, "x"), "401 Unauthorized");
  EXPECT_STREQ(httpStatusText(408, "x"), "408 Request Time-out");
  EXPECT_STREQ(httpStatusText(999, "500 Internal Server Error"), "500 Internal Server Error");
  EXPECT_STREQ(httpStatusText(405, "200 OK"), "200 OK");
}

}  // namespace
