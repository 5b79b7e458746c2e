// CEasyHttpWorker: one connection of the local editor server, on a thread of its own.
//
// The worker reads the request line, the header lines and the body (HTTP/1.0). The head (line
// and headers) must end with its empty line within one deadline counted from the accept
// (EasyHttpTiming::head), however the bytes trickle in. A request the host and origin rules of
// web/request_guard.h refuse is answered "403 Forbidden" at once, without the table lock.
// Otherwise the worker takes tableLock() (try-lock, 701 attempts 10 ms apart by default), and
// under it takes a form post into the tables, builds the answer and sends it. A malformed
// request, a head that does not end in time, a body that is too large or incomplete, or a lock
// that cannot be had end the connection without an answer.
// The connection's bytes are never enciphered: the worker moves them itself, plain.
//
// Request paths never leave the document root: a path with a ".." segment (written plainly or
// %-encoded, with "/" or "\"), a NUL, or a drive or scheme prefix is answered 404. A data script
// is generated into memory and sent from there, always as "text/javascript" with
// "X-Content-Type-Options: nosniff"; nothing is written below the document root.
//
// "find.js" (in any folder) is answered with the entries a find box asked for
// (web/find_entries.h), generated from the tables under the lock like a data script and guarded
// like one.
//
// The texts of a request and its answer (request line, path, file choice, heads, reload script)
// are web/editor_http.h.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
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
#include "web/editor_http.h"
#include "web/request_guard.h"

struct EasyHttpSettings;
struct EasyHttpTiming;
class EasyHttpServer;

class CEasyHttpWorker {
 public:
  CEasyHttpWorker(EasyHttpSettings* settings, std::unique_ptr<Socket> client,
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
  // While the worker still reads its request: closes the connection (the worker ends at once,
  // without an answer) and returns true. A worker past its request is left to finish (false).
  bool CloseIfReading();
  // When the worker still reads its request: the time its connection was accepted.
  std::optional<std::chrono::steady_clock::time_point> ReadingSince();

 private:
  bool InitInstance();
  void ExitInstance();

  bool ReadRequest();
  bool ReadHead();
  void Refuse();
  bool TakeTableLock();
  void HandleUnderLock();
  void TakeFormPost();
  void Respond();
  std::string DataScriptFor(const std::string& path);
  std::string FindScriptFor();
  bool SendBytes(std::string_view bytes);
  bool StreamBody(std::string_view data);
  bool StreamFile(const std::string& fileName, long long size);
  void PumpMessages(int passes, std::chrono::milliseconds sleep);

  EasyHttpSettings* m_settings;
  const EasyHttpTiming* m_timing;
  EasyHttpServer* m_server;
  std::unique_ptr<Socket> m_client;

  std::thread m_thread;
  std::atomic<bool> m_finished{false};
  const std::chrono::steady_clock::time_point m_since;  // the accept
  // Guards m_client's descriptor against CloseIfReading, and the two flags below.
  std::mutex m_socketMutex;
  std::condition_variable m_closed;  // notified by CloseIfReading
  bool m_reading = true;
  bool m_closedWhileReading = false;

  // The request.
  std::string m_requestLine;
  HttpRequestLine m_request;
  std::string m_contentLengthText, m_contentType;
  RequestGuardHeaders m_guard;
  bool m_hasContentLength = false;
  std::int32_t m_contentLength = 0;
  std::unique_ptr<char[]> m_body;  // m_contentLength bytes and the NUL

  // The buffered reader of the connection.
  char m_in[4096];
  int m_inStart = 0;
  int m_inEnd = 0;
  int ReadByte(std::chrono::steady_clock::time_point deadline, char& c);
  int ReadLine(char* buffer, int size, std::chrono::steady_clock::time_point deadline, bool& ended);
  int ReadExact(char* buffer, int length);
};
