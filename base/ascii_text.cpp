#include "base/ascii_text.h"

namespace {

constexpr char lowerOf(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char upperOf(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerOf(c);
  return out;
}

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upperOf(c);
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerOf(a[i]) != lowerOf(b[i])) return false;
  return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string_view trimmedLeft(std::string_view text, std::string_view blanks) {
  const std::size_t start = text.find_first_not_of(blanks);
  return start == std::string_view::npos ? std::string_view{} : text.substr(start);
}

std::string_view trimmedRight(std::string_view text, std::string_view blanks) {
  const std::size_t end = text.find_last_not_of(blanks);
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
  return trimmedLeft(trimmedRight(text, blanks), blanks);
}
