// The phonebook file operations of the file-kind chooser ("ファイル選択"): load and save of the
// kind of phonebook data that fileKind names; nothing happens while no kind is chosen.
//
// Each asks for the file with the common file dialog of its kind, checks it (the loaded file
// must exist and open; the save needs free space on the target's volume), reports every failure
// with one message box owned by `owner` (exclamation icon), and while it works disables the
// owner's file buttons and cancel button (and, for a menu, its 1294/1295/1077 buttons) and its
// Close command and shows the wait cursor; all of that is restored on every path. The file work
// itself is data/phonebook_file_io.h. A load sets tablesEdited once the file's data was read;
// the caller takes the phonebook snapshot after a speed-dial or extension load. A load that
// succeeds makes the loaded table the write baseline of its kind (data/phonebook_baseline.h).
// A load keeps what it refused or changed in lastLoadReport() (data/load_report.h); with an
// owner, a load with findings offers that report (app/load_report_offer.h). `owner` may be null
// (zuctl convert). Runs on the user-interface thread.
#pragma once

#include "data/table_kinds.h"

class CDialog;

void loadPhonebookFile(CDialog* owner);
void savePhonebookFile(CDialog* owner);

// The file dialog's filter and default extension for a kind of phonebook file.
const char* phonebookFileFilter(ExchangeKind kind);
const char* phonebookFileExtension(ExchangeKind kind);
