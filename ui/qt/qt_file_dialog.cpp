#include "ui/qt/qt_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "ui/qt/qt_message_box.h"
#include "ui/qt/qt_text.h"

namespace {

// The filter as Qt reads it, "label (pattern)"; a label that already ends with its pattern in
// parentheses is used as it is.
QString qtFilter(const FileFilter& filter) {
  QString label = toQString(filter.label);
  QString pattern = toQString(filter.pattern).replace(QLatin1Char(';'), QLatin1Char(' '));
  if (label.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))) return label;
  return label + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

void setUpFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);  // asked below, in the tool's words
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  QString title = toQString(request.title);
  if (title.isEmpty())
    title = request.open ? QStringLiteral("開く") : QStringLiteral("名前を付けて保存");
  dialog.setWindowTitle(title);
  QStringList filters;
  for (const FileFilter& f : request.filters) filters << qtFilter(f);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!request.defaultExt.empty()) dialog.setDefaultSuffix(toQString(request.defaultExt));
  if (!request.initialName.empty()) dialog.selectFile(toQString(request.initialName));
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("ファイルの場所"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類"));
  dialog.setLabelText(QFileDialog::Accept,
                      request.open ? QStringLiteral("開く") : QStringLiteral("保存"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
}

bool confirmOverwrite(const QString& path, const QString& title, QWidget* parent) {
  MessageBoxRequest ask;
  ask.caption = toUtf8(title);
  ask.text =
      toUtf8(QFileInfo(path).fileName() + QStringLiteral(" は既に存在します。\n上書きしますか？"));
  ask.type = MB_YESNO | MB_ICONEXCLAMATION;
  return showQtMessageBox(ask, parent) == IDYES;
}

}  // namespace

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
    return toUtf8(path);
  }
}
