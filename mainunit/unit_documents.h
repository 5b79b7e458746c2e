// The bodies the main unit sends and receives: the connection answer, the download documents
// built from its tables, the file list the tool serves, and the upload blocks it stores.
//
// Download documents are "<root>", the unit's user-information line, then the element with the
// rows in the unit's own form:
//   sys-tan.txt / sys-tanf.txt  <systan> / <systanf>: every entry 0000-9999, each row + "," LF LF
//   naisen.txt                  <naisen>: the 317 directory lines, each row + LF LF
//   usertkbn.txt                <m046>: items 001-999 as "001@text" + LF LF
//   hkiseino.txt                <m018>: entries 0000-9999 as "0000@number" + LF LF
//   tyaklog.txt                 <naityaklog> and <gaityaklog>: the history rows + "," LF LF
// Texts are CP932 bytes; "&", "<" and ">" inside a field are written as entities so that the
// document stays well-formed whatever a field holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mainunit/mainunit_tables.h"

// The XML body of the answer to the connection request. An empty fwVer leaves out the fw_ver
// element. The document ends with a line that starts with "</root>".
std::string connectionAnswerBody(std::string_view fwVer, std::string_view devType,
                                 std::string_view password);

// The unit's own 192-byte user-information line (current local time, CR LF at its end).
std::string unitUserInfoLine();

// The download document for `fileName` (compared without regard to case), or nullopt when the
// unit has no such document.
std::optional<std::string> downloadDocument(std::string_view fileName, const MainUnitTables& tables);

// One entry of the file list as written: <element>address/file</element>.
struct UnitFileListEntry {
  std::string element;
  std::string address;  // the text before the last '/' ("" when there is none)
  std::string file;

  bool operator==(const UnitFileListEntry&) const = default;
};

// The file list the tool serves: "UPLOAD" or "DOWNLOAD" (upper-cased, "" when absent) and the
// file name of every entry in order ("address/name" gives "name"; duplicates kept), and the
// entries themselves.
struct UnitFileList {
  std::string direction;
  std::vector<std::string> files;
  std::vector<UnitFileListEntry> entries;
};
UnitFileList parseFileList(std::string_view body);

// Stores the rows of an upload block into the tables. `fileName` (any case) selects the layout:
// "sys-tanNNNN.txt", "sys-tanfNNNN.txt", "naisenNNN.txt", "usertkbn.txt", "hkiseinoNNNN.txt".
// Returns the number of rows stored, or -1 when the name is none of these.
int storeUploadedFile(std::string_view fileName, std::string_view body, MainUnitTables& tables);

// The table file (MainUnitTableFile bit) an upload block of this name changes; 0 for none.
unsigned uploadedTableFile(std::string_view fileName);

// True for the names the unit serves on download (sys-tan.txt, sys-tanf.txt, naisen.txt,
// usertkbn.txt, hkiseino.txt, tyaklog.txt), any case.
bool isDownloadDocumentName(std::string_view fileName);
