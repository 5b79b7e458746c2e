// The checks the main unit makes on what a tool sends it, so that a wrong tool fails its session
// instead of passing silently:
//   - the file list: its direction, the set of files a tool must name for this unit's firmware,
//     each entry's element and address, and its layout;
//   - every upload block: the element of its name and the rows of its range, each exactly once,
//     in order, with the columns of its family;
//   - every download request: the next file of the list, and a document this firmware serves.
// Each check returns "" when the tool did right, otherwise the reason in one line, for the log
// and the session's failure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mainunit/unit_documents.h"

// What a unit of a given firmware serves and takes.
struct UnitFirmware {
  std::string text;          // the fw_ver text, for the reasons
  bool tenColumns = true;    // 4.0 and above: the 10-column speed dial and the templates
  bool restrictions = true;  // every firmware but 1.00 and 2.00 keeps restriction numbers
};
UnitFirmware unitFirmwareOf(std::string_view fwVer);

// Where the list's entries must point: a download names the unit as the tool addressed it (the
// text is, or resolves to, `unit`), an upload names the tool's own address (`tool`, exactly).
struct FileListAddresses {
  std::string unit;  // dotted address the tool's control connection reached
  std::string tool;  // dotted address the tool's control connection came from
};

std::string fileListRefusal(std::string_view body, const UnitFileList& list, const UnitFirmware& firmware,
                            const FileListAddresses& addresses);

// `name` as listed (lower case); `body` as received.
std::string uploadBlockRefusal(std::string_view name, std::string_view body, const UnitFirmware& firmware);

// A download request for `name` (lower case) when `fetched` files of the list have been served.
std::string downloadRefusal(std::string_view name, const std::vector<std::string>& listed, std::size_t fetched,
                            const UnitFirmware& firmware);
