// The operating-system services the tool needs, behind plain functions: folders and file names,
// free disk space, available memory, unique temporary files and the local time.
//
// Paths are native ('/' separators). The free-space, memory and clock readings each have a
// test seam: while a value is set for testing, the function returns it instead of asking the
// system. The seams are process-wide; a test sets them and puts std::nullopt back when done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

// The longest path, in bytes, that the files, the link and the server keep; a buffer for one
// holds kMaxPathBytes + 1 bytes with its NUL.
constexpr std::size_t kMaxPathBytes = 260;

// The folder of the running executable, ending with '/'. "./" when it cannot be found.
std::string executableDirectory();

// The folder of the editor pages, ending with '/': "HTMLFiles/" beside the executable in `exeDir`
// (a build folder, or a copy of the programs with their pages), else "../share/zu/HTMLFiles/"
// from it (an installed program: /usr/bin/zu reads /usr/share/zu/HTMLFiles/). When neither is a
// folder, the one beside the executable, so that a missing page is reported from there.
std::string editorPagesDirectory(const std::string& exeDir = executableDirectory());

// The current working directory, without a trailing '/' (except for the root itself), at any
// length. "" when it cannot be read.
std::string currentDirectory();

// Bytes available to an unprivileged user on the volume that holds `dir`; nullopt when the
// volume cannot be examined.
std::optional<std::uint64_t> freeDiskSpace(const std::string& dir);

// Physical memory available for new work, in bytes (MemAvailable of /proc/meminfo, or the free
// pages when that is missing).
std::uint64_t availablePhysicalMemory();

// Creates a new empty file with a unique name ending in ".tmp" in `dir` (with or without a
// trailing '/'; "" is the current directory) and returns its full path; "" on failure. The
// caller owns the file and removes it when done.
std::string createUniqueTempFile(const std::string& dir);

struct LocalTime {
  int year;    // e.g. 2024
  int month;   // 1-12
  int day;     // 1-31
  int hour;    // 0-23
  int minute;  // 0-59
  int second;  // 0-60
};

// The local wall-clock time now.
LocalTime localTimeNow();

// The date of an HTTP head for `when`, in UTC and in English whatever the locale:
// "Tue, 05 Mar 2024 09:07:00 GMT".
std::string httpDate(std::time_t when);

// True when `path` names an existing entry that is not a directory.
bool fileExists(const std::string& path);

// Reads the file at `path` whole, as binary bytes, into `bytes`. False when it cannot be opened
// or read, or when it holds more than maxBytes bytes (reading stops soon after); `bytes` then
// holds nothing to rely on.
bool readFileBytes(const std::string& path, std::string& bytes, std::size_t maxBytes = SIZE_MAX);

// Every byte of a file the caller opened for binary reading and still owns, from its start (the
// file is rewound first). A read error ends the bytes early; a null file gives "".
std::string readOpenFileBytes(std::FILE* file);

// The folder part of `path` with its trailing '/': "a/b/c.txt" -> "a/b/", "/c" -> "/",
// "c.txt" -> "". directoryOf(p) + fileNameOf(p) == p.
std::string directoryOf(const std::string& path);

// The part of `path` after its last '/'.
std::string fileNameOf(const std::string& path);

// The extension of the file name of `path` from its last '.', as written (".zud8", ".CSV",
// and ".zud8" for a file named just ".zud8"); "" when the file name has no '.'.
std::string extensionOf(const std::string& path);

void setFreeDiskSpaceForTesting(std::optional<std::uint64_t> bytes);
void setAvailableMemoryForTesting(std::optional<std::uint64_t> bytes);
void setLocalTimeForTesting(std::optional<LocalTime> time);
