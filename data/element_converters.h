// The element converters: a downloaded (or locally saved) XML element turned back into
// exchange-file text.
//
// The converters write to a FILE* the caller opened in binary mode and still owns.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class CXMLElementList;

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
