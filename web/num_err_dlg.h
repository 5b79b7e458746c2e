// CNumErrDlg: the error dialog a rejected post is reported in when no browser window is known.
// A system-modal dialog captioned "エラー" with an icon, the centred message (static 2568) and OK.
#pragma once

#include <string>
#include <string_view>

#include "ui/dialog.h"

extern const DialogResource kNumErrDlg;

// Control ids of the dialog.
constexpr int kNumErrDlgId = 389;
constexpr int kNumErrDlgMessage = 2568;
constexpr int kNumErrDlgIcon = 390;

class CNumErrDlg : public CDialog {
 public:
  explicit CNumErrDlg(CWnd* parent = nullptr) : CDialog(kNumErrDlg, parent) {}
  // The message the dialog shows (UTF-8); set before DoModal().
  void SetMessage(std::string_view message) { m_message = std::string(message); }

 protected:
  bool OnInitDialog() override;

 private:
  std::string m_message;
};
