// The dial codes a speed-dial number is packed into: two codes a byte, low nibble first.
#pragma once

#include <cstddef>
#include <string_view>

namespace dial_code_detail {

struct DialCodeTable {
  signed char codes[256];
  constexpr DialCodeTable() : codes() {
    for (signed char& code : codes) code = -1;
    for (int c = '1'; c <= '9'; ++c) codes[c] = static_cast<signed char>(c - '0');
    codes[static_cast<unsigned char>('0')] = 0xA;
    codes[static_cast<unsigned char>('*')] = 0xB;
    codes[static_cast<unsigned char>('#')] = 0xC;
    codes[static_cast<unsigned char>('P')] = 0xD;
    codes[static_cast<unsigned char>('-')] = 0xE;
    codes[static_cast<unsigned char>('M')] = 0xF;
  }
};

constexpr DialCodeTable kDialCodes;

}  // namespace dial_code_detail

// Packs up to 24 characters of `text` (ending at its first NUL) into 12 bytes, two codes a byte,
// the code of character 2k in the low nibble of byte k. Codes: 0 blank/end, 1-9 "1"-"9",
// 0xA "0", 0xB "*", 0xC "#", 0xD "P", 0xE "-", 0xF "M"; any other character packs as 0.
void packDialCodes(std::string_view text, unsigned char packed[12]);
// Unpacks 12 bytes into text[25]: the characters up to the first code 0, NUL-filled.
// Returns the number of characters.
std::size_t unpackDialCodes(const unsigned char packed[12], char text[25]);
// The dial code of one character, or -1 when the character has none.
inline int dialCode(char c) {
  return dial_code_detail::kDialCodes.codes[static_cast<unsigned char>(c)];
}
