// The user-information line: its columns, and the fields taken back from a line.
#include "data/user_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/platform.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

class UserInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    setLocalTimeForTesting(LocalTime{2024, 3, 7, 9, 5, 59});
  }
  void TearDown() override { setLocalTimeForTesting(std::nullopt); }

  static std::string formatted() {
    char out[193];
    std::memset(out, 'x', sizeof out);
    formatUserInfoLine(out);
    EXPECT_EQ('\0', out[192]);
    return std::string(out, 192);
  }
};

TEST_F(UserInfoTest, BlankFieldsGiveTheBareLine) {
  const std::string expected = "202403070905," + std::string(24, ' ') + "," + std::string(24, ' ') +
                               "," + std::string(16 + 6 + 2, ' ') + "," + std::string(24, ' ') +
                               "," + std::string(72, ' ') + ",    \r\n";
  ASSERT_EQ(192u, expected.size());
  EXPECT_EQ(expected, formatted());
}

TEST_F(UserInfoTest, FieldsRoundTripThroughTheLine) {
  std::string line(192, ' ');
  line.replace(13, 5, "FIRST");
  line.replace(38, 6, "SECOND");
  line.replace(63, 16, "THIRD-16-CHARS!!");
  line.replace(79, 6, "FOURTH");
  line.replace(85, 2, "zz");  // not a field: the line always has two blanks here
  line.replace(88, 4, "\x93\xE0\x90\xFC");
  line.replace(113, 72, std::string(72, 'S'));
  line[20] = '\0';  // a NUL reads as a blank
  takeUserInfoFields(line);
  EXPECT_EQ(std::string("FIRST") + std::string(19, ' '), std::string(userInfoHeader.field1, 24));
  EXPECT_EQ("THIRD-16-CHARS!!", std::string(userInfoHeader.field3, 16));
  EXPECT_EQ("FOURTH", std::string(userInfoHeader.field4, 6));

  const std::string out = formatted();
  EXPECT_EQ("FIRST" + std::string(19, ' ') + ",SECOND" + std::string(18, ' ') + ",", out.substr(13, 50));
  EXPECT_EQ("FOURTH  ,\x93\xE0\x90\xFC", out.substr(79, 13));
  EXPECT_EQ(std::string(72, 'S') + ",    \r\n", out.substr(113));
}

TEST_F(UserInfoTest, ShortTextLeavesTheMissingFieldsBlank) {
  takeUserInfoFields(std::string(200, 'Q'));
  takeUserInfoFields("202401010000,ABC");
  EXPECT_EQ("ABC" + std::string(21, ' '), std::string(userInfoHeader.field1, 24));
  EXPECT_EQ(std::string(72, ' '), std::string(userInfoHeader.field6, 72));
}

}  // namespace
