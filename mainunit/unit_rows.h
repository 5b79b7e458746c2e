// The pieces every row of the unit's own table files and upload blocks is read with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The fields of `row` between its separators; a row without one is a single field, and an empty
// row gives one empty field, so the result is never empty.
std::vector<std::string> unitRowFields(std::string_view row, char separator);

// The leading decimal digits of `text` as a number; -1 when it starts with none or when they
// give more than 1000000.
int unitRowNumber(std::string_view text);

// The lines of an upload body: split at CR and at LF, empty lines left out.
std::vector<std::string_view> unitBodyLines(std::string_view body);
