// The element converters: a downloaded (or locally saved) XML element turned back into
// exchange-file text.
//
// The converters write to a FILE* the caller opened in binary mode and still owns.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "data/exchange_format.h"

class CXMLElementList;

// Each converter appends the column header with CR LF, then the rows text of the first element
// of `elements` (when there is one with a child) with its row ends turned into exchange-file row
// ends, then the closing line end. Rows from the main unit end in LF LF (the speed-dial and
// history rows with a comma before), rows from a user's tagged file in LF.
void convertSpeedDialElement(const CXMLElementList& elements, std::FILE* out, RowSource source,
                             SpeedDialForm form);
void convertExtensionElement(const CXMLElementList& elements, std::FILE* out, RowSource source);
void convertTemplateElement(const CXMLElementList& elements, std::FILE* out, RowSource source);
// Rows end in "," CR LF; the text ends with "," CR LF instead of CR LF.
void convertRestrictionElement(const CXMLElementList& elements, std::FILE* out, RowSource source);
void convertHistoryElement(const CXMLElementList& elements, std::FILE* out, RowSource source,
                           HistoryKind history);

// Which converter: the rows of an element and the column header they get.
enum class ElementRows {
  SpeedDial,
  Extensions,
  Templates,
  Restrictions,
  InternalHistory,
  ExternalHistory,
};

// One conversion: the rows, where they came from and, for the speed dial, the header's form.
struct ElementConversion {
  ElementRows rows;
  RowSource source;
  SpeedDialForm form = SpeedDialForm::TenColumns;
};

// What the converter of `conversion` writes for `elements`, appended to `out`.
void appendConvertedElement(const CXMLElementList& elements, const ElementConversion& conversion,
                            std::string& out);

// The rows-text conversions the converters apply, for callers that hold the text itself.
std::string extensionRowsText(std::string_view rows, RowSource source);
std::string restrictionRowsText(std::string_view rows, RowSource source);
// Template rows: the line ends converted as for the extension rows, then each row rebuilt so
// that "001@text" becomes "001,text," CR LF: only the first "@" of a row is the separator.
std::string templateRowsText(std::string_view rows, RowSource source);
