#include "app/restriction_files.h"

#include <cstdio>

#include "app/load_report_offer.h"
#include "base/platform.h"
#include "data/load_report.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "ui/cursor.h"
#include "ui/dialog.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

namespace {

constexpr int kLoadButton = 1294;
constexpr int kSaveButton = 1295;
constexpr int kBrowserButton = 1077;
constexpr int kMenuControls[] = {kLoadButton, kSaveButton, kBrowserButton, IDCANCEL};

constexpr const char* kRestrictionFilter = " zud7ﾌｧｲﾙ(*.zud7)|*.zud7|csvﾌｧｲﾙ(*.csv)|*.csv|";
constexpr const char* kRestrictionExt = "zud7";

std::string& restrictionPath() {
  static std::string path;
  return path;
}

}  // namespace

bool opensForReading(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

bool hasRoomToSave(const std::string& path, std::uint64_t bytes) {
  const std::string dir = directoryOf(path);
  const std::optional<std::uint64_t> free = freeDiskSpace(dir.empty() ? "." : dir);
  return !free || *free >= bytes;
}

MenuFileOperation::MenuFileOperation(CDialog* menu, int pressedButton)
    : m_menu(menu), m_pressedButton(pressedButton) {
  if (m_menu) {
    for (int id : kMenuControls) m_menu->EnableDlgItem(id, false);
    m_menu->EnableCloseCommand(false);
  }
  showWaitCursor(true);
}

MenuFileOperation::~MenuFileOperation() { restore(); }

void MenuFileOperation::restore() {
  if (!m_active) return;
  m_active = false;
  if (m_menu) {
    for (int id : kMenuControls) m_menu->EnableDlgItem(id, true);
    m_menu->EnableCloseCommand(true);
    m_menu->SetFocusTo(m_pressedButton);
  }
  showWaitCursor(false);
}

void showMenuFileError(CDialog* menu, const char* text, const char* caption) {
  MessageBox(menu, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

std::string chooseFileToLoad(CDialog* menu, const char* defaultExt, const char* filter) {
  using namespace menu_file_text;
  for (;;) {
    CFileDialog dialog(true, defaultExt, nullptr, OFN_HIDEREADONLY, filter, menu);
    dialog.SetTitle(kChooseTitle);
    if (dialog.DoModal() != IDOK) return {};
    std::string path = dialog.GetPathName();
    if (path.empty() || !fileExists(path)) {
      showMenuFileError(menu, kNotFound, kNotFoundCaption);
      continue;
    }
    if (!opensForReading(path)) {
      showMenuFileError(menu, kCannotOpen, kCannotOpenCaption);
      return {};
    }
    return path;
  }
}

std::string chooseFileToSave(CDialog* menu, const char* defaultExt, const char* filter) {
  using namespace menu_file_text;
  CFileDialog dialog(false, defaultExt, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter,
                     menu);
  dialog.SetTitle(kSaveTitle);
  if (dialog.DoModal() != IDOK) return {};
  std::string path = dialog.GetPathName();
  if (path.empty() || fileNameOf(path).empty()) {
    showMenuFileError(menu, kCannotOpen, kCannotOpenCaption);
    return {};
  }
  return path;
}

const std::string& lastRestrictionFilePath() { return restrictionPath(); }

void loadRestrictionFile(CDialog* menu) {
  using namespace menu_file_text;
  std::string path = chooseFileToLoad(menu, kRestrictionExt, kRestrictionFilter);
  if (path.empty()) return;
  restrictionPath() = path;
  LoadReport& report = lastLoadReport();
  report.clear();
  MenuFileOperation operation(menu, kLoadButton);
  const int result = loadRestrictionLocalFile(path, &report);
  // A file that cannot be opened and a tagged file with a wrong head are reported while the
  // controls are still disabled; a parse failure is reported once they are back.
  if (result == 30 || result == kRestrictionHeadError) {
    showMenuFileError(menu, result == 30 ? kNoFile : kDataError, kErrorCaption);
    return;
  }
  operation.restore();
  if (result != 0) {
    showMenuFileError(menu, kDataError, kErrorCaption);
    return;
  }
  tablesEdited = 1;
  if (menu) offerLoadReport(menu, report);
}

void saveRestrictionFile(CDialog* menu) {
  using namespace menu_file_text;
  std::string path = chooseFileToSave(menu, kRestrictionExt, kRestrictionFilter);
  if (path.empty()) return;
  restrictionPath() = path;
  if (!hasRoomToSave(path, kRestrictionSaveFreeSpace)) {
    showMenuFileError(menu, kNoSpace, kErrorCaption);
    return;
  }
  MenuFileOperation operation(menu, kSaveButton);
  if (saveRestrictionLocalFile(path) != 0) showMenuFileError(menu, kSaveError, kErrorCaption);
}
