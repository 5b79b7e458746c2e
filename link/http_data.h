// CHttpData: the record of one HTTP exchange with the main unit (one request and its answer).
//
// A new record is made for every exchange and dropped after it. The header parser
// (parseHeaderLine, link/http_head.h) fills the fields the link acts on; contentLength is -1
// until a Content-Length arrives, or holds the length of the body the tool is about to send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CHttpData {
 public:
  CHttpData() = default;
  virtual ~CHttpData() = default;

  std::string authorization;  // request "Authorization:", Base64-decoded credentials
  std::string connection;     // "Connection:" (either direction)
  std::int32_t contentLength = -1;
};

// The largest body the link accepts from the main unit. A Content-Length above it fails the
// exchange instead of being allocated.
inline constexpr std::int32_t kMaxBodyLength = 64 * 1024 * 1024;
// A Content-Length value of this many characters or more counts as not given.
inline constexpr std::size_t kMaxContentLengthDigits = 10;
