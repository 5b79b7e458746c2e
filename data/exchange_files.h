// The phonebook exchange files: the text files through which the tables travel to and from the
// main unit and the local files. Their upload blocks are in data/upload_blocks.h, the converters
// that turn a downloaded XML element back into exchange-file text in data/element_converters.h,
// the format constants in data/exchange_format.h.
//
// Every operation is given what it works on: the path, the kind of table and, for the speed
// dial, the form (7 or 10 columns) and where the file came from (the main unit's speed-dial file
// is read by the main unit's rules). Nothing here reads or sets a process-wide path or form.
//
// Tables. The readers touch the tables only through the table operations of
// data/phonebook_tables.h (setSpeedDialEntry, setExtensionEntry, setTemplateMessage) and read
// file bodies into workLines; nothing is allocated per row.
//
// Files. writeExchangeFile replaces its target atomically: a failed write leaves the previous
// file as it was.
#pragma once

#include <string>
#include <string_view>

#include "base/op_result.h"
#include "data/exchange_format.h"

class LoadReport;

// Writes the exchange file of `kind` at `path` from the tables: the user-information line, the
// column header and the rows; a speed-dial file in `form`. When the file cannot be created the
// directory is created and the write tried once more. Fails with code 30 (kExchangeCannotOpen)
// when the file cannot be created or written; the previous file is then untouched. The result
// carries no message: each caller tells the user in its own words.
OpResult writeExchangeFile(const std::string& path, ExchangeKind kind, SpeedDialForm form);

// Appends to `out` the bytes writeExchangeFile writes for `kind` (the same user-information
// line, header and rows).
void appendExchangeFileText(ExchangeKind kind, SpeedDialForm form, std::string& out);

// What a read found in the file body, for callers that tell the user about a file that is not
// of its kind.
struct ExchangeReadSummary {
  bool headerRecognised = false;  // the body's first line ends with the kind's column header
  bool otherKindsHeader = false;  // it is the column header of another kind: nothing was parsed
  int keyedRows = 0;              // rows after the header that begin with a digit
  int rowsStored = 0;             // rows the table operations accepted
};

// How an exchange file is read: its kind and, for the speed dial, its form and its source.
// `report`, when given, receives a finding for every row the read refuses or changes
// (data/load_report.h), numbered by the line of the file (the column header is line 1, or line 2
// after a user-information line).
struct ExchangeRead {
  ExchangeKind kind;
  SpeedDialForm form = SpeedDialForm::TenColumns;
  RowSource source = RowSource::UserFile;
  LoadReport* report = nullptr;
};

// Reads the exchange file at `path` into the tables. A first byte '2' marks a user-information
// line, whose six fields are taken into userInfoHeader; otherwise the body starts at byte 0.
// At most 10000 x 192 body bytes are read. A body whose column header is that of another kind
// of data (a file of extensions read as speed dial, ...) is not parsed at all. Done when the
// file was read (whether or not any row was loaded); code 30 when it cannot be opened (nothing
// changes). `summary`, when given, says what the body held.
OpResult readExchangeFile(const std::string& path, const ExchangeRead& read,
                          ExchangeReadSummary* summary = nullptr);

// Reads exchange-file bytes held in memory into the tables exactly as readExchangeFile reads a
// file holding them (user-information line, at most 10000 x 192 body bytes, the kind's parser),
// without a file and without copying the bytes.
void readExchangeText(const ExchangeRead& read, std::string_view bytes,
                      ExchangeReadSummary* summary = nullptr);

// True when a body whose read produced `summary` is not a file of its kind: it carried another
// kind's column header, or nothing was stored and either the column header was not the kind's
// or the body had rows none of which loaded. A file of the right kind without rows is not
// refused.
bool exchangeBodyRefused(const ExchangeReadSummary& summary);
