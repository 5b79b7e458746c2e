#include "data/element_converters.h"

#include <algorithm>
#include <cstring>

#include "data/exchange_format.h"
#include "data/xml_access.h"

namespace {

// ---- small text helpers -------------------------------------------------------------------

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Where `from` next occurs in [src, end), or null.
const char* findNext(const char* src, const char* end, std::string_view from) {
  while (src < end) {
    const char* hit = static_cast<const char*>(
        std::memchr(src, from.front(), static_cast<std::size_t>(end - src)));
    if (!hit || static_cast<std::size_t>(end - hit) < from.size()) return nullptr;
    if (std::memcmp(hit, from.data(), from.size()) == 0) return hit;
    src = hit + 1;
  }
  return nullptr;
}

// Appends `text` to `out` with every `from` replaced by `to`. The result is counted first, so
// that `out` grows once and by exactly what it needs.
void appendReplaced(std::string& out, std::string_view text, std::string_view from,
                    std::string_view to) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  std::size_t hits = 0;
  for (const char* p = begin; (p = findNext(p, end, from)) != nullptr; p += from.size()) ++hits;
  const std::size_t start = out.size();
  out.resize(start + text.size() - hits * from.size() + hits * to.size());
  char* dst = out.data() + start;
  const char* src = begin;
  for (const char* hit; (hit = findNext(src, end, from)) != nullptr; src = hit + from.size()) {
    std::memcpy(dst, src, static_cast<std::size_t>(hit - src));
    dst += hit - src;
    std::memcpy(dst, to.data(), to.size());
    dst += to.size();
  }
  if (end > src) std::memcpy(dst, src, static_cast<std::size_t>(end - src));
}

// ---- element converters -------------------------------------------------------------------

// The rows text of the first element of the list: its first child's text.
std::string elementText(const CXMLElementList& elements) {
  if (elements.Length() == 0) return {};
  CXMLElement element = elements.Item(0);
  if (!element.HasChild()) return {};
  return element.FirstChildText();
}

// The rows of an element's text start with the first row, never with the line end after the
// opening tag.
std::string_view firstRowOn(std::string_view text) {
  const std::size_t start = text.find_first_not_of("\r\n");
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// The line ends of element rows turned into CR LF: LF LF (from the main unit) or LF (from a
// user's file), with the main unit's speed-dial and history rows losing their trailing comma.
void appendRowEnds(std::string& out, std::string_view rows, RowSource source, bool rowComma) {
  if (source == RowSource::MainUnit) {
    appendReplaced(out, rows, rowComma ? ",\n\n" : "\n\n", "\r\n");
  } else {
    appendReplaced(out, rows, "\n", "\r\n");
  }
}

void appendTemplateRowsText(std::string& out, std::string_view rows, RowSource source) {
  std::string text;
  appendRowEnds(text, rows, source, false);
  out.reserve(out.size() + text.size() + text.size() / 4);
  bool separatorSeen = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (isDigit(c)) {
      out += c;
    } else if (c == '@') {
      out += separatorSeen ? '@' : ',';
      separatorSeen = true;
    } else if (c == ',') {
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        out.append(",\r\n");
        separatorSeen = false;
      }
    } else if (c == '\r' || c == '\n') {
      if (separatorSeen) {
        out.append(",\r\n");
        separatorSeen = false;
      }
    } else {
      out += c;
    }
  }
}

void appendRestrictionRowsText(std::string& out, std::string_view rows, RowSource source) {
  std::string text(rows);
  std::replace(text.begin(), text.end(), '@', ',');
  appendRowEnds(out, text, source, false);
}

std::string_view headerOf(ElementRows kind, SpeedDialForm form) {
  switch (kind) {
    case ElementRows::SpeedDial:
      return form == SpeedDialForm::TenColumns ? kSpeedDial10Header : kSpeedDial7Header;
    case ElementRows::Extensions: return kExtensionHeader;
    case ElementRows::Templates: return kTemplateHeader;
    case ElementRows::Restrictions: return kRestrictionHeader;
    case ElementRows::InternalHistory: return kInternalHistoryHeader;
    case ElementRows::ExternalHistory: return kExternalHistoryHeader;
  }
  return {};
}

void writeConverted(const CXMLElementList& elements, const ElementConversion& conversion,
                    std::FILE* out) {
  std::string text;
  appendConvertedElement(elements, conversion, text);
  if (out && !text.empty()) std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

// ---- element converters -------------------------------------------------------------------

void appendConvertedElement(const CXMLElementList& elements, const ElementConversion& conversion,
                            std::string& out) {
  const ElementRows kind = conversion.rows;
  const RowSource source = conversion.source;
  const std::string text = elementText(elements);
  const std::string_view rows = firstRowOn(text);
  out.reserve(out.size() + rows.size() + rows.size() / 16 + 256);
  out.append(headerOf(kind, conversion.form));
  out.append("\r\n");
  switch (kind) {
    case ElementRows::SpeedDial:
    case ElementRows::InternalHistory:
    case ElementRows::ExternalHistory: appendRowEnds(out, rows, source, true); break;
    case ElementRows::Extensions: appendRowEnds(out, rows, source, false); break;
    case ElementRows::Templates: appendTemplateRowsText(out, rows, source); break;
    case ElementRows::Restrictions: appendRestrictionRowsText(out, rows, source); break;
  }
  out.append(kind == ElementRows::Restrictions ? ",\r\n" : "\r\n");
}

std::string extensionRowsText(std::string_view rows, RowSource source) {
  std::string out;
  appendRowEnds(out, rows, source, false);
  return out;
}

std::string restrictionRowsText(std::string_view rows, RowSource source) {
  std::string out;
  appendRestrictionRowsText(out, rows, source);
  return out;
}

std::string templateRowsText(std::string_view rows, RowSource source) {
  std::string out;
  appendTemplateRowsText(out, rows, source);
  return out;
}

void convertSpeedDialElement(const CXMLElementList& elements, std::FILE* out, RowSource source,
                             SpeedDialForm form) {
  writeConverted(elements, {ElementRows::SpeedDial, source, form}, out);
}

void convertExtensionElement(const CXMLElementList& elements, std::FILE* out, RowSource source) {
  writeConverted(elements, {ElementRows::Extensions, source}, out);
}

void convertTemplateElement(const CXMLElementList& elements, std::FILE* out, RowSource source) {
  writeConverted(elements, {ElementRows::Templates, source}, out);
}

void convertRestrictionElement(const CXMLElementList& elements, std::FILE* out, RowSource source) {
  writeConverted(elements, {ElementRows::Restrictions, source}, out);
}

void convertHistoryElement(const CXMLElementList& elements, std::FILE* out, RowSource source,
                           HistoryKind history) {
  const ElementRows rows = history == HistoryKind::Internal ? ElementRows::InternalHistory
                                                            : ElementRows::ExternalHistory;
  writeConverted(elements, {rows, source}, out);
}
