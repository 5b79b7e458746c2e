// Windows text mode, as the main unit's exchange files and the local data files use it.
//
// Writing in text mode turns every LF into CR LF (a CR already present is kept, so "\r\n"
// becomes "\r\r\n"). Reading in text mode turns CR LF into LF, keeps a CR that is not followed
// by LF, and treats the first 0x1A byte as the end of the file. Binary mode is the bytes as
// they are and needs no helper.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// The text-mode bytes of `text`: LF -> CR LF.
std::string textModeEncode(std::string_view text);

// The text read in text mode from `bytes`: CR LF -> LF, up to (not including) the first 0x1A.
std::string textModeDecode(std::string_view bytes);

// Writes `text` in text mode as the whole new content of `path`, through a temporary file beside
// it that replaces the target only once complete. False when the file cannot be written; the
// previous content of `path` is then untouched.
bool writeTextModeFile(const std::string& path, std::string_view text);

// Reads a file line by line in text mode. Owns its open file; not copyable.
class TextFileReader {
 public:
  // The longest piece readLine returns: a longer line comes as several pieces of this size.
  static constexpr std::size_t kMaxPiece = 1024 * 1024;

  TextFileReader() = default;
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  // Opens `path` for reading (closing any file opened before). False when it cannot be opened.
  bool open(const std::string& path);

  // The next line without its line end (LF, or CR LF). A last line without a line end is still
  // a line; an empty file has none. False, with `line` empty, at the end of the file, at the
  // first 0x1A, on a read error, or when no file is open.
  bool readLine(std::string& line);

  // True once readLine has nothing more to give (or no file is open).
  bool atEnd() const;

 private:
  // Makes at least n unread bytes available; false when the text ends before.
  bool ensure(std::size_t n);
  // Appends the rest of the current line, or of its current piece, to `line`.
  void takePiece(std::string& line);
  void close();

  std::FILE* file_ = nullptr;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool ended_ = true;
};
