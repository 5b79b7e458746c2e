// Scratch files for the fuzz programs: parsers that read from a path get each input through one
// file in a folder private to the process, made on first use and removed at exit.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzscratch {

// The private folder, with a trailing '/'.
inline const std::string& folder() {
  static const std::string path = [] {
    char tmpl[] = "/tmp/zu-fuzz-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    if (made == nullptr) std::abort();
    static std::string kept = made;
    std::atexit([] { std::filesystem::remove_all(kept); });
    return kept + "/";
  }();
  return path;
}

// Writes the input into folder() + name and returns that path.
inline std::string write(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = folder() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

}  // namespace fuzzscratch
