#include "web/find_entries.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "base/cp932.h"
#include "base/fixed_field.h"
#include "base/http_text.h"
#include "base/sjis.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "web/data_script.h"
#include "web/post_checks.h"

namespace {

// Half-width forms of the katakana U+30A1..U+30F6 (the hiragana U+3041..U+3096 share them).
constexpr const char* kHalfKana[] = {
    "ｧ",  "ｱ",  "ｨ",  "ｲ",  "ｩ",  "ｳ",  "ｪ",  "ｴ", "ｫ",  "ｵ",  "ｶ",  "ｶﾞ", "ｷ",  "ｷﾞ", "ｸ",
    "ｸﾞ", "ｹ",  "ｹﾞ", "ｺ",  "ｺﾞ", "ｻ",  "ｻﾞ", "ｼ", "ｼﾞ", "ｽ",  "ｽﾞ", "ｾ",  "ｾﾞ", "ｿ",  "ｿﾞ",
    "ﾀ",  "ﾀﾞ", "ﾁ",  "ﾁﾞ", "ｯ",  "ﾂ",  "ﾂﾞ", "ﾃ", "ﾃﾞ", "ﾄ",  "ﾄﾞ", "ﾅ",  "ﾆ",  "ﾇ",  "ﾈ",
    "ﾉ",  "ﾊ",  "ﾊﾞ", "ﾊﾟ", "ﾋ",  "ﾋﾞ", "ﾋﾟ", "ﾌ", "ﾌﾞ", "ﾌﾟ", "ﾍ",  "ﾍﾞ", "ﾍﾟ", "ﾎ",  "ﾎﾞ",
    "ﾎﾟ", "ﾏ",  "ﾐ",  "ﾑ",  "ﾒ",  "ﾓ",  "ｬ",  "ﾔ", "ｭ",  "ﾕ",  "ｮ",  "ﾖ",  "ﾗ",  "ﾘ",  "ﾙ",
    "ﾚ",  "ﾛ",  "ﾜ",  "ﾜ",  "ｲ",  "ｴ",  "ｦ",  "ﾝ", "ｳﾞ", "ｶ",  "ｹ"};
static_assert(sizeof kHalfKana / sizeof kHalfKana[0] == 0x30F6 - 0x30A1 + 1);

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (c & 0x3F));
}

// Double-byte CP932 characters (lead byte << 8 | trail byte) and what they fold to.
const std::unordered_map<unsigned, std::string>& foldTable() {
  static const std::unordered_map<unsigned, std::string> table = [] {
    std::unordered_map<unsigned, std::string> t;
    auto add = [&t](char32_t full, std::string_view halfUtf8) {
      std::string utf8;
      appendUtf8(utf8, full);
      const std::string key = utf8ToCp932(utf8);
      if (key.size() != 2) return;  // no double-byte character in CP932
      t[(static_cast<unsigned char>(key[0]) << 8) | static_cast<unsigned char>(key[1])] =
          utf8ToCp932(halfUtf8);
    };
    for (char32_t c = 0x30A1; c <= 0x30F6; ++c) {
      add(c, kHalfKana[c - 0x30A1]);
      add(c - 0x60, kHalfKana[c - 0x30A1]);  // the hiragana
    }
    const std::pair<char32_t, const char*> marks[] = {{0x30FC, "ｰ"}, {0x30FB, "･"}, {0x300C, "｢"},
                                                      {0x300D, "｣"}, {0x3001, "､"}, {0x3002, "｡"},
                                                      {0x309B, "ﾞ"}, {0x309C, "ﾟ"}, {0x3000, " "}};
    for (const auto& [full, half] : marks) add(full, half);
    for (char32_t c = 0xFF01; c <= 0xFF5E; ++c) {
      const char ascii[2] = {static_cast<char>(c - 0xFF01 + 0x21), '\0'};
      add(c, ascii);
    }
    return t;
  }();
  return table;
}

// Whether `needle` occurs in `hay` starting at a character boundary of `hay`.
bool containsText(std::string_view hay, std::string_view needle) {
  if (needle.empty() || needle.size() > hay.size()) return false;
  for (std::size_t i = 0; i + needle.size() <= hay.size();) {
    if (hay.compare(i, needle.size(), needle) == 0) return true;
    i += isSjisLeadByte(static_cast<unsigned char>(hay[i])) ? 2 : 1;
  }
  return false;
}

