// The common open and save file dialogs.
//
// CFileDialog takes the filter string in its classic form, label and pattern separated by '|'
// and ended by an empty pair: " zud8ﾌｧｲﾙ(*.zud8)|*.zud8|csvﾌｧｲﾙ(*.csv)|*.csv|". The backend gets
// the parsed pairs (FileDialogRequest in ui/ui_backend.h). When the chosen file name has no
// extension the default extension is appended. Paths use '/'. Callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_backend.h"
#include "ui/win_types.h"

// Splits a '|'-separated filter string into (label, pattern) pairs. Parsing stops at the first
// empty label; a label without a pattern is dropped. Texts are kept byte for byte.
std::vector<FileFilter> parseFileFilter(std::string_view filter);

// `path` with "." + defaultExt appended when its file name has no extension (no '.' after the
// last '/'); unchanged when defaultExt is empty.
std::string applyDefaultExtension(const std::string& path, std::string_view defaultExt);

class CFileDialog {
 public:
  // open: an open dialog (true) or a save dialog (false). defaultExt without the dot; any of
  // the texts may be null.
  CFileDialog(bool open, const char* defaultExt = nullptr, const char* initialName = nullptr,
              unsigned flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
              const char* filter = nullptr, CWnd* parent = nullptr);
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  void SetTitle(std::string title);
  // Shows the dialog: IDOK when a file was chosen, else IDCANCEL.
  int DoModal();

  // After IDOK: the full path chosen ("" before).
  std::string GetPathName() const;
  // The file name with its extension.
  std::string GetFileName() const;
  // The extension without the dot ("zud8"), "" when none.
  std::string GetFileExt() const;
  // The file name without its extension.
  std::string GetFileTitle() const;
  // The folder of the path, without a trailing '/' ("/" for a file in the root).
  std::string GetFolderPath() const;

  // What the dialog asks of the backend.
  const FileDialogRequest& Request() const { return m_request; }

 private:
  FileDialogRequest m_request;
  std::string m_path;
};
