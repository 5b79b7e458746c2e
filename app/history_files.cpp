#include "app/history_files.h"

#include "app/load_report_offer.h"
#include "app/restriction_files.h"
#include "data/history_files.h"
#include "data/load_report.h"
#include "data/process_state.h"

namespace {

constexpr int kLoadButton = 1294;
constexpr int kSaveButton = 1295;
constexpr const char* kHistoryFilter = " csvﾌｧｲﾙ(*.csv)|*.csv|";
constexpr const char* kHistoryExt = "csv";

std::string& historyPath() {
  static std::string path;
  return path;
}

}  // namespace

const std::string& lastHistoryFilePath() { return historyPath(); }

void loadHistoryFile(CDialog* menu) {
  using namespace menu_file_text;
  std::string path = chooseFileToLoad(menu, kHistoryExt, kHistoryFilter);
  if (path.empty()) return;
  historyPath() = path;
  LoadReport& report = lastLoadReport();
  report.clear();
  int result;
  {
    MenuFileOperation operation(menu, kLoadButton);
    result = loadHistoryCsvFile(path, historyKind, &report);
  }
  if (result != 0) {
    showMenuFileError(menu, kNoFile, kErrorCaption);
    return;
  }
  if (menu) offerLoadReport(menu, report);
}

void saveHistoryFile(CDialog* menu) {
  using namespace menu_file_text;
  std::string path = chooseFileToSave(menu, kHistoryExt, kHistoryFilter);
  if (path.empty()) return;
  historyPath() = path;
  MenuFileOperation operation(menu, kSaveButton);
  if (saveHistoryCsvFile(path, historyKind) != 0) showMenuFileError(menu, kSaveError, kErrorCaption);
}