// The digits of a query that is a number once its separators are dropped, else "".
std::string queryDigits(std::string_view folded) {
  std::string digits;
  for (char c : folded) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c != ' ' && c != '-' && c != '(' && c != ')' && c != '.') {
      return {};
    }
  }
  return digits;
}

// Whether a stored number holds `digits`, a "-" in it passed over.
bool numberHolds(std::string_view number, std::string_view digits) {
  char plain[32];
  std::size_t n = 0;
  for (char c : number) {
    if (c != '-' && n < sizeof plain) plain[n++] = c;
  }
  return std::string_view(plain, n).find(digits) != std::string_view::npos;
}

int parsedNumber(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

std::string pageOf(const char* file, int page, int row) {
  char url[80];
  std::snprintf(url, sizeof url, "%s?%d#row%d", file, page, row);
  return url;
}

std::string speedDialPage(int n) { return pageOf("/hoshu/16tansyuku_01.html", n / 50 + 1, n); }
std::string restrictionPage(int k) { return pageOf("/system/26sysfunc_01.html", k / 50 + 1, k); }

// Calls f(position, page) for every position of the extension pages 1-11, in page order.
template <typename F>
void forEachExtensionPosition(F&& f) {
  // Pages 1-9 are the paged descriptor of group 23, pages 10 and 11 its two single pages.
  for (int page = 1; page <= 11; ++page) {
    const PageDescriptor* const* list = pageDescriptors(23, page <= 9 ? 1 : page - 8);
    if (list == nullptr || list[0] == nullptr) continue;
    const PageDescriptor& d = *list[0];
    const int perPage = d.tuplesPerPage * d.dimensions;
    const IndexRange* ranges = d.ranges + (page <= 9 ? (page - 1) * perPage : 0);
    for (int t = 0; t < d.tuplesPerPage; ++t) {
      for (int p = ranges[t * d.dimensions].lo; p <= ranges[t * d.dimensions].hi; ++p) f(p, page);
    }
  }
}

class Finder {
 public:
  Finder(std::string_view query, int cap)
      : m_raw(query), m_folded(foldFindQuery(query)), m_cap(cap) {
    m_digits = queryDigits(m_folded);
    m_entry = !m_digits.empty() && m_digits.size() <= 4 ? parsedNumber(m_digits) : -1;
  }

  void speedDial() {
    const PhonebookImage& image = duplicateCheck != 1         ? phonebookImage
                                  : speedDialFindingPending() ? referenceImage
                                                              : baselineImage;
    const bool unregisteredIsEmpty = duplicateCheck == 1 && !speedDialFindingPending();
    const int count = speedDialCapacity();
    SpeedDialFields f;
    // The entry number's own entry first.
    if (m_entry >= 0 && m_entry < count) {
      getSpeedDialEntry(image, m_entry, f);
      if (empty(f, unregisteredIsEmpty)) std::memset(&f, 0, sizeof f);
      add('s', m_entry, f.name, f.reading, f.number, 20, 24, speedDialPage(m_entry));
    }
    for (int n = 0; n < count; ++n) {
      if (n == m_entry) continue;
      getSpeedDialEntry(image, n, f);
      if (empty(f, unregisteredIsEmpty)) continue;
      const std::string_view number = fixedFieldText(f.number, 24);
      if (!m_digits.empty() ? numberHolds(number, m_digits) : textMatches(f.name, f.reading, 20)) {
        add('s', n, f.name, f.reading, f.number, 20, 24, speedDialPage(n));
      }
    }
  }

  void extensions() {
    const bool byPosition = !m_digits.empty() && m_digits.size() <= 3;
    const int position = byPosition ? parsedNumber(m_digits) : -1;
    ExtensionFields f;
    forEachExtensionPosition([&](int p, int page) {
      if (p != position) return;
      getExtensionEntry(0, p, f);
      addExtension(p, page, f);
    });
    forEachExtensionPosition([&](int p, int page) {
      if (p == position) return;
      getExtensionEntry(0, p, f);
      const bool match = !m_digits.empty()
                             ? numberHolds(fixedFieldText(f.extensionNumber, 4), m_digits)
                             : textMatches(f.name, f.reading, 20);
      if (match) addExtension(p, page, f);
    });
  }

  void restrictions() {
    char text[25];
    if (m_entry >= 0 && m_entry < kRestrictionEntries) {
      readRestrictionEntry(m_entry, 0, text);
      add('r', m_entry, "", "", text, 0, 24, restrictionPage(m_entry));
    }
    for (int k = 0; k < kRestrictionEntries; ++k) {
      if (k == m_entry) continue;
      readRestrictionEntry(k, 0, text);
      const std::string_view stored = fixedFieldText(text, 24);
      if (stored.empty()) continue;
      if (!m_digits.empty() ? numberHolds(stored, m_digits)
                            : containsText(stored, m_raw) || containsText(stored, m_folded)) {
        add('r', k, "", "", text, 0, 24, restrictionPage(k));
      }
    }
  }

  FindResult take() { return std::move(m_result); }

 private:
  static bool empty(const SpeedDialFields& f, bool unregisteredIsEmpty) {
    if (unregisteredIsEmpty && (f.use[0] == '\0' || (f.use[0] == '0' && f.use[1] == '\0')))
      return true;
    return f.number[0] == '\0' && f.name[0] == '\0' && f.reading[0] == '\0';
  }

  bool textMatches(const char* name, const char* reading, std::size_t width) const {
    if (!m_digits.empty() || m_raw.empty()) return false;
    const std::string_view n = fixedFieldText(name, width), r = fixedFieldText(reading, width);
    return containsText(n, m_raw) || containsText(r, m_raw) || containsText(n, m_folded) ||
           containsText(r, m_folded);
  }

  void add(char kind, int entry, const char* name, const char* reading, const char* number,
           std::size_t textWidth, std::size_t numberWidth, std::string page) {
    if (static_cast<int>(m_result.hits.size()) >= m_cap) {
      ++m_result.more;
      return;
    }
    FindHit h;
    h.kind = kind;
    h.entry = entry;
    h.name = fixedFieldText(name, textWidth);
    h.reading = fixedFieldText(reading, textWidth);
    h.number = fixedFieldText(number, numberWidth);
    h.page = std::move(page);
    m_result.hits.push_back(std::move(h));
  }

  void addExtension(int position, int page, const ExtensionFields& f) {
    add('e', position, f.name, f.reading, f.extensionNumber, 20, 4,
        pageOf("/hoshu/17tel_01.html", page, position));
  }

  std::string_view m_raw;
  std::string m_folded;
  int m_cap;
  std::string m_digits;
  int m_entry;
  FindResult m_result;
};

}  // namespace

