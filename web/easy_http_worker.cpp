#include "web/easy_http_worker.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/ascii_text.h"
#include "base/cp932.h"
#include "base/http_text.h"
#include "base/platform.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "ui/message_pump.h"
#include "web/data_script.h"
#include "web/easy_http_server.h"
#include "web/find_entries.h"
#include "web/form_parser.h"
#include "web/post_checks.h"

namespace {

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

}  // namespace

CEasyHttpWorker::CEasyHttpWorker(EasyHttpSettings* settings, std::unique_ptr<Socket> client,
                                 EasyHttpServer* server)
    : m_settings(settings), m_timing(&server->m_timing), m_server(server),
      m_client(std::move(client)), m_since(std::chrono::steady_clock::now()) {}

CEasyHttpWorker::~CEasyHttpWorker() { Join(); }

bool CEasyHttpWorker::CreateThread() {
  try {
    m_thread = std::thread([this] {
      InitInstance();
      ExitInstance();
    });
  } catch (...) {
    ExitInstance();
    return false;
  }
  return true;
}

void CEasyHttpWorker::Join() {
  if (m_thread.joinable()) m_thread.join();
}

bool CEasyHttpWorker::CloseIfReading() {
  std::lock_guard lock(m_socketMutex);
  if (!m_reading || m_closedWhileReading) return false;
  m_closedWhileReading = true;
  // The worker's own thread closes the descriptor; this ends its waits at once.
  if (m_client && m_client->isOpen()) ::shutdown(m_client->handle(), SHUT_RDWR);
  m_closed.notify_all();
  return true;
}

std::optional<std::chrono::steady_clock::time_point> CEasyHttpWorker::ReadingSince() {
  std::lock_guard lock(m_socketMutex);
  if (!m_reading || m_closedWhileReading) return std::nullopt;
  return m_since;
}

void CEasyHttpWorker::ExitInstance() {
  {
    std::lock_guard lock(m_socketMutex);
    m_body.reset();
    if (m_client) m_client->close();
    m_client.reset();
  }
  m_finished.store(true);
}

bool CEasyHttpWorker::InitInstance() {
  if (m_settings == nullptr || !m_client || !m_client->isOpen()) return false;
  if (!ReadRequest()) return false;
  {
    std::lock_guard lock(m_socketMutex);
    if (m_closedWhileReading) return false;
    m_reading = false;
  }
  const RequestKind kind = m_request.method == HttpMethod::Post || m_hasContentLength ? RequestKind::WithBody
                           : namesDataScript(m_request.path)                   ? RequestKind::DataScript
                                                                                 : RequestKind::Plain;
  if (!requestAllowed(m_guard, m_settings->port, kind)) {
    Refuse();
    return false;
  }
  if (!TakeTableLock()) return false;
  std::lock_guard<std::mutex> tables(tableLock(), std::adopt_lock);
  if (!m_server->IsRunning()) return false;
  HandleUnderLock();
  return false;
}

void CEasyHttpWorker::Refuse() {
  const std::string_view serverName(m_settings->serverName, strnlen(m_settings->serverName, 259));
  SendBytes(responseHead(403, ContentType::OctetStream, 0, serverName, std::time(nullptr)));
}

bool CEasyHttpWorker::TakeTableLock() {
  for (int attempt = 0; attempt < m_timing->lockAttempts; ++attempt) {
    if (tableLock().try_lock()) return true;
    std::this_thread::sleep_for(m_timing->lockRetry);
  }
  return false;
}

// 1 with a byte, 0 when the peer closed, -1 on a receive error, -2 when the deadline passed.
int CEasyHttpWorker::ReadByte(std::chrono::steady_clock::time_point deadline, char& c) {
  if (m_inStart == m_inEnd) {
    pollfd p{m_client->handle(), POLLIN, 0};
    int r;
    do {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return -2;
      r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), INT32_MAX)));
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) return -2;  // timed out
    ssize_t n;
    do {
      n = ::recv(m_client->handle(), m_in, sizeof m_in, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return -1;
    if (n == 0) return 0;
    m_inStart = 0;
    m_inEnd = static_cast<int>(n);
  }
  c = m_in[m_inStart++];
  return 1;
}

// CR LF ends the line (the CR is dropped, `ended` is set); a bare LF is data. A piece of a longer
// line ends when size-1 bytes are stored (`ended` stays false). The length, or -1 when the peer
// closed, a receive failed or the deadline passed before the line or piece ended.
int CEasyHttpWorker::ReadLine(char* buffer, int size, std::chrono::steady_clock::time_point deadline,
                              bool& ended) {
  ended = false;
  int n = 0;
  while (n < size - 1) {
    char c;
    if (ReadByte(deadline, c) != 1) return -1;
    if (c == '\n' && n > 0 && buffer[n - 1] == '\r') {
      --n;
      ended = true;
      break;
    }
    buffer[n++] = c;
  }
  buffer[n] = '\0';
  return n;
}

