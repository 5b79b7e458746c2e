// The main unit's own system data as the simulator keeps it: speed dial, extension names,
// template messages, restriction numbers and both incoming-call histories.
//
// Every text is CP932 bytes, exactly as it travels in the rows of the exchange (no field holds a
// ","). The tables are plain values: copy them freely. The row layouts they are served and
// stored in are those of the download documents and upload blocks (mainunit/unit_documents.h).
#pragma once

#include <array>
#include <string>
#include <vector>

// One system speed-dial entry. Empty fields mean "not registered"; the 10-column fields
// (display mode, templates) are kept even when a 7-column block updates the entry.
struct MainUnitSpeedDial {
  std::string number;       // dial string, e.g. "0312345678"
  std::string name;         // up to 20 bytes
  std::string reading;      // half-width, up to 20 bytes
  std::string use = "0";    // "0" unregistered, "1"-"8" shared, a position = private
  std::string group = "01";
  std::string lineGroup = "0";
  std::string displayMode = "0";
  std::string template1 = "000";
  std::string template2 = "000";

  bool operator==(const MainUnitSpeedDial&) const = default;
};

// One line of the extension directory, keyed by accommodation position.
struct MainUnitExtension {
  int position = 0;
  std::string number;   // up to 4 characters
  std::string name;     // up to 10 bytes
  std::string reading;  // up to 10 bytes

  bool operator==(const MainUnitExtension&) const = default;
};

inline constexpr int kMainUnitSpeedDials = 10000;
inline constexpr int kMainUnitTemplates = 1000;   // items 1-999 are used
inline constexpr int kMainUnitRestrictions = 10000;
inline constexpr int kMainUnitHistoryRecords = 5000;
inline constexpr int kMainUnitExtensionLines = 317;
inline constexpr int kInternalHistoryFields = 16;
inline constexpr int kExternalHistoryFields = 12;

struct MainUnitTables {
  std::vector<MainUnitSpeedDial> speedDial = std::vector<MainUnitSpeedDial>(kMainUnitSpeedDials);
  // The 317 positions of the directory in their fixed order (mainUnitExtensionPositions()).
  std::vector<MainUnitExtension> extensions;
  std::vector<std::string> templates = std::vector<std::string>(kMainUnitTemplates);
  std::vector<std::string> restrictions = std::vector<std::string>(kMainUnitRestrictions);
  // History rows in column order (16 fields internal, 12 external); the first field is the
  // record number 1-5000. Newest record first.
  std::vector<std::vector<std::string>> internalHistory;
  std::vector<std::vector<std::string>> externalHistory;

  MainUnitTables();
  bool operator==(const MainUnitTables&) const = default;
};

// The 317 accommodation positions of the directory, in order: 101-160, 201-256, 301-356,
// 401-456, 601-616, then the special positions 700-715 ... 831-846.
const std::array<int, kMainUnitExtensionLines>& mainUnitExtensionPositions();

// Index of `position` in MainUnitTables::extensions, or -1 when the directory has no such line.
int extensionIndexOf(int position);

// Realistic sample data for a fresh data folder: 10000 speed-dial entries (company and person
// names, half-width readings, plausible numbers), extension names, templates, restriction
// numbers and 5000 records in each history. Deterministic: every call gives the same tables.
MainUnitTables seededMainUnitTables();

// The table files of a data folder, one row per line, LF line ends, CP932 bytes:
//   speed-dial.txt   "0000,number,name,reading,use,group,line,display,template1,template2"
//   naisen.txt       "101,number,name,reading"
//   usertkbn.txt     "001,text"
//   hkiseino.txt     "0000,number"
//   naityaklog.txt, gaityaklog.txt   the history rows, fields joined by ","
inline constexpr int kMainUnitTableFiles = 6;

// Reads every table file present in `dir` into `out`; a table whose file is missing or
// unreadable keeps the value it had in `out`. Returns how many of the six files were read.
int loadMainUnitTables(const std::string& dir, MainUnitTables& out);

// Which table files a save writes (bits may be combined).
enum MainUnitTableFile : unsigned {
  kSpeedDialFile = 1,
  kExtensionFile = 2,
  kTemplateFile = 4,
  kRestrictionFile = 8,
  kInternalHistoryFile = 16,
  kExternalHistoryFile = 32,
  kAllTableFiles = 63,
};

// Creates the folder if needed and replaces each chosen file atomically, so an interrupted save
// leaves the previous files. False when the folder or a file could not be written.
bool saveMainUnitTables(const std::string& dir, const MainUnitTables& tables,
                        unsigned files = kAllTableFiles);
