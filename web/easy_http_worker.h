// CEasyHttpWorker: one connection of the local editor server, on a thread of its own.
//
// The worker reads the request line, the header lines and the body (HTTP/1.0), then takes
// tableLock() (try-lock, 701 attempts 10 ms apart by default), and under it takes a form post
// into the tables, builds the answer and sends it. A malformed request, a body that is too large
// or incomplete, a time-out or a lock that cannot be had end the connection without an answer.
// The connection's bytes are never enciphered: the worker moves them itself, plain.
//
// Request paths never leave the document root: a path with a ".." segment (written plainly or
// %-encoded, with "/" or "\"), a NUL, or a drive or scheme prefix is answered 404. A data script
// is generated into memory and sent from there; nothing is written below the document root.
//
// The pure steps (request line, path, file choice, heads, reload script) are free functions so
// that they can be checked without a socket.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "base/socket.h"
#include "ui/win_types.h"

struct EasyHttpSettings;
struct EasyHttpTiming;
class EasyHttpServer;

// Method codes of a request line.
enum HttpMethod { kMethodOther = 0, kMethodGet = 1, kMethodPost = 2, kMethodHead = 3 };

struct HttpRequestLine {
  int method = kMethodOther;
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

// Content-type codes, chosen by the text after the last '.' of the file name.
enum ContentType { kTypeOctetStream = 0, kTypeText = 1, kTypeHtml = 2, kTypeGif = 3, kTypeJpeg = 4,
                   kTypeBmp = 5 };
int contentTypeOf(std::string_view fileName);
const char* contentTypeText(int type);
// The response head: status line, Date (UTC, at `now`), Server, and when `length` is above 0
// Content-Type and Content-Length, then Cache-Control and the empty line; every line CR LF.
std::string responseHead(int code, int type, long long length, std::string_view serverName,
                         std::time_t now);
// The text sent after the answer to a post: a script that sends the browser to `url`. `url` is
// escaped so that it cannot end the script's string, and cut so that the text stays within 255
// characters.
std::string reloadScript(std::string_view url);
// The URL the browser is sent back to after a post: the request path with '/' separators and
// the query, both limited to characters that are safe inside a script string.
std::string postReturnUrl(std::string_view requestPath, std::string_view query, bool hasQuery);

class CEasyHttpWorker {
 public:
  CEasyHttpWorker(EasyHttpSettings* settings, std::unique_ptr<Socket> client, HWND owner,
                  EasyHttpServer* server);
  ~CEasyHttpWorker();
  CEasyHttpWorker(const CEasyHttpWorker&) = delete;
  CEasyHttpWorker& operator=(const CEasyHttpWorker&) = delete;

  // Starts the thread. False when it could not be started (the connection is closed then).
  bool CreateThread();
  // Whether the thread has finished its exchange.
  bool Finished() const { return m_finished.load(); }
  // Waits for the thread.
  void Join();
  // Ends a wait for request bytes at once (the server is stopping); a worker that has the lock
  // already is left to finish.
  void WakeIfReading();

 private:
  bool InitInstance();
  void ExitInstance();

  bool ReadRequest();
  bool TakeTableLock();
  void HandleUnderLock();
  void TakeFormPost();
  void Respond();
  std::string DataScriptFor(const std::string& path);
  bool SendBytes(std::string_view bytes);
  bool StreamBody(std::string_view data);
  bool StreamFile(const std::string& fileName, long long size);
  void PumpMessages(int passes, std::chrono::milliseconds sleep);

  EasyHttpSettings* m_settings;
  const EasyHttpTiming* m_timing;
  HWND m_owner;
  EasyHttpServer* m_server;
  std::unique_ptr<Socket> m_client;

  std::thread m_thread;
  std::atomic<bool> m_finished{false};
  std::mutex m_socketMutex;  // guards m_client's descriptor against WakeIfReading
  bool m_reading = true;

  // The request.
  std::string m_requestLine;
  HttpRequestLine m_request;
  std::string m_date, m_pragma, m_accept, m_acceptCharset, m_acceptEncoding, m_acceptLanguage,
      m_host, m_userAgent, m_contentEncoding, m_contentLengthText, m_contentType;
  bool m_hasContentLength = false;
  std::int32_t m_contentLength = 0;
  std::unique_ptr<char[]> m_body;  // m_contentLength bytes and the NUL

  // The buffered reader of the connection.
  char m_in[4096];
  int m_inStart = 0;
  int m_inEnd = 0;
  int ReadByte(std::chrono::milliseconds wait, char& c);
  int ReadLine(char* buffer, int size, std::chrono::milliseconds wait);
  int ReadExact(char* buffer, int length);
};
