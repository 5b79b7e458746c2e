// The editor launch and close the menus and zuctl share.
#include "web/editor_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/platform.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"
#include "web/http_client_test_support.h"

namespace {

class EditorSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    setBrowserLauncherForTesting([this](const std::string& url) { opened_.push_back(url); });
  }
  void TearDown() override {
    setBrowserLauncherForTesting({});
    setAvailableMemoryForTesting(std::nullopt);
  }
  static void prepare(CEditorSession& s) {
    s.SetPort(0);
    s.SetDocumentRoot(std::string(ZU_BINARY_DIR) + "/bin/HTMLFiles/");
  }
  static void speedDial(int n, const char* number) {
    SpeedDialFields f{};
    std::strcpy(f.number, number);
    std::strcpy(f.use, "1");
    std::strcpy(f.speedDialGroup, "01");
    setSpeedDialEntry(n, f);
  }
  static std::string liveNumber(int n) {
    SpeedDialFields f;
    getSpeedDialEntry(n, f);
    return f.number;
  }

  ScriptedUi ui_;
  std::vector<std::string> opened_;
};

TEST_F(EditorSessionTest, PressingTwiceStartsOnceAndOpensTwoWindowsOnTheSamePort) {
  CEditorSession s(EditorMenu::Phonebook);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  const std::uint16_t port = s.Server().GetPort();
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  EXPECT_EQ(s.Server().GetPort(), port);
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], "http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_EQ(opened_[1], opened_[0]);
  EXPECT_NE(testhttp::roundTrip(port, "GET / HTTP/1.0\r\n\r\n").find("200 OK"), std::string::npos);
  s.Close();
}

TEST_F(EditorSessionTest, TooLittleMemoryStartsNothing) {
  setAvailableMemoryForTesting(kEditorMemoryNeeded - 1);
  CEditorSession s(EditorMenu::Restrictions);
  prepare(s);
  EXPECT_FALSE(s.OnEditInBrowser(nullptr));
  EXPECT_FALSE(s.Server().IsRunning());
  EXPECT_TRUE(opened_.empty());
  const MessageBoxRecord m = ui_.lastMessage();
  EXPECT_EQ(m.text, "\nメモリ不足のため、\nサーバが起動できませんでした。\n");
  EXPECT_EQ(m.caption, "エラー");
  EXPECT_EQ(m.icon(), static_cast<unsigned>(MB_ICONWARNING));
  setAvailableMemoryForTesting(kEditorMemoryNeeded);
  EXPECT_TRUE(s.OnEditInBrowser(nullptr));
  s.Close();
}

TEST_F(EditorSessionTest, AServerThatRanBeforeDoesNotStartAgain) {
  CEditorSession s(EditorMenu::CallHistory);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  s.Close();
  EXPECT_FALSE(s.OnEditInBrowser(nullptr));
  EXPECT_EQ(ui_.lastMessage().text, "\nサーバの起動に失敗しました。\n");
}

TEST_F(EditorSessionTest, ADocumentRootBeyondThePathLimitStartsNothing) {
  CEditorSession s(EditorMenu::Restrictions);
  s.SetPort(0);
  s.SetDocumentRoot("/tmp/" + std::string(kMaxPathBytes, 'r') + "/HTMLFiles/");
  EXPECT_FALSE(s.OnEditInBrowser(nullptr));
  EXPECT_FALSE(s.Server().IsRunning());
  EXPECT_TRUE(opened_.empty());
  EXPECT_EQ(ui_.lastMessage().text, "\nサーバの起動に失敗しました。\n");
}

TEST_F(EditorSessionTest, StartPagesFollowTheMenu) {
  EXPECT_EQ(CEditorSession(EditorMenu::Phonebook).StartPage(), "hoshu.html");
  EXPECT_EQ(CEditorSession(EditorMenu::Restrictions).StartPage(), "hoshu_Regulation.html");
  EXPECT_EQ(CEditorSession(EditorMenu::CallHistory).StartPage(), "hoshu_icmhst_01.html");
  historyKind = HistoryKind::External;
  EXPECT_EQ(CEditorSession(EditorMenu::CallHistory).StartPage(), "hoshu_icmhst_02.html");
  // The phonebook menu's button does nothing while a history is selected.
  CEditorSession s(EditorMenu::Phonebook);
  prepare(s);
  EXPECT_FALSE(s.OnEditInBrowser(nullptr));
  EXPECT_FALSE(s.Server().IsRunning());
}

