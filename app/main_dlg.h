// CMainDlg: the program's main window ("短縮設定/着信履歴プログラム（Zu）"), whose buttons start
// the phonebook, call-history and restriction-number workflows. Every way of closing it asks the
// exit question first; Enter never closes it. Each communication workflow gets a fresh work
// folder of its own (kept when a write failed, so the prepared files can be looked at). The
// phonebook edit, history and restriction buttons open the menus (app/menu_dlg.h,
// app/naisen_menu_dlg.h, app/hatsu_menu_dlg.h); the phonebook edit button first takes the memory
// count chosen here, asking before a change when local data was loaded or edited.
#pragma once

#include <memory>

#include "app/communication_workflow.h"
#include "data/table_kinds.h"
#include "ui/dialog.h"

extern const DialogResource kMainDlg;

constexpr int kMainDlgId = 220;
constexpr int kMainPhonebookRead = 1134;
constexpr int kMainPhonebookWrite = 1135;
constexpr int kMainPhonebookEdit = 1010;
constexpr int kMainHistoryRead = 1136;
constexpr int kMainInternalHistory = 1137;
constexpr int kMainExternalHistory = 1141;
constexpr int kMainRestrictionRead = 1140;
constexpr int kMainRestrictionWrite = 1139;
constexpr int kMainRestrictionMenu = 1142;
constexpr int kMainExit = 1133;
constexpr int kMainVersion = 2503;
constexpr int kMainUnitVersions = 2504;
constexpr int kMainDuplicatesAllowed = 2564;
constexpr int kMainDuplicatesRefused = 2565;
constexpr int kMainMemory600 = 2569;
constexpr int kMainMemory990 = 2570;

namespace main_dlg_text {
inline constexpr const char* kMemoryCountCaption = "電話帳データ読込確認";
inline constexpr const char* kMemoryCountChanged =
    "システム短縮ダイヤルのメモリー数が変更されているため\n電話帳データは全てクリアされます。"
    "続行しますか？\n";
}  // namespace main_dlg_text

class CMainDlg : public CDialog {
 public:
  // `link` is the process's link slot: filled at initialisation when it is empty.
  explicit CMainDlg(std::unique_ptr<CTCPFileTransfer>& link);

  // A control port other than the unit's usual one for the workflows (0: the usual one).
  void SetUnitPort(int port) { m_unitPort = port; }
  WorkflowOutcome LastOutcome() const { return m_lastOutcome; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override {}
  void OnCommand(int id) override;
  void OnClose() override;
  bool PreTranslateKeyDown(int key) override;

 private:
  // The menu buttons: each runs its menu modally, then shows this dialog normal.
  void openPhonebookMenu();
  void openHistoryMenu(HistoryKind kind);
  void openRestrictionMenu();
  void showNormal();
  void runWorkflow(int button, WorkflowOutcome (*workflow)(WorkflowSite&));

  std::unique_ptr<CTCPFileTransfer>& m_link;
  int m_memoryMode;
  int m_unitPort = 0;
  WorkflowOutcome m_lastOutcome = WorkflowOutcome::Stopped;
};
