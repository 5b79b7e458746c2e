// Open and save dialogs as Qt shows them. GUI thread only; runs its own modal loop and returns
// the user's answer.
#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "ui/ui_backend.h"

// The open or save dialog `request` asks for: its filters, default extension and title. With
// OFN_OVERWRITEPROMPT a save of an existing file asks first and, on いいえ, lets the user choose
// again. Returns the chosen path, or nullopt when cancelled.
std::optional<std::string> showQtFileDialog(const FileDialogRequest& request, QWidget* parent);
