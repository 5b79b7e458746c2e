// The tagged local files: .zud8 and .zud3 (speed dial), .zud4 (extension directory), .zud9
// (templates) and .zud7 (restriction numbers). The layout is in data/exchange_format.h.
//
// Writing: each writer takes an exchange or local text file opened for binary reading (written
// by writeExchangeFile, or the local restriction text) and a target opened for binary writing;
// it reads the text from after its user-information and column-header lines, writes the whole
// tagged file to the target and leaves both files open (the caller owns them). appendTaggedFile
// does the same from the text in memory. The save date and the user-information line are those
// of now (localTimeNow) and userInfoHeader.
//
// Reading: collectTaggedHeader reads the head of a tagged file up to its data element and gives
// the user-information text; convertTaggedRows appends the file's rows as exchange-file text
// (the column header, the rows, the closing line end) to a string or a file, through the XML
// document when the file loads as one and as plain text otherwise. That text then goes to
// readExchangeText or readExchangeFile (or the restriction parser).
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "data/table_kinds.h"

class TextFileReader;

// What the rows of an element are and how they become exchange-file rows.
enum class TaggedRows {
  SpeedDialSevenColumns,  // "systan", the 7-column header; rows end "," CR
  SpeedDialTenColumns,    // "systanf", the 10-column header; rows end "," CR
  Extensions,             // rows end "," LF
  Templates,              // "001@text" CR; rebuilt to "001,text,"
  Restrictions,           // "0000@digits," LF; '@' becomes ','
};

// The speed-dial rows of `form`.
TaggedRows taggedSpeedDialRows(SpeedDialForm form);

// Return 0 when the tagged file was written, 30 when writing to the target failed.
// The speed dial in `form`: element "systanf" for 10 columns, "systan" for 7.
int writeTaggedSpeedDial(std::FILE* exchange, std::FILE* target, SpeedDialForm form);
int writeTaggedExtensions(std::FILE* exchange, std::FILE* target);
int writeTaggedTemplates(std::FILE* exchange, std::FILE* target);
// From the local restriction text ("hkiseino.txt" form: title ended by CR LF, rows with a
// trailing comma).
int writeTaggedRestrictions(std::FILE* localText, std::FILE* target);

// The tagged file the writer of `rows` makes from the exchange-file text `exchange` (the bytes
// of the file it would read), appended to `out`.
void appendTaggedFile(TaggedRows rows, std::string_view exchange, std::string& out);

enum class TaggedHeaderResult {
  Found,        // a "<USER>" part came before the first element line
  NoUserPart,   // an element line came before any "<USER>" line
  NoElement,    // the file ended without an element line
};

// Reads lines (text mode) from `reader` up to the first line that is one of `elementLines`
// ("<systanf>", ...). At a line "<USER>" the text after it is collected: its first line, then,
// while the text holds at most 190 bytes, the next line after a CR LF (so the 190 bytes of a
// user-information line take the "</USER>" line with them). `userText` receives that text;
// `elementLine`, when given, the line number of the element line (1 = the file's first line).
TaggedHeaderResult collectTaggedHeader(TextFileReader& reader,
                                       std::initializer_list<std::string_view> elementLines,
                                       std::string& userText, int* elementLine = nullptr);

// Appends to `out` the column header with CR LF, the rows of the first element named `element`
// of the tagged file at `path` with exchange-file row ends, and the closing line end. The file is
// read as an XML document when it is one; it is read as plain text, from the line "<element>"
// to the first closing tag, when it is not, when it is far larger than any tagged file, and
// when it holds a '&': the tool writes table text unescaped, so "&amp;" in a name is data that
// an XML reader would turn into "&". A file whose element is missing gives the header alone.
// False when the file cannot be read or `out` cannot be written.
bool convertTaggedRows(const std::string& path, std::string_view element, TaggedRows rows,
                       std::FILE* out);
bool convertTaggedRows(const std::string& path, std::string_view element, TaggedRows rows,
                       std::string& out);

// The plain-text reading of convertTaggedRows, on its own.
bool convertTaggedRowsAsText(const std::string& path, std::string_view element, TaggedRows rows,
                             std::FILE* out);
