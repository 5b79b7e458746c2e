// Fuzzes the decoders of the message heads: Base64 (the credentials) and URL decoding (request
// targets). Beyond not failing, a Base64 text made by the encoder decodes to the bytes it was
// made from, and URL decoding never makes a text longer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/http_text.h"
#include "link/encode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  (void)CEncode::Base64Decode(input);
  if (urlDecode(input).size() > input.size()) __builtin_trap();
  const std::string plain = input.c_str();  // the encoder takes the bytes up to the first NUL
  if (CEncode::Base64Decode(CEncode::Base64Encode(plain.c_str())) != plain) __builtin_trap();
  return 0;
}
