#include "app/history_workflow.h"

#include "data/exchange_format.h"
#include "data/history_files.h"
#include "data/load_report.h"

namespace {

bool readDownloadedHistories(const std::string& dir) {
  const std::string internal = dir + "naityaklog.txt";
  const std::string external = dir + "gaityaklog.txt";
  if (!receivedFileReadable(internal) || !receivedFileReadable(external)) return false;
  LoadReport& report = lastLoadReport();
  report.clear();
  const int internalResult = parseDownloadedHistoryFile(internal, HistoryKind::Internal, &report);
  const int externalResult = parseDownloadedHistoryFile(external, HistoryKind::External, &report);
  return internalResult != kExchangeCannotOpen && externalResult != kExchangeCannotOpen;
}

}  // namespace

WorkflowOutcome runHistoryRead(WorkflowSite& site) {
  TransferSteps steps;
  steps.operation = 5;
  steps.confirmCaption = "着信履歴データの読込確認";
  steps.confirmText = "\n着信履歴データの読込を開始します。\n";
  steps.transfer = [](CTCPFileTransfer& link) { return link.ReadCallHistory(); };
  steps.processFiles = readDownloadedHistories;
  steps.successCaption = "着信履歴データの読込の終了";
  steps.successText = "\n着信履歴データの読込が正常に終了しました。\n";
  return runCommunicationWorkflow(site, steps);
}
