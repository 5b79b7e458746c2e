// The phonebook read and write workflows of the main dialog.
//
// Read: the link downloads the speed dial (7 or 10 columns by the unit's firmware), the
// extension phonebook and, from firmware 4.0, the templates; they are read into the tables in
// that order, with the snapshot taken after the extension phonebook; below 4.0 the templates
// are cleared. When a downloaded file is missing or unreadable no table changes and the read
// reports the file error instead of success.
//
// Write: the write-selection dialog replaces the confirmation; both speed-dial families, the
// extension phonebook and the templates are written and prepared as upload blocks before the
// link connects, and the link sends the selected blocks. Sending the extension phonebook or the
// templates replaces what the unit holds; when neither a phonebook read in this run nor a loaded
// file gave that table its contents, the user is asked first and No sends nothing.
#pragma once

#include "app/communication_workflow.h"
#include "data/table_kinds.h"

WorkflowOutcome runPhonebookRead(WorkflowSite& site);
WorkflowOutcome runPhonebookWrite(WorkflowSite& site);

// The question asked before a write would replace tables nothing in this run filled.
namespace phonebook_write_text {
inline constexpr const char* kUnreadCaption = "電話帳データの書込確認";
inline constexpr const char* kUnreadText =
    "\n電話帳データの読込が行われていません。\n"
    "このまま書込を行うと主装置側の付加情報定型文や内線番号が初期化されたり、"
    "内線名称が変更されたりします。\n書込を行いますか？\n";
}  // namespace phonebook_write_text

// Marks the table of `kind` as filled from the unit or from a file in this run.
void notePhonebookTableFilled(ExchangeKind kind);
// True when writeSelection sends the extension phonebook or the templates and that table was
// filled by neither a read nor a file load in this run.
bool writeWouldResetUnitTables();
