// The local phonebook files without any dialog: load and save of one kind of phonebook data
// from or to a file the user chose.
//
// Forms, by the file's extension (compared without regard to case): ".csv" is the exchange-file
// text itself (the speed dial always in the 10-column form); any other name is a tagged file
// (.zud8 speed dial in the 10-column form, .zud3 in the 7-column form, .zud4, .zud9). The tables
// are touched only through readExchangeFile and writeExchangeFile.
//
// A tagged file is read and written through its exchange-file text held in memory, so no file
// but the chosen one is ever created or touched.
// A save replaces its target atomically.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/op_result.h"
#include "data/exchange_format.h"

class LoadReport;

// The failure codes of a load or save. A failed result carries the message box text the user
// is shown (data/local_file_text.h) with the caption "エラー".
constexpr int kPhonebookNoFile = 30;     // the file cannot be opened or read
constexpr int kPhonebookDataError = 31;  // no "<USER>" part before the data element, no data
                                         // element, or rows of which none is data of its kind
constexpr int kPhonebookSaveError = 32;  // the file cannot be written

// Loads the file at `path` into the tables of `kind`. The six user-information fields are
// blanked first and taken from the file's user-information line when it has one; the speed dial
// sets sysTanfMode by the form. Sets tablesEdited once the file's data was read into the tables.
// A file of its kind without rows is no error and loads nothing; a file whose rows are none of
// its kind loads nothing and fails with kPhonebookDataError. `report`, when given, receives the
// rows the load refused or changed, by their line in the file (data/load_report.h).
OpResult loadPhonebookData(const std::string& path, ExchangeKind kind,
                           LoadReport* report = nullptr);

// Saves the tables of `kind` into the file at `path`; the speed dial sets sysTanfMode by the form.
// The previous file is untouched unless the whole new file was written.
OpResult savePhonebookData(const std::string& path, ExchangeKind kind);

// Free bytes a save of `kind` needs on the target's volume: 12,000 for the speed dial; 2,000
// for the extension directory under memory count 2 and 4,000 otherwise; 20,000,000 for the
// templates.
std::uint64_t phonebookSaveSpaceNeeded(ExchangeKind kind);

// True when the file name of `path` ends in ".csv" (any case).
bool isCsvFileName(const std::string& path);
// The phonebook table a file holds by its extension (any case): ".zud8" and ".zud3" the speed
// dial, ".zud4" the extension directory, ".zud9" the templates; none for any other name (a .csv
// may hold any of them).
std::optional<ExchangeKind> phonebookKindOfFileName(const std::string& path);
