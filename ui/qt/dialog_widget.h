// DialogWidget: the Qt window of one CDialog.
//
// The widget mirrors the dialog's state and never keeps state of its own: every refresh reads
// the current value through CDialog's getters, so changes that reach it late or out of order
// still end on what the dialog holds. User input goes to CDialog's user*() calls on the GUI
// thread (clicks, typing, Enter and Escape, the title bar's close button), which run the
// dialog's handlers; the widget never closes or hides itself. A window whose resource has no
// system menu has no close button either.
//
// Lives on the GUI thread. detach() cuts it off from its dialog (the dialog window is going);
// after that it ignores input and refreshes.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "ui/dialog.h"

class DialogWidget : public QDialog {
 public:
  DialogWidget(CDialog& dialog, bool modal, QWidget* parent);

  void detach() { m_dialog = nullptr; }
  CDialog* dialog() const { return m_dialog; }
  // Brings control `event.controlId` (or the window) up to the dialog's state.
  void refreshControl(const ControlEvent& event);
  void refreshWindow();
  // The widget of control `id`, or null.
  QWidget* controlWidget(int id) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override {}
  void accept() override {}

 private:
  void connectInput(const ControlResource& control, QWidget* widget);
  void refreshAll();
  void refreshChecks();
  void refreshText(int id, QWidget* widget);
  void clicked(int id);
  void edited(int id, const QString& text);
  // Enter and Escape as the dialog takes them; false for other keys.
  bool routeKey(int qtKey);

  CDialog* m_dialog;
  std::vector<std::pair<const ControlResource*, QWidget*>> m_controls;  // resource order
  std::map<int, QWidget*> m_byId;
};
