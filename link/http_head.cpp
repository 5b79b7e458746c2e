#include "link/http_head.h"

#include <climits>
#include <cstdio>

#include "base/ascii_text.h"
#include "base/http_text.h"
#include "link/encode.h"
#include "link/link_stream.h"
#include "link/transfer_names.h"

namespace {

// The blanks the C library's isspace knows.
constexpr std::string_view kSpaces = " \t\r\n\v\f";
constexpr int kLineSize = 1024;
// A head (header lines) beyond this size is no real one: the exchange fails.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

HeaderField fieldOf(const std::string& name, HeaderSet set) {
  if (name == "CONNECTION:") return HeaderField::Connection;
  if (name == "CONTENT-LENGTH:") return HeaderField::ContentLength;
  if (set == HeaderSet::ConnectionAnswer) {
    if (name == "SERVER:") return HeaderField::Server;
    if (name == "DATE:") return HeaderField::Date;
    if (name == "TITLE:") return HeaderField::Title;
    return HeaderField::None;
  }
  if (name == "AUTHORIZATION:") return HeaderField::Authorization;
  if (name == "HOST:") return HeaderField::Host;
  if (name == "ACCEPT-ENCODING:") return HeaderField::AcceptEncoding;
  return HeaderField::None;
}

}  // namespace

int leadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string connectionRequest(const unsigned char (&keyMaterial)[64]) {
  std::string text = "GET /" + std::string(kConnectionInfoName) + " HTTP/1.1\r\nCryptoKey: ";
  char hex[3];
  for (unsigned char byte : keyMaterial) {
    std::snprintf(hex, sizeof hex, "%02X", byte);
    text += hex;
  }
  return text + "\r\n";
}

std::string fileRequest(std::string_view file, std::string_view host) {
  std::string text = "GET /";
  text.append(file).append(" HTTP/1.1\r\nHost: ").append(host).append("\r\n");
  return text;
}

std::string fileRequest(std::string_view file, std::string_view host, std::string_view password) {
  return fileRequest(file, host) +
         "Authorization: " + CEncode::Base64Encode(std::string(password).c_str()) + "\r\n";
}

std::string answerHead(int code, std::int32_t contentLength) {
  std::string text = "HTTP/1.1 ";
  text += httpStatusText(code, "500 Internal Server Error");
  text += "\r\n";
  if (code == 200) {
    text += "Accept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\nContent-Length: ";
    if (contentLength >= 0) text += std::to_string(contentLength);
    text += "\r\n";
  } else {
    text += "Accept-Encoding:\r\ngzip, deflate\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n";
  }
  return text;
}

bool parseStatusLine(std::string_view line, int& status) {
  status = -1;
  const auto first = line.find(' ');
  if (first == std::string_view::npos || line.size() <= first + 3) return false;
  const auto second = line.find(' ', first + 1);
  if (second == std::string_view::npos) return false;
  status = leadingNumber(line.substr(first + 1, second - first - 1));
  return true;
}

int statusClass(int status) {
  if (status < 100 || status >= 600) return -1;
  return status / 100;
}

bool parseRequestLine(std::string_view line, RequestMethod& method, std::string& path) {
  if (line.size() < 5) return false;
  if (startsWithIgnoringCase(line, "GET "))
    method = RequestMethod::Get;
  else if (startsWithIgnoringCase(line, "POST "))
    method = RequestMethod::Post;
  else if (startsWithIgnoringCase(line, "HEAD "))
    method = RequestMethod::Head;
  else
    method = RequestMethod::Other;
  const auto first = line.find(' ');
  if (first == std::string_view::npos) return false;
  const auto second = line.find(' ', first + 1);
  if (second == std::string_view::npos) return false;
  std::string_view target = line.substr(first + 1, second - first - 1);
  const auto query = target.find('?');
  if (query != std::string_view::npos) target = target.substr(0, query);
  path = urlDecode(target);
  for (char& c : path)
    if (c == '/') c = '\\';
  return true;
}

HeaderField parseHeaderLine(std::string_view line, HeaderSet set, CHttpData& http) {
  const auto colon = line.find(':');
  std::string name;
  if (colon != std::string_view::npos)
    name = upperAscii(trimmedRight(line.substr(0, colon), kSpaces));
  name += ':';
  const HeaderField field = fieldOf(name, set);
  if (field == HeaderField::None) return field;

  const std::string_view value = trimmed(line.substr(colon + 1), kSpaces);
  if (field == HeaderField::ContentLength) {
    // A length written with ten or more characters is beyond any document: not given.
    if (value.size() >= kMaxContentLengthDigits)
      http.contentLength = -1;
    else if (!value.empty())
      http.contentLength = leadingNumber(value);
  } else if (field == HeaderField::Connection) {
    http.connection = value;
  } else if (field == HeaderField::Authorization) {
    http.authorization = startsWithIgnoringCase(value, "BASIC ")
                             ? CEncode::Base64Decode(trimmedLeft(value.substr(6), kSpaces))
                             : std::string(value);
  }
  return field;
}

bool credentialsMatch(std::string_view credentials, std::string_view password) {
  if (credentials.empty()) return false;
  std::string joined;
  for (char c : credentials)
    if (c != ':') joined += c;
  return joined == password;
}

bool readHead(LinkStream& stream, std::chrono::milliseconds perByte,
              const std::function<void(std::string_view)>& onLine) {
  char line[kLineSize];
  std::size_t total = 0;
  for (;;) {
    auto wait = perByte;
    const int n = stream.readLineWait(line, sizeof line, wait);
    if (n <= 0) return true;
    total += static_cast<std::size_t>(n);
    if (total > kMaxHeadBytes) return false;
    onLine(line);  // as a C string: a NUL ends the line's text
  }
}

bool readHeadFields(LinkStream& stream, std::chrono::milliseconds perByte, HeaderSet set,
                    CHttpData& http, Socket& control) {
  return readHead(stream, perByte, [&](std::string_view line) {
    if (parseHeaderLine(line, set, http) == HeaderField::Connection &&
        equalsIgnoringCase(http.connection, "Keep-Alive"))
      control.setKeepAlive(1);
  });
}
