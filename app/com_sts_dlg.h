// CComStsDlg: the progress window of a communication workflow, titled "データ通信実行中"
// (kTransferProgressTitle, the title the link posts its progress to).
//
// The workflow builds it, sets the operation, creates it modeless, shows it, and destroys it on
// every path. Above the bar it shows what runs, by operation number:
//   1 phonebook read, 2 phonebook write, 5 call-history read, 6 restriction-number read,
//   7 restriction-number write (other numbers show no text).
// Each percent change lets up to ten pending window messages through. The protocol is
// CProgressDlg's (app/progress_dlg.h).
#pragma once

#include <string_view>

#include "app/progress_dlg.h"

extern const DialogResource kComStsDlg;

constexpr int kComStsDlgId = 339;
// The read-only edit that shows the operation text.
constexpr int kComStsOperationText = 1006;

// The text for operation `operation` ("" for a number no workflow uses).
std::string_view comStsOperationText(int operation);

class CComStsDlg : public CProgressDlg {
 public:
  CComStsDlg();
  // Which workflow runs; set before Create().
  void SetOperation(int operation) { m_operation = operation; }
  int Operation() const { return m_operation; }

 protected:
  bool OnInitDialog() override;

 private:
  int m_operation = 0;
};
