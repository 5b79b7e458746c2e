// Fixed-width, NUL-filled text fields as the tables and records hold them.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Copies at most `width` bytes of `src` into `dst[0..width)` and fills the rest with NUL.
// The field is not NUL-terminated when src fills it.
void copyFixedField(char* dst, std::size_t width, std::string_view src);

// The text of a fixed field: up to its first NUL, at most `width` bytes. Inline: the page
// scripts read every field of a page through it.
inline std::string_view fixedFieldText(const char* field, std::size_t width) {
  return {field, strnlen(field, width)};
}

// Copies `src` (up to its first NUL, at most `width` bytes) into `dst[0..width)`, NUL-filling the
// rest: the copy between two fixed fields of the same width.
void copyFixedFieldFrom(char* dst, const char* src, std::size_t width);

// Fills `dst[0..width)` with blanks, then copies at most `width` bytes of `src` (up to its first
// NUL): a space-filled field such as the user-information header.
void copySpaceFilledField(char* dst, std::size_t width, std::string_view src);
