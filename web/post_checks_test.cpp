// The checks of a post: findings, their messages and order, the copies they write, the report.
#include "web/post_checks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>

#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"
#include "web/form_parser.h"
#include "web/num_err_dlg.h"

namespace {

struct Entry {
  std::string number, use = "1", group = "01";
};

// A post of the speed-dial page that starts at `first`: every entry empty except `entries`.
std::string pageBody(int first, const std::map<int, Entry>& entries) {
  std::string body;
  for (int n = first; n < first + 50; ++n) {
    const auto it = entries.find(n);
    const Entry e = it != entries.end() ? it->second : Entry{"", "0", "01"};
    char key[16];
    std::snprintf(key, sizeof key, "m070_%04dn", n);
    const std::string k = key;
    if (!body.empty()) body += '&';
    body += k + "1=" + e.number + "&" + k + "2=&" + k + "3=&" + k + "4=" + e.use + "&" + k + "5=" + e.group + "&" +
            k + "6=0&" + k + "7=0&" + k + "8=0&" + k + "9=0";
  }
  return body;
}

class PostChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    snapshotPhonebook();
    clearEntryFindings();
  }
  static void post(const std::string& body) {
    clearEntryFindings();
    ParseFormBody(body.c_str());
  }
  static SpeedDialFields baseline(int n) {
    SpeedDialFields f;
    getSpeedDialEntry(baselineImage, n, f);
    return f;
  }
  static const char* kPath;
};
const char* PostChecksTest::kPath = "\\hoshu\\16tansyuku_01.html";

TEST_F(PostChecksTest, TheUseMessageNamesTheFirstFaultyEntryOnly) {
  post(pageBody(0, {{3, {"0311", "0"}}, {7, {"0322", "0"}}}));
  EXPECT_EQ(speedDialFindingMessage(kPath), "短縮番号 0003 の用途が「0」または範囲外に設定されています。");
  post(pageBody(0, {{4, {"0311", "999"}}}));  // neither 1-8 nor a position
  EXPECT_EQ(speedDialFindingMessage(kPath), "短縮番号 0004 の用途が「0」または範囲外に設定されています。");
  post(pageBody(0, {{4, {"0311", "101"}}}));  // a position is a private entry
  EXPECT_EQ(speedDialFindingMessage(kPath), "");
}

TEST_F(PostChecksTest, APageWithAUseFindingDoesNotReachTheBaseline) {
  post(pageBody(50, {{60, {"0311", "1"}}, {61, {"0322", "0"}}}));
  EXPECT_STREQ(baseline(60).number, "0311");  // no finding of its own: copied on
  EXPECT_STREQ(baseline(61).number, "");
  SpeedDialFields typed;
  getReferenceSpeedDialEntry(61, typed);
  EXPECT_STREQ(typed.number, "0322");  // kept as typed
}

TEST_F(PostChecksTest, GroupFindingsAndTheirCorrections) {
  post(pageBody(0, {{2, {"0311", "3", "20"}}, {5, {"0322", "8", "05"}}}));
  EXPECT_EQ(speedDialFindingMessage(kPath), "短縮番号 0002 の短縮Gは「01～15」を設定してください。");
  EXPECT_STREQ(baseline(2).speedDialGroup, "01");
  EXPECT_STREQ(baseline(5).speedDialGroup, "16");
  post(pageBody(0, {{5, {"0322", "8", "05"}}}));
  EXPECT_EQ(speedDialFindingMessage(kPath), "短縮番号 0005 の短縮Gは「16～30」を設定してください。");
}

TEST_F(PostChecksTest, TheUseFindingComesBeforeTheGroupFindings) {
  post(pageBody(0, {{1, {"0311", "3", "20"}}, {9, {"0322", "0"}}}));
  EXPECT_EQ(speedDialFindingMessage(kPath), "短縮番号 0009 の用途が「0」または範囲外に設定されています。");
}

