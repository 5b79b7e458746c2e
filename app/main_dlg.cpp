#include "app/main_dlg.h"

#include "app/exit_confirmation.h"
#include "app/hatsu_menu_dlg.h"
#include "app/history_workflow.h"
#include "app/menu_dlg.h"
#include "app/naisen_menu_dlg.h"
#include "app/phonebook_workflows.h"
#include "app/restriction_workflows.h"
#include "base/work_folder.h"
#include "data/process_state.h"
#include "ui/message_box.h"
#include "web/post_checks.h"

using enum ControlKind;

const DialogResource kMainDlg{kMainDlgId, "短縮設定/着信履歴プログラム（Zu）", {
    {GroupBox, IDC_STATIC, "電話帳データ"},
    {Button, kMainPhonebookRead, "電話帳データの読込"},
    {Button, kMainPhonebookWrite, "電話帳データの書込"},
    {Button, kMainPhonebookEdit, "電話帳データの編集"},
    {GroupBox, IDC_STATIC, "着信履歴"},
    {Button, kMainHistoryRead, "着信履歴の読込"},
    {Button, kMainInternalHistory, "内線着信履歴の\n表示・ファイル操作", {.multiline = true}},
    {Button, kMainExternalHistory, "外線着信履歴の\n表示・ファイル操作", {.multiline = true}},
    {GroupBox, IDC_STATIC, "発信規制番号"},
    {Button, kMainRestrictionRead, "発信規制番号の読込"},
    {Button, kMainRestrictionWrite, "発信規制番号の書込"},
    {Button, kMainRestrictionMenu, "発信規制番号の\n編集・ファイル操作", {.multiline = true}},
    {Static, IDC_STATIC,
     "【ご注意】　［電話帳データの編集］や［電話帳データの書込］を行う場合は、操作する前に必ず"
     "［電話帳データの読込］を行ってから、編集や書込を行ってください。\n［電話帳データの読込］を"
     "行わずに編集や書込を行うと主装置側の付加情報定型文や内線番号が初期化されたり、内線名称が"
     "変更されたりしますので注意してください。",
     {.multiline = true}},
    {Static, kMainVersion, ""},
    {Static, kMainUnitVersions, ""},
    {GroupBox, IDC_STATIC, "電話帳電話番号重複登録設定", {.visible = false}},
    {Radio, kMainDuplicatesAllowed, "「あり」：重複登録可（重複チェック無効）",
     {.visible = false, .group = true}},
    {Radio, kMainDuplicatesRefused, "「なし」：重複登録不可（重複チェック有効）", {.visible = false}},
    {GroupBox, IDC_STATIC, "*120 システム短縮ダイヤルのメモリー数", {.visible = false}},
    {Radio, kMainMemory600, "600メモリー", {.visible = false, .group = true}},
    {Radio, kMainMemory990, "990メモリー", {.visible = false}},
    {Button, kMainExit, "終了"}}};

CMainDlg::CMainDlg(std::unique_ptr<CTCPFileTransfer>& link)
    : CDialog(kMainDlg), m_link(link), m_memoryMode(memoryMode) {}

bool CMainDlg::OnInitDialog() {
  SetDlgItemText(kMainVersion, "バージョン： \tVer 6.1.0.1");
  SetDlgItemText(kMainUnitVersions, "対応主装置版数：「1-X」～「6-X」");
  if (!m_link) m_link = std::make_unique<CTCPFileTransfer>(this);
  CheckRadioButton(kMainDuplicatesAllowed, kMainDuplicatesRefused,
                   duplicateCheck != 0 ? kMainDuplicatesRefused : kMainDuplicatesAllowed);
  CheckRadioButton(kMainMemory600, kMainMemory990,
                   memoryMode == 1 ? kMainMemory600 : kMainMemory990);
  return true;
}

void CMainDlg::runWorkflow(int button, WorkflowOutcome (*workflow)(WorkflowSite&)) {
  RunWorkFolder folder;
  WorkflowSite site{*m_link, this, button, folder.path(), m_memoryMode, m_unitPort, {}};
  m_lastOutcome = workflow(site);
  if (m_lastOutcome == WorkflowOutcome::Failed) folder.keep();
}

void CMainDlg::OnCommand(int id) {
  switch (id) {
    case kMainPhonebookRead: return runWorkflow(id, runPhonebookRead);
    case kMainPhonebookWrite: return runWorkflow(id, runPhonebookWrite);
    case kMainHistoryRead: return runWorkflow(id, runHistoryRead);
    case kMainRestrictionRead: return runWorkflow(id, runRestrictionRead);
    case kMainRestrictionWrite: return runWorkflow(id, runRestrictionWrite);
    case kMainPhonebookEdit: return openPhonebookMenu();
    case kMainInternalHistory: return openHistoryMenu(HistoryKind::Internal);
    case kMainExternalHistory: return openHistoryMenu(HistoryKind::External);
    case kMainRestrictionMenu: return openRestrictionMenu();
    case kMainDuplicatesAllowed: duplicateCheck = 0; return;
    case kMainDuplicatesRefused: duplicateCheck = 1; return;
    case kMainMemory600: m_memoryMode = 1; return;
    case kMainMemory990: m_memoryMode = 2; return;
    case kMainExit:
      if (confirmExit(this)) EndDialog(IDOK);
      return;
    default: return;
  }
}

void CMainDlg::showNormal() { ShowWindow(IsIconic() ? SW_RESTORE : SW_SHOWNORMAL); }

void CMainDlg::openPhonebookMenu() {
  if ((memoryMode & 0xFF) != (m_memoryMode & 0xFF)) {
    if (tablesEdited != 0) {
      if (MessageBox(this, main_dlg_text::kMemoryCountChanged, main_dlg_text::kMemoryCountCaption,
                     MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
      // Only the number index of the duplicate check follows the new count from scratch; the
      // tables and their snapshots stay as they are.
      resetSpeedDialNumberIndex();
    }
    memoryMode = static_cast<std::uint8_t>(m_memoryMode);
  }
  historyKind = HistoryKind::Internal;
  fileKind.reset();
  CMenuDlg menu(this);
  menu.DoModal();
  showNormal();
}

void CMainDlg::openHistoryMenu(HistoryKind kind) {
  historyKind = kind;
  fileKind.reset();
  CNaisenMenuDlg menu(this);
  menu.DoModal();
  showNormal();
}

void CMainDlg::openRestrictionMenu() {
  CHatsuMenuDlg menu(this);
  menu.DoModal();
  showNormal();
}

void CMainDlg::OnClose() {
  if (confirmExit(this)) EndDialog(IDCANCEL);
}

bool CMainDlg::PreTranslateKeyDown(int key) {
  if (key != VK_ESCAPE) return false;
  if (!confirmExit(this)) return true;
  EndDialog(IDCANCEL);
  return false;
}
