// CFileSelectDlg: the file-kind chooser ("ファイル選択") of the phonebook menu's load and save.
//
// Set fileDirection (0 load, 1 save) and run it modally; the direction is taken when it opens.
// Each of the three file buttons sets fileKind (2554 speed dial 1, 2555 extension phonebook 2,
// 2556 templates 3), runs the load or save of that kind (app/phonebook_files.h), and puts the
// focus back on the pressed button; the dialog stays open for further choices. After a load of
// kind 1 or 2 the phonebook snapshot is taken again (snapshotPhonebook), so that the menu's
// restore on close keeps what was loaded; a template load takes none. "キャンセル" closes it.
#pragma once

#include "ui/dialog.h"

extern const DialogResource kFileSelectDlg;

constexpr int kFileSelectDlgId = 378;
constexpr int kFileSelectSpeedDial = 2554;
constexpr int kFileSelectExtensions = 2555;
constexpr int kFileSelectTemplates = 2556;

class CFileSelectDlg : public CDialog {
 public:
  explicit CFileSelectDlg(CWnd* parent = nullptr) : CDialog(kFileSelectDlg, parent) {}
  // Whether the dialog loads (true) or saves; taken from fileDirection when it opens.
  bool LoadMode() const { return m_loadMode; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;

 private:
  bool m_loadMode = true;
};
