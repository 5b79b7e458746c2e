#include "ui/dialog.h"

#include "ui/window_registry.h"

using enum ControlKind;

namespace {

// `text` cut after `limit` UTF-8 characters (0 = no limit); a continuation byte never starts a
// character, so the cut never splits one.
std::string cutToCharacters(std::string_view text, int limit) {
  if (limit <= 0) return std::string(text);
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts && ++count > limit) return std::string(text.substr(0, i));
  }
  return std::string(text);
}

bool takesClicks(ControlKind kind) { return kind == Button || kind == CheckBox || kind == Radio; }

bool takesFocus(ControlKind kind) { return takesClicks(kind) || kind == Edit; }

}  // namespace

const char* inputResultText(InputResult result) {
  switch (result) {
    case InputResult::Accepted: return "accepted";
    case InputResult::NotOpen: return "the dialog is not open";
    case InputResult::NoSuchControl: return "no such control";
    case InputResult::Hidden: return "the control is hidden";
    case InputResult::Disabled: return "the control or its window is disabled";
    case InputResult::ReadOnly: return "the control is read-only";
    case InputResult::WrongKind: return "the control does not take this input";
  }
  return "?";
}

// ---- CWnd ----

CWnd::CWnd() = default;

CWnd::~CWnd() { unregisterWindow(this); }

std::string CWnd::GetWindowText() const {
  std::lock_guard lock(m_mutex);
  return m_title;
}

void CWnd::SetWindowText(std::string_view title) {
  {
    std::lock_guard lock(m_mutex);
    m_title = std::string(title);
  }
  retitleWindow(this, title);
  windowStateChanged(windowState());
}

void CWnd::EnableWindow(bool enable) {
  {
    std::lock_guard lock(m_mutex);
    m_enabled = enable;
  }
  windowStateChanged(windowState());
}

bool CWnd::IsWindowEnabled() const {
  std::lock_guard lock(m_mutex);
  return m_enabled;
}

void CWnd::ShowWindow(int command) {
  {
    std::lock_guard lock(m_mutex);
    switch (command) {
      case SW_HIDE: m_visible = false; break;
      case SW_SHOWNORMAL:
      case SW_RESTORE: m_visible = true; m_minimized = false; break;
      case SW_MINIMIZE:
      case SW_SHOWMINIMIZED: m_visible = true; m_minimized = true; break;
      default: m_visible = true; break;
    }
  }
  windowStateChanged(windowState());
}

bool CWnd::IsWindowVisible() const {
  std::lock_guard lock(m_mutex);
  return m_visible;
}

bool CWnd::IsIconic() const {
  std::lock_guard lock(m_mutex);
  return m_minimized;
}

void CWnd::EnableCloseCommand(bool enable) {
  {
    std::lock_guard lock(m_mutex);
    m_closeEnabled = enable;
  }
  windowStateChanged(windowState());
}

bool CWnd::IsCloseCommandEnabled() const {
  std::lock_guard lock(m_mutex);
  return m_closeEnabled;
}

bool CWnd::IsWindow() const { return isWindowRegistered(const_cast<CWnd*>(this)); }

void CWnd::SendMessage(unsigned msg, std::uintptr_t wParam) { OnMessage(msg, wParam); }

void CWnd::OnMessage(unsigned, std::uintptr_t) {}

void CWnd::attachWindow() { registerWindow(GetWindowText(), this); }

void CWnd::detachWindow() { unregisterWindow(this); }

void CWnd::windowStateChanged(const WindowEvent&) {}

WindowEvent CWnd::windowState() const {
  std::lock_guard lock(m_mutex);
  WindowEvent e;
  e.title = m_title;
  e.enabled = m_enabled;
  e.visible = m_visible;
  e.minimized = m_minimized;
  e.closeEnabled = m_closeEnabled;
  return e;
}

// ---- CDialog: window life ----

CDialog::CDialog(const DialogResource& resource, CWnd* parent)
    : m_resource(resource), m_parent(parent) {
  CWnd::SetWindowText(resource.caption);
  resetControls();
}

