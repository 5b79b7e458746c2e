#include "base/fixed_field.h"

#include <cstring>

void copyFixedField(char* dst, std::size_t width, std::string_view src) {
  const std::size_t n = src.size() < width ? src.size() : width;
  if (n > 0) std::memcpy(dst, src.data(), n);  // an empty view may carry a null pointer
  std::memset(dst + n, 0, width - n);
}

void copyFixedFieldFrom(char* dst, const char* src, std::size_t width) {
  copyFixedField(dst, width, fixedFieldText(src, width));
}

void copySpaceFilledField(char* dst, std::size_t width, std::string_view src) {
  std::memset(dst, ' ', width);
  if (src.empty()) return;
  const void* nul = std::memchr(src.data(), 0, src.size());
  std::size_t n = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - src.data()) : src.size();
  if (n > width) n = width;
  std::memcpy(dst, src.data(), n);
}
