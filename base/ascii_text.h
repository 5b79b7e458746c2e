// Small helpers for ASCII text inside byte strings: protocol heads, file names, numbers.
//
// Only the bytes of the ASCII letters, digits and the given blanks are looked at; every other
// byte (CP932 included) is kept as it is. Nothing here allocates except the case conversions,
// which return a new string.
#pragma once

#include <string>
#include <string_view>

// `text` with A-Z turned into a-z.
std::string lowerAscii(std::string_view text);
// `text` with a-z turned into A-Z.
std::string upperAscii(std::string_view text);

// Equal when A-Z and a-z are taken for the same letters.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);

// The value 0-15 of a hexadecimal digit of either case; -1 for any other byte.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `text` without the bytes of `blanks` at its start, at its end, or at both. A text of blanks
// only gives an empty view. The result views the caller's text.
std::string_view trimmedLeft(std::string_view text, std::string_view blanks = " \t");
std::string_view trimmedRight(std::string_view text, std::string_view blanks = " \t");
std::string_view trimmed(std::string_view text, std::string_view blanks = " \t");
