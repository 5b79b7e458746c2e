// CIPAddrInpDlg: asks for the main unit's host name or IP address and its password before every
// communication workflow ("ホスト名/IPアドレス・パスワード入力").
//
// Run it modally. Both fields start empty for every dialog object and every showing; the host
// takes at most 64 characters, the password at most 16 (a masked field). OK checks the entries
// in order (host given, host half-width, password of at least 4 bytes, password half-width) and
// reports the first failure in a message box, leaving the dialog open; when all pass it has
// stored the host with port 9000 and then the password into the link (as CP932 bytes) before
// DoModal() returns IDOK. The entries stay readable from the object afterwards.
#pragma once

#include <string>

#include "ui/dialog.h"

class CTCPFileTransfer;

extern const DialogResource kIPAddrInpDlg;

constexpr int kIPAddrInpDlgId = 375;
constexpr int kIPAddrInpHost = 2550;
constexpr int kIPAddrInpPassword = 2568;
// The control port of the main unit.
constexpr int kMainUnitPort = 9000;

class CIPAddrInpDlg : public CDialog {
 public:
  explicit CIPAddrInpDlg(CTCPFileTransfer& link, CWnd* parent = nullptr);

  // The entries as the user typed them (UTF-8), taken when OK was pressed.
  const std::string& Host() const { return m_host; }
  const std::string& Password() const { return m_password; }

 protected:
  void OnOK() override;

 private:
  // The message for the first entry that fails its check, or null when both pass.
  const char* firstEntryError() const;

  CTCPFileTransfer& m_link;
  std::string m_host;
  std::string m_password;
};
