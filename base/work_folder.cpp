#include "base/work_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

// The state folder of this user: $XDG_STATE_HOME when it is an absolute path, else
// $HOME/.local/state. "" without either.
std::string userStateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return state;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return "";
  return std::string(home) + "/.local/state";
}

// Creates `path` and any missing parents, each new one with mode 0700. True when `path` is a
// folder afterwards.
bool makeFolders(const std::string& path) {
  std::string part;
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = path.find('/', at + 1);
    part = path.substr(0, at);
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string transferWorkFolder() {
  const std::string state = userStateFolder();
  if (state.empty()) return "";
  std::string folder = state;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  folder += "/zu/work";
  return makeFolders(folder) ? folder : "";
}

RunWorkFolder::RunWorkFolder() {
  const std::string base = transferWorkFolder();
  if (base.empty()) return;
  std::string pattern = base + "/run-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
}

RunWorkFolder::~RunWorkFolder() {
  if (m_path.empty() || m_keep) return;
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}
