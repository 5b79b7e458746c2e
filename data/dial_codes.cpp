#include "data/dial_codes.h"

#include <cstring>

void packDialCodes(std::string_view text, unsigned char packed[12]) {
  std::memset(packed, 0, 12);
  for (std::size_t i = 0; i < 24 && i < text.size() && text[i] != '\0'; ++i) {
    const int code = dialCode(text[i]);
    if (code <= 0) continue;
    packed[i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? code : code << 4);
  }
}

std::size_t unpackDialCodes(const unsigned char packed[12], char text[25]) {
  static constexpr char kCharacters[] = " 1234567890*#P-M";
  std::memset(text, 0, 25);
  std::size_t n = 0;
  for (; n < 24; ++n) {
    const int code = (n % 2 == 0) ? (packed[n / 2] & 0x0F) : (packed[n / 2] >> 4);
    if (code == 0) break;
    text[n] = kCharacters[code];
  }
  return n;
}
