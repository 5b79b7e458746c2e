// The form parser: takes an "application/x-www-form-urlencoded" post of an editor page into the
// tables.
//
// Field names are the data-script names (web/data_script.h). The first character selects the
// family; for "m" and "s" names the fourth character selects the member:
//   "m070_0012n3"  speed dial, entry 12, sub-field 3 (1 number, 2 name, 3 reading, 4 use,
//                  5 group, 6 line group, 7 display mode, 8 template 1, 9 template 2)
//   "m018_0123"    restriction number of entry 123
//   "m046_007"     template message 7
//   "m072_101n2"   extension name (2) or reading (3) of accommodation position 101
//   "t101_001n2"   extension name of position 101
//   "i92", "i14"   accepted without effect; "h" fields and every other family are skipped.
// Sub-fields of one record follow one another; a record is stored once all its fields are read.
// Speed-dial entries go through the checking setter (web/post_checks.h) while duplicateCheck is
// 1, else straight to setSpeedDialEntry. A posted extension name is stored into the baseline and
// reference images too, so the restore that follows a phonebook post keeps it.
//
// The parser reads only the body it is given (up to its NUL) and never writes into it. It is
// linear in the body's length. Callers hold tableLock().
#pragma once

#include <cstddef>

// Decodes one value starting at `src`: "%" and two hex digits give that byte, "+" gives a space,
// and any other character of "&=\r\n" (or the NUL) ends the value. A "%" that is not followed by
// two hex digits is taken as it stands. At most dstSize-1 bytes are stored in dst and a NUL is
// added (the rest of a longer value is read and dropped). Returns the number of bytes stored and
// sets *end (when given) to the character that ended the value.
std::size_t DecodeValue(const char* src, char* dst, std::size_t dstSize, const char** end = nullptr);

// As DecodeValue, but "," "<" ">" and TAB end the value too, and a "%" met once 20 pieces
// (literal runs, escapes, plus signs) have been decoded ends it.
std::size_t DecodeLimitedValue(const char* src, char* dst, std::size_t dstSize,
                               const char** end = nullptr);

// Parses a NUL-terminated body into the tables. Clears the duplicate findings and the
// restriction error list first. Returns the number of top-level fields visited.
int ParseFormBody(const char* body);
