// The per-user folder where transfers keep their work files (the exchange files of a read, the
// upload blocks of a write and the link's temporary files).
//
// It is $XDG_STATE_HOME/zu/work, or ~/.local/state/zu/work when XDG_STATE_HOME is unset or not
// an absolute path. The current directory is never used: a program started from a launcher has
// whatever directory the launcher had, often one the user never looks at or cannot write.
// Missing folders are created with mode 0700 (the work files hold the whole phonebook).
//
// Every run takes a subfolder of its own ("run-XXXXXX", made with mkdtemp), so two programs
// transferring at once never share a file; RunWorkFolder removes the subfolder with what is in it
// when it goes, unless keep() was called.
#pragma once

#include <string>

// The work folder, without a trailing '/', created when missing; "" when it cannot be made
// (no HOME, a file in the way, no permission).
std::string transferWorkFolder();

class RunWorkFolder {
 public:
  // Makes a fresh subfolder of transferWorkFolder(); path() is "" when that fails.
  RunWorkFolder();
  ~RunWorkFolder();
  RunWorkFolder(const RunWorkFolder&) = delete;
  RunWorkFolder& operator=(const RunWorkFolder&) = delete;

  // The subfolder, without a trailing '/'.
  const std::string& path() const { return m_path; }
  // Leaves the subfolder and its files in place when the object goes (kept for the user to look
  // at, such as the prepared files of a write that failed).
  void keep() { m_keep = true; }

 private:
  std::string m_path;
  bool m_keep = false;
};
