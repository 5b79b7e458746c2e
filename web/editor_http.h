// The texts of one editor request and its answer, as pure functions: the request line and its
// path, the file a path names, the content type, the answer head, and the reload script sent
// after a post. The worker (web/easy_http_worker.h) moves these texts over its connection.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Method codes of a request line.
enum class HttpMethod { Other, Get, Post, Head };

struct HttpRequestLine {
  HttpMethod method = HttpMethod::Other;
  std::string path;   // URL-decoded (urlDecode), "/" turned into "\", at most 259 characters
  std::string query;  // the raw text after "?"
  bool hasQuery = false;
};

// Splits a request line: the URL is the text between the first and the last space; the query
// is what follows "?". False when there are not two distinct spaces.
bool parseRequestLine(std::string_view line, HttpRequestLine& out);

// The file a request path names below `root` (native, ending with '/'): '\' separated path,
// defaultPage appended to a path that ends in '\', doubled separators collapsed. nullopt when
// the path would leave the root (a ".." segment, a NUL, a ':' in its first segment).
std::optional<std::string> resolveRequestFile(const std::string& root, std::string_view path,
                                              std::string_view defaultPage);

// Whether a request path asks for a generated data script: it holds ".js" and neither "common"
// nor "menu" (a substring test, so "x.json" counts too).
bool namesDataScript(std::string_view path);

// Content-type codes, chosen by the text after the last '.' of the file name.
// ContentType::Script is never chosen by a name: it is the type of the generated data scripts.
enum class ContentType { OctetStream, Text, Html, Gif, Jpeg, Bmp, Script };
ContentType contentTypeOf(std::string_view fileName);
const char* contentTypeText(ContentType type);
// The response head: status line, Date (UTC, at `now`), Server, and when `length` is above 0
// Content-Type and Content-Length, then (with `noSniff`) "X-Content-Type-Options: nosniff",
// Cache-Control and the empty line; every line CR LF.
std::string responseHead(int code, ContentType type, long long length, std::string_view serverName,
                         std::time_t now, bool noSniff = false);
// The text sent after the answer to a post: a script that sends the browser to `url`. `url` is
// escaped so that it cannot end the script's string, and cut so that the text stays within 255
// characters.
std::string reloadScript(std::string_view url);
// The URL the browser is sent back to after a post: the request path with '/' separators and
// the query, both limited to characters that are safe inside a script string.
std::string postReturnUrl(std::string_view requestPath, std::string_view query, bool hasQuery);
