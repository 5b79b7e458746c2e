// The text rules shared by the table setters: forbidden characters, half-width readings and the
// NUL-ended fields the records store.
#pragma once

#include <cstddef>

bool isForbiddenTextByte(unsigned char c);
// Blanks the forbidden characters (",", double quote, "\\", "<", ">") of a CP932 text (up to its
// first NUL, at most `width` bytes), stepping over the trail byte of every double-byte character
// so that a trail byte such as 0x5C is never taken for a character of its own. A lead byte
// followed by a byte that cannot be a trail byte stands alone, so the byte after it is still
// checked: otherwise a comma could slip into a stored text and split a file row.
void blankForbiddenCharacters(char* text, std::size_t width);
// A half-width reading of `width` bytes: false when any of them is 0x80-0xA0, which no
// half-width reading has; otherwise blanks its forbidden characters and gives true.
bool cleanReading(char* text, std::size_t width);
// Stores a text field of `width` bytes into a field of width + 1 bytes, NUL-filled after the
// text, so the stored field always ends with a NUL.
void storeTextField(char* dst, const char* src, std::size_t width);
// As storeTextField, with every "," stored as a blank.
void storeTextFieldWithoutCommas(char* dst, const char* src, std::size_t width);
// Writes the first `digits` characters of `value` in decimal, padded on the left with zeros to
// at least `digits` characters: a value with more digits keeps to its columns with its leading
// ones.
void putDigits(char* line, int column, int digits, unsigned value);
