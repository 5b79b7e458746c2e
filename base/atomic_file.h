// Replacing a file so that it is never left half-written.
//
// The new content goes into a temporary file beside the target (same folder, so the same
// volume); once complete it is flushed to disk and renamed over the target in one step. A
// failed or abandoned write removes the temporary file and leaves the previous target exactly
// as it was. The replaced file keeps the target's permission bits (0644 for a new file, less
// the process umask). A symbolic link as target is followed: the file it points to is replaced.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string target);
  // Removes the temporary file unless commit() succeeded.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file beside the target and opens it for binary writing. False when
  // the folder does not exist or is not writable, or when the target exists but is read-only
  // for this process.
  bool open();

  // The open temporary file (null before open() and after commit()). The writer owns it: the
  // caller must not close it. Writes through it count like write().
  std::FILE* file() const { return file_; }

  // Appends bytes. False on a write error (the writer then refuses to commit).
  bool write(std::string_view bytes);

  // Flushes, syncs to disk, closes and renames the temporary file over the target. False on any
  // failure of these steps or of an earlier write; the temporary file is then removed and the
  // target untouched. Calling it again after it ran returns false.
  bool commit();

  // The path the writer replaces (after following a symbolic link).
  const std::string& target() const { return target_; }
  // The temporary file's path ("" before open()).
  const std::string& temporaryPath() const { return temp_; }

 private:
  void discard();

  std::string target_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Replaces `target` with `bytes` through an AtomicFileWriter. False when it failed; the
// previous content is then untouched.
bool replaceFileAtomically(const std::string& target, std::string_view bytes);
