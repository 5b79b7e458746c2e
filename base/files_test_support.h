// Test support (header only, included by tests and benchmarks alone): a temporary folder that
// removes itself with everything in it, and whole-file reads and writes for setting up and
// checking files byte for byte.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The bytes of the file at `path`; "" when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes `bytes` the whole content of the file at `path`.
inline void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder "<prefix>-XXXXXX" under the system's temporary folder, removed with everything
// in it when the object goes. path() is "" when the folder could not be made: a test asserts on
// that before it uses the folder.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "zu-test") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    m_path = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing '/'.
  const std::string& path() const { return m_path; }
  // The path of `name` inside the folder.
  std::string file(const std::string& name) const { return m_path + "/" + name; }
  // The names of the folder's entries, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(m_path, ec))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::string m_path;
};
