#include "data/tagged_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "base/platform.h"
#include "base/text_file.h"
#include "data/element_converters.h"
#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/upload_blocks.h"
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
  head.append(userInfoLine());
  head.append(kUserClose).append("\r\n");
  head.append(elementTag(element, false)).append("\r\n");
  return head;
}

std::string taggedTail(std::string_view element) {
  return elementTag(element, true) + "\r\n" + std::string(kRootClose);
}

int writeAll(std::FILE* target, std::string_view bytes) {
  if (!target) return kExchangeCannotOpen;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), target) != bytes.size())
    return kExchangeCannotOpen;
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
    case TaggedRows::SpeedDialSevenColumns: return kSpeedDial7Header;
    case TaggedRows::SpeedDialTenColumns: return kSpeedDial10Header;
    case TaggedRows::Extensions: return kExtensionHeader;
    case TaggedRows::Templates: return kTemplateHeader;
    case TaggedRows::Restrictions: return kRestrictionHeader;
  }
  return {};
}

std::string_view elementOf(TaggedRows rows) {
  switch (rows) {
    case TaggedRows::SpeedDialSevenColumns: return kSysTanElement;
    case TaggedRows::SpeedDialTenColumns: return kSysTanfElement;
    case TaggedRows::Extensions: return kNaisenElement;
    case TaggedRows::Templates: return kTemplateElement;
    case TaggedRows::Restrictions: return kRestrictionElement;
  }
  return {};
}

void appendTaggedRowsOf(TaggedRows kind, ExchangeFileRows& rows, std::string& out) {
  std::string_view row;
  switch (kind) {
    case TaggedRows::SpeedDialSevenColumns:
    case TaggedRows::SpeedDialTenColumns:
      // Every row but the 10000th keeps a trailing comma.
      for (int count = 1; rows.next(row); ++count) {
        out.append(row);
        out.append(count == kSpeedDialRows ? "\r" : ",\r");
      }
      break;
    case TaggedRows::Extensions:
      while (rows.next(row)) out.append(row).append(",\n");
      break;
    case TaggedRows::Templates:
      while (rows.next(row)) {
        replaceCommasWithAt(out, row);
        out += '\r';
      }
      break;
    case TaggedRows::Restrictions:
      while (rows.next(row)) {
        // "0001,123," becomes "0001@123,": the commas inside the row are '@', the last stays.
        if (!row.empty() && row.back() == ',') row.remove_suffix(1);
        replaceCommasWithAt(out, row);
        out.append(",\n");
      }
      break;
  }
}

// Whether the file holds a '&' anywhere; nullopt when it cannot be read.
std::optional<bool> holdsAmpersand(std::FILE* file) {
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    if (std::memchr(chunk, '&', n)) return true;
  }
  if (std::ferror(file)) return std::nullopt;
  return false;
}

int writeTaggedFile(TaggedRows rows, std::FILE* exchange, std::FILE* target) {
  const std::string text = readOpenFileBytes(exchange);
  std::string out;
  appendTaggedFile(rows, text, out);
  return writeAll(target, out);
}

// Reads a file in pieces that end at a line end, keeping at most `cap`
// bytes of each piece.
class PieceReader {
 public:
  explicit PieceReader(std::FILE* file) : m_file(file) {}
  PieceReader(const PieceReader&) = delete;
  PieceReader& operator=(const PieceReader&) = delete;

  // The next piece up to (not including) LF, or CR as well when splitAtCr. False at the end of
  // the file when nothing was left.
  bool next(std::string& piece, bool splitAtCr, std::size_t cap) {
    piece.clear();
    bool any = false;
    for (;;) {
      if (m_pos == m_len && !fill()) return any;
      any = true;
      const char* begin = m_data + m_pos;
      const std::size_t avail = m_len - m_pos;
      const void* lf = std::memchr(begin, '\n', avail);
      std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : avail;
      if (splitAtCr && end > 0) {
        const void* cr = std::memchr(begin, '\r', end);
        if (cr) end = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
      }
      if (piece.size() < cap) piece.append(begin, std::min(end, cap - piece.size()));
      if (end < avail) {
        m_pos += end + 1;
        return true;
      }
      m_pos = m_len;
    }
  }

 private:
  bool fill() {
    if (!m_file) return false;
    m_len = std::fread(m_chunk, 1, sizeof m_chunk, m_file);
    m_data = m_chunk;
    m_pos = 0;
    return m_len > 0;
  }

  std::FILE* m_file = nullptr;
  const char* m_data = nullptr;
  std::size_t m_len = 0;
  std::size_t m_pos = 0;
  char m_chunk[65536];
};

