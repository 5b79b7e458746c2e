#include "app/denwa_dlg.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "data/process_state.h"
#include "ui/message_box.h"

using enum ControlKind;

namespace {

std::vector<ControlResource> denwaControls() {
  static const char* const kBlocks[kDenwaBlockCount] = {
      "0000～0499", "0500～0999", "1000～1499", "1500～1999", "2000～2499",
      "2500～2999", "3000～3499", "3500～3999", "4000～4499", "4500～4999",
      "5000～5499", "5500～5999", "6000～6499", "6500～6999", "7000～7499",
      "7500～7999", "8000～8499", "8500～8999", "9000～9499", "9500～9999"};
  std::vector<ControlResource> c = {
      {Static, IDC_STATIC,
       "電話帳データの書込を開始します。\n書込する短縮番号を指定してください。内線電話帳の書込を行う場合に「内線電話帳」をチェックしてください。\n付加情報定型文の書込を行う場合に「付加情報定型文」をチェックしてください。",
       {.multiline = true}},
      {GroupBox, IDC_STATIC, "短縮番号"}};
  for (int i = 0; i < kDenwaBlockCount; ++i) c.push_back({CheckBox, kDenwaFirstBlock + i, kBlocks[i]});
  c.push_back({GroupBox, IDC_STATIC, "内線電話帳"});
  c.push_back({CheckBox, kDenwaExtensions, "内線電話帳を書込する"});
  c.push_back({GroupBox, IDC_STATIC, "付加情報定型文"});
  c.push_back({CheckBox, kDenwaTemplates, "付加情報定型文を書込する"});
  c.push_back({Static, IDC_STATIC,
               "＊：最後の［電話帳データの読込］またはファイルの読込から変更があるもの"});
  c.push_back({Button, kDenwaChangedOnly, "変更分のみ"});
  c.push_back({Static, IDC_STATIC,
               "【OK】ボタンをクリックすると主装置の電話帳データ・内線電話帳データが変更されます。ボタンをクリックする前にもう一度チェックした内容を確認してください。",
               {.multiline = true}});
  c.push_back({Static, IDC_STATIC,
               "【ご注意】［電話帳データの書込］で内線電話帳や付加情報定型文の書込も行う場合は、［電話帳データの読込］を行ってから、書込を行ってください。\n［電話帳データの読込］を行わずに書込を行うと、主装置側の付加情報定型文や内線番号が初期化されたり、内線名称が変更されたりしますので注意してください。\n未実施の場合は、【キャンセル】ボタンをクリックし、電話帳データをいったん保存して［電話帳データの読込］からやり直してください。",
               {.multiline = true}});
  c.push_back({Button, IDOK, "OK", {.defaultButton = true}});
  c.push_back({Button, IDCANCEL, "ｷｬﾝｾﾙ"});
  return c;
}

int denwaBoxOf(int index) {
  if (index < kDenwaBlockCount) return kDenwaFirstBlock + index;
  return index == kDenwaBlockCount ? kDenwaExtensions : kDenwaTemplates;
}

// Whether writeSelection entry `index` names a part that differs from the baseline.
bool changedAt(const PhonebookChanges& changes, int index) {
  if (index < kDenwaBlockCount) return changes.speedDialBlocks[static_cast<std::size_t>(index)];
  return index == kDenwaBlockCount ? changes.extensions : changes.templates;
}

}  // namespace

static_assert(kDenwaBlockCount == kSpeedDialBlocks);

const DialogResource kDenwaDlg{kDenwaDlgId, "電話帳データの書込確認", denwaControls()};

int denwaSelectionIndex(int id) {
  if (id >= kDenwaFirstBlock && id < kDenwaFirstBlock + kDenwaBlockCount) return id - kDenwaFirstBlock;
  if (id == kDenwaExtensions) return kDenwaBlockCount;
  if (id == kDenwaTemplates) return kDenwaBlockCount + 1;
  return -1;
}

bool CDenwaDlg::OnInitDialog() {
  m_changes = changedSinceBaseline();
  for (int i = 0; i < static_cast<int>(std::size(writeSelection)); ++i) {
    const int box = denwaBoxOf(i);
    CheckDlgButton(box, writeSelection[i] == 1);
    if (changedAt(m_changes, i))
      SetDlgItemText(box, std::string(kDenwaDlg.findControl(box)->text) + kDenwaChangedMark);
  }
  EnableDlgItem(kDenwaChangedOnly, m_changes.any());
  return true;
}

void CDenwaDlg::tickChangedOnly() {
  for (int i = 0; i < static_cast<int>(std::size(writeSelection)); ++i) {
    const bool changed = changedAt(m_changes, i);
    writeSelection[i] = changed ? 1 : 0;
    CheckDlgButton(denwaBoxOf(i), changed);
  }
}

void CDenwaDlg::OnCommand(int id) {
  if (id == kDenwaChangedOnly) {
    tickChangedOnly();
    return;
  }
  const int index = denwaSelectionIndex(id);
  if (index >= 0) writeSelection[index] = IsDlgButtonChecked(id) ? 1 : 0;
}

void CDenwaDlg::OnOK() {
  const bool any = std::any_of(std::begin(writeSelection), std::end(writeSelection),
                               [](std::int32_t v) { return v == 1; });
  if (!any) {
    MessageBox(this, "書込対象がありません。\n【OK】ボタンをクリックして指定してください。", "エラー",
               MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  EndDialog(IDOK);
}