FindRequest parseFindRequest(std::string_view raw) {
  FindRequest r;
  while (!raw.empty()) {
    const std::size_t amp = raw.find('&');
    const std::string_view field = raw.substr(0, amp);
    raw = amp == std::string_view::npos ? std::string_view() : raw.substr(amp + 1);
    if (field.substr(0, 2) == "q=") r.query = urlDecode(field.substr(2));
    if (field == "k=r") r.scope = FindScope::Restrictions;
  }
  // A query is one line of a find box: no control bytes, at most what a box holds.
  std::string clean;
  for (char c : r.query) clean += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  if (clean.size() > 64) clean.resize(sjisCutLength(clean.data(), 64));
  r.query = clean;
  return r;
}

std::string foldFindQuery(std::string_view s) {
  const auto& table = foldTable();
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (isSjisLeadByte(c) && i + 1 < s.size()) {
      const auto it = table.find((c << 8) | static_cast<unsigned char>(s[i + 1]));
      if (it != table.end()) {
        out += it->second;
      } else {
        out.append(s.substr(i, 2));
      }
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  // Blanks around the query are no part of it.
  const std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

FindResult findEntries(std::string_view query, FindScope scope, int cap) {
  Finder finder(query, cap);
  if (foldFindQuery(query).empty()) return {};
  if (scope == FindScope::Restrictions) {
    finder.restrictions();
  } else {
    finder.speedDial();
    finder.extensions();
  }
  return finder.take();
}

std::string findScript(const FindResult& result) {
  std::string s = "var zuFindHits=[";
  for (std::size_t i = 0; i < result.hits.size(); ++i) {
    const FindHit& h = result.hits[i];
    char entry[16];
    std::snprintf(entry, sizeof entry, h.kind == 'e' ? "%03d" : "%04d", h.entry);
    if (i > 0) s += ',';
    s += "[\"";
    s += h.kind;
    s += "\",\"";
    s += entry;
    for (const std::string* v : {&h.name, &h.reading, &h.number, &h.page}) {
      s += "\",\"";
      s += scriptStringValue(*v);
    }
    s += "\"]";
  }
  s += "];\r\nvar zuFindMore=" + std::to_string(result.more) + ";\r\n";
  return s;
}
