// The phonebook file operations of the file-kind chooser ("ファイル選択"): load and save of the
// kind of phonebook data that fileKind names (1 speed dial, 2 extension directory, 3 templates).
//
// Each asks for the file with the common file dialog of its kind, checks it (the loaded file
// must exist and open; the save needs free space on the target's volume), reports every failure
// with one message box owned by `owner` (exclamation icon), and while it works disables the
// owner's file buttons and cancel button (and, for a menu, its 1294/1295/1077 buttons) and its
// Close command and shows the wait cursor; all of that is restored on every path. The file work
// itself is data/phonebook_file_io.h. A load sets tablesEdited once the file's data was read;
// the caller takes the phonebook snapshot after a load of kind 1 or 2. `owner` may be null
// (zuctl convert). Runs on the user-interface thread.
#pragma once

class CDialog;

void loadPhonebookFile(CDialog* owner);
void savePhonebookFile(CDialog* owner);

// The file dialog's filter and default extension for kind 1-3 (null for other kinds).
const char* phonebookFileFilter(int kind);
const char* phonebookFileExtension(int kind);
