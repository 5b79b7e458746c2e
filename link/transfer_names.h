// The file names of the data phase: the data files the main unit and the tool exchange, the
// names of the upload blocks, and the file-list entry (element and file name) of each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kFileListName = "file_list.xml";
inline constexpr std::string_view kConnectionInfoName = "connection.xml";
inline constexpr std::string_view kCallHistoryName = "tyaklog.txt";
inline constexpr std::string_view kSpeedDialName = "sys-tan.txt";
inline constexpr std::string_view kSpeedDialTenColumnName = "sys-tanf.txt";
inline constexpr std::string_view kExtensionName = "naisen.txt";
inline constexpr std::string_view kTemplateName = "usertkbn.txt";
inline constexpr std::string_view kRestrictionName = "hkiseino.txt";

// The path of `name` in the work folder `workDir`; an empty work folder is the current folder.
std::string workPath(std::string_view workDir, std::string_view name);
// Creates workDir + "/Zu" if needed and a new, empty, uniquely named ".tmp" file in it; returns
// its path, or "" when it cannot be created or its path is over 260 bytes.
std::string makeWorkTempFile(const std::string& workDir);

// "sys-tan0000.txt" ... "sys-tan9500.txt" for block 0 ... 19; "sys-tanf..." when tenColumn.
std::string speedDialBlockName(int block, bool tenColumn);
// "naisen101.txt", "naisen151.txt", "naisen241.txt", "naisen335.txt", "naisen429.txt".
const std::vector<std::string>& extensionBlockNames();
// "hkiseino0000.txt" ... "hkiseino9000.txt".
const std::vector<std::string>& restrictionBlockNames();

// The lower-case form of `name` when it is one of the data-file names (compared without regard
// to case), otherwise "".
std::string recognisedDataFile(std::string_view name);

// The file-list entry of a queued name: the first key of the list table that the upper-cased
// name starts with gives the element and the file name; the entry exists only when the name is
// that file name (ignoring case). False when there is none.
bool fileListEntry(std::string_view name, std::string& element, std::string& fileName);
