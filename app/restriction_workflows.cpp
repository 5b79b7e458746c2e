#include "app/restriction_workflows.h"

#include "data/exchange_format.h"
#include "data/load_report.h"
#include "data/restriction_files.h"

namespace {

bool readDownloadedRestrictions(const std::string& dir) {
  const std::string path = dir + "hkiseino.txt";
  if (!receivedFileReadable(path)) return false;
  LoadReport& report = lastLoadReport();
  report.clear();
  return parseDownloadedRestrictionFile(path, &report) != kExchangeCannotOpen;
}

}  // namespace

WorkflowOutcome runRestrictionRead(WorkflowSite& site) {
  TransferSteps steps;
  steps.operation = 6;
  steps.confirmCaption = "発信規制番号データの読込確認";
  steps.confirmText = "\n発信規制番号データの読込を開始します。\n";
  steps.transfer = [](CTCPFileTransfer& link) { return link.ReadRestrictionNumbers(); };
  steps.processFiles = readDownloadedRestrictions;
  steps.successCaption = "発信規制番号データの読込の終了";
  steps.successText = "\n発信規制番号データの読込が正常に終了しました。\n";
  return runCommunicationWorkflow(site, steps);
}

WorkflowOutcome runRestrictionWrite(WorkflowSite& site) {
  TransferSteps steps;
  steps.operation = 7;
  steps.confirmCaption = "発信規制番号データの書込確認";
  steps.confirmText = "\n発信規制番号データの書込を開始します。\n";
  steps.sendZeroPercent = false;
  steps.prepare = [&site](const std::string& dir) {
    if (writeRestrictionExchangeFile(dir + "hkiseinotmp.txt") != 0) return false;
    site.link.PrepareRestrictionFiles();
    return true;
  };
  steps.transfer = [](CTCPFileTransfer& link) { return link.WriteRestrictionNumbers(); };
  steps.successCaption = "発信規制番号データの書込の終了";
  steps.successText = "\n発信規制番号データの書込が正常に終了しました。\n";
  return runCommunicationWorkflow(site, steps);
}
