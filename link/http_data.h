// CHttpData: the record of one HTTP exchange with the main unit (one request and its answer).
//
// A new record is made for every exchange and dropped after it. The header parser of the
// transfer object fills the fields from the header lines it recognises; contentLength is -1
// until a Content-Length arrives, or holds the length of the body the tool is about to send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CHttpData {
public:
    CHttpData() = default;
    virtual ~CHttpData() = default;

    std::string date;               // response "Date:"
    std::string title;              // response "Title:"
    std::string connection;         // "Connection:" (either direction)
    std::string authorization;      // request "Authorization:", Base64-decoded credentials
    std::string acceptEncoding;     // request "Accept-Encoding:"
    std::string host;               // request "Host:"
    std::string server;             // response "Server:"
    std::string contentLengthText;  // "Content-Length:" (either direction)
    std::int32_t contentLength = -1;
};

// The largest body the link accepts from the main unit. A Content-Length above it fails the
// exchange instead of being allocated.
inline constexpr std::int32_t kMaxBodyLength = 64 * 1024 * 1024;
// A Content-Length value of this many characters or more counts as not given.
inline constexpr std::size_t kMaxContentLengthDigits = 10;

// The number at the start of `text` as atoi reads it (blanks, a sign, digits); a number beyond
// the range of int saturates.
int leadingNumber(std::string_view text);
