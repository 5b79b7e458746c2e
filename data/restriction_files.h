// The restriction-number text form and the local restriction files, without any dialog.
//
// The text form is a 192-byte user-information line, the title "項番,電話番号" and one line per
// entry 0000-9999. Two writers produce it:
//   - the exchange file for the main unit ("hkiseinotmp.txt"): title ended by LF, entry lines
//     "%04d,<digits>" CR LF;
//   - the local form (a ".csv" file, and the intermediate text of a ".zud7" save): title ended by
//     CR LF, entry lines "%04d,<digits>," CR LF.
// Both write every byte as listed, through a temporary file that replaces the target only once
// complete (a failed write leaves the previous file as it was), and take the numbers from
// restrictionTable.
//
// Results: 0 = done; 30 = a file cannot be opened or created; the load has two more results
// below. No function here shows a message: the menu operations of app/restriction_files.h do.
#pragma once

#include <string>

class LoadReport;
class TextFileReader;

// Result of a load whose file opened but whose data could not be taken.
constexpr int kRestrictionDataError = 31;
// Result of a tagged load whose head is wrong: no "<USER>" part before the data element line, or
// no data element line at all. Nothing was read into the list.
constexpr int kRestrictionHeadError = 32;

// The title line's text in CP932 ("項番,電話番号", 13 bytes).
const std::string& restrictionTitleLine();

int writeRestrictionExchangeFile(const std::string& path);
int writeRestrictionLocalFile(const std::string& path);

// Collects a user-information header as every downloaded and local text file carries it:
// starting with firstLine, while the collected text is at most 190 characters long, the next
// line of reader is appended after a CR LF. A 190-character user-information line is therefore
// followed by the line after it (the empty line of a download, or the title of a local file).
std::string collectUserInfoHeader(TextFileReader& reader, std::string firstLine);

// Parses a downloaded "hkiseino.txt": the header fields are blanked and taken from its header,
// the title is skipped, and line k (k = 0 ... 10000) is stored as entry k in Download mode, so
// the list is replaced group by group as far as the file reaches. 30 when it cannot be opened
// (nothing changes).
//
// The parsers and the load take an optional `report` that receives the lines they refused or
// changed, by their line in the file the user chose (data/load_report.h).
int parseDownloadedRestrictionFile(const std::string& path, LoadReport* report = nullptr);

// Parses a local restriction text (a ".csv" file, or the work file of a ".zud7" load): an
// optional header, then every line whose first field is four digits is stored in FileLoad mode
// at that entry with the digits of its second field (first 24). Other lines are skipped and
// entries the file does not mention keep their numbers. 30 when it cannot be opened;
// kRestrictionDataError when it holds neither an entry line nor the title line, so it is no
// restriction file at all (a restriction file without entries is not an error).
int parseLocalRestrictionFile(const std::string& path, LoadReport* report = nullptr);

// Loads a local file chosen by the user: a ".csv" (any case) directly, anything else as a tagged
// ".zud7" file through a uniquely named work file beside it that is removed afterwards. The six
// header fields are blanked first. 0 = loaded; 30 = the file or the work file cannot be opened
// or created; kRestrictionHeadError = no "<USER>" block before the "<m018>" (or "<HKISEINO>")
// line, or no such line; kRestrictionDataError = the data could not be parsed. A tagged file
// whose head is right is a restriction file even when its element holds no rows.
int loadRestrictionLocalFile(const std::string& path, LoadReport* report = nullptr);

// Saves the list to a file chosen by the user after normalising it: a ".csv" (any case) in the
// local text form, anything else as a tagged ".zud7" file made from the local text form in a
// uniquely named intermediate file beside it. 0 = saved; 30 = a file cannot be created or
// written (the previous target is untouched).
int saveRestrictionLocalFile(const std::string& path);