void appendPlainRow(std::string& out, std::string_view row, TaggedRows rows) {
  switch (rows) {
    case TaggedRows::SpeedDialSevenColumns:
    case TaggedRows::SpeedDialTenColumns:
    case TaggedRows::Extensions:
      out.append(row);
      if (row.back() != ',') out += ',';
      out.append("\r\n");
      break;
    case TaggedRows::Templates: {
      std::string line(row);
      line += '\n';
      out.append(templateRowsText(line, RowSource::UserFile));
      break;
    }
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

// The plain-text reading: the rows from the line "<element>" to the first closing tag.
void appendRowsAsText(PieceReader& reader, std::string_view element, TaggedRows rows,
                      std::string& out) {
  const std::size_t start = out.size();
  out.append(headerOf(rows));
  out.append("\r\n");
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
    appendPlainRow(out, piece, rows);
    if (out.size() - start > kMaxRowsTextBytes) break;
  }
  out.append(rows == TaggedRows::Restrictions ? ",\r\n" : "\r\n");
}

SpeedDialForm formOf(TaggedRows rows) {
  return rows == TaggedRows::SpeedDialSevenColumns ? SpeedDialForm::SevenColumns
                                                   : SpeedDialForm::TenColumns;
}

ElementRows elementRowsOf(TaggedRows rows) {
  switch (rows) {
    case TaggedRows::SpeedDialSevenColumns:
    case TaggedRows::SpeedDialTenColumns: return ElementRows::SpeedDial;
    case TaggedRows::Extensions: return ElementRows::Extensions;
    case TaggedRows::Templates: return ElementRows::Templates;
    case TaggedRows::Restrictions: return ElementRows::Restrictions;
  }
  return ElementRows::SpeedDial;
}

}  // namespace

// ---- writers ------------------------------------------------------------------------------

void appendTaggedFile(TaggedRows rows, std::string_view exchange, std::string& out) {
  const std::string_view element = elementOf(rows);
  out.reserve(out.size() + exchange.size() + 512);
  out.append(taggedHead(element));
  ExchangeFileRows lines(exchange);
  appendTaggedRowsOf(rows, lines, out);
  out.append(taggedTail(element));
}

TaggedRows taggedSpeedDialRows(SpeedDialForm form) {
  return form == SpeedDialForm::TenColumns ? TaggedRows::SpeedDialTenColumns
                                           : TaggedRows::SpeedDialSevenColumns;
}

int writeTaggedSpeedDial(std::FILE* exchange, std::FILE* target, SpeedDialForm form) {
  return writeTaggedFile(taggedSpeedDialRows(form), exchange, target);
}

int writeTaggedExtensions(std::FILE* exchange, std::FILE* target) {
  return writeTaggedFile(TaggedRows::Extensions, exchange, target);
}

int writeTaggedTemplates(std::FILE* exchange, std::FILE* target) {
  return writeTaggedFile(TaggedRows::Templates, exchange, target);
}

int writeTaggedRestrictions(std::FILE* localText, std::FILE* target) {
  return writeTaggedFile(TaggedRows::Restrictions, localText, target);
}

// ---- reading ------------------------------------------------------------------------------

TaggedHeaderResult collectTaggedHeader(TextFileReader& reader,
                                       std::initializer_list<std::string_view> elementLines,
                                       std::string& userText, int* elementLine) {
  bool sawUser = false;
  std::string line;
  int lines = 0;
  while (reader.readLine(line)) {
    ++lines;
    const std::string_view text = withoutTrailingCr(line);
    if (text == kUserOpen && !sawUser) {
      sawUser = true;
      userText.clear();
      std::string next;
      if (reader.readLine(next)) {
        ++lines;
        userText = std::move(next);
        while (userText.size() <= static_cast<std::size_t>(kUserInfoCollectLimit) && reader.readLine(next)) {
          ++lines;
          userText.append("\r\n");
          userText.append(next);
        }
      }
      continue;
    }
    for (std::string_view element : elementLines) {
      if (text == element) {
        if (elementLine) *elementLine = lines;
        return sawUser ? TaggedHeaderResult::Found : TaggedHeaderResult::NoUserPart;
      }
    }
  }
  return TaggedHeaderResult::NoElement;
}

bool convertTaggedRowsAsText(const std::string& path, std::string_view element, TaggedRows rows,
                             std::FILE* out) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  std::string text;
  {
    PieceReader reader(in);
    appendRowsAsText(reader, element, rows, text);
  }
  std::fclose(in);
  return writeAll(out, text) == kExchangeDone;
}

bool convertTaggedRows(const std::string& path, std::string_view element, TaggedRows rows,
                       std::string& out) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  bool asText = ec || size > kMaxTaggedDocumentBytes;
  if (!asText) {
    const std::optional<bool> ampersand = holdsAmpersand(in);
    if (!ampersand) {
      std::fclose(in);
      return false;
    }
    asText = *ampersand;
  }
  if (!asText) {
    CXMLAccess document;
    if (document.Load(path)) {
      std::fclose(in);
      appendConvertedElement(document.GetElements(std::string(element)),
                           {elementRowsOf(rows), RowSource::UserFile, formOf(rows)}, out);
      return true;
    }
  }
  std::fseek(in, 0, SEEK_SET);
  bool ok;
  {
    PieceReader reader(in);
    appendRowsAsText(reader, element, rows, out);
    ok = !std::ferror(in);
  }
  std::fclose(in);
  return ok;
}

bool convertTaggedRows(const std::string& path, std::string_view element, TaggedRows rows,
                       std::FILE* out) {
  if (!out) return false;
  std::string text;
  if (!convertTaggedRows(path, element, rows, text)) return false;
  return writeAll(out, text) == kExchangeDone;
}
