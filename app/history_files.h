// The file operations of the call-history menu: CSV load (button 1294) and save (button 1295)
// of the history that historyKind selects. Dialogs, messages, disabled
// controls and wait cursor as app/restriction_files.h describes. Runs on the user-interface
// thread; the menu may be null. A load keeps what it refused or changed in lastLoadReport() and,
// with a menu, offers it (app/load_report_offer.h).
#pragma once

#include <string>

class CDialog;

void loadHistoryFile(CDialog* menu);
void saveHistoryFile(CDialog* menu);

// The path last chosen in the history menu's file dialogs ("" before the first choice).
const std::string& lastHistoryFilePath();
