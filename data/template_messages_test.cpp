#include "data/template_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/phonebook_tables_test_support.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "data/user_info.h"

using namespace phonebook_test;

namespace {

// ---- templates ----

TEST_F(PhonebookTablesTest, TemplateBlockModeReplacesThePage) {
  for (int i = 49; i <= 101; ++i) setTemplateMessage(i, "old", 1);
  ASSERT_EQ(1, setTemplateMessage(51, "new", 0));
  char out[21];
  getTemplateMessage(51, out);
  EXPECT_STREQ("new", out);
  getTemplateMessage(52, out);
  EXPECT_STREQ("", out);
  getTemplateMessage(100, out);
  EXPECT_STREQ("", out);
  getTemplateMessage(50, out);
  EXPECT_STREQ("old", out);
  getTemplateMessage(101, out);
  EXPECT_STREQ("old", out);
  setTemplateMessage(52, "second", 0);  // not a page start: only item 52
  getTemplateMessage(51, out);
  EXPECT_STREQ("new", out);
}

TEST_F(PhonebookTablesTest, TemplateModeOneTouchesOneItem) {
  for (int i = 50; i <= 60; ++i) setTemplateMessage(i, "old", 1);
  setTemplateMessage(51, "new", 1);
  char out[21];
  getTemplateMessage(52, out);
  EXPECT_STREQ("old", out);
}

TEST_F(PhonebookTablesTest, AnEmptyTextClearsTheItem) {
  setTemplateMessage(8, "old", 1);
  ASSERT_EQ(1, setTemplateMessage(8, std::string_view(), 1));  // a view without any bytes
  EXPECT_STREQ("", templateMessages[8].text);
}

TEST_F(PhonebookTablesTest, LastTemplatePageEndsAtItem999) {
  setTemplateMessage(999, "last", 1);
  ASSERT_EQ(1, setTemplateMessage(951, "page", 0));
  char out[21];
  getTemplateMessage(999, out);
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, setTemplateMessage(1000, "x", 1));
  EXPECT_EQ(0, setTemplateMessage(-1, "x", 1));
}

TEST_F(PhonebookTablesTest, TemplateTextRules) {
  setTemplateMessage(3, "a,b<c>\"d\"", 1);
  char out[21];
  getTemplateMessage(3, out);
  EXPECT_STREQ("a b c  d ", out);
  setTemplateMessage(4, "123456789012345678901234", 1);
  getTemplateMessage(4, out);
  EXPECT_STREQ("12345678901234567890", out);
  // A double quote after a lead byte is no trail byte: the setter blanks it too.
  setTemplateMessage(5, "\x81\x22x", 1);
  EXPECT_STREQ("\x81 x", templateMessages[5].text);
  getTemplateMessage(5, out);
  EXPECT_STREQ("\x81 x", out);
}

}  // namespace
