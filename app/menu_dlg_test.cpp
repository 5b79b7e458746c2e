// The three menus and their opening from the main dialog: texts by history, the memory-count
// question, file buttons (controls, table lock, snapshot and restore), the editor server each
// menu owns (one per menu, stopped by every way of closing, waited for under the table lock).
#include "app/menu_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "app/file_select_dlg.h"
#include "app/hatsu_menu_dlg.h"
#include "app/main_dlg.h"
#include "app/naisen_menu_dlg.h"
#include "data/call_history.h"
#include "data/exchange_format.h"
#include "data/history_files.h"
#include "data/phonebook_tables_test_support.h"
#include "data/restriction_table.h"
#include "ui/scripted/scripted_ui.h"
#include "ui/window_registry.h"
#include "web/http_client_test_support.h"

using namespace phonebook_test;

namespace {

using MenuFactory = std::function<std::unique_ptr<CEditorMenuDlg>()>;

template <typename Menu>
MenuFactory make() {
  return [] { return std::make_unique<Menu>(); };
}

std::string number(int n) {
  SpeedDialFields f;
  getSpeedDialEntry(n, f);
  return f.number;
}

bool tableLockFree() {
  return std::async(std::launch::async,
                    [] {
                      if (!tableLock().try_lock()) return false;
                      tableLock().unlock();
                      return true;
                    })
      .get();
}

bool answers(int port) { return testhttp::Connection(port).fd >= 0; }

class Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    startUp();
    setBrowserLauncherForTesting([this](const std::string& url) { opened_.push_back(url); });
  }
  void TearDown() override {
    setBrowserLauncherForTesting({});
    EXPECT_TRUE(ui_.faults().empty()) << ui_.faults().front();
  }
  // Any free port, the pages of this build.
  static void prepare(CEditorMenuDlg& menu) {
    menu.Editor().SetPort(0);
    menu.Editor().SetDocumentRoot(std::string(ZU_BINARY_DIR) + "/bin/HTMLFiles/");
  }
  static std::string urlOf(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

  ScriptedUi ui_;
  std::vector<std::string> opened_;
  TempDir dir_;
};

std::string restrictionBytes() {
  return std::string(reinterpret_cast<const char*>(restrictionTable), sizeof restrictionTable) +
         std::string(reinterpret_cast<const char*>(restrictionInput), sizeof restrictionInput);
}