TEST_F(PostChecksTest, DuplicatesNameTheLowerEntryFirst) {
  post(pageBody(0, {{20, {"0311", "2"}}, {10, {"0311", "2"}}, {30, {"0311", "3"}}}));
  EXPECT_EQ(speedDialFindingMessage(kPath),
            "短縮番号0010番と0020番が重複して登録されています。\nこのままファイルの保存やダウンロードも可能ですが確認してください。");
  EXPECT_EQ(duplicateCount, 2);  // each of the two finds the other; use 3 is no duplicate
  EXPECT_EQ(speedDialFindingMessage("\\hoshu\\17tel_01.html"),
            "項番0010と0020が重複して登録されています。\nこのままファイルの保存やダウンロードも可能ですが確認してください。");
  EXPECT_STREQ(baseline(20).number, "0311");  // duplicates stay stored
}

TEST_F(PostChecksTest, DuplicatesAgainstAnotherPageOfTheBaseline) {
  SpeedDialFields f{};
  std::strcpy(f.number, "0999");
  std::strcpy(f.use, "1");
  std::strcpy(f.speedDialGroup, "01");
  setSpeedDialEntry(5000, f);
  snapshotPhonebook();
  post(pageBody(100, {{120, {"0999", "1"}}}));
  EXPECT_EQ(duplicatePairs[0][0], 120);
  EXPECT_EQ(duplicatePairs[0][1], 5000);
}

TEST_F(PostChecksTest, ACompletedPageCarriesEveryFieldOfItsEntriesToTheBaseline) {
  std::string body = pageBody(0, {});
  const std::string first = "m070_0000n1=0311&m070_0000n2=N&m070_0000n3=R&m070_0000n4=1&m070_0000n5=05&"
                            "m070_0000n6=2&m070_0000n7=3&m070_0000n8=12&m070_0000n9=7";
  body.replace(0, body.find("&m070_0001n1"), first);
  post(body);
  const SpeedDialFields f = baseline(0);
  EXPECT_STREQ(f.number, "0311");
  EXPECT_STREQ(f.name, "N");
  EXPECT_STREQ(f.reading, "R");
  EXPECT_STREQ(f.use, "1");
  EXPECT_STREQ(f.speedDialGroup, "05");
  EXPECT_EQ(f.lineGroup, '2');
  EXPECT_EQ(f.displayMode, 3);
  EXPECT_EQ(f.template1, 12);
  EXPECT_EQ(f.template2, 7);
}

TEST_F(PostChecksTest, UseZeroWithoutNumberEmptiesTheEntry) {
  post(pageBody(0, {{8, {"0311", "1"}}}));
  post(pageBody(0, {}));
  EXPECT_STREQ(baseline(8).number, "");
  EXPECT_EQ(speedDialFindingMessage(kPath), "");
}

TEST_F(PostChecksTest, RestrictionMessageListsTheEntriesInOrder) {
  ParseFormBody("m018_0000=1&m018_0005=12A&m018_0009=3-4&m018_0010=5");
  EXPECT_EQ(restrictionFindingMessage(),
            "【発信規制番号】項番0005 には半角数字で入力してください。\n"
            "【発信規制番号】項番0009 には半角数字で入力してください。\n");
}

TEST_F(PostChecksTest, WithoutABrowserWindowTheErrorDialogShowsEachMessage) {
  ScriptedUi ui;
  std::vector<std::string> shown;
  ui.onDialog(kNumErrDlgId, [&](DialogDriver& d) {
    shown.push_back(d.caption() + "|" + d.text(kNumErrDlgMessage));
    d.click(IDOK);
  });
  post(pageBody(0, {{3, {"0311", "0"}}}) + "&m018_0000=12A");
  reportPostFindings(kPath, nullptr);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "エラー|短縮番号 0003 の用途が「0」または範囲外に設定されています。");
  EXPECT_EQ(shown[1], "エラー|【発信規制番号】項番0000 には半角数字で入力してください。\n");
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(PostChecksTest, WithABrowserWindowTheMessagesAreBoxesOverIt) {
  ScriptedUi ui;
  CNumErrDlg browser;  // any window stands for the browser's
  post(pageBody(0, {{10, {"0311", "2"}}, {20, {"0311", "2"}}}));
  reportPostFindings(kPath, &browser);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].caption, "エラー");
  EXPECT_EQ(ui.messages()[0].type, 0x50030u);
  EXPECT_EQ(ui.messages()[0].owner, &browser);
  EXPECT_TRUE(ui.dialogsShown().empty());
}

