#include "base/text_file.h"

#include <cstring>

#include "base/atomic_file.h"

namespace {
constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kReadChunk = 64 * 1024;
}  // namespace

std::string textModeEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

std::string textModeDecode(std::string_view bytes) {
  const std::size_t end = bytes.find(kEndOfFile);
  if (end != std::string_view::npos) bytes = bytes.substr(0, end);
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out.push_back(bytes[i]);
  }
  return out;
}

bool writeTextModeFile(const std::string& path, std::string_view text) {
  return replaceFileAtomically(path, textModeEncode(text));
}

TextFileReader::~TextFileReader() { close(); }

void TextFileReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  buffer_.clear();
  pos_ = 0;
  ended_ = true;
}

bool TextFileReader::open(const std::string& path) {
  close();
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return false;
  ended_ = false;
  ensure(1);
  return true;
}

bool TextFileReader::ensure(std::size_t n) {
  while (buffer_.size() - pos_ < n && !ended_ && file_) {
    buffer_.erase(0, pos_);
    pos_ = 0;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kReadChunk);
    const std::size_t got = std::fread(buffer_.data() + old, 1, kReadChunk, file_);
    buffer_.resize(old + got);
    if (got == 0) ended_ = true;
    // Everything from the first 0x1A on is not part of the text.
    const void* eof = std::memchr(buffer_.data() + old, kEndOfFile, got);
    if (eof) {
      buffer_.resize(static_cast<const char*>(eof) - buffer_.data());
      ended_ = true;
    }
  }
  return buffer_.size() - pos_ >= n;
}

bool TextFileReader::readLine(std::string& line) {
  line.clear();
  if (!ensure(1)) return false;
  takePiece(line);
  ensure(1);  // look ahead, so that atEnd() is exact
  return true;
}

void TextFileReader::takePiece(std::string& line) {
  while (line.size() < kMaxPiece) {
    if (!ensure(1)) return;  // last line without a line end
    const char* begin = buffer_.data() + pos_;
    const std::size_t avail = buffer_.size() - pos_;
    const std::size_t room = kMaxPiece - line.size();
    const std::size_t scan = avail < room ? avail : room;
    const void* lf = std::memchr(begin, '\n', scan);
    if (lf) {
      const std::size_t n = static_cast<const char*>(lf) - begin;
      line.append(begin, n);
      pos_ += n + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return;
    }
    line.append(begin, scan);
    pos_ += scan;
  }
  // A full piece. When its line end follows right after it, the line end belongs to it.
  if (ensure(1) && buffer_[pos_] == '\n') {
    ++pos_;
    if (line.back() == '\r') line.pop_back();
  } else if (ensure(2) && buffer_[pos_] == '\r' && buffer_[pos_ + 1] == '\n') {
    pos_ += 2;
  }
}

bool TextFileReader::atEnd() const { return pos_ >= buffer_.size() && ended_; }