CDialog::~CDialog() {
  bool open;
  {
    std::lock_guard lock(m_mutex);
    open = m_open;
  }
  if (open) closeWindow();
}

void CDialog::resetControls() {
  std::lock_guard lock(m_mutex);
  m_controls.clear();
  m_controls.reserve(m_resource.controls.size());
  for (const ControlResource& r : m_resource.controls) {
    ControlState s{&r};
    s.text = std::string(r.text);
    s.enabled = !r.options.disabled;
    s.visible = r.options.visible;
    m_controls.push_back(std::move(s));
  }
  m_focusId = 0;
}

bool CDialog::claimWindow(bool modal, CWnd* parent) {
  std::lock_guard lock(m_mutex);
  if (m_open) return false;
  m_open = true;
  m_modal = modal;
  m_ended = false;
  m_result = 0;
  if (parent) m_parent = parent;
  return true;
}

void CDialog::openWindow(bool modal) {
  resetControls();
  CWnd::SetWindowText(m_resource.caption);
  attachWindow();
  {
    UiBackendRef backend;
    if (backend) backend->dialogOpened(*this, modal);
  }
  // A modal dialog is shown when it opens; a modeless one waits for ShowWindow.
  ShowWindow(modal ? SW_SHOW : SW_HIDE);
  if (OnInitDialog() && GetFocusId() == 0) {
    int first = 0;
    {
      std::lock_guard lock(m_mutex);
      for (const ControlState& c : m_controls) {
        if (c.visible && c.enabled && takesFocus(c.resource->kind) && c.resource->id != IDC_STATIC) {
          first = c.resource->id;
          break;
        }
      }
    }
    if (first != 0) SetFocusTo(first);
  }
}

void CDialog::closeWindow() {
  {
    std::lock_guard lock(m_mutex);
    m_open = false;
  }
  CWnd::ShowWindow(SW_HIDE);
  detachWindow();
  UiBackendRef backend;
  if (backend) backend->dialogClosed(*this);
}

int CDialog::DoModal() {
  UiBackendRef backend;
  if (!backend || !claimWindow(true, nullptr)) return -1;
  openWindow(true);
  if (!HasEnded()) backend->runModal(*this);
  if (!HasEnded()) EndDialog(IDCANCEL);  // a backend that gave up
  int result = Result();
  closeWindow();
  return result;
}

void CDialog::EndDialog(int result) {
  bool modal;
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return;
    m_ended = true;
    m_result = result;
    modal = m_modal;
  }
  if (!modal) ShowWindow(SW_HIDE);
  UiBackendRef backend;
  if (backend) backend->dialogEnded(*this, result);
}

bool CDialog::HasEnded() const {
  std::lock_guard lock(m_mutex);
  return m_ended;
}

int CDialog::Result() const {
  std::lock_guard lock(m_mutex);
  return m_result;
}

bool CDialog::Create(CWnd* parent) {
  if (!claimWindow(false, parent)) return false;
  openWindow(false);
  return true;
}

void CDialog::DestroyWindow() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return;
  }
  closeWindow();
}

bool CDialog::IsOpen() const {
  std::lock_guard lock(m_mutex);
  return m_open && !m_ended;
}

void CDialog::windowStateChanged(const WindowEvent& event) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return;
  }
  UiBackendRef backend;
  if (backend) backend->windowChanged(*this, event);
}

// ---- CDialog: control state ----

CDialog::ControlState* CDialog::control(int id) {
  if (id == IDC_STATIC) return nullptr;
  for (ControlState& c : m_controls) {
    if (c.resource->id == id) return &c;
  }
  return nullptr;
}

const CDialog::ControlState* CDialog::control(int id) const {
  return const_cast<CDialog*>(this)->control(id);
}

void CDialog::notify(const ControlEvent& event) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return;
  }
  UiBackendRef backend;
  if (backend) backend->controlChanged(*this, event);
}

