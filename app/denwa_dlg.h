// CDenwaDlg: the phonebook write confirmation ("電話帳データの書込確認"), where the user picks
// what the write sends: any of the 20 speed-dial blocks of 500 numbers, the extension phonebook
// and the template messages.
//
// Run it modally after clearing writeSelection (data/process_state.h). The 22 check boxes show
// and edit writeSelection[0..21]: each box starts as its entry stands, and a click sets the entry
// to the box's new state (1 ticked, 0 not). OK with nothing ticked is refused with a message box
// and the dialog stays open; otherwise DoModal() returns IDOK. Cancel returns IDCANCEL, leaving
// writeSelection as the user left it.
#pragma once

#include "ui/dialog.h"

extern const DialogResource kDenwaDlg;

constexpr int kDenwaDlgId = 390;
// Check box of speed-dial block 0 (0000-0499); block i is kDenwaFirstBlock + i.
constexpr int kDenwaFirstBlock = 2566;
constexpr int kDenwaBlockCount = 20;
constexpr int kDenwaExtensions = 2590;
constexpr int kDenwaTemplates = 2591;

// The writeSelection index check box `id` edits, or -1 when `id` is none of the 22 boxes.
int denwaSelectionIndex(int id);

class CDenwaDlg : public CDialog {
 public:
  explicit CDenwaDlg(CWnd* parent = nullptr) : CDialog(kDenwaDlg, parent) {}

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCommand(int id) override;
};
