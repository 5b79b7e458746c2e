#include "web/editor_http.h"

#include <cstring>

#include "base/http_text.h"
#include "base/platform.h"

namespace {

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

// A character that may stand as it is inside the script string of the reload URL.
bool urlSafe(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= 'a' && c <= 'z') return true;
  if (c >= '0' && c <= '9') return true;
  return std::strchr("-._~/?=&+%,;:!*()$@", c) != nullptr && c != '\0';
}

void appendEscaped(std::string& out, std::string_view text, bool keepPercent) {
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : text) {
    if (urlSafe(c) && (keepPercent || c != '%')) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
}

}  // namespace

bool parseRequestLine(std::string_view line, HttpRequestLine& out) {
  out = HttpRequestLine{};
  if (line.substr(0, 3) == "GET") {
    out.method = HttpMethod::Get;
  } else if (line.substr(0, 4) == "POST") {
    out.method = HttpMethod::Post;
  } else if (line.substr(0, 4) == "HEAD") {
    out.method = HttpMethod::Head;
  }
  const std::size_t first = line.find(' ');
  const std::size_t last = line.rfind(' ');
  if (first == std::string_view::npos || last == first) return false;
  std::string_view url = line.substr(first + 1, last - first - 1);
  const std::size_t q = url.find('?');
  if (q != std::string_view::npos) {
    out.query = std::string(url.substr(q + 1));
    out.hasQuery = true;
    url = url.substr(0, q);
  }
  std::string path = urlDecode(url);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.size() > kMaxPathBytes - 1) path.resize(kMaxPathBytes - 1);
  out.path = std::move(path);
  return true;
}

std::optional<std::string> resolveRequestFile(const std::string& root, std::string_view path,
                                              std::string_view defaultPage) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  std::string rel(path);
  if (rel.empty() || rel.back() == '\\') rel += defaultPage;
  // Segments between separators: none may be "..", and the first may not name a drive or a
  // scheme. Empty segments (doubled separators) collapse.
  std::string clean;
  std::size_t start = 0;
  bool firstSegment = true;
  while (start <= rel.size()) {
    std::size_t end = rel.find_first_of("\\/", start);
    if (end == std::string::npos) end = rel.size();
    const std::string_view seg(rel.data() + start, end - start);
    if (!seg.empty()) {
      if (seg == "..") return std::nullopt;
      if (firstSegment && seg.find(':') != std::string_view::npos) return std::nullopt;
      if (!clean.empty()) clean += '/';
      clean += seg;
      firstSegment = false;
    }
    start = end + 1;
  }
  if (clean.empty()) return std::nullopt;
  std::string file = root;
  if (!file.empty() && file.back() != '/') file += '/';
  return file + clean;
}

bool namesDataScript(std::string_view path) {
  return contains(path, ".js") && !contains(path, "common") && !contains(path, "menu");
}

ContentType contentTypeOf(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return ContentType::OctetStream;
  const std::string_view ext = fileName.substr(dot + 1);
  if (ext == "txt") return ContentType::Text;
  if (ext == "html" || ext == "htm") return ContentType::Html;
  if (ext == "gif") return ContentType::Gif;
  if (ext == "jpeg") return ContentType::Jpeg;
  if (ext == "bmp") return ContentType::Bmp;
  return ContentType::OctetStream;
}

const char* contentTypeText(ContentType type) {
  switch (type) {
    case ContentType::Text: return "text/plain";
    case ContentType::Html: return "text/html";
    case ContentType::Gif: return "image/gif";
    case ContentType::Jpeg: return "image/jpeg";
    case ContentType::Bmp: return "image/bmp";
    case ContentType::Script: return "text/javascript";
    default: return "application/octet-stream";
  }
}

std::string responseHead(int code, ContentType type, long long length, std::string_view serverName, std::time_t now,
                         bool noSniff) {
  std::string head = "HTTP/1.0 ";
  head += httpStatusText(code, "200 OK");
  head += "\r\nDate: ";
  head += httpDate(now);
  head += "\r\nServer: ";
  head += serverName;
  head += "\r\n";
  if (length > 0) {
    head += "Content-Type: ";
    head += contentTypeText(type);
    head += "\r\nContent-Length: ";
    head += std::to_string(length);
    head += "\r\n";
  }
  if (noSniff) head += "X-Content-Type-Options: nosniff\r\n";
  head += "Cache-Control: no-cache\r\n\r\n";
  return head;
}

std::string postReturnUrl(std::string_view requestPath, std::string_view query, bool hasQuery) {
  std::string path(requestPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  std::string url;
  appendEscaped(url, path, false);
  if (url.empty() || url[0] != '/') url.insert(url.begin(), '/');
  if (hasQuery) {
    url += '?';
    appendEscaped(url, query, true);
  }
  return url;
}

std::string reloadScript(std::string_view url) {
  constexpr std::string_view kBefore = "<HTML>\r\n<HEAD>\r\n<script language=\"JavaScript\"><!--\r\nlocation.href=\"";
  constexpr std::string_view kAfter = "\";\r\n--></script>\r\n</HEAD>\r\n</HTML>\r\n";
  constexpr std::size_t kLimit = 255;
  std::size_t room = kLimit - kBefore.size() - kAfter.size();
  std::string_view u = url;
  if (u.size() > room) {
    u = u.substr(0, room);
    // Never end inside a "%XX" escape.
    const std::size_t pct = u.rfind('%');
    if (pct != std::string_view::npos && pct + 3 > u.size()) u = u.substr(0, pct);
  }
  std::string text(kBefore);
  text += u;
  text += kAfter;
  return text;
}

