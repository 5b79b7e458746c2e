// The phonebook exchange files: the text files through which the tables travel to and from the
// main unit and the local files, their upload blocks, and the converters that turn a downloaded
// (or locally saved) XML element back into exchange-file text. The format constants are in
// data/exchange_format.h.
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
// file as it was. The block makers and the converters write to FILE*s the caller opened in binary
// mode and still owns (they never close them); the blocks after the first are created by the
// block maker itself beside the first one, each replaced atomically.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "data/exchange_format.h"

class CXMLElementList;

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

// The rows of an exchange or local text file after its user-information line (192 bytes) and
// its column-header line (up to and including its LF), each without its line end; lines that do
// not begin with a digit are left out. The FILE* form reads the whole file from its start when
// constructed; the text form reads bytes the caller keeps alive while the object is used.
class ExchangeFileRows {
 public:
  explicit ExchangeFileRows(std::FILE* file);
  explicit ExchangeFileRows(std::string_view text);
  ExchangeFileRows(const ExchangeFileRows&) = delete;
  ExchangeFileRows& operator=(const ExchangeFileRows&) = delete;

  bool next(std::string_view& row);

 private:
  void skipHeaderLines();

  std::string m_owned;
  std::string_view m_text;
  std::size_t m_pos = 0;
};

// Upload blocks. Each reads an exchange file written by writeExchangeFile (or, for the
// restriction numbers, "hkiseinotmp.txt") from after its user-information and column-header
// lines, and writes the first block into `firstBlock`; every following block is created beside
// `firstBlockPath` under its own name. Return 1 when every block was written, 0 when a
// following block could not be created or written.
//
// makeSpeedDialBlocks: form 1 = the 10-column family ("systanf", "sys-tanf0000.txt" ...), else
// "systan"; 500 rows a block. The last block ends in "</root>" with no line end.
int makeSpeedDialBlocks(std::FILE* exchange, std::FILE* firstBlock,
                        const std::string& firstBlockPath, int form);
// "naisen101.txt" (rows 1-51), "naisen151.txt", "naisen241.txt", "naisen335.txt",
// "naisen429.txt" (rows 202 to the end).
int makeExtensionBlocks(std::FILE* exchange, std::FILE* firstBlock,
                        const std::string& firstBlockPath);
// The one template block "usertkbn.txt" from "usertkbntmp.txt"; firstBlockPath is not used.
int makeTemplateBlock(std::FILE* exchange, std::FILE* firstBlock,
                      const std::string& firstBlockPath);
// "hkiseino0000.txt" ... "hkiseino9000.txt", 1000 rows a block.
int makeRestrictionBlocks(std::FILE* exchange, std::FILE* firstBlock,
                          const std::string& firstBlockPath);

// Element converters. Each appends to `out` the column header with CR LF, then the rows text of
// the first element of `elements` (when there is one with a child) with its row ends turned into
// exchange-file row ends, then the closing line end. sourceFlag 0: the element came from the
// main unit (rows end in LF LF); 1: from a user's tagged file (rows end in LF).
// The speed-dial header is the one of the current form (sysTanfMode).
void convertSpeedDialElement(const CXMLElementList& elements, std::FILE* out, int sourceFlag);
void convertExtensionElement(const CXMLElementList& elements, std::FILE* out, int sourceFlag);
void convertTemplateElement(const CXMLElementList& elements, std::FILE* out, int sourceFlag);
// Rows end in "," CR LF; the text ends with "," CR LF instead of CR LF.
void convertRestrictionElement(const CXMLElementList& elements, std::FILE* out, int sourceFlag);
// historyKind 1: the internal history header; anything else: the external one.
void convertHistoryElement(const CXMLElementList& elements, std::FILE* out, int sourceFlag,
                           int historyKind);

// Which converter: the rows of an element and the column header they get.
enum class ElementRows { SpeedDial, Extensions, Templates, Restrictions, InternalHistory, ExternalHistory };

// What the converter of `kind` writes for `elements`, appended to `out`.
void appendConvertedElement(const CXMLElementList& elements, ElementRows kind, int sourceFlag,
                            std::string& out);

// The rows-text conversions the converters apply, for callers that hold the text itself.
std::string extensionRowsText(std::string_view rows, int sourceFlag);
std::string restrictionRowsText(std::string_view rows, int sourceFlag);
// Template rows: the line ends converted as for the extension rows, then each row rebuilt so
// that "001@text" becomes "001,text," CR LF: only the first "@" of a row is the separator.
std::string templateRowsText(std::string_view rows, int sourceFlag);
