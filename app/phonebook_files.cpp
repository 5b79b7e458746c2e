#include "app/phonebook_files.h"

#include <string>
#include <vector>

#include "app/load_report_offer.h"
#include "app/phonebook_workflows.h"
#include "app/restriction_files.h"
#include "base/platform.h"
#include "data/phonebook_baseline.h"
#include "data/load_report.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "ui/cursor.h"
#include "ui/dialog.h"
#include "ui/file_dialog.h"

namespace {

// The chooser's three file buttons, a menu's file and browser buttons, and cancel/back.
constexpr int kOwnerControls[] = {2554, 2555, 2556, 1294, 1295, 1077, IDCANCEL};

constexpr unsigned kFileDialogFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

// Disables the owner's buttons and Close command and shows the wait cursor while it lives;
// everything goes back as it was when it goes.
class PhonebookFileOperation {
 public:
  explicit PhonebookFileOperation(CDialog* owner) : m_owner(owner) {
    if (m_owner) {
      for (int id : kOwnerControls) {
        if (!m_owner->HasControl(id)) continue;
        m_controls.push_back({id, m_owner->IsDlgItemEnabled(id)});
        m_owner->EnableDlgItem(id, false);
      }
      m_closeEnabled = m_owner->IsCloseCommandEnabled();
      m_owner->EnableCloseCommand(false);
    }
    showWaitCursor(true);
  }
  ~PhonebookFileOperation() { restore(); }
  PhonebookFileOperation(const PhonebookFileOperation&) = delete;
  PhonebookFileOperation& operator=(const PhonebookFileOperation&) = delete;

  void restore() {
    if (!m_active) return;
    m_active = false;
    if (m_owner) {
      for (const Control& c : m_controls) m_owner->EnableDlgItem(c.id, c.enabled);
      m_owner->EnableCloseCommand(m_closeEnabled);
    }
    showWaitCursor(false);
  }

 private:
  struct Control {
    int id;
    bool enabled;
  };
  CDialog* m_owner;
  std::vector<Control> m_controls;
  bool m_closeEnabled = true;
  bool m_active = true;
};

void reportResult(CDialog* owner, const OpResult& result) {
  if (result.message.empty()) return;
  showMenuFileError(owner, result.message.c_str(), result.caption.c_str());
}

}  // namespace

const char* phonebookFileFilter(ExchangeKind kind) {
  switch (kind) {
    case ExchangeKind::SpeedDial: return " zud8ﾌｧｲﾙ(*.zud8)|*.zud8|zud3ﾌｧｲﾙ(*.zud3)|*.zud3|csvﾌｧｲﾙ(*.csv)|*.csv|";
    case ExchangeKind::Extensions: return " zud4ﾌｧｲﾙ(*.zud4)|*.zud4|csvﾌｧｲﾙ(*.csv)|*.csv|";
    case ExchangeKind::Templates: return " zud9ﾌｧｲﾙ(*.zud9)|*.zud9|csvﾌｧｲﾙ(*.csv)|*.csv|";
  }
  return nullptr;
}

const char* phonebookFileExtension(ExchangeKind kind) {
  switch (kind) {
    case ExchangeKind::SpeedDial: return "zud8";
    case ExchangeKind::Extensions: return "zud4";
    case ExchangeKind::Templates: return "zud9";
  }
  return nullptr;
}

void loadPhonebookFile(CDialog* owner) {
  using namespace menu_file_text;
  if (!fileKind) return;
  const ExchangeKind kind = *fileKind;
  CFileDialog dialog(true, phonebookFileExtension(kind), nullptr, kFileDialogFlags,
                     phonebookFileFilter(kind), owner);
  dialog.SetTitle(kChooseTitle);
  if (dialog.DoModal() != IDOK) return;
  const std::string path = dialog.GetPathName();
  if (path.empty() || !fileExists(path)) {
    showMenuFileError(owner, kNotFound, kNotFoundCaption);
    return;
  }
  if (!opensForReading(path)) {
    showMenuFileError(owner, kCannotOpen, kCannotOpenCaption);
    return;
  }
  LoadReport& report = lastLoadReport();
  report.clear();
  PhonebookFileOperation operation(owner);
  const OpResult result = loadPhonebookData(path, kind, &report);
  operation.restore();
  if (result.ok()) {
    notePhonebookTableFilled(kind);
    // The loaded file is taken for what the unit holds (typically what a read saved).
    phonebookBaseline().take(kind);
  }
  reportResult(owner, result);
  if (owner) offerLoadReport(owner, report);
}

void savePhonebookFile(CDialog* owner) {
  using namespace menu_file_text;
  if (!fileKind) return;
  const ExchangeKind kind = *fileKind;
  const std::string path =
      chooseFileToSave(owner, phonebookFileExtension(kind), phonebookFileFilter(kind));
  if (path.empty()) return;
  if (!hasRoomToSave(path, phonebookSaveSpaceNeeded(kind))) {
    showMenuFileError(owner, kNoSpace, kErrorCaption);
    return;
  }
  PhonebookFileOperation operation(owner);
  const OpResult result = savePhonebookData(path, kind);
  operation.restore();
  reportResult(owner, result);
}
