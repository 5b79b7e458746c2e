// Conversion between CP932 (Windows Shift_JIS, as the tables and files hold it) and UTF-8 (as
// the user interface and the source texts hold it).
//
// Both directions use the system's iconv with code page "CP932", so "～" is 0x81 0x60 and
// half-width katakana are single bytes 0xA1-0xDF. Neither call fails: a character that has no
// counterpart (or a byte sequence that is not valid input) becomes one '?', and the rest of the
// text is converted. NUL bytes pass through. Both calls are safe to use from any thread at once.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 text of CP932 bytes. An invalid byte, or a lead byte whose trail byte does not form
// a character, gives '?' and conversion resumes at the next byte.
std::string cp932ToUtf8(std::string_view cp932);

// The CP932 bytes of a UTF-8 text. A character outside CP932, or a malformed UTF-8 sequence,
// gives '?'.
std::string utf8ToCp932(std::string_view utf8);
