#include "app/communication_workflow.h"

#include <fcntl.h>
#include <unistd.h>

#include <type_traits>

#include "app/com_sts_dlg.h"
#include "app/dl_file_make_dlg.h"
#include "app/ip_addr_inp_dlg.h"
#include "data/process_state.h"
#include "link/progress_messages.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"

namespace {

// The main dialog is disabled from the start of the transfer until every window of the run is
// gone; the button that started the workflow gets the focus back on every path.
class BusyMainDialog {
 public:
  explicit BusyMainDialog(const WorkflowSite& site) : m_site(site) {
    if (m_site.mainDialog) m_site.mainDialog->EnableWindow(false);
  }
  ~BusyMainDialog() { release(); }
  void release() {
    if (m_released || !m_site.mainDialog) return;
    m_released = true;
    m_site.mainDialog->EnableWindow(true);
    if (m_site.button != 0) m_site.mainDialog->SetFocusTo(m_site.button);
  }

 private:
  const WorkflowSite& m_site;
  bool m_released = false;
};

// A modeless progress window that exists from construction until finish() or the end of scope.
template <class Dialog>
class ShownProgress {
 public:
  explicit ShownProgress(CWnd* owner, int operation = 0) {
    if constexpr (std::is_same_v<Dialog, CComStsDlg>) m_dialog.SetOperation(operation);
    m_dialog.Create(owner);
    m_dialog.ShowWindow(SW_SHOW);
  }
  ~ShownProgress() { finish(); }
  Dialog& dialog() { return m_dialog; }
  void finish() {
    if (!m_dialog.IsWindow()) return;
    m_dialog.ShowWindow(SW_HIDE);
    m_dialog.DestroyWindow();
  }

 private:
  Dialog m_dialog;
};

bool prepareFiles(WorkflowSite& site, const TransferSteps& steps) {
  ShownProgress<CDlFileMakeDlg> making(site.mainDialog);
  site.link.SetWorkDir(site.workDir.c_str());
  site.link.SetPassword(site.password);
  return steps.prepare(site.workDir + "/");
}

int runLink(WorkflowSite& site, const TransferSteps& steps) {
  int result = -1;
  runWorkKeepingUiAlive([&] { result = steps.transfer(site.link); });
  return result;
}

}  // namespace

int workflowMessage(const WorkflowSite& site, const char* text, const char* caption,
                    unsigned type) {
  return MessageBox(site.mainDialog, text, caption, type);
}

bool receivedFileReadable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char byte;
  const bool readable = ::read(fd, &byte, 0) == 0;
  ::close(fd);
  return readable;
}

bool askHostAndPassword(WorkflowSite& site) {
  CIPAddrInpDlg dialog(site.link, site.mainDialog);
  if (dialog.DoModal() != IDOK) return false;
  site.password = dialog.Password();
  if (site.port != 0) site.link.SetHost(dialog.Host(), site.port);
  return true;
}

bool confirmWorkflow(const WorkflowSite& site, const char* caption, const char* text) {
  return workflowMessage(site, text, caption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

void showMainDialogNormal(const WorkflowSite& site) {
  if (!site.mainDialog) return;
  site.mainDialog->ShowWindow(site.mainDialog->IsIconic() ? SW_RESTORE : SW_SHOWNORMAL);
}

WorkflowOutcome runConfirmedTransfer(WorkflowSite& site, const TransferSteps& steps) {
  using namespace workflow_text;
  if ((memoryMode & 0xFF) != (site.memoryModeChoice & 0xFF))
    memoryMode = static_cast<std::uint8_t>(site.memoryModeChoice);
  BusyMainDialog busy(site);
  if (site.workDir.empty() || (steps.prepare && !prepareFiles(site, steps))) {
    busy.release();
    workflowMessage(site, kFileSaveError, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    return WorkflowOutcome::Failed;
  }
  ShownProgress<CComStsDlg> progress(site.mainDialog, steps.operation);
  pumpMessages(10);
  if (!steps.prepare) {
    if (steps.sendZeroPercent) progress.dialog().SendMessage(kSetPercentMessage, 0);
    site.link.SetWorkDir(site.workDir.c_str());
    site.link.SetPassword(site.password);
  }
  if (runLink(site, steps) != 0) {
    progress.dialog().ShowWindow(SW_HIDE);
    workflowMessage(site, kCommunicationError, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    progress.finish();
    busy.release();
    return WorkflowOutcome::Failed;
  }
  const bool filesRead = !steps.processFiles || steps.processFiles(site.workDir + "/");
  progress.dialog().SendMessage(kSetPercentMessage, 100);
  progress.finish();
  busy.release();
  if (!filesRead) {
    workflowMessage(site, kFileReadError, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    return WorkflowOutcome::Failed;
  }
  workflowMessage(site, steps.successText, steps.successCaption, MB_OK | MB_ICONINFORMATION);
  return WorkflowOutcome::Succeeded;
}

WorkflowOutcome runCommunicationWorkflow(WorkflowSite& site, const TransferSteps& steps) {
  if (!askHostAndPassword(site)) {
    showMainDialogNormal(site);
    return WorkflowOutcome::Stopped;
  }
  if (!confirmWorkflow(site, steps.confirmCaption, steps.confirmText))
    return WorkflowOutcome::Stopped;
  const WorkflowOutcome outcome = runConfirmedTransfer(site, steps);
  showMainDialogNormal(site);
  return outcome;
}