TEST_F(Menus, EachMenuShowsItsTextsAndOnlyThePhonebookMenuRestoresOnClose) {
  struct Case {
    MenuFactory menu;
    HistoryKind history;
    int id;
    std::vector<std::string> texts;  // 1294, 1295, 1077, IDCANCEL
    bool restores;
  };
  // clang-format off
  const Case cases[] = {
      {make<CMenuDlg>(), HistoryKind::Internal, 222,
       {"ファイルデータ読込", "ファイルデータ保存", "詳細設定", "戻る"}, true},
      {make<CNaisenMenuDlg>(), HistoryKind::Internal, 391,
       {"内線着信履歴ファイルデータ読込", "内線着信履歴ファイルデータ保存", "内線着信履歴表示", "戻る"}, false},
      {make<CNaisenMenuDlg>(), HistoryKind::External, 391,
       {"外線着信履歴ファイルデータ読込", "外線着信履歴ファイルデータ保存", "外線着信履歴表示", "戻る"}, false},
      {make<CHatsuMenuDlg>(), HistoryKind::External, 392,
       {"発信規制番号ファイルデータ読込", "発信規制番号ファイルデータ保存", "発信規制番号編集", "戻る"}, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    startUp();
    historyKind = c.history;
    setSpeedDial(42, "0312345678", "本社", "ﾎﾝｼｬ", "1", "01", 1, 0, 0, 0);
    snapshotPhonebook();
    setSpeedDial(43, "0333333333", "後", "ｱﾄ", "1", "01", 1, 0, 0, 0);  // a restore drops it
    RestrictionEntry e{};
    std::strcpy(e.number, "0120");
    storeRestrictionEntry(5, e, RestrictionStoreMode::FileLoad);
    const std::string phonebook = phonebookBytes();
    const std::string restrictions = restrictionBytes();
    std::unique_ptr<CEditorMenuDlg> menu = c.menu();
    std::vector<std::string> shown;
    int focus = 0;
    ui_.onDialogOnce(c.id, [&](DialogDriver& d) {
      for (int id : {kMenuLoadButton, kMenuSaveButton, kMenuBrowserButton, IDCANCEL}) {
        shown.push_back(d.text(id));
        EXPECT_TRUE(d.isEnabled(id));
      }
      focus = d.focus();
      EXPECT_EQ(d.caption(), "メニュー選択");
      d.close();
    });
    EXPECT_EQ(menu->DoModal(), IDCANCEL);
    EXPECT_EQ(shown, c.texts) << c.id;
    EXPECT_EQ(focus, kMenuBrowserButton) << c.id;
    EXPECT_EQ(number(43), c.restores ? "" : "0333333333") << c.id;
    if (!c.restores) {
      EXPECT_EQ(firstDifference(phonebookBytes(), phonebook), "") << c.id;
    }
    EXPECT_EQ(restrictionBytes(), restrictions) << c.id;
  }
}

TEST_F(Menus, PhonebookEditAsksBeforeAMemoryCountChangeOverLoadedData) {
  struct Case {
    bool edited;
    bool choose990;
    int answer;
    bool asked;
    bool opened;
    int memoryAfter;
  };
  const Case cases[] = {
      {true, false, IDYES, false, true, 1},  // the count did not change
      {false, true, IDYES, false, true, 2},  // nothing loaded or edited: no question
      {true, true, IDNO, true, false, 1},
      {true, true, IDYES, true, true, 2},
  };
  for (const Case& c : cases) {
    startUp();
    setSpeedDial(42, "0312345678", "本社", "ﾎﾝｼｬ", "1", "01", 1, 0, 0, 0);
    snapshotPhonebook();
    tablesEdited = c.edited ? 1 : 0;
    historyKind = HistoryKind::External;
    fileKind = ExchangeKind::Templates;
    ScriptedUi ui;
    ui.answer(main_dlg_text::kMemoryCountCaption, c.answer);
    bool opened = false;
    ui.onDialog(kMenuDlgId, [&](DialogDriver& d) {
      opened = true;
      EXPECT_EQ(historyKind, HistoryKind::Internal);
      EXPECT_FALSE(fileKind.has_value());
      d.click(IDCANCEL);
    });
    std::unique_ptr<CTCPFileTransfer> link;
    CMainDlg main(link);
    ui.onDialog(kMainDlgId, [&](DialogDriver& d) {
      if (c.choose990) {
        d.dialog().ShowDlgItem(kMainMemory990, true);
        d.click(kMainMemory990);
      }
      d.click(kMainPhonebookEdit);
      EXPECT_EQ(d.focus(), kMainPhonebookEdit);
      d.click(kMainExit);
    });
    main.DoModal();
    bool asked = false;
    for (const MessageBoxRecord& m : ui.messages()) {
      if (m.caption != main_dlg_text::kMemoryCountCaption) continue;
      asked = true;
      EXPECT_EQ(m.text,
                "システム短縮ダイヤルのメモリー数が変更されているため\n電話帳データは全てクリア"
                "されます。続行しますか？\n");
      EXPECT_EQ(m.buttons(), static_cast<unsigned>(MB_YESNO));
      EXPECT_EQ(m.icon(), static_cast<unsigned>(MB_ICONQUESTION));
    }
    const std::string what = std::to_string(&c - cases);
    EXPECT_EQ(asked, c.asked) << what;
    EXPECT_EQ(opened, c.opened) << what;
    EXPECT_EQ(memoryMode, c.memoryAfter) << what;
    EXPECT_EQ(number(42), "0312345678") << what << ": the tables are not cleared";
    if (!c.opened) {
      EXPECT_EQ(historyKind, HistoryKind::External) << what;
    }
    EXPECT_TRUE(ui.faults().empty()) << what;
  }
}

TEST_F(Menus, HistoryAndRestrictionButtonsOpenTheirMenusAndGiveTheMainDialogBackNormal) {
  fileKind = ExchangeKind::SpeedDial;
  std::vector<std::string> shows;
  std::vector<int> menusOpened;
  auto minimiseAndClose = [&](DialogDriver& d) {
    menusOpened.push_back(d.id());
    if (d.id() == kNaisenMenuDlgId) {
      shows.push_back(d.text(kMenuBrowserButton));
      EXPECT_FALSE(fileKind.has_value());
      fileKind = ExchangeKind::SpeedDial;
    }
    d.dialog().Parent()->ShowWindow(SW_MINIMIZE);
    d.pressEscape();
  };
  ui_.onDialog(kNaisenMenuDlgId, minimiseAndClose);
  ui_.onDialog(kHatsuMenuDlgId, minimiseAndClose);
  std::unique_ptr<CTCPFileTransfer> link;
  CMainDlg main(link);
  ui_.onDialogOnce(kMainDlgId, [&](DialogDriver& d) {
    for (int b : {kMainInternalHistory, kMainExternalHistory, kMainRestrictionMenu}) {
      d.click(b);
      EXPECT_FALSE(d.dialog().IsIconic()) << b;
      EXPECT_TRUE(d.dialog().IsWindowVisible()) << b;
    }
    EXPECT_EQ(historyKind, HistoryKind::External);
    d.click(kMainExit);
  });
  main.DoModal();
  EXPECT_EQ(menusOpened, (std::vector<int>{kNaisenMenuDlgId, kNaisenMenuDlgId, kHatsuMenuDlgId}));
  EXPECT_EQ(shows, (std::vector<std::string>{"内線着信履歴表示", "外線着信履歴表示"}));
}

TEST_F(Menus, PhonebookMenuKeepsWhatALoadBroughtAndDropsLaterUncheckedEdits) {
  ui_.onDialog(kFileSelectDlgId, [](DialogDriver& d) {
    d.click(kFileSelectSpeedDial);
    d.click(IDCANCEL);
  });
  const std::string book = dir_.file("book.zud8");
  // The save restores first: an edit the editor's checks did not accept is not saved.
  setSpeedDial(42, "0312345678", "本社", "ﾎﾝｼｬ", "1", "01", 1, 0, 0, 0);
  snapshotPhonebook();
  setSpeedDial(44, "0344444444", "未確認", "ﾐｶｸﾆﾝ", "1", "01", 1, 0, 0, 0);
  {
    CMenuDlg menu;
    ui_.onDialogOnce(kMenuDlgId, [&](DialogDriver& d) {
      ui_.answerFile(book);
      d.click(kMenuSaveButton);
      EXPECT_EQ(fileDirection, 1);
      d.click(IDCANCEL);
    });
    menu.DoModal();
  }
  EXPECT_EQ(number(44), "");

  for (int check : {1, 0}) {
    startUp();
    duplicateCheck = check;
    CMenuDlg menu;
    ui_.onDialogOnce(kMenuDlgId, [&](DialogDriver& d) {
      ui_.answerFile(book);
      d.click(kMenuLoadButton);
      EXPECT_EQ(fileDirection, 0);
      EXPECT_EQ(number(42), "0312345678");
      // As an edit the checks did not take into the snapshot.
      setSpeedDial(43, "0333333333", "後", "ｱﾄ", "1", "01", 1, 0, 0, 0);
      d.click(IDCANCEL);
    });
    EXPECT_EQ(menu.DoModal(), IDCANCEL);
    EXPECT_EQ(number(42), "0312345678") << check;
    EXPECT_EQ(number(44), "") << check;
    EXPECT_EQ(number(43), check == 1 ? "" : "0333333333") << check;
    EXPECT_EQ(tablesEdited, 1);
  }
  EXPECT_TRUE(ui_.messages().empty()) << ui_.lastMessage().text;
}

// Records, when the wait cursor comes on, whether the menu's controls are all off and whether
// the table lock is held.
class ProbingUi : public ScriptedUi {
 public:
  CDialog* menu = nullptr;
  int waits = 0;
  bool allOff = true;
  bool lockHeld = true;
  void cursorChanged(bool wait) override {
    if (wait && menu) {
      ++waits;
      for (int id : {kMenuLoadButton, kMenuSaveButton, kMenuBrowserButton, IDCANCEL})
        allOff = allOff && !menu->IsDlgItemEnabled(id);
      allOff = allOff && !menu->IsCloseCommandEnabled();
      lockHeld = lockHeld && !tableLockFree();
    }
    ScriptedUi::cursorChanged(wait);
  }
};

TEST_F(Menus, FileButtonsWorkUnderTheTableLockWithTheMenuOffAndGiveTheFocusBack) {
  struct Case {
    MenuFactory menu;
    int button;
    std::string file;
  };
  const Case cases[] = {
      {make<CHatsuMenuDlg>(), kMenuSaveButton, "numbers.zud7"},
      {make<CHatsuMenuDlg>(), kMenuLoadButton, "numbers.zud7"},
      {make<CNaisenMenuDlg>(), kMenuSaveButton, "internal.csv"},
      {make<CNaisenMenuDlg>(), kMenuLoadButton, "internal.csv"},
  };
  for (const Case& c : cases) {
    ProbingUi ui;
    std::unique_ptr<CEditorMenuDlg> menu = c.menu();
    ui.menu = menu.get();
    int focus = 0;
    bool allOn = true;
    ui.onDialogOnce(menu->DialogId(), [&](DialogDriver& d) {
      ui.answerFile(dir_.file(c.file));
      d.click(c.button);
      focus = d.focus();
      for (int id : {kMenuLoadButton, kMenuSaveButton, kMenuBrowserButton, IDCANCEL})
        allOn = allOn && d.isEnabled(id);
      allOn = allOn && menu->IsCloseCommandEnabled();
      d.click(IDCANCEL);
    });
    menu->DoModal();
    const std::string what = std::to_string(menu->DialogId()) + "/" + std::to_string(c.button);
    EXPECT_EQ(ui.waits, 1) << what;
    EXPECT_TRUE(ui.allOff) << what;
    EXPECT_TRUE(ui.lockHeld) << what;
    EXPECT_TRUE(allOn) << what;
    EXPECT_EQ(focus, c.button) << what;
    EXPECT_TRUE(tableLockFree()) << what;
    EXPECT_TRUE(ui.messages().empty()) << what << ": " << ui.lastMessage().text;
    EXPECT_TRUE(ui.faults().empty()) << what;
  }
}

TEST_F(Menus, BrowserButtonStartsOneServerAndEveryWayOfClosingStopsIt) {
  struct Case {
    MenuFactory menu;
    std::function<void(DialogDriver&)> close;
  };
  const Case cases[] = {
      {make<CMenuDlg>(), [](DialogDriver& d) { d.click(IDCANCEL); }},
      {make<CNaisenMenuDlg>(), [](DialogDriver& d) { d.pressEscape(); }},
      {make<CHatsuMenuDlg>(), [](DialogDriver& d) { d.close(); }},
  };
  for (const Case& c : cases) {
    opened_.clear();
    std::unique_ptr<CEditorMenuDlg> menu = c.menu();
    prepare(*menu);
    int port = 0;
    ui_.onDialogOnce(menu->DialogId(), [&](DialogDriver& d) {
      d.click(kMenuBrowserButton);
      port = menu->Editor().Server().GetPort();
      d.click(kMenuBrowserButton);
      EXPECT_EQ(menu->Editor().Server().GetPort(), port);
      EXPECT_NE(testhttp::roundTrip(port, "GET / HTTP/1.0\r\n\r\n").find("200 OK"),
                std::string::npos);
      EXPECT_EQ(d.focus(), kMenuBrowserButton);
      c.close(d);
    });
    EXPECT_EQ(menu->DoModal(), IDCANCEL);
    ASSERT_NE(port, 0) << menu->DialogId();
    EXPECT_EQ(opened_, (std::vector<std::string>{urlOf(port), urlOf(port)})) << menu->DialogId();
    EXPECT_FALSE(menu->Editor().Server().IsRunning());
    EXPECT_FALSE(answers(port)) << menu->DialogId();
  }
  EXPECT_TRUE(ui_.messages().empty()) << ui_.lastMessage().text;
}

TEST_F(Menus, ABrowserThatCannotStartLeavesTheAddressToOpenByHand) {
  setBrowserLauncherForTesting({});
  setenv("BROWSER", dir_.file("no-such-browser").c_str(), 1);
  CMenuDlg menu;
  prepare(menu);
  int port = 0;
  ui_.onDialogOnce(kMenuDlgId, [&](DialogDriver& d) {
    d.click(kMenuBrowserButton);
    port = menu.Editor().Server().GetPort();
    EXPECT_TRUE(answers(port)) << "the server stays up for the address shown";
    d.click(IDCANCEL);
  });
  menu.DoModal();
  unsetenv("BROWSER");
  const MessageBoxRecord m = ui_.lastMessage();
  EXPECT_EQ(m.text, "ブラウザを起動できませんでした。\n次のアドレスをブラウザで開いてください。\n" +
                        urlOf(port));
  EXPECT_EQ(m.caption, "詳細設定");
  EXPECT_EQ(m.icon(), static_cast<unsigned>(MB_ICONWARNING));
}

// A menu that notes the posted message a worker waits for.
class ProbeMenu : public CHatsuMenuDlg {
 public:
  static constexpr unsigned kProbe = WM_USER + 77;
  std::atomic<bool> delivered{false};
  void OnMessage(unsigned msg, std::uintptr_t wParam) override {
    if (msg == kProbe) delivered = true;
    CHatsuMenuDlg::OnMessage(msg, wParam);
  }
};

TEST_F(Menus, CloseWaitsForAWorkerHoldingTheLockAndKeepsDeliveringMessagesMeanwhile) {
  ProbeMenu menu;
  prepare(menu);
  std::atomic<bool> held{false};
  std::atomic<bool> go{false};
  std::thread worker([&] {
    while (!go) std::this_thread::yield();
    std::lock_guard<std::mutex> lock(tableLock());  // as a post that shows a message
    held = true;
    postToWindow("メニュー選択", ProbeMenu::kProbe, 0);
    for (int i = 0; i < 500 && !menu.delivered; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  int port = 0;
  ui_.onDialogOnce(kHatsuMenuDlgId, [&](DialogDriver& d) {
    d.click(kMenuBrowserButton);
    port = menu.Editor().Server().GetPort();
    go = true;
    while (!held) std::this_thread::yield();
    d.click(IDCANCEL);
    EXPECT_TRUE(menu.delivered) << "the close delivered the worker's message while it waited";
  });
  menu.DoModal();
  worker.join();
  EXPECT_TRUE(menu.delivered);
  EXPECT_FALSE(answers(port));
}

TEST_F(Menus, AMenuThatGoesWithoutItsCloseStillStopsItsServerUnderTheLock) {
  int port = 0;
  std::atomic<bool> held{false};
  std::thread worker;
  std::chrono::steady_clock::time_point start;
  {
    CHatsuMenuDlg menu;
    prepare(menu);
    ui_.onDialogOnce(kHatsuMenuDlgId, [&](DialogDriver& d) {
      d.click(kMenuBrowserButton);
      port = menu.Editor().Server().GetPort();
      d.dialog().EndDialog(IDOK);  // the program ends around the menu
    });
    EXPECT_EQ(menu.DoModal(), IDOK);
    EXPECT_TRUE(answers(port));
    worker = std::thread([&] {
      std::lock_guard<std::mutex> lock(tableLock());
      held = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    while (!held) std::this_thread::yield();
    start = std::chrono::steady_clock::now();
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  worker.join();
  EXPECT_FALSE(answers(port));
}

TEST_F(Menus, ALoadWithFindingsOffersItsReportAndSavesItAsCsvOnYes) {
  const std::string book = dir_.file("book.csv");
  writeFile(book, std::string(kSpeedDial10Header) + "\r\n" +
                      "0000,0311112222,AB\"CD,,1,01,0,0,000,000\r\n"
                      "0001,0311112222,N,,1,45,0,0,000,000\r\n");
  const std::string numbers = dir_.file("numbers.csv");
  writeFile(numbers, "0001,03-1111,\r\n0002,0120,\r\n");
  const std::string internal = dir_.file("internal.csv");
  writeFile(internal, internalHistoryCsvTitle() + "\n1,2024/01/01\n9999,2024/01/02\n");
  ui_.onDialog(kFileSelectDlgId, [](DialogDriver& d) {
    d.click(kFileSelectSpeedDial);
    d.click(IDCANCEL);
  });
  struct Case {
    MenuFactory menu;
    std::string file;
    int rows;
    int answer;
  };
  const Case cases[] = {
      {make<CMenuDlg>(), book, 2, IDYES},
      {make<CHatsuMenuDlg>(), numbers, 1, IDYES},
      {make<CNaisenMenuDlg>(), internal, 1, IDYES},
      {make<CMenuDlg>(), book, 2, IDNO},
  };
  for (const Case& c : cases) {
    startUp();
    historyKind = HistoryKind::Internal;
    const std::string report = dir_.file("report.csv");
    std::remove(report.c_str());
    const std::size_t dialogsBefore = ui_.fileDialogs().size();
    std::unique_ptr<CEditorMenuDlg> menu = c.menu();
    ui_.onDialogOnce(menu->DialogId(), [&](DialogDriver& d) {
      ui_.answerFile(c.file);
      ui_.answer("読込報告", c.answer);
      if (c.answer == IDYES) ui_.answerFile(report);
      d.click(kMenuLoadButton);
      d.click(IDCANCEL);
    });
    menu->DoModal();
    const std::string what = c.file + "/" + std::to_string(c.answer);
    const MessageBoxRecord asked = ui_.lastMessage();
    EXPECT_EQ(asked.caption, "読込報告") << what;
    EXPECT_EQ(asked.text, "\n読み込んだファイルの " + std::to_string(c.rows) +
                              " 行を変更または除外しました。\n一覧をCSVファイルに保存しますか？\n")
        << what;
    EXPECT_NE(asked.owner, nullptr) << what;
    if (c.answer == IDYES) {
      const std::string csv = cp932ToUtf8(readFile(report));
      EXPECT_TRUE(csv.starts_with("ファイル,行,項番,項目,内容,ファイルの値\r\n")) << what;
      EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), c.rows + 1) << what << csv;
      EXPECT_EQ(ui_.fileDialogs().back().request.title, "ファイルの保存") << what;
    } else {
      EXPECT_FALSE(fileExists(report)) << what;
      EXPECT_EQ(ui_.fileDialogs().size(), dialogsBefore + 1) << what;
    }
  }
}

}  // namespace
