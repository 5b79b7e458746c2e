#include "data/tagged_files.h"

#include <algorithm>
#include <filesystem>

#include "base/platform.h"
#include "base/text_file.h"
#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/process_state.h"
#include "data/user_info.h"
#include "data/xml_access.h"

namespace {

// A tagged file is never near this size (a full speed-dial file is under 1 MiB); a larger file
// is read as plain text, which needs no memory beyond one row.
constexpr std::uintmax_t kMaxTaggedDocumentBytes = 8u * 1024 * 1024;
// The plain-text reading stops once it has produced this much: more than readExchangeFile or the
// restriction parser ever takes.
constexpr std::size_t kMaxRowsTextBytes = 4u * 1024 * 1024;

std::string elementTag(std::string_view element, bool closing) {
  std::string tag(closing ? "</" : "<");
  tag.append(element);
  tag += '>';
  return tag;
}

// Lines 1-9 of a tagged file: declaration, root, save date, user-information part, the
// element's opening tag.
std::string taggedHead(std::string_view element) {
  const LocalTime now = localTimeNow();
  std::string head(kXmlDeclarationLine);
  head.append(kRootOpen).append("\r\n");
  head.append(kCheckOpen).append("\r\n");
  char date[32];
  std::snprintf(date, sizeof date, "%04d%02d%02d\r\n", now.year % 10000, now.month % 100, now.day % 100);
  head.append(date);
  head.append(kCheckClose).append("\r\n");
  head.append(kUserOpen).append("\r\n");
  char userLine[kUserInfoBytes + 1];
  formatUserInfoLine(userLine);
  head.append(userLine, kUserInfoBytes);
  head.append(kUserClose).append("\r\n");
  head.append(elementTag(element, false)).append("\r\n");
  return head;
}

std::string taggedTail(std::string_view element) {
  return elementTag(element, true) + "\r\n" + std::string(kRootClose);
}

int writeAll(std::FILE* target, const std::string& bytes) {
  if (!target) return kExchangeCannotOpen;
  if (std::fwrite(bytes.data(), 1, bytes.size(), target) != bytes.size()) return kExchangeCannotOpen;
  if (std::fflush(target) != 0 || std::ferror(target)) return kExchangeCannotOpen;
  return kExchangeDone;
}

void replaceCommasWithAt(std::string& out, std::string_view row) {
  const std::size_t start = out.size();
  out.append(row);
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), ',', '@');
}

std::string_view withoutTrailingCr(std::string_view line) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::string_view headerOf(TaggedRows rows) {
  switch (rows) {
    case TaggedRows::SpeedDial: return sysTanfMode ? kSpeedDial10Header : kSpeedDial7Header;
    case TaggedRows::Extensions: return kExtensionHeader;
    case TaggedRows::Templates: return kTemplateHeader;
    case TaggedRows::Restrictions: return kRestrictionHeader;
  }
  return {};
}

// Reads a file in pieces that end at a line end, keeping at most `cap` bytes of each piece.
class PieceReader {
 public:
  explicit PieceReader(std::FILE* file) : m_file(file) {}

  // The next piece up to (not including) LF, or CR as well when splitAtCr. False at the end of
  // the file when nothing was left.
  bool next(std::string& piece, bool splitAtCr, std::size_t cap) {
    piece.clear();
    bool any = false;
    for (;;) {
      if (m_pos == m_len && !fill()) return any;
      any = true;
      const char c = m_buffer[m_pos++];
      if (c == '\n' || (splitAtCr && c == '\r')) return true;
      if (piece.size() < cap) piece += c;
    }
  }

 private:
  bool fill() {
    m_len = std::fread(m_buffer, 1, sizeof m_buffer, m_file);
    m_pos = 0;
    return m_len > 0;
  }

  std::FILE* m_file;
  char m_buffer[65536];
  std::size_t m_len = 0;
  std::size_t m_pos = 0;
};

void appendPlainRow(std::string& out, std::string_view row, TaggedRows rows) {
  switch (rows) {
    case TaggedRows::SpeedDial:
    case TaggedRows::Extensions:
      out.append(row);
      if (row.back() != ',') out += ',';
      out.append("\r\n");
      break;
    case TaggedRows::Templates:
      out.append(templateRowsText(std::string(row) + "\n", 1));
      break;
    case TaggedRows::Restrictions: {
      const std::size_t start = out.size();
      out.append(row);
      std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '@', ',');
      if (out.back() != ',') out += ',';
      out.append("\r\n");
      break;
    }
  }
}

}  // namespace

// ---- writers ------------------------------------------------------------------------------

