#include "ui/qt/qt_message_box.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

namespace {

QString qs(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

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
      return {{"OK", IDOK, QMessageBox::AcceptRole}, {"キャンセル", IDCANCEL, QMessageBox::RejectRole}};
    case MB_YESNO:
      return {{"はい", IDYES, QMessageBox::YesRole}, {"いいえ", IDNO, QMessageBox::NoRole}};
    default:
      return {{"OK", IDOK, QMessageBox::AcceptRole}};
  }
}

// The filter as Qt reads it, "label (pattern)"; a label that already ends with its pattern in
// parentheses is used as it is.
QString qtFilter(const FileFilter& filter) {
  QString label = qs(filter.label);
  QString pattern = qs(filter.pattern).replace(QLatin1Char(';'), QLatin1Char(' '));
  if (label.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))) return label;
  return label + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

void setUpFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);  // asked below, in the tool's words
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  QString title = qs(request.title);
  if (title.isEmpty()) title = request.open ? QStringLiteral("開く") : QStringLiteral("名前を付けて保存");
  dialog.setWindowTitle(title);
  QStringList filters;
  for (const FileFilter& f : request.filters) filters << qtFilter(f);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!request.defaultExt.empty()) dialog.setDefaultSuffix(qs(request.defaultExt));
  if (!request.initialName.empty()) dialog.selectFile(qs(request.initialName));
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("ファイルの場所"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類"));
  dialog.setLabelText(QFileDialog::Accept, request.open ? QStringLiteral("開く") : QStringLiteral("保存"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
}

bool confirmOverwrite(const QString& path, const QString& title, QWidget* parent) {
  MessageBoxRequest ask;
  ask.caption = title.toStdString();
  ask.text = (QFileInfo(path).fileName() + QStringLiteral(" は既に存在します。\n上書きしますか？"))
                 .toStdString();
  ask.type = MB_YESNO | MB_ICONEXCLAMATION;
  return showQtMessageBox(ask, parent) == IDYES;
}

}  // namespace

int showQtMessageBox(const MessageBoxRequest& request, QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(qs(request.caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(qs(request.text));
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

std::optional<std::string> showQtFileDialog(const FileDialogRequest& request, QWidget* parent) {
  QFileDialog dialog(parent);
  setUpFileDialog(dialog, request);
  bool ask = !request.open && (request.flags & OFN_OVERWRITEPROMPT);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QString path = dialog.selectedFiles().front();
    if (ask && QFileInfo::exists(path) && !confirmOverwrite(path, dialog.windowTitle(), &dialog)) {
      continue;
    }
    return path.toStdString();
  }
}