int CEasyHttpWorker::ReadExact(char* buffer, int length) {
  if (length <= 0) return 0;
  {
    std::unique_lock lock(m_socketMutex);
    if (m_closed.wait_for(lock, m_timing->bodyStart, [this] { return m_closedWhileReading; })) return -1;
  }
  int got = 0;
  while (got < length) {
    if (m_inStart < m_inEnd) {
      const int n = std::min(length - got, m_inEnd - m_inStart);
      std::memcpy(buffer + got, m_in + m_inStart, static_cast<std::size_t>(n));
      m_inStart += n;
      got += n;
      continue;
    }
    pollfd p{m_client->handle(), POLLIN, 0};
    int r;
    do {
      r = ::poll(&p, 1, static_cast<int>(m_timing->body.count()));
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) break;
    ssize_t n;
    do {
      n = ::recv(m_client->handle(), buffer + got, static_cast<std::size_t>(length - got), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<int>(n);
  }
  return got;
}

// The request line and the header lines, up to the empty line, all before the head deadline.
// The pieces of a line longer than the line buffer after its first are passed over: no header
// can start inside another one.
bool CEasyHttpWorker::ReadHead() {
  const auto deadline = m_since + m_timing->head;
  char line[1024];
  bool ended = false;
  if (ReadLine(line, sizeof line, deadline, ended) < 0) return false;
  m_requestLine = line;
  if (!parseRequestLine(m_requestLine, m_request)) return false;

  struct Known {
    const char* name;
    std::string* value;
  };
  // The body's length and type are the only headers the answer depends on; Host, Origin and
  // the rest of what the guard reads go to m_guard.
  const Known known[] = {{"Content-Length: ", &m_contentLengthText},
                         {"Content-Type: ", &m_contentType}};
  std::size_t headBytes = 0;
  for (;;) {
    const bool restOfLine = !ended;
    const int n = ReadLine(line, sizeof line, deadline, ended);
    if (n < 0) return false;
    if (n == 0 && !restOfLine) return true;
    headBytes += static_cast<std::size_t>(n);
    if (headBytes > m_timing->maxHeaderBytes) return false;
    if (restOfLine) continue;
    const std::string_view text(line, static_cast<std::size_t>(n));
    m_guard.take(text);
    for (const Known& k : known) {
      const std::size_t len = std::strlen(k.name);
      if (text.substr(0, len) == k.name) {
        *k.value = std::string(trimmed(text.substr(text.find(": ") + 2)));
        if (k.value == &m_contentLengthText) m_hasContentLength = true;
        break;
      }
    }
  }
}

bool CEasyHttpWorker::ReadRequest() {
  if (!ReadHead()) return false;
  if (!m_hasContentLength) return true;
  // A length text of 10 or more characters is too large, as is a length above the body size;
  // a negative or unreadable length is no length a browser sends.
  if (m_contentLengthText.size() >= 10) return false;
  char* end = nullptr;
  const long declared = std::strtol(m_contentLengthText.c_str(), &end, 10);
  if (end == m_contentLengthText.c_str() || declared < 0 || declared > m_settings->maxBodySize) return false;
  m_contentLength = static_cast<std::int32_t>(declared);
  m_body.reset(new (std::nothrow) char[static_cast<std::size_t>(m_contentLength) + 1]);
  if (!m_body) return false;
  const int got = ReadExact(m_body.get(), m_contentLength);
  // A body that did not arrive whole is not taken into the tables.
  if (got != m_contentLength) return false;
  m_body[static_cast<std::size_t>(m_contentLength)] = '\0';
  return true;
}

void CEasyHttpWorker::HandleUnderLock() {
  m_settings->postCompleted = 0;
  if (m_hasContentLength && m_contentType == "application/x-www-form-urlencoded") TakeFormPost();
  Respond();
}

void CEasyHttpWorker::TakeFormPost() {
  clearEntryFindings();
  ParseFormBody(m_body.get());
  const std::string& path = m_request.path;
  if (contains(path, "16tansyuku_") || contains(path, "17tel_")) {
    m_server->phonebookPosted = 1;
  } else if (contains(path, "26sysfunc_01")) {
    m_server->restrictionPosted = 1;
  }
  findBrowserWindow();
  reportPostFindings(path, ieFrameWindow);
  rememberPostFindings(path, m_request.hasQuery ? m_request.query : std::string());
  m_settings->postCompleted = 1;
  tablesEdited = 1;
}

std::string CEasyHttpWorker::DataScriptFor(const std::string& path) {
  const std::string id = pageIdOfPath(path);
  if (duplicateCheck == 1) {
    if (m_server->phonebookPosted != 0) {
      restorePhonebook();
      m_server->phonebookPosted = 0;
    } else {
      snapshotPhonebook();
      useFinding.set = false;
    }
  }
  m_server->restrictionPosted = 0;
  std::string script(static_cast<std::size_t>(kDataScriptCapacity), '\0');
  int written = 0;
  GenerateDataScript(id.c_str(), script.data(), kDataScriptCapacity,
                     m_request.hasQuery ? m_request.query.c_str() : nullptr, &written);
  script.resize(static_cast<std::size_t>(written));
  // The findings of this page's last post go with its values, for the page to show.
  const std::string findings = postFindingsFor(path, m_request.hasQuery ? m_request.query : std::string());
  constexpr std::string_view kEnd = "//-->";
  if (!findings.empty() && script.ends_with(kEnd)) {
    script.insert(script.size() - kEnd.size(),
                  "var zuPostFindings=\"" + scriptStringValue(utf8ToCp932(findings)) + "\";\r\n");
  }
  return script;
}

std::string CEasyHttpWorker::FindScriptFor() {
  const FindRequest request = parseFindRequest(m_request.hasQuery ? m_request.query : std::string());
  return findScript(findEntries(request.query, request.scope));
}

bool CEasyHttpWorker::SendBytes(std::string_view bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n;
    do {
      n = ::send(m_client->handle(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Sends in 1024-byte pieces with a pause after every tenth full piece.
bool CEasyHttpWorker::StreamBody(std::string_view data) {
  int fullPieces = 0;
  for (std::size_t at = 0; at < data.size(); at += 1024) {
    const std::string_view piece = data.substr(at, 1024);
    if (!SendBytes(piece)) return false;
    if (piece.size() < 1024) break;
    if (m_timing->pauseEveryPieces > 0 && ++fullPieces % m_timing->pauseEveryPieces == 0) {
      std::this_thread::sleep_for(m_timing->pause);
    }
  }
  return true;
}

bool CEasyHttpWorker::StreamFile(const std::string& fileName, long long size) {
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (f == nullptr) return false;
  char piece[1024];
  int fullPieces = 0;
  long long left = size;
  while (left > 0) {
    const std::size_t n = std::fread(piece, 1, sizeof piece, f);
    if (n == 0 || !SendBytes({piece, n})) break;
    left -= static_cast<long long>(n);
    if (n < sizeof piece) break;
    if (m_timing->pauseEveryPieces > 0 && ++fullPieces % m_timing->pauseEveryPieces == 0) {
      std::this_thread::sleep_for(m_timing->pause);
    }
  }
  std::fclose(f);
  return true;
}

void CEasyHttpWorker::PumpMessages(int passes, std::chrono::milliseconds sleep) {
  for (int i = 0; i < passes; ++i) {
    pumpOneMessage();
    std::this_thread::sleep_for(sleep);
  }
}

void CEasyHttpWorker::Respond() {
  const std::string& path = m_request.path;
  const std::time_t now = std::time(nullptr);
  const std::string_view serverName(m_settings->serverName, strnlen(m_settings->serverName, 259));
  const std::optional<std::string> file =
      resolveRequestFile(std::string(m_settings->documentRoot, strnlen(m_settings->documentRoot, 259)), path,
                         std::string_view(m_settings->defaultPage, strnlen(m_settings->defaultPage, 259)));
  const bool isDataScript = namesDataScript(path);
  bool sent = false;
  if (file && isDataScript) {
    const std::string script = pageIdOfPath(path) == kFindScriptId ? FindScriptFor() : DataScriptFor(path);
    if (!script.empty()) {
      // Table data is only ever a script, whatever name it was asked under: a browser must
      // neither render it as a page nor guess another type.
      sent = SendBytes(responseHead(200, ContentType::Script, static_cast<long long>(script.size()), serverName, now, true)) &&
             StreamBody(script);
      if (!sent) return;
    }
  } else if (file) {
    struct stat st{};
    if (::stat(file->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      const long long size = st.st_size;
      if (!SendBytes(responseHead(200, contentTypeOf(*file), size, serverName, now))) return;
      StreamFile(*file, size);
      sent = true;
    }
  }
  if (!sent) {
    SendBytes(responseHead(404, ContentType::OctetStream, 0, serverName, now));
    return;
  }
  if (m_settings->postCompleted != 0) {
    PumpMessages(m_timing->pumpBeforeReload, m_timing->pumpBeforeReloadSleep);
    SendBytes(reloadScript(postReturnUrl(path, m_request.query, m_request.hasQuery)));
    PumpMessages(m_timing->pumpAfterReload, m_timing->pumpAfterReloadSleep);
  }
}
