#include "app/load_report_offer.h"

#include <string>

#include "app/restriction_files.h"
#include "data/load_report.h"
#include "ui/dialog.h"
#include "ui/message_box.h"

void offerLoadReport(CDialog* owner, const LoadReport& report) {
  using namespace load_report_text;
  if (report.empty()) return;
  const std::string question = "\n読み込んだファイルの " + std::to_string(report.rowCount()) +
                               " 行を変更または除外しました。\n一覧をCSVファイルに保存しますか？\n";
  if (MessageBox(owner, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  const std::string path = chooseFileToSave(owner, kExtension, kFilter);
  if (path.empty()) return;
  if (!saveLoadReportCsv(path, report)) {
    showMenuFileError(owner, menu_file_text::kSaveError, menu_file_text::kErrorCaption);
  }
}
