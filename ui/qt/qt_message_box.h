// Message boxes as Qt shows them. GUI thread only; runs its own modal loop and returns the
// user's answer.
#pragma once

#include <QWidget>

#include "ui/ui_backend.h"

// A box with the caption, text, icon and buttons of `request` (OK, OK/キャンセル or
// はい/いいえ); returns IDOK, IDCANCEL, IDYES or IDNO. Closing the box without a button gives
// the refusing answer (IDOK for OK, IDCANCEL, IDNO).
int showQtMessageBox(const MessageBoxRequest& request, QWidget* parent);
