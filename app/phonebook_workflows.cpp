#include "app/phonebook_workflows.h"

#include "app/denwa_dlg.h"
#include "data/exchange_files.h"
#include "data/phonebook_baseline.h"
#include "data/load_report.h"
#include "data/phonebook_snapshot.h"
#include "data/process_state.h"
#include "data/template_messages.h"

namespace {

constexpr const char* kSpeedDial7 = "sys-tan.txt";
constexpr const char* kSpeedDial10 = "sys-tanf.txt";
constexpr const char* kExtensions = "naisen.txt";
constexpr const char* kTemplates = "usertkbn.txt";
constexpr const char* kTemplatesToSend = "usertkbntmp.txt";
constexpr int kExtensionsSelection = 20;
constexpr int kTemplatesSelection = 21;

// What the read refused or changed goes to lastLoadReport(), file by file.
bool readUnitFile(const std::string& path, ExchangeKind kind, SpeedDialForm form) {
  LoadReport& report = lastLoadReport();
  report.beginFile(path);
  return readExchangeFile(path, {kind, form, RowSource::MainUnit, &report}).ok();
}

// Every file is checked before the first is read, so a missing one leaves every table as it was.
bool readDownloadedPhonebook(const std::string& dir) {
  const bool tenColumns = sysTanfMode == 1;
  const std::string speedDial = dir + (tenColumns ? kSpeedDial10 : kSpeedDial7);
  const std::string extensions = dir + kExtensions;
  const std::string templates = dir + kTemplates;
  if (!receivedFileReadable(speedDial) || !receivedFileReadable(extensions) ||
      (tenColumns && !receivedFileReadable(templates)))
    return false;
  lastLoadReport().clear();
  const SpeedDialForm form = speedDialFormOf(sysTanfMode);
  bool ok = readUnitFile(speedDial, ExchangeKind::SpeedDial, form);
  ok = readUnitFile(extensions, ExchangeKind::Extensions, form) && ok;
  snapshotPhonebook();
  if (tenColumns)
    ok = readUnitFile(templates, ExchangeKind::Templates, form) && ok;
  else
    clearTemplateMessages();
  for (bool& filled : phonebookTableFilled) filled = true;
  // What the unit holds now; after a file that could not be read whole nothing is known.
  if (ok)
    phonebookBaseline().takeAll();
  else
    phonebookBaseline().forgetAll();
  return ok;
}

bool writeAndPrepare(CTCPFileTransfer& link, const std::string& dir) {
  sysTanfMode = 0;
  if (!writeExchangeFile(dir + kSpeedDial7, ExchangeKind::SpeedDial, SpeedDialForm::SevenColumns)
           .ok())
    return false;
  link.PrepareSpeedDialFiles(0);
  if (!writeExchangeFile(dir + kExtensions, ExchangeKind::Extensions, SpeedDialForm::SevenColumns)
           .ok())
    return false;
  link.PrepareExtensionFiles();
  sysTanfMode = 1;
  if (!writeExchangeFile(dir + kSpeedDial10, ExchangeKind::SpeedDial, SpeedDialForm::TenColumns)
           .ok())
    return false;
  link.PrepareSpeedDialFiles(1);
  sysTanfMode = 0;
  if (!writeExchangeFile(dir + kTemplatesToSend, ExchangeKind::Templates,
                         SpeedDialForm::TenColumns)
           .ok())
    return false;
  link.PrepareTemplateFile();
  return true;
}

bool sendsUnfilled(int selection, ExchangeKind kind) {
  return writeSelection[selection] != 0 && !phonebookTableFilled[static_cast<int>(kind)];
}

}  // namespace

void notePhonebookTableFilled(ExchangeKind kind) {
  phonebookTableFilled[static_cast<int>(kind)] = true;
}

bool writeWouldResetUnitTables() {
  return sendsUnfilled(kExtensionsSelection, ExchangeKind::Extensions) ||
         sendsUnfilled(kTemplatesSelection, ExchangeKind::Templates);
}

WorkflowOutcome runPhonebookRead(WorkflowSite& site) {
  TransferSteps steps;
  steps.operation = 1;
  steps.confirmCaption = "電話帳データの読込確認";
  steps.confirmText = "\n電話帳データの読込を開始します。\n";
  steps.transfer = [](CTCPFileTransfer& link) { return link.ReadPhonebook(); };
  steps.processFiles = readDownloadedPhonebook;
  steps.successCaption = "電話帳データの読込の終了";
  steps.successText = "\n電話帳データの読込が正常に終了しました。\n";
  return runCommunicationWorkflow(site, steps);
}

WorkflowOutcome runPhonebookWrite(WorkflowSite& site) {
  using namespace phonebook_write_text;
  if (!askHostAndPassword(site)) {
    showMainDialogNormal(site);
    return WorkflowOutcome::Stopped;
  }
  for (std::int32_t& entry : writeSelection) entry = 0;
  CDenwaDlg selection(site.mainDialog);
  if (selection.DoModal() != IDOK) return WorkflowOutcome::Stopped;
  if (writeWouldResetUnitTables() &&
      workflowMessage(site, kUnreadText, kUnreadCaption, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
    showMainDialogNormal(site);
    return WorkflowOutcome::Stopped;
  }
  TransferSteps steps;
  steps.operation = 2;
  steps.sendZeroPercent = false;
  steps.prepare = [&site](const std::string& dir) { return writeAndPrepare(site.link, dir); };
  steps.transfer = [](CTCPFileTransfer& link) { return link.WritePhonebook(); };
  steps.successCaption = "電話帳データの書込の終了";
  steps.successText = "\n電話帳データの書込が正常に終了しました。\n";
  const WorkflowOutcome outcome = runConfirmedTransfer(site, steps);
  if (outcome == WorkflowOutcome::Succeeded) {
    // What was sent is what the unit holds now.
    PhonebookChanges written;
    for (int b = 0; b < kSpeedDialBlocks; ++b)
      written.speedDialBlocks[static_cast<std::size_t>(b)] = writeSelection[b] == 1;
    written.extensions = writeSelection[kExtensionsSelection] == 1;
    written.templates = writeSelection[kTemplatesSelection] == 1;
    phonebookBaseline().takeWritten(written);
  }
  showMainDialogNormal(site);
  return outcome;
}
