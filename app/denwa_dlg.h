// CDenwaDlg: the phonebook write confirmation ("電話帳データの書込確認"), where the user picks
// what the write sends: any of the 20 speed-dial blocks of 500 numbers, the extension phonebook
// and the template messages.
//
// Run it modally after clearing writeSelection (data/process_state.h). The 22 check boxes show
// and edit writeSelection[0..21]: each box starts as its entry stands, and a click sets the entry
// to the box's new state (1 ticked, 0 not). OK with nothing ticked is refused with a message box
// and the dialog stays open; otherwise DoModal() returns IDOK. Cancel returns IDCANCEL, leaving
// writeSelection as the user left it.
//
// The boxes of what differs from the write baseline (data/phonebook_baseline.h: the last read
// or file load) carry the mark " ＊", and the button "変更分のみ" ticks exactly those and unticks
// the rest. The button is greyed while nothing is known to differ: no read or load yet, or the
// tables as they were read or loaded.
#pragma once

#include "data/phonebook_baseline.h"
#include "ui/dialog.h"

extern const DialogResource kDenwaDlg;

constexpr int kDenwaDlgId = 390;
// Check box of speed-dial block 0 (0000-0499); block i is kDenwaFirstBlock + i.
constexpr int kDenwaFirstBlock = 2566;
constexpr int kDenwaBlockCount = 20;
constexpr int kDenwaExtensions = 2590;
constexpr int kDenwaTemplates = 2591;
constexpr int kDenwaChangedOnly = 2592;
// Appended to the text of a box whose table part differs from the write baseline.
constexpr const char* kDenwaChangedMark = " ＊";

// The writeSelection index check box `id` edits, or -1 when `id` is none of the 22 boxes.
int denwaSelectionIndex(int id);

class CDenwaDlg : public CDialog {
 public:
  explicit CDenwaDlg(CWnd* parent = nullptr) : CDialog(kDenwaDlg, parent) {}

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCommand(int id) override;

 private:
  void tickChangedOnly();

  PhonebookChanges m_changes;
};