bool CDialog::HasControl(int id) const {
  std::lock_guard lock(m_mutex);
  return control(id) != nullptr;
}

std::string CDialog::GetDlgItemText(int id) const {
  std::lock_guard lock(m_mutex);
  const ControlState* c = control(id);
  return c ? c->text : std::string();
}

void CDialog::SetDlgItemText(int id, std::string_view text) {
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = control(id);
    if (!c) return;
    c->text = std::string(text);
  }
  ControlEvent e{id, ControlChange::Text};
  e.text = std::string(text);
  notify(e);
}

bool CDialog::IsDlgButtonChecked(int id) const {
  std::lock_guard lock(m_mutex);
  const ControlState* c = control(id);
  return c && c->checked;
}

void CDialog::CheckDlgButton(int id, bool checked) {
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = control(id);
    if (!c) return;
    c->checked = checked;
  }
  ControlEvent e{id, ControlChange::Check};
  e.value = checked ? 1 : 0;
  notify(e);
}

void CDialog::CheckRadioButton(int first, int last, int id) {
  std::vector<ControlEvent> events;
  {
    std::lock_guard lock(m_mutex);
    for (ControlState& c : m_controls) {
      int cid = c.resource->id;
      if (c.resource->kind != Radio || cid < first || cid > last) continue;
      c.checked = cid == id;
      ControlEvent e{cid, ControlChange::Check};
      e.value = c.checked ? 1 : 0;
      events.push_back(e);
    }
  }
  for (const ControlEvent& e : events) notify(e);
}

void CDialog::EnableDlgItem(int id, bool enable) {
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = control(id);
    if (!c) return;
    c->enabled = enable;
  }
  ControlEvent e{id, ControlChange::Enable};
  e.value = enable ? 1 : 0;
  notify(e);
}

bool CDialog::IsDlgItemEnabled(int id) const {
  std::lock_guard lock(m_mutex);
  const ControlState* c = control(id);
  return c && c->enabled;
}

void CDialog::ShowDlgItem(int id, bool show) {
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = control(id);
    if (!c) return;
    c->visible = show;
  }
  ControlEvent e{id, ControlChange::Visible};
  e.value = show ? 1 : 0;
  notify(e);
}

bool CDialog::IsDlgItemVisible(int id) const {
  std::lock_guard lock(m_mutex);
  const ControlState* c = control(id);
  return c && c->visible;
}

void CDialog::SetFocusTo(int id) {
  {
    std::lock_guard lock(m_mutex);
    if (!control(id)) return;
    m_focusId = id;
  }
  ControlEvent e{id, ControlChange::Focus};
  e.value = 1;
  notify(e);
}

int CDialog::GetFocusId() const {
  std::lock_guard lock(m_mutex);
  return m_focusId;
}

void CDialog::SetProgressRange(int id, int low, int high) {
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = control(id);
    if (!c) return;
    c->low = low;
    c->high = high;
  }
  ControlEvent e{id, ControlChange::ProgressRange};
  e.low = low;
  e.high = high;
  notify(e);
}

void CDialog::SetProgressPos(int id, int pos) {
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = control(id);
    if (!c) return;
    c->pos = pos;
  }
  ControlEvent e{id, ControlChange::ProgressPos};
  e.value = pos;
  notify(e);
}

int CDialog::GetProgressPos(int id) const {
  std::lock_guard lock(m_mutex);
  const ControlState* c = control(id);
  return c ? c->pos : 0;
}

// ---- CDialog: user input ----

InputResult CDialog::checkInput(int id, ControlState** state) {
  if (!m_open || m_ended) return InputResult::NotOpen;
  ControlState* c = control(id);
  if (!c) return InputResult::NoSuchControl;
  if (!c->visible) return InputResult::Hidden;
  if (!c->enabled || !windowEnabledLocked()) return InputResult::Disabled;
  *state = c;
  return InputResult::Accepted;
}

