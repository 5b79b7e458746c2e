// The message layer of the transfer object: request and response heads, the parsers of status,
// request and header lines, and the credential check.
#include <climits>
#include <cstdio>
#include <string>

#include "base/ascii_text.h"
#include "link/encode.h"
#include "link/http_data.h"
#include "link/tcp_file_transfer.h"
#include "link/link_stream.h"
#include "link/transfer_names.h"

namespace {

// The blanks the C library's isspace knows.
constexpr std::string_view kSpaces = " \t\r\n\v\f";

const char* statusText(int code) {
    switch (code) {
        case 200: return "200 OK";
        case 201: return "201 Created";
        case 202: return "202 Accepted";
        case 204: return "204 No Content";
        case 300: return "300 Multiple Choices";
        case 301: return "301 Moved Permanently";
        case 302: return "302 Moved Temporarily";
        case 304: return "304 Not Modified";
        case 400: return "400 Bad Request";
        case 401: return "401 Unauthorized";
        case 403: return "403 Forbidden";
        case 404: return "404 Not Found";
        case 408: return "408 Request Time-out";
        case 500: return "500 Internal Server Error";
        case 501: return "501 Not Implemented";
        case 502: return "502 Bad Gateway";
        case 503: return "503 Service Unavailable";
        default: return "500 Internal Server Error";
    }
}

}  // namespace

// atoi as the C library reads numbers (leading blanks, a sign, digits), but a number beyond the
// range of int saturates instead of being undefined.
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

int CTCPFileTransfer::BuildRequest(int kind, std::string& text) {
    text.clear();
    if (kind == 1) {
        text = "GET /" + std::string(kConnectionInfoName) + " HTTP/1.1\r\n";
        text += "CryptoKey: ";
        char hex[3];
        for (unsigned char byte : keyMaterial) {
            std::snprintf(hex, sizeof hex, "%02X", byte);
            text += hex;
        }
        text += "\r\n";
    } else if (kind == 3 || kind == 5) {
        text = "GET /" + m_currentFile + " HTTP/1.1\r\n";
    }
    AppendHeaders(kind, true, text);
    return 1;
}

void CTCPFileTransfer::AppendHeaders(int kind, bool request, std::string& text) {
    if (request) {
        if (kind == 3 || kind == 5) text += "Host: " + m_host + "\r\n";
        if (kind == 3) text += "Authorization: " + CEncode::Base64Encode(m_unitPassword.c_str()) + "\r\n";
        return;
    }
    if (kind == 2 || kind == 3) {
        text += "Accept-Encoding: gzip, deflate\r\n";
        text += "Connection: Keep-Alive\r\n";
        text += "Content-Length: ";
        if (m_http && m_http->contentLength >= 0) text += std::to_string(m_http->contentLength);
        text += "\r\n";
    } else if (kind == 5) {
        text += "Accept-Encoding:\r\ngzip, deflate\r\n";
        text += "Connection: Keep-Alive\r\n";
        text += "Content-Length: 0\r\n";
    }
}

bool CTCPFileTransfer::SendStatus(int code, LinkStream& stream) {
    std::string text = "HTTP/1.1 ";
    text += statusText(code);
    text += "\r\n";
    AppendHeaders(code == 200 ? m_phase : 5, false, text);
    return stream.sendLine(text) == static_cast<int>(text.size()) + 2;
}

bool CTCPFileTransfer::ParseStatusLine(std::string_view line) {
    m_status = -1;
    const auto first = line.find(' ');
    if (first == std::string_view::npos || line.size() <= first + 3) return false;
    const auto second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return false;
    m_status = leadingNumber(line.substr(first + 1, second - first - 1));
    return true;
}

int CTCPFileTransfer::StatusClass() const {
    if (m_status < 100 || m_status >= 600) return -1;
    return m_status / 100;
}

int CTCPFileTransfer::ParseHeaderLine(std::string_view line) {
    if (!m_http) return 1;
    const auto colon = line.find(':');
    std::string name;
    if (colon != std::string_view::npos) name = upperAscii(trimmedRight(line.substr(0, colon), kSpaces));
    name += ':';

    enum Field { None, Server, Date, Connection, ContentLength, Title, Authorization, Host, AcceptEncoding };
    Field field = None;
    if (m_phase == 1) {
        if (name == "SERVER:") field = Server;
        else if (name == "DATE:") field = Date;
        else if (name == "CONNECTION:") field = Connection;
        else if (name == "CONTENT-LENGTH:") field = ContentLength;
        else if (name == "TITLE:") field = Title;
    } else if (m_phase == 2 || m_phase == 3) {
        if (name == "AUTHORIZATION:") field = Authorization;
        else if (name == "HOST:") field = Host;
        else if (name == "ACCEPT-ENCODING:") field = AcceptEncoding;
        else if (name == "CONNECTION:") field = Connection;
        else if (name == "CONTENT-LENGTH:") field = ContentLength;
    }
    if (field == None) return 1;

    const std::string value(trimmed(line.substr(colon + 1), kSpaces));
    CHttpData& http = *m_http;
    switch (field) {
        case Server: http.server = value; break;
        case Date: http.date = value; break;
        case Title: http.title = value; break;
        case Host: http.host = value; break;
        case AcceptEncoding: http.acceptEncoding = value; break;
        case ContentLength:
            http.contentLengthText = value;
            // A length written with ten or more characters is beyond any document: not given.
            if (value.size() >= kMaxContentLengthDigits) http.contentLength = -1;
            else if (!value.empty()) http.contentLength = leadingNumber(value);
            break;
        case Authorization:
            http.authorization = value;
            if (!startsWithIgnoringCase(value, "BASIC ")) return -1;
            http.authorization = CEncode::Base64Decode(trimmedLeft(std::string_view(value).substr(6), kSpaces));
            break;
        case Connection:
            http.connection = value;
            if (equalsIgnoringCase(value, "Keep-Alive")) m_control.socket().setKeepAlive(1);
            break;
        case None: break;
    }
    return 0;
}

bool CTCPFileTransfer::ParseRequestLine(std::string_view line) {
    if (line.size() < 5) return false;
    if (startsWithIgnoringCase(line, "GET ")) m_method = 1;
    else if (startsWithIgnoringCase(line, "POST ")) m_method = 2;
    else if (startsWithIgnoringCase(line, "HEAD ")) m_method = 3;
    else m_method = 0;
    const auto first = line.find(' ');
    if (first == std::string_view::npos) return false;
    const auto second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return false;
    std::string_view target = line.substr(first + 1, second - first - 1);
    const auto query = target.find('?');
    if (query != std::string_view::npos) target = target.substr(0, query);
    std::string path = CEncode::UrlDecode(target);
    for (char& c : path)
        if (c == '/') c = '\\';
    m_path = path;
    return true;
}

bool CTCPFileTransfer::CheckCredentials(std::string_view text) const {
    if (text.empty()) return false;
    std::string joined;
    for (char c : text)
        if (c != ':') joined += c;
    return joined == m_unitPassword;
}
