// The user-information line: the first 192 bytes of every phonebook exchange and local file.
//
// Columns: 0-11 local date and time "YYYYMMDDhhmm", 12 ',', 13-36 field 1, 37 ',', 38-61
// field 2, 62 ',', 63-78 field 3, 79-84 field 4, 85-86 blanks, 87 ',', 88-111 field 5,
// 112 ',', 113-184 field 6, 185 ',', 186-189 blanks, 190-191 CR LF. The fields live in
// userInfoHeader (data/phonebook_tables.h), space-filled.
#pragma once

#include <string>
#include <string_view>

#include "data/exchange_format.h"
#include "data/phonebook_tables.h"

// Writes the line for the current local time and userInfoHeader into out: kUserInfoBytes (192)
// bytes and a NUL.
void formatUserInfoLine(char out[kUserInfoBytes + 1]);
// The same line as a string of kUserInfoBytes bytes.
std::string userInfoLine();
// All six fields blank.
void clearUserInfoFields();
// Takes the six fields from a user-information line: columns 13, 38, 63, 79, 88 and 113 with
// widths 24, 24, 16, 6, 24 and 72. A NUL reads as a blank; columns missing from a short text
// leave their field blank.
void takeUserInfoFields(std::string_view headerText);
// True when `line` has the shape of a user-information line: twelve digits (the date and time
// "YYYYMMDDhhmm") and a comma at column 12. A file a user picks may start with a data line
// instead, and that line must not be taken for the header.
bool hasUserInfoShape(std::string_view line);
