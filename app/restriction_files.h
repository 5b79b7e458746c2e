// The file operations of the menu dialogs for restriction numbers and call histories: what the
// load button (1294) and the save button (1295) of the menu run.
//
// Each operation asks for the file with the common file dialog, reports every failure with a
// message box owned by the menu, and while it works disables the menu's buttons 1294, 1295, 1077
// and 2 and its Close command and shows the wait cursor; all of that is restored on every path,
// with the focus back on the button that was pressed. The menu may be null (zuctl convert): the
// dialogs and messages are then shown without an owner. Runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "data/local_file_text.h"

class CDialog;

// Load button of the restriction-number menu: a ".zud7" or ".csv" file merged into the list. What
// it refused or changed is kept in lastLoadReport() and, with a menu, offered after the load
// (app/load_report_offer.h).
void loadRestrictionFile(CDialog* menu);
// Save button of the restriction-number menu: the normalised list into a ".zud7" or ".csv" file.
void saveRestrictionFile(CDialog* menu);

// The path last chosen in the restriction menu's file dialogs ("" before the first choice).
const std::string& lastRestrictionFilePath();

// Free bytes the save needs on the target's volume.
constexpr unsigned long long kRestrictionSaveFreeSpace = 311000;

// The menu controls a file operation disables, and restores when it goes.
class MenuFileOperation {
public:
  // Disables the controls and the Close command and shows the wait cursor. pressedButton gets
  // the focus back at the end.
  MenuFileOperation(CDialog* menu, int pressedButton);
  ~MenuFileOperation();
  MenuFileOperation(const MenuFileOperation&) = delete;
  MenuFileOperation& operator=(const MenuFileOperation&) = delete;

  // Restores everything now (the destructor then does nothing).
  void restore();

private:
  CDialog* m_menu;
  int m_pressedButton;
  bool m_active = true;
};

// Shared by the menu file operations: the texts of their messages (UTF-8).
namespace menu_file_text {
constexpr const char* kChooseTitle = "ファイルの選択";
constexpr const char* kSaveTitle = "ファイルの保存";
constexpr const char* kNotFound = " ファイルが見つかりません。再度ファイルを選択して下さい。";
constexpr const char* kNotFoundCaption = "ファイルの確認";
constexpr const char* kCannotOpen =
    "ファイルが読み込めません。\n\n他のアプリケーションで使用していないか、確認して下さい。";
constexpr const char* kCannotOpenCaption = "オープンエラー";
constexpr const char* kNoFile = local_file_text::kNoFile;
constexpr const char* kDataError = local_file_text::kDataError;
constexpr const char* kSaveError = local_file_text::kSaveError;
constexpr const char* kNoSpace = "\n空き容量が不足しています。\n";
constexpr const char* kErrorCaption = local_file_text::kErrorCaption;
}  // namespace menu_file_text

// True when the file at `path` opens for reading now.
bool opensForReading(const std::string& path);

// False only when the volume that holds `path` is known to have fewer than `bytes` free bytes
// (a volume that cannot be examined does not stop a save).
bool hasRoomToSave(const std::string& path, std::uint64_t bytes);

// Shows an error message owned by the menu (exclamation icon).
void showMenuFileError(CDialog* menu, const char* text, const char* caption);

// Asks for an existing file to load until one is chosen that exists (telling the user when it
// does not) or the dialog is cancelled. Returns "" when cancelled, or after telling the user
// that the chosen file cannot be opened.
std::string chooseFileToLoad(CDialog* menu, const char* defaultExt, const char* filter);

// Asks for the file to save to. "" when cancelled or when no usable name came back (the user
// is told).
std::string chooseFileToSave(CDialog* menu, const char* defaultExt, const char* filter);
