// Fuzzes the form parser: every input is a posted body taken into freshly initialised tables,
// with and without the duplicate check, and its start decoded as a plain and as a limited value
// into a small buffer (which must never be overrun nor left without its NUL).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "data/process_state.h"
#include "data/system_data.h"
#include "web/form_parser.h"

namespace {

void decodeInto(const std::string& body, bool limited) {
  char dst[16];
  const char* end = nullptr;
  const std::size_t n = limited ? DecodeLimitedValue(body.c_str(), dst, sizeof dst, &end)
                                : DecodeValue(body.c_str(), dst, sizeof dst, &end);
  if (n >= sizeof dst || dst[n] != '\0' || end < body.c_str() || end > body.c_str() + body.size())
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  decodeInto(body, false);
  decodeInto(body, true);
  std::lock_guard lock(tableLock());
  for (int check = 0; check <= 1; ++check) {
    initProcessState();
    initSystemData();
    duplicateCheck = check;
    ParseFormBody(body.c_str());
  }
  return 0;
}
