// The call-history files: the downloaded "naityaklog.txt" / "gaityaklog.txt" and the local CSV
// files of either history, without any dialog.
//
// `kind` names the internal or the external history.
//
// A downloaded file and a CSV share their lines: an optional header (a user-information line,
// collected as collectUserInfoHeader describes), a title line, and one comma-separated line per
// record whose first field is the record number n (1-5000), stored at position n - 1. The field
// order is that of the CSV title lines below. Results: 0 = done, 30 = the file cannot be opened
// or created. No function here shows a message: app/history_files.h does.
#pragma once

#include <string>
#include <string_view>

#include "data/call_history.h"

class LoadReport;
#include "data/table_kinds.h"

// The CSV title lines in CP932, without their line end.
const std::string& internalHistoryCsvTitle();
const std::string& externalHistoryCsvTitle();

// One data line into a record (its recordNumber is the line's first field). Exposed for the
// tests and the simulator's history data.
InternalCallRecord parseInternalHistoryLine(std::string_view line);
ExternalCallRecord parseExternalHistoryLine(std::string_view line);

// One CSV data line of a record, without its line end.
std::string formatInternalHistoryLine(const InternalCallRecord& r);
std::string formatExternalHistoryLine(const ExternalCallRecord& r);

// Parses a downloaded history file into the history of `kind`, merging by position: records the
// file does not mention stay as they were. Header fields are taken from a header beginning
// with '2'; the next line (the titles) is skipped; up to 5001 data lines follow.
//
// Both take an optional `report` that receives the lines they refused or changed, by their line
// in the file (data/load_report.h); it changes nothing of what is stored.
int parseDownloadedHistoryFile(const std::string& path, HistoryKind kind,
                               LoadReport* report = nullptr);

// Loads a CSV file into the history of `kind`: every record is cleared first, then up to 5002
// lines are read (header, title, data; the title yields record number 0 and is ignored).
int loadHistoryCsvFile(const std::string& path, HistoryKind kind, LoadReport* report = nullptr);

// Saves the history of `kind` as CSV: the user-information line (CR LF), the title (LF) and one
// line (LF) per record whose number is not 0, written through a temporary file that replaces
// the target only once complete.
int saveHistoryCsvFile(const std::string& path, HistoryKind kind);
