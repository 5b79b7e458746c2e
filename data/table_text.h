// The text rules shared by the table setters: forbidden characters, half-width readings and the
// NUL-ended fields the records store.
//
// Inline: the setters run them for every field of every row a file load stores.
#pragma once

#include <cstddef>
#include <cstring>

#include "base/fixed_field.h"
#include "base/sjis.h"

namespace table_text_detail {

constexpr unsigned char kRefusedInReading = 1;
constexpr unsigned char kForbiddenInText = 2;

struct ReadingByteClasses {
  unsigned char of[256];
  constexpr ReadingByteClasses() : of() {
    for (int c = 0x80; c <= 0xA0; ++c) of[c] = kRefusedInReading;
    for (unsigned char c : {',', '"', '\\', '<', '>'}) of[c] = kForbiddenInText;
  }
};

constexpr ReadingByteClasses kReadingByteClasses;

}  // namespace table_text_detail

inline bool isForbiddenTextByte(unsigned char c) {
  return c == ',' || c == '"' || c == '\\' || c == '<' || c == '>';
}

// Blanks the forbidden characters (",", double quote, "\", "<", ">") of a CP932 text (up to its
// first NUL, at most `width` bytes), stepping over the trail byte of every double-byte character
// so that a trail byte such as 0x5C is never taken for a character of its own. A lead byte
// followed by a byte that cannot be a trail byte stands alone, so the byte after it is still
// checked: otherwise a comma could slip into a stored text and split a file row.
inline void blankForbiddenCharacters(char* text, std::size_t width) {
  for (std::size_t i = 0; i < width && text[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (isSjisLeadByteWide(c)) {
      if (i + 1 < width && isSjisTrailByte(static_cast<unsigned char>(text[i + 1]))) ++i;
      continue;
    }
    if (isForbiddenTextByte(c)) text[i] = ' ';
  }
}

// A half-width reading of `width` bytes: false when any of them is 0x80-0xA0, which no
// half-width reading has; otherwise blanks its forbidden characters and gives true.
inline bool cleanReading(char* text, std::size_t width) {
  unsigned char classes = 0;
  for (std::size_t i = 0; i < width; ++i) {
    classes |= table_text_detail::kReadingByteClasses.of[static_cast<unsigned char>(text[i])];
  }
  if (classes & table_text_detail::kRefusedInReading) return false;
  if (!(classes & table_text_detail::kForbiddenInText)) return true;
  for (std::size_t i = 0; i < width; ++i) {
    if (isForbiddenTextByte(static_cast<unsigned char>(text[i]))) text[i] = ' ';
  }
  return true;
}

// Stores a text field of `width` bytes into a field of width + 1 bytes, NUL-filled after the
// text, so the stored field always ends with a NUL.
inline void storeTextField(char* dst, const char* src, std::size_t width) {
  copyFixedFieldFrom(dst, src, width);
  dst[width] = '\0';
}

// As storeTextField, with every "," stored as a blank.
inline void storeTextFieldWithoutCommas(char* dst, const char* src, std::size_t width) {
  storeTextField(dst, src, width);
  for (std::size_t i = 0; i < width; ++i) {
    if (dst[i] == ',') dst[i] = ' ';
  }
}

// Writes the first `digits` characters of `value` in decimal, padded on the left with zeros to
// at least `digits` characters: a value with more digits keeps to its columns with its leading
// ones.
inline void putDigits(char* line, int column, int digits, unsigned value) {
  static constexpr unsigned kLimits[] = {1, 10, 100, 1000, 10000};
  if (digits <= 4 && value < kLimits[digits]) {
    for (int i = digits - 1; i >= 0; --i) {
      line[column + i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    return;
  }
  char text[16];
  int n = 0;
  do {
    text[sizeof text - 1 - n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < digits) text[sizeof text - 1 - n++] = '0';
  std::memcpy(line + column, text + sizeof text - n, static_cast<std::size_t>(digits));
}