int writeTaggedSpeedDial(std::FILE* exchange, std::FILE* target) {
  const std::string_view element = sysTanfMode ? kSysTanfElement : kSysTanElement;
  std::string out = taggedHead(element);
  out.reserve(1024 * 1024);
  ExchangeFileRows rows(exchange);
  std::string_view row;
  for (int count = 1; rows.next(row); ++count) {
    out.append(row);
    // Every row but the 10000th keeps a trailing comma.
    out.append(count == kSpeedDialRows ? "\r" : ",\r");
  }
  out.append(taggedTail(element));
  return writeAll(target, out);
}

int writeTaggedExtensions(std::FILE* exchange, std::FILE* target) {
  std::string out = taggedHead(kNaisenElement);
  ExchangeFileRows rows(exchange);
  std::string_view row;
  while (rows.next(row)) out.append(row).append(",\n");
  out.append(taggedTail(kNaisenElement));
  return writeAll(target, out);
}

int writeTaggedTemplates(std::FILE* exchange, std::FILE* target) {
  std::string out = taggedHead(kTemplateElement);
  ExchangeFileRows rows(exchange);
  std::string_view row;
  while (rows.next(row)) {
    replaceCommasWithAt(out, row);
    out += '\r';
  }
  out.append(taggedTail(kTemplateElement));
  return writeAll(target, out);
}

int writeTaggedRestrictions(std::FILE* localText, std::FILE* target) {
  std::string out = taggedHead(kRestrictionElement);
  ExchangeFileRows rows(localText);
  std::string_view row;
  while (rows.next(row)) {
    // "0001,123," becomes "0001@123,": the commas inside the row are '@', the last stays.
    if (!row.empty() && row.back() == ',') row.remove_suffix(1);
    replaceCommasWithAt(out, row);
    out.append(",\n");
  }
  out.append(taggedTail(kRestrictionElement));
  return writeAll(target, out);
}

// ---- reading ------------------------------------------------------------------------------

TaggedHeaderResult collectTaggedHeader(TextFileReader& reader,
                                       std::initializer_list<std::string_view> elementLines,
                                       std::string& userText) {
  bool sawUser = false;
  std::string line;
  while (reader.readLine(line)) {
    const std::string_view text = withoutTrailingCr(line);
    if (text == kUserOpen && !sawUser) {
      sawUser = true;
      userText.clear();
      std::string next;
      if (reader.readLine(next)) {
        userText = std::move(next);
        while (userText.size() <= static_cast<std::size_t>(kUserInfoCollectLimit) && reader.readLine(next)) {
          userText.append("\r\n");
          userText.append(next);
        }
      }
      continue;
    }
    for (std::string_view element : elementLines) {
      if (text == element) return sawUser ? TaggedHeaderResult::Found : TaggedHeaderResult::NoUserPart;
    }
  }
  return TaggedHeaderResult::NoElement;
}

bool convertTaggedRowsAsText(const std::string& path, std::string_view element, TaggedRows rows,
                             std::FILE* out) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  std::string text(headerOf(rows));
  text.append("\r\n");
  {
    PieceReader reader(in);
    const std::string openTag = elementTag(element, false);
    std::string piece;
    bool inElement = false;
    while (reader.next(piece, false, openTag.size() + 8)) {
      if (withoutTrailingCr(piece) == openTag) {
        inElement = true;
        break;
      }
    }
    while (inElement && reader.next(piece, true, kRowBufferBytes - 1)) {
      if (piece.empty()) continue;
      if (piece.starts_with("</")) break;
      appendPlainRow(text, piece, rows);
      if (text.size() > kMaxRowsTextBytes) break;
    }
  }
  std::fclose(in);
  text.append(rows == TaggedRows::Restrictions ? ",\r\n" : "\r\n");
  return writeAll(out, text) == kExchangeDone;
}

bool convertTaggedRows(const std::string& path, std::string_view element, TaggedRows rows,
                       std::FILE* out) {
  if (!out) return false;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size <= kMaxTaggedDocumentBytes) {
    CXMLAccess document;
    if (document.Load(path)) {
      const CXMLElementList elements = document.GetElements(std::string(element));
      switch (rows) {
        case TaggedRows::SpeedDial: convertSpeedDialElement(elements, out, 1); break;
        case TaggedRows::Extensions: convertExtensionElement(elements, out, 1); break;
        case TaggedRows::Templates: convertTemplateElement(elements, out, 1); break;
        case TaggedRows::Restrictions: convertRestrictionElement(elements, out, 1); break;
      }
      return std::fflush(out) == 0 && !std::ferror(out);
    }
  }
  return convertTaggedRowsAsText(path, element, rows, out);
}
