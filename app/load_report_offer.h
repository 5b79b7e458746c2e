// After a load with findings, the menus and the file chooser offer the load report
// (data/load_report.h): one question with the number of rows, and on Yes the list saved as CSV
// through the save dialog. Runs on the user-interface thread.
#pragma once

class CDialog;
class LoadReport;

// The question's caption and the report file's dialog filter and default extension.
namespace load_report_text {
constexpr const char* kCaption = "読込報告";
constexpr const char* kFilter = " csvﾌｧｲﾙ(*.csv)|*.csv|";
constexpr const char* kExtension = "csv";
}  // namespace load_report_text

// Nothing when the report is empty. Otherwise asks (Yes/No, owned by `owner`) whether to save the
// list; on Yes the save dialog asks for the file and the list is written (Shift_JIS, replacing
// the file only once complete); a file that cannot be written is told with the save error
// message. Cancelling either leaves everything as it is.
void offerLoadReport(CDialog* owner, const LoadReport& report);
