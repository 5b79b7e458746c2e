// The dial codes a speed-dial number is packed into: two codes a byte, low nibble first.
#pragma once

#include <cstddef>
#include <string_view>

// Packs up to 24 characters of `text` (ending at its first NUL) into 12 bytes, two codes a byte,
// the code of character 2k in the low nibble of byte k. Codes: 0 blank/end, 1-9 "1"-"9",
// 0xA "0", 0xB "*", 0xC "#", 0xD "P", 0xE "-", 0xF "M"; any other character packs as 0.
void packDialCodes(std::string_view text, unsigned char packed[12]);
// Unpacks 12 bytes into text[25]: the characters up to the first code 0, NUL-filled.
// Returns the number of characters.
std::size_t unpackDialCodes(const unsigned char packed[12], char text[25]);
// The dial code of one character, or -1 when the character has none.
int dialCode(char c);
