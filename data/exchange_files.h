// The phonebook exchange files: the text files through which the tables travel to and from the
// main unit and the local files. Their upload blocks are in data/upload_blocks.h, the converters
// that turn a downloaded XML element back into exchange-file text in data/element_converters.h,
// the format constants in data/exchange_format.h.
//
// Paths. writeExchangeFile and readExchangeFile work on exchangeDirectory + exchangeFileName
// (data/process_state.h), which the caller sets before each call; the directory ends with '/'
// (or is empty for the current directory). The form of the speed-dial file follows sysTanfMode
// (1: 10 columns); speedDialPass tells the speed-dial parser that the file came from the main
// unit rather than from a user's file.
//
// Tables. The readers touch the tables only through the table operations of
// data/phonebook_tables.h (setSpeedDialEntry, setExtensionEntry, setTemplateMessage) and read
// file bodies into workLines; nothing is allocated per row.
//
// Files. writeExchangeFile replaces its target atomically: a failed write leaves the previous
// file as it was.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "data/exchange_format.h"

// Writes the exchange file of `kind` (1 speed dial, 2 extension directory, 4 templates) from the
// tables: the user-information line, the column header and the rows. When the file cannot be
// created the directory is created and the write tried once more. Returns 0 when written,
// 30 when the file cannot be created or written (the previous file is then untouched),
// kExchangeBadKind (nothing done) for any other kind.
int writeExchangeFile(int kind);

// Appends to `out` the bytes writeExchangeFile writes for `kind` (the same user-information
// line, header and rows). False, with nothing appended, for a kind other than 1, 2 or 4.
bool appendExchangeFileText(int kind, std::string& out);

// What a read found in the file body, for callers that tell the user about a file that is not
// of its kind.
struct ExchangeReadSummary {
  bool headerRecognised = false;  // the body's first line ends with the kind's column header
  bool otherKindsHeader = false;  // it is the column header of another kind: nothing was parsed
  int keyedRows = 0;              // rows after the header that begin with a digit
  int rowsStored = 0;             // rows the table operations accepted
};

// Reads the exchange file of `kind` into the tables. A first byte '2' marks a user-information
// line, whose six fields are taken into userInfoHeader; otherwise the body starts at byte 0.
// At most 10000 x 192 body bytes are read. A body whose column header is that of another kind
// of data (a file of extensions read as speed dial, ...) is not parsed at all. Returns 0 when the file was read (whether or not any
// row was loaded), 30 when it cannot be opened (nothing changes), kExchangeBadKind for a kind
// other than 1, 2 or 4. `summary`, when given, says what the body held.
int readExchangeFile(int kind);
int readExchangeFile(int kind, ExchangeReadSummary* summary);

// Reads exchange-file bytes held in memory into the tables exactly as readExchangeFile reads a
// file holding them (user-information line, at most 10000 x 192 body bytes, the kind's parser),
// without a file and without copying the bytes. Returns 0, or kExchangeBadKind for a kind other
// than 1, 2 or 4.
int readExchangeText(int kind, std::string_view bytes, ExchangeReadSummary* summary = nullptr);

// True when a body whose read produced `summary` is not a file of its kind: it carried another
// kind's column header, or nothing was stored and either the column header was not the kind's
// or the body had rows none of which loaded. A file of the right kind without rows is not
// refused.
bool exchangeBodyRefused(const ExchangeReadSummary& summary);
