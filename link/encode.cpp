#include "link/encode.h"

#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of a Base64 character; anything outside the alphabet counts as 63.
unsigned base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 52);
  if (c == '+') return 62;
  return 63;
}

}  // namespace

std::string CEncode::Base64Encode(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const std::size_t n = std::strlen(text);
  out.reserve((n + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const unsigned v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += kAlphabet[v >> 6 & 63];
    out += kAlphabet[v & 63];
  }
  if (n - i == 1) {
    const unsigned v = bytes[i] << 16;
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += "==";
  } else if (n - i == 2) {
    const unsigned v = bytes[i] << 16 | bytes[i + 1] << 8;
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += kAlphabet[v >> 6 & 63];
    out += '=';
  }
  return out;
}

std::string CEncode::Base64Decode(std::string_view text) {
  std::string out;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; i += 4) {
    if (text[i] == '=' || i + 1 >= n || text[i + 1] == '=') break;
    const unsigned v0 = base64Value(text[i]);
    const unsigned v1 = base64Value(text[i + 1]);
    out += static_cast<char>((v0 << 2 | v1 >> 4) & 0xFF);
    if (i + 2 >= n || text[i + 2] == '=') break;
    const unsigned v2 = base64Value(text[i + 2]);
    out += static_cast<char>((v1 << 4 | v2 >> 2) & 0xFF);
    if (i + 3 >= n || text[i + 3] == '=') break;
    const unsigned v3 = base64Value(text[i + 3]);
    out += static_cast<char>((v2 << 6 | v3) & 0xFF);
  }
  return out;
}