InputResult CDialog::userClick(int id) {
  std::vector<ControlEvent> events;
  {
    // The check and the change are made under one hold of the lock, so that the dialog cannot
    // close or reopen (rebuilding its controls) in between.
    std::lock_guard lock(m_mutex);
    ControlState* c = nullptr;
    InputResult r = checkInput(id, &c);
    if (r != InputResult::Accepted) return r;
    ControlKind kind = c->resource->kind;
    if (!takesClicks(kind)) return InputResult::WrongKind;
    if (kind == CheckBox) {
      c->checked = !c->checked;
      ControlEvent e{id, ControlChange::Check};
      e.value = c->checked ? 1 : 0;
      events.push_back(e);
    } else if (kind == Radio) {
      // The group runs from the nearest group start at or before the button to the next one.
      std::size_t at = static_cast<std::size_t>(c - m_controls.data());
      std::size_t start = at;
      while (start > 0 && !m_controls[start].resource->options.group) --start;
      for (std::size_t i = start; i < m_controls.size(); ++i) {
        if (i > start && m_controls[i].resource->options.group) break;
        ControlState& g = m_controls[i];
        if (g.resource->kind != Radio) continue;
        bool checked = i == at;
        if (g.checked == checked && !checked) continue;
        g.checked = checked;
        ControlEvent e{g.resource->id, ControlChange::Check};
        e.value = checked ? 1 : 0;
        events.push_back(e);
      }
    }
  }
  SetFocusTo(id);
  for (const ControlEvent& e : events) notify(e);
  dispatchCommand(id);
  return InputResult::Accepted;
}

InputResult CDialog::userSetText(int id, std::string_view text) {
  std::string cut;
  {
    std::lock_guard lock(m_mutex);
    ControlState* c = nullptr;
    InputResult r = checkInput(id, &c);
    if (r != InputResult::Accepted) return r;
    if (c->resource->kind != Edit) return InputResult::WrongKind;
    if (c->resource->options.readOnly) return InputResult::ReadOnly;
    cut = cutToCharacters(text, c->resource->options.maxLength);
  }
  SetFocusTo(id);
  SetDlgItemText(id, cut);
  return InputResult::Accepted;
}

int CDialog::enterTarget() const {
  std::lock_guard lock(m_mutex);
  const ControlState* focused = control(m_focusId);
  if (focused && focused->resource->kind == Button) return m_focusId;
  for (const ControlState& c : m_controls) {
    if (c.resource->kind == Button && c.resource->options.defaultButton) return c.resource->id;
  }
  return IDOK;
}

InputResult CDialog::userKeyDown(int key) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open || m_ended) return InputResult::NotOpen;
    if (!windowEnabledLocked()) return InputResult::Disabled;
  }
  if (PreTranslateKeyDown(key)) return InputResult::Accepted;
  int target;
  if (key == VK_RETURN) {
    target = enterTarget();
  } else if (key == VK_ESCAPE) {
    target = IDCANCEL;
  } else {
    return InputResult::Accepted;
  }
  // The command goes out even without such a button, but not past a disabled or hidden one.
  {
    std::lock_guard lock(m_mutex);
    if (!m_open || m_ended) return InputResult::NotOpen;
    const ControlState* c = control(target);
    if (c && !c->enabled) return InputResult::Disabled;
    if (c && !c->visible) return InputResult::Hidden;
  }
  dispatchCommand(target);
  return InputResult::Accepted;
}

InputResult CDialog::userClose() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open || m_ended) return InputResult::NotOpen;
    if (!windowEnabledLocked()) return InputResult::Disabled;
  }
  if (!IsCloseCommandEnabled() || m_resource.style.noSystemMenu) return InputResult::Disabled;
  OnClose();
  return InputResult::Accepted;
}

void CDialog::dispatchCommand(int id) {
  if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  } else {
    OnCommand(id);
  }
}

// ---- CDialog: default handlers ----

bool CDialog::OnInitDialog() { return true; }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnCommand(int) {}

void CDialog::OnClose() { OnCancel(); }

bool CDialog::PreTranslateKeyDown(int) { return false; }
