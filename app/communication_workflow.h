// The common shape of the five workflows that talk to the main unit: ask for the host and
// password, confirm, disable the main dialog, show the progress window, run the link, take in
// the received files, report, and give the main dialog back.
//
// A workflow runs on a WorkflowSite: the link, the main dialog (null when zuctl drives the
// workflow with the scripted backend), the button that started it (it gets the focus back on
// every path) and the folder that holds the run's files. The same code serves the desktop and
// zuctl; only the site differs.
#pragma once

#include <functional>
#include <string>

#include "link/tcp_file_transfer.h"
#include "ui/dialog.h"

struct WorkflowSite {
  CTCPFileTransfer& link;
  CDialog* mainDialog = nullptr;
  int button = 0;
  // The run's work folder, without a trailing '/'; "" when none could be made.
  std::string workDir;
  // The main dialog's memory-count choice, copied into memoryMode before the transfer.
  int memoryModeChoice = 1;
  // A control port other than the main unit's usual one (0 keeps what the host dialog set).
  int port = 0;
  // The password entered in the host dialog of this run.
  std::string password;
};

// How a workflow ended: stopped by the user before anything ran, failed (an error message was
// shown), or succeeded (the success message was shown).
enum class WorkflowOutcome { Stopped, Failed, Succeeded };

namespace workflow_text {
inline constexpr const char* kErrorCaption = "エラー";
inline constexpr const char* kCommunicationError = "\n通信エラーが発生しました。\n";
inline constexpr const char* kFileReadError = "\nファイルデータ取得エラー発生\n";
inline constexpr const char* kFileSaveError = "\nファイルデータ保存エラー発生\n";
}  // namespace workflow_text

// What varies between the workflows.
struct TransferSteps {
  int operation = 0;  // the progress window's operation number
  const char* confirmCaption = "";
  const char* confirmText = "";
  bool sendZeroPercent = true;  // reads start the bar at 0
  // Writes the files the upload needs into the folder (with "/" at the end) while the
  // file-preparation window is shown; false when a file could not be written. Null for reads.
  std::function<bool(const std::string& dir)> prepare;
  std::function<int(CTCPFileTransfer&)> transfer;
  // Takes in the received files of the folder (with "/" at the end); false when one is missing
  // or unreadable. Null for writes.
  std::function<bool(const std::string& dir)> processFiles;
  const char* successCaption = "";
  const char* successText = "";
};

// The host/password dialog; true on OK (the site's password and port are then in the link).
bool askHostAndPassword(WorkflowSite& site);
// The OK/Cancel question with the question icon; true on OK.
bool confirmWorkflow(const WorkflowSite& site, const char* caption, const char* text);
// The whole workflow: host dialog, confirmation, transfer, report, the main dialog shown normal.
WorkflowOutcome runCommunicationWorkflow(WorkflowSite& site, const TransferSteps& steps);
// Everything after the questions: the busy main dialog, preparation, progress, transfer,
// received files and the final message. Used by workflows that ask their own question.
WorkflowOutcome runConfirmedTransfer(WorkflowSite& site, const TransferSteps& steps);
// Shows the main dialog in its normal state (restored when minimised).
void showMainDialogNormal(const WorkflowSite& site);
// A message box over the main dialog.
int workflowMessage(const WorkflowSite& site, const char* text, const char* caption, unsigned type);
// True when the file at `path` exists and opens for reading.
bool receivedFileReadable(const std::string& path);
