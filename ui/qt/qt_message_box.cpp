#include "ui/qt/qt_message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

#include "ui/qt/qt_text.h"

namespace {

QMessageBox::Icon iconFor(unsigned type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

struct BoxButton {
  const char* text;
  int result;
  QMessageBox::ButtonRole role;
};

std::vector<BoxButton> buttonsFor(unsigned type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{"OK", IDOK, QMessageBox::AcceptRole},
              {"キャンセル", IDCANCEL, QMessageBox::RejectRole}};
    case MB_YESNO:
      return {{"はい", IDYES, QMessageBox::YesRole}, {"いいえ", IDNO, QMessageBox::NoRole}};
    default: return {{"OK", IDOK, QMessageBox::AcceptRole}};
  }
}

}  // namespace

int showQtMessageBox(const MessageBoxRequest& request, QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(toQString(request.caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(toQString(request.text));
  box.setIcon(iconFor(request.type));
  if (request.type & (MB_SYSTEMMODAL | MB_TOPMOST)) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  std::vector<std::pair<QPushButton*, int>> results;
  for (const BoxButton& b : buttonsFor(request.type)) {
    results.emplace_back(box.addButton(QString::fromUtf8(b.text), b.role), b.result);
  }
  box.setDefaultButton(results.front().first);
  box.setEscapeButton(results.back().first);
  box.exec();
  for (const auto& [button, result] : results) {
    if (box.clickedButton() == button) return result;
  }
  return results.back().second;
}
