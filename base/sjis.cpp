#include "base/sjis.h"

std::size_t sjisCutLength(const char* text, std::size_t n) {
  if (n == 0) return 0;
  std::size_t leads = 0;
  for (std::size_t i = n; i > 0 && isSjisLeadByte(static_cast<unsigned char>(text[i - 1])); --i) {
    ++leads;
  }
  return (leads % 2 == 1) ? n - 1 : n;
}
