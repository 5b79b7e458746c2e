// CDlFileMakeDlg: the progress window of the phonebook write's file preparation, titled
// "ファイル作成中" (kFileMakeProgressTitle).
//
// The workflow builds it, creates it modeless, shows it while it renders the tables into the
// exchange files and upload blocks, and destroys it on every path. Each percent change lets up
// to two pending window messages through. The protocol is CProgressDlg's (app/progress_dlg.h).
#pragma once

#include <string_view>

#include "app/progress_dlg.h"

extern const DialogResource kDlFileMakeDlg;

constexpr int kDlFileMakeDlgId = 377;
inline constexpr std::string_view kFileMakeProgressTitle = "ファイル作成中";

class CDlFileMakeDlg : public CProgressDlg {
 public:
  CDlFileMakeDlg();
};
