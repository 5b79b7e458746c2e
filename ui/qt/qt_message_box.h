// Message boxes and file dialogs as Qt shows them. GUI thread only; both run their own modal
// loop and return the user's answer.
#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "ui/ui_backend.h"

// A box with the caption, text, icon and buttons of `request` (OK, OK/キャンセル or
// はい/いいえ); returns IDOK, IDCANCEL, IDYES or IDNO. Closing the box without a button gives
// the refusing answer (IDOK for OK, IDCANCEL, IDNO).
int showQtMessageBox(const MessageBoxRequest& request, QWidget* parent);

// The open or save dialog `request` asks for: its filters, default extension and title. With
// OFN_OVERWRITEPROMPT a save of an existing file asks first and, on いいえ, lets the user choose
// again. Returns the chosen path, or nullopt when cancelled.
std::optional<std::string> showQtFileDialog(const FileDialogRequest& request, QWidget* parent);
