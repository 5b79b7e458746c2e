#include "base/platform.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

namespace {

// The seams are read from worker threads too, so they are guarded.
std::mutex& seamLock() {
  static std::mutex lock;
  return lock;
}
std::optional<std::uint64_t> freeDiskSpaceSeam;
std::optional<std::uint64_t> availableMemorySeam;
std::optional<LocalTime> localTimeSeam;

template <typename T>
std::optional<T> readSeam(const std::optional<T>& seam) {
  std::lock_guard<std::mutex> guard(seamLock());
  return seam;
}

// MemAvailable of /proc/meminfo in bytes, or nullopt when the line is missing.
std::optional<std::uint64_t> memAvailableFromProc() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return std::nullopt;
  char line[256];
  std::optional<std::uint64_t> result;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kib = 0;
    if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
      result = static_cast<std::uint64_t>(kib) * 1024u;
      break;
    }
  }
  std::fclose(f);
  return result;
}

}  // namespace

std::string executableDirectory() {
  std::string buf(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return "./";
    if (static_cast<std::size_t>(n) < buf.size()) {
      buf.resize(static_cast<std::size_t>(n));
      break;
    }
    buf.resize(buf.size() * 2);
  }
  const std::string dir = directoryOf(buf);
  return dir.empty() ? "./" : dir;
}

std::string editorPagesDirectory(const std::string& exeDir) {
  const auto isFolder = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  const std::string beside = exeDir + "HTMLFiles/";
  if (isFolder(beside)) return beside;
  const std::string installed = exeDir + "../share/zu/HTMLFiles/";
  if (isFolder(installed)) return installed;
  return beside;
}

std::string currentDirectory() {
  std::string buf(PATH_MAX, '\0');
  for (;;) {
    if (getcwd(buf.data(), buf.size())) {
      buf.resize(std::strlen(buf.c_str()));
      return buf;
    }
    if (errno != ERANGE) return "";
    buf.resize(buf.size() * 2);
  }
}

std::optional<std::uint64_t> freeDiskSpace(const std::string& dir) {
  if (auto seam = readSeam(freeDiskSpaceSeam)) return seam;
  struct statvfs st {};
  if (statvfs(dir.empty() ? "." : dir.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
}

std::uint64_t availablePhysicalMemory() {
  if (auto seam = readSeam(availableMemorySeam)) return *seam;
  if (auto proc = memAvailableFromProc()) return *proc;
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages < 0 || pageSize < 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::string createUniqueTempFile(const std::string& dir) {
  std::string path = dir.empty() ? std::string("./") : dir;
  if (path.back() != '/') path.push_back('/');
  path += "zuXXXXXX.tmp";
  const int fd = mkstemps(path.data(), 4);
  if (fd < 0) return "";
  close(fd);
  return path;
}

LocalTime localTimeNow() {
  if (auto seam = readSeam(localTimeSeam)) return *seam;
  const std::time_t now = std::time(nullptr);
  struct tm tm {};
  localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string httpDate(std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  gmtime_r(&when, &t);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[t.tm_wday % 7],
                t.tm_mday, kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool readFileBytes(const std::string& path, std::string& bytes, std::size_t maxBytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes.clear();
  char chunk[65536];
  std::size_t n;
  while (bytes.size() <= maxBytes && (n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.append(chunk, n);
  const bool ok = !std::ferror(file) && bytes.size() <= maxBytes;
  std::fclose(file);
  return ok;
}

std::string readOpenFileBytes(std::FILE* file) {
  std::string bytes;
  if (file == nullptr) return bytes;
  // One read of the size the file has now, then whatever it grew by since.
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    if (size > 0) bytes.resize(static_cast<std::size_t>(size));
  }
  std::rewind(file);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  return bytes;
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string extensionOf(const std::string& path) {
  const std::string name = fileNameOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  return name.substr(dot);
}

void setFreeDiskSpaceForTesting(std::optional<std::uint64_t> bytes) {
  std::lock_guard<std::mutex> guard(seamLock());
  freeDiskSpaceSeam = bytes;
}

void setAvailableMemoryForTesting(std::optional<std::uint64_t> bytes) {
  std::lock_guard<std::mutex> guard(seamLock());
  availableMemorySeam = bytes;
}

void setLocalTimeForTesting(std::optional<LocalTime> time) {
  std::lock_guard<std::mutex> guard(seamLock());
  localTimeSeam = time;
}
