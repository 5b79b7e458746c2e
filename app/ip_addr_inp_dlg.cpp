#include "app/ip_addr_inp_dlg.h"

#include <algorithm>

#include "base/cp932.h"
#include "base/sjis.h"
#include "link/tcp_file_transfer.h"
#include "ui/message_box.h"

using enum ControlKind;

const DialogResource kIPAddrInpDlg{kIPAddrInpDlgId, "ホスト名/IPアドレス・パスワード入力", {
    {Static, IDC_STATIC, "主装置のホスト名/IPアドレスとパスワードを入力してください。"},
    {Static, IDC_STATIC, "主装置ホスト名/IPアドレス"},
    {Edit, kIPAddrInpHost, "", {.maxLength = 64}},
    {Static, IDC_STATIC, "パスワード"},
    {Edit, kIPAddrInpPassword, "", {.maxLength = 16, .password = true}},
    {Button, IDOK, "OK", {.defaultButton = true}},
    {Button, IDCANCEL, "ｷｬﾝｾﾙ"}}};

namespace {

// Whether every character of `text` is a single byte in CP932. A character CP932 cannot hold at
// all counts as wide too: it would reach the main unit as '?'.
bool isHalfWidth(const std::string& text) {
  const std::string bytes = utf8ToCp932(text);
  const bool lead = std::any_of(bytes.begin(), bytes.end(),
                                [](char c) { return isSjisLeadByte(static_cast<unsigned char>(c)); });
  return !lead && cp932ToUtf8(bytes) == text;
}

}  // namespace

CIPAddrInpDlg::CIPAddrInpDlg(CTCPFileTransfer& link, CWnd* parent)
    : CDialog(kIPAddrInpDlg, parent), m_link(link) {}

const char* CIPAddrInpDlg::firstEntryError() const {
  if (m_host.empty()) return "\nホスト名または、IPアドレスを入力してください。\n";
  if (!isHalfWidth(m_host)) return "\nホスト名は半角英数字で入力してください。\n";
  if (utf8ToCp932(m_password).size() < 4) return "パスワードを入力してください。";
  if (!isHalfWidth(m_password)) return "パスワードは半角英数字で入力してください。";
  return nullptr;
}

void CIPAddrInpDlg::OnOK() {
  m_host = GetDlgItemText(kIPAddrInpHost);
  m_password = GetDlgItemText(kIPAddrInpPassword);
  if (const char* error = firstEntryError()) {
    MessageBox(this, error, "エラー", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  m_link.SetHost(utf8ToCp932(m_host), kMainUnitPort);
  m_link.SetPassword(utf8ToCp932(m_password));
  EndDialog(IDOK);
}
