#include "ui/qt/dialog_widget.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalBlocker>

#include "ui/qt/dialog_layout.h"
#include "ui/qt/qt_text.h"

using enum ControlKind;

namespace {

Qt::WindowFlags flagsFor(const DialogStyle& style) {
  Qt::WindowFlags flags = Qt::Dialog;
  if (style.noSystemMenu) flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (style.systemModal) flags |= Qt::WindowStaysOnTopHint;
  return flags;
}

// Whether the focus moved because the user tabbed or clicked; Qt's own placement of the focus
// when a window shows or comes to the front must not overrule the dialog's choice.
bool movedByUser(QEvent* event) {
  switch (static_cast<QFocusEvent*>(event)->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::ShortcutFocusReason: return true;
    default: return false;
  }
}

}  // namespace

DialogWidget::DialogWidget(CDialog& dialog, bool modal, QWidget* parent)
    : QDialog(parent, flagsFor(dialog.Resource().style)), m_dialog(&dialog) {
  setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  setObjectName(QStringLiteral("dialog%1").arg(dialog.DialogId()));
  std::vector<QWidget*> widgets = buildDialogControls(dialog.Resource(), this);
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    const ControlResource& c = dialog.Resource().controls[i];
    m_controls.emplace_back(&c, widgets[i]);
    if (c.id != IDC_STATIC && !m_byId.count(c.id)) m_byId[c.id] = widgets[i];
    connectInput(c, widgets[i]);
  }
  refreshAll();
}

QWidget* DialogWidget::controlWidget(int id) const {
  auto it = m_byId.find(id);
  return it == m_byId.end() ? nullptr : it->second;
}

// ---- framework state -> widgets ----

void DialogWidget::refreshAll() {
  for (const auto& [c, w] : m_controls) {
    if (c->id == IDC_STATIC) continue;
    for (ControlChange what : {ControlChange::Text, ControlChange::Check, ControlChange::Enable,
                               ControlChange::Visible, ControlChange::ProgressPos}) {
      refreshControl({c->id, what});
    }
  }
  for (const auto& [c, w] : m_controls) {
    if (c->id == IDC_STATIC && !c->options.visible) w->setHidden(true);
  }
  refreshWindow();
}

void DialogWidget::refreshText(int id, QWidget* w) {
  QString text = toQString(m_dialog->GetDlgItemText(id));
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit->text() != text) edit->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
    if (plain->toPlainText() != text) plain->setPlainText(text);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    if (label->pixmap().isNull()) label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
    box->setTitle(text);
  }
}

void DialogWidget::refreshControl(const ControlEvent& event) {
  QWidget* w = controlWidget(event.controlId);
  if (!m_dialog || !w) return;
  int id = event.controlId;
  switch (event.what) {
    case ControlChange::Text: refreshText(id, w); break;
    case ControlChange::Check:
      if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable()) {
        QSignalBlocker block(b);
        b->setChecked(m_dialog->IsDlgButtonChecked(id));
      }
      break;
    case ControlChange::Enable: w->setEnabled(m_dialog->IsDlgItemEnabled(id)); break;
    case ControlChange::Visible: w->setHidden(!m_dialog->IsDlgItemVisible(id)); break;
    case ControlChange::Focus:
      if (m_dialog->GetFocusId() == id && !w->hasFocus()) w->setFocus(Qt::OtherFocusReason);
      break;
    case ControlChange::ProgressRange:
      if (auto* bar = qobject_cast<QProgressBar*>(w)) bar->setRange(event.low, event.high);
      break;
    case ControlChange::ProgressPos:
      if (auto* bar = qobject_cast<QProgressBar*>(w)) bar->setValue(m_dialog->GetProgressPos(id));
      break;
  }
}

void DialogWidget::refreshChecks() {
  for (const auto& [c, w] : m_controls) {
    if (c->kind == CheckBox || c->kind == Radio) refreshControl({c->id, ControlChange::Check});
  }
}

void DialogWidget::refreshWindow() {
  if (!m_dialog) return;
  setWindowTitle(toQString(m_dialog->GetWindowText()));
  setEnabled(m_dialog->IsWindowEnabled());
  if (!m_dialog->IsWindowVisible()) {
    hide();
    return;
  }
  if (m_dialog->IsIconic()) {
    showMinimized();
    return;
  }
  bool wasHidden = isHidden() || isMinimized();
  if (isMinimized()) {
    showNormal();
  } else if (isHidden()) {
    if (QWidget* focus = controlWidget(m_dialog->GetFocusId())) focus->setFocus();
    show();
  }
  if (wasHidden && m_dialog->Resource().style.setForeground) {
    raise();
    activateWindow();
  }
}

// ---- user input -> framework ----

void DialogWidget::connectInput(const ControlResource& c, QWidget* w) {
  int id = c.id;
  w->installEventFilter(this);
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    connect(b, &QAbstractButton::clicked, this, [this, id] { clicked(id); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& t) { edited(id, t); });
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
    connect(plain, &QPlainTextEdit::textChanged, this,
            [this, id, plain] { edited(id, plain->toPlainText()); });
  }
}

void DialogWidget::clicked(int id) {
  if (!m_dialog) return;
  m_dialog->userClick(id);
  // A refused click, or Qt's own toggling, must not leave a box showing what the dialog lacks.
  if (m_dialog) refreshChecks();
}

void DialogWidget::edited(int id, const QString& text) {
  if (!m_dialog) return;
  std::string utf8 = toUtf8(text);
  if (m_dialog->GetDlgItemText(id) == utf8) return;
  if (m_dialog->userSetText(id, utf8) != InputResult::Accepted) {
    refreshControl({id, ControlChange::Text});
  }
}

bool DialogWidget::routeKey(int qtKey) {
  int key = 0;
  if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) key = VK_RETURN;
  if (qtKey == Qt::Key_Escape) key = VK_ESCAPE;
  if (key == 0) return false;
  if (m_dialog) m_dialog->userKeyDown(key);
  return true;
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
  if (routeKey(event->key())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool DialogWidget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    // A focused button or edit would act on Enter by itself, past the dialog's key handling.
    if (routeKey(static_cast<QKeyEvent*>(event)->key())) return true;
  } else if (event->type() == QEvent::FocusIn && m_dialog && movedByUser(event)) {
    int id = watched->objectName().toInt();
    if (id != 0 && m_dialog->GetFocusId() != id) m_dialog->SetFocusTo(id);
  }
  return QDialog::eventFilter(watched, event);
}

void DialogWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (m_dialog) m_dialog->userClose();
}
