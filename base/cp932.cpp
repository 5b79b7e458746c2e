#include "base/cp932.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One iconv descriptor per direction and thread: a descriptor keeps conversion state, so it
// must never be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; at an unconvertible point appends '?' and lets `skip` say how many input
  // bytes to drop before resuming.
  // Without a usable descriptor ASCII still passes and everything else becomes '?'.
  static std::string asciiOnly(std::string_view in) {
    std::string out(in);
    for (char& c : out) {
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return out;
  }

  template <typename Skip>
  std::string convert(std::string_view in, Skip skip) {
    std::string out;
    if (!valid()) return asciiOnly(in);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 3 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      std::size_t dstLeft = out.size() - used;
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ (invalid or unconvertible) or EINVAL (incomplete at the end).
      if (out.size() - used < 1) out.resize(out.size() * 2);
      out[used++] = '?';
      std::size_t n = skip(std::string_view(src, srcLeft));
      if (n == 0 || n > srcLeft) n = srcLeft;
      src += n;
      srcLeft -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

// A malformed or unconvertible UTF-8 character: its first byte and the continuation bytes
// that follow it (at most three).
std::size_t utf8CharacterLength(std::string_view s) {
  std::size_t n = 1;
  while (n < s.size() && n < 4 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
  return n;
}

std::size_t oneByte(std::string_view) { return 1; }

}  // namespace

std::string cp932ToUtf8(std::string_view cp932) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.convert(cp932, oneByte);
}

std::string utf8ToCp932(std::string_view utf8) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.convert(utf8, utf8CharacterLength);
}
