// CEncode: the encodings of the link's message heads. Holds no data; never constructed.
#pragma once

#include <string>
#include <string_view>

class CEncode {
 public:
  CEncode() = delete;

  // Base64 (RFC 4648 alphabet, "=" padding) of the bytes of `text` up to its first NUL.
  static std::string Base64Encode(const char* text);
  // Decodes Base64 group by group. A character outside the alphabet counts as 63; decoding
  // stops at the first "=" and at a group cut short by the end of the text.
  static std::string Base64Decode(std::string_view text);
};