TEST_F(PostChecksTest, NoFindingShowsNothing) {
  ScriptedUi ui;
  post(pageBody(0, {{1, {"0311", "1"}}}));
  reportPostFindings(kPath, nullptr);
  EXPECT_TRUE(ui.dialogsShown().empty());
  EXPECT_TRUE(ui.messages().empty());
}

// The index behind the duplicate scan against a scan of the whole baseline, on random tables
// that the test also changes behind the index's back.
TEST_F(PostChecksTest, DuplicateFindingsEqualThoseOfAFullScan) {
  std::mt19937 rng(20240501);
  const char* numbers[] = {"1", "12", "123", "0311", "0311P", "#9", "*12"};
  const char* uses[] = {"1", "2", "8", "101", "0", "", "x"};
  auto randomFields = [&] {
    SpeedDialFields f{};
    std::strcpy(f.number, numbers[rng() % 7]);
    if (rng() % 5 == 0) f.number[0] = '\0';
    std::strcpy(f.use, uses[rng() % 7]);
    std::strcpy(f.speedDialGroup, "01");
    return f;
  };
  auto ruleUse = [](const char* use) { return isUseNumeric(use) ? useValue(use) : 0; };
  for (int i = 0; i < 400; ++i) {
    SpeedDialFields f = randomFields();
    setSpeedDialEntry(baselineImage, static_cast<int>(rng() % 10000), f);
  }
  clearDuplicateFindings();
  for (int step = 0; step < 300; ++step) {
    if (step % 7 == 0) {  // a change the index is not told about
      SpeedDialFields f = randomFields();
      setSpeedDialEntry(baselineImage, static_cast<int>(rng() % 10000), f);
    }
    const int e = static_cast<int>(rng() % 10000);
    SpeedDialFields f = randomFields();
    int expectedCount = duplicateCount;
    int pair[2] = {duplicatePairs[0][0], duplicatePairs[0][1]};
    if (f.number[0] != '\0') {
      for (int i = 0; i < 10000; ++i) {
        char other[25];
        if (i == e || unpackDialCodes(baselineImage.speedDial[i].number, other) == 0) continue;
        if (std::strcmp(other, f.number) != 0 || ruleUse(baselineImage.speedDial[i].use) != ruleUse(f.use)) continue;
        if (expectedCount == 0) {
          pair[0] = std::min(i, e);
          pair[1] = std::max(i, e);
        }
        ++expectedCount;
      }
    }
    checkSpeedDialEntry(e, f, 0);
    ASSERT_EQ(duplicateCount, expectedCount) << "step " << step;
    ASSERT_EQ(duplicatePairs[0][0], pair[0]) << "step " << step;
    ASSERT_EQ(duplicatePairs[0][1], pair[1]) << "step " << step;
  }
}

TEST_F(PostChecksTest, UnderNineHundredNinetyMemoriesOnlyTheirEntriesAreScanned) {
  memoryMode = 2;
  snapshotPhonebook();
  SpeedDialFields f{};
  std::strcpy(f.number, "1");
  std::strcpy(f.use, "1");
  std::strcpy(f.speedDialGroup, "01");
  // The extension directory shares the space of entries 1000 and up: whatever bytes lie
  // there are no speed-dial numbers.
  baselineImage.speedDial[1500] = SpeedDialEntry{};
  baselineImage.speedDial[1500].number[0] = 0x01;
  baselineImage.speedDial[1500].use[0] = '1';
  clearDuplicateFindings();
  checkSpeedDialEntry(3, f, 0);
  EXPECT_EQ(duplicateCount, 0);
}

TEST_F(PostChecksTest, ClearModeOneErasesAFurtherDuplicate) {
  SpeedDialFields f{};
  std::strcpy(f.number, "77");
  std::strcpy(f.use, "1");
  std::strcpy(f.speedDialGroup, "01");
  SpeedDialFields g = f;
  setSpeedDialEntry(baselineImage, 1, g);
  g = f;
  setSpeedDialEntry(baselineImage, 2, g);
  clearDuplicateFindings();
  SpeedDialFields h = f;
  checkSpeedDialEntry(3, h, 1);
  EXPECT_STREQ(baseline(3).number, "");  // the pair (1, 3) was recorded, then 2 erased it
  EXPECT_EQ(duplicatePairs[0][0], 1);
  EXPECT_EQ(duplicatePairs[0][1], 3);
}

}  // namespace