TEST_F(EditorSessionTest, TheStartPageIsServedAtTheRoot) {
  historyKind = HistoryKind::External;
  CEditorSession s(EditorMenu::CallHistory);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr, false));
  EXPECT_TRUE(opened_.empty());
  const std::string answer = testhttp::roundTrip(s.Server().GetPort(), "GET / HTTP/1.0\r\n\r\n");
  EXPECT_NE(answer.find("hoshu/25gaityaku_01.html"), std::string::npos);
  s.Close();
}

TEST_F(EditorSessionTest, PhonebookLaunchSnapshotsAndCloseRestoresWhileDuplicatesAreChecked) {
  speedDial(1, "111");
  CEditorSession s(EditorMenu::Phonebook);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  SpeedDialFields f;
  getSpeedDialEntry(baselineImage, 1, f);
  EXPECT_STREQ(f.number, "111");
  speedDial(1, "222");  // not accepted by the checks: the close takes the baseline back
  s.Close();
  EXPECT_EQ(liveNumber(1), "111");
}

TEST_F(EditorSessionTest, CloseLeavesTheCopiesAloneWhenDuplicatesAreAllowed) {
  duplicateCheck = 0;
  CEditorSession s(EditorMenu::Phonebook);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  speedDial(1, "222");
  s.Close();
  EXPECT_EQ(liveNumber(1), "222");
}

TEST_F(EditorSessionTest, RestrictionLaunchNormalises) {
  RestrictionEntry e{};
  std::strcpy(e.number, "0120");
  storeRestrictionEntry(5, e, RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(9000, e, RestrictionStoreMode::FileLoad);
  restrictionTable[5] = restrictionTable[9000];  // a duplicate as a direct write leaves it
  rebuildRestrictionIndex();
  CEditorSession s(EditorMenu::Restrictions);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  EXPECT_STREQ(restrictionTable[5].number, "");
  EXPECT_STREQ(restrictionInput[9000].number, "0120");
  s.Close();
}

TEST_F(EditorSessionTest, CloseWaitsForARequestThatHoldsTheLock) {
  CEditorSession s(EditorMenu::Restrictions);
  prepare(s);
  ASSERT_TRUE(s.OnEditInBrowser(nullptr));
  std::atomic<bool> held{false};
  std::thread releaser([&] {
    std::lock_guard<std::mutex> lock(tableLock());  // as a worker in the middle of a post
    held = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  });
  while (!held) std::this_thread::yield();
  const auto start = std::chrono::steady_clock::now();
  s.Close();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  releaser.join();
  EXPECT_FALSE(s.Server().IsRunning());
}

TEST(DefaultBrowser, BrowserVariableNamesTheProgramAndGetsTheUrl) {
  char dir[] = "/tmp/zu-browser-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string script = std::string(dir) + "/browser.sh";
  const std::string out = std::string(dir) + "/url";
  std::ofstream(script) << "#!/bin/sh\necho \"$1\" > " << out << "\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  setenv("BROWSER", script.c_str(), 1);
  EXPECT_TRUE(openDefaultBrowser("http://127.0.0.1:8080/"));
  unsetenv("BROWSER");
  std::string line;
  for (int i = 0; i < 100 && line.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream(out) >> line;
  }
  EXPECT_EQ(line, "http://127.0.0.1:8080/");
  // A program that cannot be run is reported, so the caller can show the address instead.
  setenv("BROWSER", (std::string(dir) + "/missing-browser").c_str(), 1);
  EXPECT_FALSE(openDefaultBrowser("http://127.0.0.1:8080/"));
  unsetenv("BROWSER");
  std::filesystem::remove_all(dir);
}

}  // namespace
