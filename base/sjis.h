// Shift_JIS (CP932) byte classes and the character-boundary cut.
#pragma once

#include <cstddef>

// First byte of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool isSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The wider lead-byte range 0xE0-0xFE that the table text rules use.
constexpr bool isSjisLeadByteWide(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFE);
}

// A byte that can follow a lead byte as the second half of a double-byte character: 0x40-0x7E
// and 0x80-0xFC.
constexpr bool isSjisTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length at which `text` (at least n bytes readable) is cut to at most n bytes without splitting a
// double-byte character: counts the bytes from position n-1 backwards while they are lead bytes;
// an odd count means byte n-1 starts a character, and the cut is n-1, otherwise n.
// n == 0 gives 0.
std::size_t sjisCutLength(const char* text, std::size_t n);
