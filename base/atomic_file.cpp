#include "base/atomic_file.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/platform.h"

namespace {

// The file that a write to `path` should replace: the end of a symbolic link, else `path`.
std::string resolveTarget(std::string path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      path = real;
      std::free(real);
    }
  }
  return path;
}

// The process umask, read without changing it (umask() itself would race with other threads).
mode_t currentUmask() {
  mode_t mask = 022;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[128];
    while (std::fgets(line, sizeof line, f)) {
      unsigned int value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        break;
      }
    }
    std::fclose(f);
  }
  return mask;
}

// Permission bits for the replaced file: the old file's, or 0644 less the umask.
mode_t modeForTarget(const std::string& target) {
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  return 0644 & ~currentUmask();
}

// Makes the rename durable; failure here does not undo the replace.
void syncDirectory(const std::string& dir) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(resolveTarget(std::move(target))) {}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

void AtomicFileWriter::discard() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

bool AtomicFileWriter::open() {
  discard();
  failed_ = false;
  if (target_.empty() || target_.back() == '/') return false;
  // A file the user may not write (read-only) is not replaced behind their back.
  if (access(target_.c_str(), F_OK) == 0 && access(target_.c_str(), W_OK) != 0) return false;
  temp_ = createUniqueTempFile(directoryOf(target_));
  if (temp_.empty()) return false;
  file_ = std::fopen(temp_.c_str(), "wb");
  if (!file_) {
    discard();
    return false;
  }
  return true;
}

bool AtomicFileWriter::write(std::string_view bytes) {
  if (!file_) return false;
  if (bytes.empty()) return !failed_;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
  return !failed_;
}

bool AtomicFileWriter::commit() {
  if (!file_) return false;
  bool ok = !failed_ && !std::ferror(file_) && std::fflush(file_) == 0;
  ok = ok && fsync(fileno(file_)) == 0;
  ok = ok && fchmod(fileno(file_), modeForTarget(target_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  ok = ok && closed && std::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    discard();
    return false;
  }
  temp_.clear();
  syncDirectory(directoryOf(target_));
  return true;
}

bool replaceFileAtomically(const std::string& target, std::string_view bytes) {
  AtomicFileWriter writer(target);
  return writer.open() && writer.write(bytes) && writer.commit();
}
