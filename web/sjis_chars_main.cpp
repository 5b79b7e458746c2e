// Writes the editor pages' table of the characters Shift_JIS (CP932) holds, as a script:
//   zu_sjis_chars OUT.js
// The characters are those the tool's own converter (base/cp932.h) gives for every single byte
// 0x20-0x7E and 0xA1-0xDF and every double-byte code: a character typed into a field that is not
// among them would reach the tool as "&#NNNN;" text or as another character, so the page marks
// it. The CJK ideographs U+4E00-U+9FFF are kept as a bitmap (Base64), everything else as ranges.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "base/cp932.h"

namespace {

// The code point of a UTF-8 text of exactly one character, or 0.
char32_t onlyCodePoint(const std::string& s) {
  const auto b = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.size() == 1 && b(0) < 0x80) return b(0);
  if (s.size() == 2 && (b(0) & 0xE0) == 0xC0) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if (s.size() == 3 && (b(0) & 0xF0) == 0xE0)
    return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  return 0;
}

std::string base64(const std::vector<unsigned char>& bytes) {
  static const char* const k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned v = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                       (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? k[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? k[v & 63] : '=';
  }
  return out;
}

constexpr char32_t kCjkFirst = 0x4E00, kCjkLast = 0x9FFF;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zu_sjis_chars OUT.js\n");
    return 2;
  }
  std::set<char32_t> chars;
  for (int c = 0x20; c <= 0x7E; ++c) chars.insert(static_cast<char32_t>(c));
  for (int c = 0xA1; c <= 0xDF; ++c) {
    const char one[1] = {static_cast<char>(c)};
    if (const char32_t u = onlyCodePoint(cp932ToUtf8(std::string_view(one, 1)))) chars.insert(u);
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const char32_t u = onlyCodePoint(cp932ToUtf8(std::string_view(pair, 2)));
      if (u != 0 && u != '?') chars.insert(u);
    }
  }
  std::vector<unsigned char> bitmap((kCjkLast - kCjkFirst + 1) / 8);
  std::string ranges;
  for (auto it = chars.begin(); it != chars.end();) {
    const char32_t first = *it;
    if (first >= kCjkFirst && first <= kCjkLast) {
      bitmap[(first - kCjkFirst) / 8] |=
          static_cast<unsigned char>(1u << ((first - kCjkFirst) % 8));
      ++it;
      continue;
    }
    char32_t last = first;
    while (++it != chars.end() && *it == last + 1 && *it != kCjkFirst) last = *it;
    char text[32];
    std::snprintf(text, sizeof text, "%s0x%X,0x%X", ranges.empty() ? "" : ",",
                  static_cast<unsigned>(first), static_cast<unsigned>(last));
    ranges += text;
  }
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(
      f,
      "// Generated at build time: the characters Shift_JIS (CP932) holds.\n"
      "// zuSjisHolds(code point) tells whether a character can be sent to the tool as typed.\n"
      "(function () {\n"
      "  var ranges = [%s];\n"
      "  var cjk = atob(\"%s\");\n"
      "  window.zuSjisHolds = function (c) {\n"
      "    if (c >= 0x%X && c <= 0x%X) { var i = c - 0x%X; return (cjk.charCodeAt(i >> 3) >> (i & "
      "7) & 1) === 1; }\n"
      "    for (var k = 0; k < ranges.length && ranges[k] <= c; k += 2) if (c <= ranges[k + 1]) "
      "return true;\n"
      "    return false;\n"
      "  };\n"
      "})();\n",
      ranges.c_str(), base64(bitmap).c_str(), static_cast<unsigned>(kCjkFirst),
      static_cast<unsigned>(kCjkLast), static_cast<unsigned>(kCjkFirst));
  return std::fclose(f) == 0 ? 0 : 1;
}
