#include "mainunit/simulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "base/ascii_text.h"
#include "base/platform.h"
#include "mainunit/unit_checks.h"
#include "mainunit/unit_documents.h"
#include "mainunit/unit_link.h"
#include "vaultline/vaultline.h"

namespace {

constexpr std::size_t kLongestBody = 256u << 20;  // refuse to take a body larger than this
constexpr int kLongHeaderBytes = 5000;
// How long a new connection waits for the running session to end before it is answered busy:
// a session whose protocol is done and that only waits for the tool to close gets longer.
constexpr int kBusyGraceMs = 200;
constexpr int kLingerGraceMs = 1000;
constexpr int kBusyWaitMs = 3000;   // the longest wait for a busy-answered tool's request or close

// ---- small texts ----------------------------------------------------------------------------

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(std::string_view in) {
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += kBase64[(v >> 6) & 63];
    out += kBase64[v & 63];
  }
  if (i + 1 == in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == in.size()) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += kBase64[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

// Strict decoding: nullopt for a character outside the alphabet.
std::optional<std::string> base64Decode(std::string_view in) {
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  for (char c : in) {
    if (c == '=') break;
    const char* at = std::char_traits<char>::find(kBase64, 64, c);
    if (!at) return std::nullopt;
    buffer = (buffer << 6) | static_cast<unsigned>(at - kBase64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return out;
}

// The tool's credentials: Base64 of the password, with or without the "Basic" scheme word, and
// with or without a user name before a ':'.
bool credentialsMatch(std::string_view value, const std::string& password) {
  if (startsWithIgnoringCase(value, "basic ")) value.remove_prefix(6);
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  std::optional<std::string> decoded = base64Decode(value);
  if (!decoded) return false;
  if (*decoded == password) return true;
  std::size_t colon = decoded->find(':');
  return colon != std::string::npos && decoded->substr(colon + 1) == password;
}

// A Content-Length value: digits only, at most kLongestBody; nullopt otherwise.
std::optional<std::size_t> contentLengthOf(const LinkHead& head) {
  const std::string* text = head.header("Content-Length");
  if (!text || text->empty() || text->size() > 10) return std::nullopt;
  std::size_t n = 0;
  for (char c : *text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n > kLongestBody) return std::nullopt;
  return n;
}

int statusCodeOf(const std::string& statusLine) {
  std::size_t space = statusLine.find(' ');
  if (space == std::string::npos) return -1;
  return std::atoi(statusLine.c_str() + space + 1);
}

std::string brokenXml(std::string body) {
  std::size_t at = body.rfind("</root>");
  if (at != std::string::npos) body.replace(at, 7, "</rooot");
  else body += "<unclosed";
  return body;
}

bool keyMaterialOf(const std::string& hex, unsigned char material[64]) {
  if (hex.size() != 128) return false;
  for (int i = 0; i < 64; ++i) {
    const int hi = hexDigitValue(hex[2 * i]);
    const int lo = hexDigitValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    material[i] = static_cast<unsigned char>(hi << 4 | lo);
  }
  return true;
}

// The head of every answer the unit sends: status, Server, Date, Connection, Content-Length (when
// given), Title and the empty line.
std::string unitAnswerHead(const std::string& fwVer, const std::string& status, const std::string* contentLength,
                           std::string_view title, bool longHeader) {
  std::string head = status + "\r\n";
  head += "Server: ZuMainUnit/" + (fwVer.empty() ? std::string("1.0") : fwVer) + "\r\n";
  head += "Date: " + httpDate(std::time(nullptr)) + "\r\n";
  head += "Connection: Keep-Alive\r\n";
  if (contentLength) head += "Content-Length: " + *contentLength + "\r\n";
  head += "Title: " + std::string(title) + "\r\n";
  if (longHeader) head += "X-Unit-Note: " + std::string(kLongHeaderBytes, 'x') + "\r\n";
  head += "\r\n";
  return head;
}

}  // namespace

// ---- the simulator's shared state -------------------------------------------------------------

struct MainUnitSimulator::Impl {
  mutable std::mutex mutex;
  mutable std::condition_variable sessionEnded;
  SimulatorOptions options;
  MainUnitTables tables;
  SimulatorSession session;
  int sessionsEnded = 0;
  int sessionsStarted = 0;
  bool sessionRunning = false;  // from a session's connection until its control connection closed
  bool sessionLingering = false;  // the running session only waits for the tool to close
  int busyAnswers = 0;
  std::thread sessionThread;

  std::atomic<bool> stopping{false};
  std::thread thread;
  int listenFd = -1;
  int boundPort = 0;
  bool isRunning = false;
  std::string listenAddress;
  std::string dataDir;

  bool tablesGiven = false;  // setTables() before start(): keep them instead of loading

  void serve();
  bool admit();
  void startSession(int fd);
  void answerBusy(int fd);
  void log(int session, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void vlog(int session, const char* format, va_list args);
};

void MainUnitSimulator::Impl::log(int session, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vlog(session, format, args);
  va_end(args);
}

void MainUnitSimulator::Impl::vlog(int session, const char* format, va_list args) {
  bool enabled;
  {
    std::lock_guard lock(mutex);
    enabled = options.logToStderr;
  }
  if (!enabled) return;
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  if (session > 0)
    std::fprintf(stderr, "zu-mainunit %02d:%02d:%02d [session %d] %s\n", tm.tm_hour, tm.tm_min,
                 tm.tm_sec, session, text);
  else
    std::fprintf(stderr, "zu-mainunit %02d:%02d:%02d %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, text);
}

namespace {

// ---- one session --------------------------------------------------------------------------------

class Session {
 public:
  Session(MainUnitSimulator::Impl& sim, SimulatorOptions options, int number, int controlFd)
      : m_sim(sim),
        m_options(std::move(options)),
        m_firmware(unitFirmwareOf(m_options.fwVer)),
        m_number(number),
        m_control(controlFd, sim.stopping) {}
  ~Session() {
    if (m_key) VLT_KeyDestroy(m_key);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void run();

 private:
  bool readConnectionRequest();
  bool answerConnection();
  bool openDataConnection();
  bool fetchFromTool(const std::string& name, SimulatorStep step, int occurrence, std::string& body);
  bool takeFileList();
  bool uploadPhase(const UnitFileList& list);
  bool storeUploads(const std::vector<std::pair<std::string, std::string>>& blocks);
  struct DownloadRequest {
    LinkHead head;
    std::string method, target, name;  // name: the target in lower case
  };
  LinkRead readDownloadRequest(DownloadRequest& out);
  bool challenge(const std::string& target, int occurrence);
  bool serveDocument(const DownloadRequest& request, int occurrence);
  bool downloadPhase(const UnitFileList& list);
  bool sendAnswer(UnitLink& link, const char* connection, std::string status, std::string body,
                  std::string_view title, SimulatorFault fault);
  bool sendEndlessBody(UnitLink& link, const char* connection, std::string head);
  bool sendHugeBody(UnitLink& link, const char* connection, const std::string& status,
                    const std::string& body, std::string_view title);
  std::string answerHead(const std::string& status, const std::string* contentLength,
                         std::string_view title, bool longHeader) const;
  std::string requestHead(std::string_view method, std::string_view name, const std::string* password,
                          bool longHeader, bool garbage) const;
  bool readToolHead(UnitLink& link, const char* connection, LinkHead& head, const char* what);
  bool sendHead(UnitLink& link, const char* connection, const std::string& head, std::string body);

  SimulatorFault faultAt(SimulatorStep step, int occurrence) const;
  void pause(int ms) const;
  void capture(const char* connection, bool fromTool, const std::string& text);
  bool fail(const std::string& why);
  bool refuse(const std::string& why);
  void succeed();
  void linger();
  void log(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    m_sim.vlog(m_number, format, args);
    va_end(args);
  }

  MainUnitSimulator::Impl& m_sim;
  SimulatorOptions m_options;
  UnitFirmware m_firmware;
  int m_number;
  UnitLink m_control;
  std::unique_ptr<UnitLink> m_data;
  std::string m_toolAddress;
  int m_key = 0;
  bool m_ended = false;
};

SimulatorFault Session::faultAt(SimulatorStep step, int occurrence) const {
  const SimulatorFaultChoice& f = m_options.fault;
  if (f.fault == SimulatorFault::None) return SimulatorFault::None;
  SimulatorStep at = f.step == SimulatorStep::Default ? defaultStepOf(f.fault) : f.step;
  if (at != step || !faultFitsStep(f.fault, at)) return SimulatorFault::None;
  bool counted = step == SimulatorStep::File || step == SimulatorStep::Challenge || step == SimulatorStep::Fetch;
  if (counted && f.occurrence != occurrence) return SimulatorFault::None;
  return f.fault;
}

void Session::pause(int ms) const {
  if (!m_options.pacing) return;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!m_sim.stopping.load() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void Session::capture(const char* connection, bool fromTool, const std::string& text) {
  std::lock_guard lock(m_sim.mutex);
  m_sim.session.heads.push_back({connection, fromTool, text});
}

bool Session::fail(const std::string& why) {
  log("session failed: %s", why.c_str());
  {
    std::lock_guard lock(m_sim.mutex);
    m_sim.session.finished = true;
    m_sim.session.succeeded = false;
    m_sim.session.failure = why;
    ++m_sim.sessionsEnded;
  }
  m_sim.sessionEnded.notify_all();
  m_ended = true;
  return false;
}

// The tool sent what no right tool sends: the unit ends the data connection without a word, so
// the tool's run fails at its next step, and the session fails with the reason.
bool Session::refuse(const std::string& why) {
  log("refused: %s", why.c_str());
  {
    std::lock_guard lock(m_sim.mutex);
    m_sim.session.refusal = why;
  }
  if (m_data) m_data->close();
  return fail(why);
}

void Session::succeed() {
  log("session completed");
  {
    std::lock_guard lock(m_sim.mutex);
    m_sim.session.finished = true;
    m_sim.session.succeeded = true;
    ++m_sim.sessionsEnded;
  }
  m_sim.sessionEnded.notify_all();
  m_ended = true;
}

// Keeps the connections until the tool ends its run, which it does by closing the control
// connection last, as a unit does at the end of a session.
void Session::linger() {
  {
    std::lock_guard lock(m_sim.mutex);
    m_sim.sessionLingering = true;
  }
  if (m_control.isOpen()) m_control.waitForClose(m_options.ioTimeoutMs);
  if (m_data) m_data->close();
  m_control.close();
}

void Session::run() {
  m_toolAddress = m_control.peerAddress();
  log("control connection from %s", m_toolAddress.c_str());
  if (readConnectionRequest() && answerConnection() && openDataConnection() && takeFileList()) succeed();
  if (!m_ended) fail("session ended");
  linger();
}

// Fetches the file list, checks it and runs the phase of its direction.
bool Session::takeFileList() {
  std::string body;
  if (!fetchFromTool("file_list.xml", SimulatorStep::List, 1, body)) return false;
  UnitFileList list = parseFileList(body);
  {
    std::lock_guard lock(m_sim.mutex);
    m_sim.session.fileList = body;
    m_sim.session.direction = list.direction;
    m_sim.session.listedFiles = list.files;
  }
  std::string names;
  for (const std::string& f : list.files) names += " " + f;
  log("file list: %s,%s", list.direction.c_str(), names.c_str());
  const std::string why = fileListRefusal(body, list, m_firmware, {m_control.localAddress(), m_toolAddress});
  if (!why.empty()) return refuse(why);
  return list.direction == "UPLOAD" ? uploadPhase(list) : downloadPhase(list);
}

bool Session::readConnectionRequest() {
  LinkHead head;
  LinkRead r = m_control.readHead(head, m_options.ioTimeoutMs, 64);
  if (r != LinkRead::Ok) return fail(std::string("no connection request: ") + linkReadText(r));
  capture("control", true, head.text);
  log("request: %s", head.startLine.c_str());
  if (head.startLine.rfind("GET /connection.xml ", 0) != 0)
    return fail("the first request is not GET /connection.xml");
  const std::string* key = head.header("CryptoKey");
  unsigned char material[64];
  if (!key || !keyMaterialOf(*key, material)) return fail("the request carries no valid CryptoKey");
  m_key = VLT_KeyImport(material, 1);
  if (!m_key) return fail("the key cannot be imported");
  m_control.setCipher(m_key, false);  // the tool sends nothing more on this connection
  return true;
}

std::string Session::answerHead(const std::string& status, const std::string* contentLength,
                                std::string_view title, bool longHeader) const {
  return unitAnswerHead(m_options.fwVer, status, contentLength, title, longHeader);
}

std::string Session::requestHead(std::string_view method, std::string_view name,
                                 const std::string* password, bool longHeader, bool garbage) const {
  std::string head = garbage ? std::string("\x01\x02\x7f") + "??" : std::string(method) + " /" + std::string(name) + " HTTP/1.1";
  head += "\r\nHost: " + m_toolAddress + "\r\n";
  head += "Accept-Encoding: gzip, deflate\r\n";
  head += "Connection: Keep-Alive\r\n";
  if (password) head += "Authorization: Basic " + base64Encode(":" + *password) + "\r\n";
  if (longHeader) head += "X-Unit-Note: " + std::string(kLongHeaderBytes, 'x') + "\r\n";
  head += "\r\n";
  return head;
}

bool Session::sendHead(UnitLink& link, const char* connection, const std::string& head, std::string body) {
  capture(connection, false, head);
  return link.send(head + body, m_options.ioTimeoutMs);
}

bool Session::sendEndlessBody(UnitLink& link, const char* connection, std::string head) {
  capture(connection, false, head);
  if (!link.send(head + "<root>\r\n", m_options.ioTimeoutMs)) return false;
  std::string chunk;
  while (chunk.size() < 16384) chunk += "<filler>0123456789abcdefghijklmnopqrstuvwxyz</filler>\r\n";
  log("sending a body that never ends");
  while (link.send(chunk, m_options.ioTimeoutMs)) {
  }
  return false;
}

// The body grown to hugeXmlBytes by a comment after its first line, streamed in pieces so the
// whole body is never held at once.
bool Session::sendHugeBody(UnitLink& link, const char* connection, const std::string& status,
                           const std::string& body, std::string_view title) {
  std::size_t firstLine = body.find('\n');
  firstLine = firstLine == std::string::npos ? 0 : firstLine + 1;
  const std::size_t frame = 4 + 5;  // "<!--" and "-->\r\n"
  std::size_t padding = m_options.hugeXmlBytes > body.size() + frame ? m_options.hugeXmlBytes - body.size() - frame : 0;
  std::string length = std::to_string(body.size() + frame + padding);
  log("fault: a well-formed body of %s bytes", length.c_str());
  if (!sendHead(link, connection, answerHead(status, &length, title, false), body.substr(0, firstLine) + "<!--"))
    return false;
  const std::string chunk(1u << 20, 'x');
  while (padding > 0) {
    std::size_t n = padding < chunk.size() ? padding : chunk.size();
    if (!link.send(chunk.substr(0, n), m_options.ioTimeoutMs)) return false;
    padding -= n;
  }
  return link.send("-->\r\n" + body.substr(firstLine), m_options.ioTimeoutMs);
}

// Sends one answer, bent by `fault`. False when the fault leaves the tool nothing to go on with;
// the connection then stays open until the tool closes it.
bool Session::sendAnswer(UnitLink& link, const char* connection, std::string status, std::string body,
                         std::string_view title, SimulatorFault fault) {
  std::string length = std::to_string(body.size());
  switch (fault) {
    case SimulatorFault::Close:
      log("fault: closing the %s connection instead of answering", connection);
      link.close();
      return false;
    case SimulatorFault::Stall:
      log("fault: not answering");
      link.waitForClose(m_options.ioTimeoutMs);
      return false;
    case SimulatorFault::BadStatus: {
      log("fault: answering 500");
      std::string zero = "0";
      sendHead(link, connection, answerHead("HTTP/1.1 500 Internal Server Error", &zero, title, false), "");
      link.waitForClose(m_options.ioTimeoutMs);
      return false;
    }
    case SimulatorFault::StallInHead:
      log("fault: the status line, then nothing more");
      if (sendHead(link, connection, status + "\r\n", "")) link.waitForClose(m_options.ioTimeoutMs);
      return false;
    case SimulatorFault::GarbageStatusLine:
      log("fault: garbage status line");
      sendHead(link, connection, answerHead("\x16\x03\x01GARBAGE\x7f", &length, title, false), body);
      link.waitForClose(m_options.ioTimeoutMs);
      return false;
    case SimulatorFault::ShortBody:
      log("fault: sending %zu of %zu body bytes", body.size() / 2, body.size());
      sendHead(link, connection, answerHead(status, &length, title, false), body.substr(0, body.size() / 2));
      link.waitForClose(m_options.ioTimeoutMs);
      return false;
    case SimulatorFault::BadXml:
      log("fault: body that is not well-formed");
      body = brokenXml(body);
      length = std::to_string(body.size());
      sendHead(link, connection, answerHead(status, &length, title, false), body);
      return true;
    case SimulatorFault::NoContentLength:
      log("fault: no Content-Length");
      return sendHead(link, connection, answerHead(status, nullptr, title, false), body);
    case SimulatorFault::HugeContentLength:
      log("fault: Content-Length %s", m_options.hugeContentLength.c_str());
      return sendHead(link, connection, answerHead(status, &m_options.hugeContentLength, title, false), body);
    case SimulatorFault::NegativeContentLength: {
      log("fault: Content-Length -5");
      std::string negative = "-5";
      return sendHead(link, connection, answerHead(status, &negative, title, false), body);
    }
    case SimulatorFault::LongHeaderLines:
      log("fault: a %d-byte header line", kLongHeaderBytes);
      return sendHead(link, connection, answerHead(status, &length, title, true), body);
    case SimulatorFault::EndlessBody:
      sendEndlessBody(link, connection, answerHead(status, nullptr, title, false));
      return false;
    case SimulatorFault::HugeXml:
      return sendHugeBody(link, connection, status, body, title);
    default:
      return sendHead(link, connection, answerHead(status, &length, title, false), body);
  }
}

bool Session::answerConnection() {
  pause(200);
  if (m_options.busy) {
    log("busy: answering 404");
    std::string zero = "0";
    sendHead(m_control, "control", answerHead("HTTP/1.1 404 Not Found", &zero, "connection.xml", false), "");
    m_control.waitForClose(m_options.ioTimeoutMs);
    return fail("busy");
  }
  std::string body = connectionAnswerBody(m_options.fwVer, m_options.devType, m_options.password);
  SimulatorFault fault = faultAt(SimulatorStep::Answer, 1);
  log("answer: fw_ver %s, dev_type %s", m_options.fwVer.empty() ? "(none)" : m_options.fwVer.c_str(),
      m_options.devType.c_str());
  if (!sendAnswer(m_control, "control", "HTTP/1.1 200 OK", body, "connection.xml", fault) ||
      fault == SimulatorFault::BadXml) {
    if (m_control.isOpen()) m_control.waitForClose(m_options.ioTimeoutMs);
    return fail(std::string("answer fault ") + std::string(simulatorFaultName(fault)));
  }
  return true;
}

bool Session::openDataConnection() {
  SimulatorFault fault = faultAt(SimulatorStep::Connect, 1);
  if (fault == SimulatorFault::NoConnectBack) {
    log("fault: not opening the data connection");
    m_control.waitForClose(m_options.ioTimeoutMs);
    return fail("connect fault no-connect-back");
  }
  pause(1000);
  for (int i = 0; i < m_options.toolPortCount; ++i) {
    int port = m_options.toolPortFirst + i;
    if (port == m_sim.boundPort && (m_sim.listenAddress == "0.0.0.0" || m_sim.listenAddress == m_toolAddress))
      continue;  // that is this unit's own listener
    int fd = connectWithin(m_toolAddress, port, 2000);
    if (fd < 0) {
      log("data connection to %s:%d refused", m_toolAddress.c_str(), port);
      continue;
    }
    log("data connection to %s:%d open", m_toolAddress.c_str(), port);
    m_data = std::make_unique<UnitLink>(fd, m_sim.stopping);
    m_data->setCipher(m_key, true);
    if (fault == SimulatorFault::Close) {
      log("fault: closing the data connection at once");
      m_data->close();
      m_control.waitForClose(m_options.ioTimeoutMs);
      return fail("connect fault close");
    }
    if (fault == SimulatorFault::Stall) {
      log("fault: sending nothing on the data connection");
      m_data->waitForClose(m_options.ioTimeoutMs);
      return fail("connect fault stall");
    }
    return true;
  }
  m_control.waitForClose(m_options.ioTimeoutMs);
  return fail("the tool listens on none of its data ports");
}

bool Session::readToolHead(UnitLink& link, const char* connection, LinkHead& head, const char* what) {
  LinkRead r = link.readHead(head, m_options.ioTimeoutMs);
  if (r != LinkRead::Ok) return fail(std::string("no ") + what + ": " + linkReadText(r));
  capture(connection, true, head.text);
  return true;
}

// The two-request exchange in which the unit fetches one file from the tool: the first request
// without credentials (answered 401), the second with them (answered 200 and the body).
bool Session::fetchFromTool(const std::string& name, SimulatorStep step, int occurrence, std::string& body) {
  SimulatorFault fault = faultAt(step, occurrence);
  std::string requested = name;
  if (fault == SimulatorFault::DataFileInListPhase) requested = "sys-tan0000.txt";
  if (fault == SimulatorFault::RequestTyaklog) requested = "tyaklog.txt";
  if (fault == SimulatorFault::UnknownFile) requested = "unknown.txt";
  if (requested != name) log("fault: requesting %s instead of %s", requested.c_str(), name.c_str());
  if (fault == SimulatorFault::Close) {
    log("fault: closing the data connection instead of requesting %s", name.c_str());
    m_data->close();
    return fail("request fault close");
  }
  if (fault == SimulatorFault::Stall) {
    log("fault: not requesting %s", name.c_str());
    m_data->waitForClose(m_options.ioTimeoutMs);
    return fail("request fault stall");
  }
  if (fault == SimulatorFault::StallInHead) {
    log("fault: the request line for %s, then nothing more", name.c_str());
    std::string line = "GET /" + requested + " HTTP/1.1\r\n";
    if (sendHead(*m_data, "data", line, "")) m_data->waitForClose(m_options.ioTimeoutMs);
    return fail("request fault stall-in-head");
  }
  pause(300);
  bool early = fault == SimulatorFault::FirstRequestWithCredentials;
  std::string first = requestHead("GET", requested, early ? &m_options.password : nullptr,
                                  fault == SimulatorFault::LongHeaderLines,
                                  fault == SimulatorFault::GarbageStatusLine);
  log("request %s%s", requested.c_str(), early ? " (with credentials at once)" : "");
  if (!sendHead(*m_data, "data", first, "")) return fail("the tool is gone");
  LinkHead head;
  if (early) {
    // The tool leaves a first request that already carries credentials unanswered.
    LinkRead r = m_data->waitForData(m_options.pacing ? 1000 : 300);
    if (r == LinkRead::Ok && !readToolHead(*m_data, "data", head, "answer")) return false;
    if (r != LinkRead::Ok && r != LinkRead::TimedOut) return fail(linkReadText(r));
  } else {
    if (!readToolHead(*m_data, "data", head, "answer to the first request")) return false;
    if (statusCodeOf(head.startLine) != 401)
      return fail("the tool answered the first request with: " + head.startLine);
    std::optional<std::size_t> length = contentLengthOf(head);
    std::string ignored;
    if (length && *length > 0 && m_data->readExact(ignored, *length, m_options.ioTimeoutMs) != LinkRead::Ok)
      return fail("the 401 body did not arrive");
  }
  pause(200);
  std::string wrong = m_options.password == "0000" ? "1111" : "0000";
  const std::string* password = fault == SimulatorFault::WrongCredentials ? &wrong : &m_options.password;
  std::string second = requestHead(fault == SimulatorFault::NonGetMethod ? "POST" : "GET", requested,
                                   password, false, false);
  if (!sendHead(*m_data, "data", second, "")) return fail("the tool is gone");
  if (!readToolHead(*m_data, "data", head, "answer to the second request")) return false;
  if (statusCodeOf(head.startLine) != 200) return fail("the tool answered: " + head.startLine);
  std::optional<std::size_t> length = contentLengthOf(head);
  if (!length) return fail("the tool's answer has no usable Content-Length");
  LinkRead r = m_data->readExact(body, *length, m_options.ioTimeoutMs);
  if (r != LinkRead::Ok) return fail(requested + ": body incomplete: " + linkReadText(r));
  log("received %s (%zu bytes)", requested.c_str(), body.size());
  return true;
}

// Fetches and checks every listed block; the tables take them only once all of them have come,
// so a session that fails leaves the tables as they were.
bool Session::uploadPhase(const UnitFileList& list) {
  std::vector<std::pair<std::string, std::string>> blocks;
  for (std::size_t i = 0; i < list.files.size(); ++i) {
    std::string body;
    if (!fetchFromTool(list.files[i], SimulatorStep::File, static_cast<int>(i) + 1, body)) return false;
    {
      std::lock_guard lock(m_sim.mutex);
      m_sim.session.transferred.emplace_back(list.files[i], body);
    }
    const std::string why = uploadBlockRefusal(list.files[i], body, m_firmware);
    if (!why.empty()) return refuse(why);
    blocks.emplace_back(list.files[i], std::move(body));
  }
  return storeUploads(blocks);
}

bool Session::storeUploads(const std::vector<std::pair<std::string, std::string>>& blocks) {
  unsigned changed = 0;
  std::vector<int> rows;
  MainUnitTables copy;
  {
    std::lock_guard lock(m_sim.mutex);
    for (const auto& [name, body] : blocks) {
      rows.push_back(storeUploadedFile(name, body, m_sim.tables));
      changed |= uploadedTableFile(name);
    }
    copy = m_sim.tables;
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) log("stored %d rows of %s", rows[i], blocks[i].first.c_str());
  if (changed && !m_sim.dataDir.empty() && !saveMainUnitTables(m_sim.dataDir, copy, changed))
    log("the data folder cannot be written");
  return true;
}

// Reads the tool's next download request; Closed when the tool ended the data connection.
LinkRead Session::readDownloadRequest(DownloadRequest& out) {
  LinkRead r = m_data->readHead(out.head, m_options.ioTimeoutMs);
  if (r != LinkRead::Ok) return r;
  capture("data", true, out.head.text);
  const std::string& line = out.head.startLine;
  std::size_t space = line.find(' ');
  std::size_t end = space == std::string::npos ? std::string::npos : line.find(' ', space + 1);
  out.method = line.substr(0, space);
  out.target = space == std::string::npos ? "" : line.substr(space + 1, end - space - 1);
  if (!out.target.empty() && out.target[0] == '/') out.target.erase(0, 1);
  if (std::size_t q = out.target.find('?'); q != std::string::npos) out.target.erase(q);
  out.name = lowerAscii(out.target);
  if (std::optional<std::size_t> length = contentLengthOf(out.head); length && *length > 0) {
    std::string ignored;
    r = m_data->readExact(ignored, *length, m_options.ioTimeoutMs);
    if (r == LinkRead::Closed) r = LinkRead::Failed;  // a request cut short is no orderly end
  }
  return r;
}

// The 401 answer to a request without credentials, bent by a challenge fault.
bool Session::challenge(const std::string& target, int occurrence) {
  SimulatorFault fault = faultAt(SimulatorStep::Challenge, occurrence);
  log("request %s without credentials: 401", target.c_str());
  std::string zero = "0";
  if (fault == SimulatorFault::None) {
    sendHead(*m_data, "data", answerHead("HTTP/1.1 401 Unauthorized", &zero, target, false), "");
    return true;
  }
  if (!sendAnswer(*m_data, "data", "HTTP/1.1 401 Unauthorized", "", target, fault))
    return fail(std::string("challenge fault ") + std::string(simulatorFaultName(fault)));
  return true;
}

// The 200 answer with the document, bent by a fetch fault.
bool Session::serveDocument(const DownloadRequest& request, int occurrence) {
  std::optional<std::string> document;
  {
    std::lock_guard lock(m_sim.mutex);
    document = downloadDocument(request.name, m_sim.tables);
  }
  if (!document) return fail(request.target + ": no such document");
  SimulatorFault fault = faultAt(SimulatorStep::Fetch, occurrence);
  pause(500);
  log("serving %s (%zu bytes)", request.target.c_str(), document->size());
  bool goOn = sendAnswer(*m_data, "data", "HTTP/1.1 200 OK", *document, request.target, fault);
  {
    std::lock_guard lock(m_sim.mutex);
    m_sim.session.transferred.emplace_back(request.name, *document);
  }
  if (!goOn) return fail(std::string("fetch fault ") + std::string(simulatorFaultName(fault)));
  return true;
}

// Answers the tool's requests for the listed files, each in the list's order, until the tool
// closes the data connection.
bool Session::downloadPhase(const UnitFileList& list) {
  std::size_t fetched = 0;
  int challenges = 0, fetches = 0;
  while (true) {
    // Every download file starts with a request without credentials; before one is due the unit
    // may reset the connection.
    if (challenges == fetches &&
        faultAt(SimulatorStep::Challenge, challenges + 1) == SimulatorFault::Reset) {
      log("fault: resetting the data connection before download request %d", challenges + 1);
      m_data->reset();
      return fail("challenge fault reset");
    }
    DownloadRequest request;
    LinkRead r = readDownloadRequest(request);
    if (r == LinkRead::Closed) break;
    if (r != LinkRead::Ok) return fail(std::string("waiting for a download request: ") + linkReadText(r));
    const std::string* authorization = request.head.header("Authorization");
    if (!authorization || authorization->empty()) {
      if (!challenge(request.target, ++challenges)) return false;
      continue;
    }
    std::string zero = "0";
    const char* refusal = !credentialsMatch(*authorization, m_options.password) ? "HTTP/1.1 401 Unauthorized"
                          : request.method != "GET"                               ? "HTTP/1.1 501 Not Implemented"
                                                                                  : nullptr;
    if (refusal) {
      log("request %s: %s", request.target.c_str(), refusal);
      sendHead(*m_data, "data", answerHead(refusal, &zero, request.target, false), "");
      continue;
    }
    const std::string why = downloadRefusal(request.name, list.files, fetched, m_firmware);
    if (!why.empty()) {
      sendHead(*m_data, "data", answerHead("HTTP/1.1 404 Not Found", &zero, request.target, false), "");
      return refuse(why);
    }
    if (!serveDocument(request, ++fetches)) return false;
    ++fetched;
  }
  if (fetched < list.files.size())
    return fail("the tool closed the data connection before fetching " + list.files[fetched]);
  return true;
}

}  // namespace

// ---- MainUnitSimulator --------------------------------------------------------------------------

// Takes every connection: the first starts a session on a thread of its own; one that comes
// while that session runs is told the unit is busy.
void MainUnitSimulator::Impl::serve() {
  while (!stopping.load()) {
    pollfd p{listenFd, POLLIN, 0};
    int r = ::poll(&p, 1, 50);
    if (r <= 0) continue;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    if (fd < 0) continue;
    if (admit()) startSession(fd);
    else answerBusy(fd);
  }
  if (sessionThread.joinable()) sessionThread.join();
}

// True when no session runs. A tool that starts its next run at once may come before the unit
// has seen the end of the last one, so a session that is ending gets a moment to end.
bool MainUnitSimulator::Impl::admit() {
  std::unique_lock lock(mutex);
  const auto ended = [this] { return !sessionRunning; };
  sessionEnded.wait_for(lock, std::chrono::milliseconds(kBusyGraceMs), ended);
  if (sessionRunning && sessionLingering)
    sessionEnded.wait_for(lock, std::chrono::milliseconds(kLingerGraceMs - kBusyGraceMs), ended);
  return !sessionRunning;
}

void MainUnitSimulator::Impl::startSession(int fd) {
  if (sessionThread.joinable()) sessionThread.join();
  SimulatorOptions current;
  int number;
  {
    std::lock_guard lock(mutex);
    current = options;
    number = ++sessionsStarted;
    session = SimulatorSession{};
    session.number = number;
    sessionRunning = true;
    sessionLingering = false;
  }
  sessionThread = std::thread([this, current = std::move(current), number, fd] {
    Session(*this, current, number, fd).run();
    {
      std::lock_guard lock(mutex);
      sessionRunning = false;
    }
    sessionEnded.notify_all();
  });
}

// The busy answer to a second tool: its connection request is read and answered 404, enciphered
// with that tool's own key, as a unit in use answers. It counts as no session.
void MainUnitSimulator::Impl::answerBusy(int fd) {
  int timeoutMs, running;
  std::string fwVer;
  {
    std::lock_guard lock(mutex);
    timeoutMs = std::min(options.ioTimeoutMs, kBusyWaitMs);
    running = sessionsStarted;
    fwVer = options.fwVer;
  }
  UnitLink link(fd, stopping);
  const std::string from = link.peerAddress();
  LinkHead head;
  unsigned char material[64];
  const std::string* key = nullptr;
  if (link.readHead(head, timeoutMs, 64) == LinkRead::Ok) key = head.header("CryptoKey");
  if (!key || !keyMaterialOf(*key, material)) {
    log(0, "busy: a second connection from %s sent no connection request", from.c_str());
    return;
  }
  const int handle = VLT_KeyImport(material, 1);
  link.setCipher(handle, false);
  std::string zero = "0";
  {
    std::lock_guard lock(mutex);
    ++busyAnswers;  // counted before the tool can have read the answer
  }
  log(0, "busy: answering 404 to %s while session %d runs", from.c_str(), running);
  if (link.send(unitAnswerHead(fwVer, "HTTP/1.1 404 Not Found", &zero, "connection.xml", false), timeoutMs))
    link.waitForClose(timeoutMs);
  link.close();
  if (handle) VLT_KeyDestroy(handle);
}

MainUnitSimulator::MainUnitSimulator(SimulatorOptions options) : m_impl(std::make_unique<Impl>()) {
  m_impl->options = std::move(options);
}

MainUnitSimulator::~MainUnitSimulator() { stop(); }

bool MainUnitSimulator::start() {
  Impl& s = *m_impl;
  if (s.isRunning) return false;
  SimulatorOptions o = options();
  if (!faultFitsStep(o.fault.fault, o.fault.step)) return false;

  MainUnitTables tables;
  if (s.tablesGiven) {
    tables = this->tables();
    if (!o.dataDir.empty() && !saveMainUnitTables(o.dataDir, tables)) {
      s.log(0, "the data folder %s cannot be written", o.dataDir.c_str());
      return false;
    }
  } else {
    tables = seededMainUnitTables();
    int loaded = o.dataDir.empty() ? 0 : loadMainUnitTables(o.dataDir, tables);
    if (!o.dataDir.empty() && loaded < kMainUnitTableFiles && !saveMainUnitTables(o.dataDir, tables)) {
      s.log(0, "the data folder %s cannot be written", o.dataDir.c_str());
      return false;
    }
    if (o.dataDir.empty()) s.log(0, "tables kept in memory, seeded with sample data");
    else if (loaded == 0) s.log(0, "data folder %s seeded with sample data", o.dataDir.c_str());
    else s.log(0, "tables loaded from %s", o.dataDir.c_str());
  }

  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(o.port));
  if (o.port < 0 || o.port > 65535 || ::inet_pton(AF_INET, o.listenAddress.c_str(), &a.sin_addr) != 1) return false;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
    s.log(0, "cannot listen on %s:%d", o.listenAddress.c_str(), o.port);
    ::close(fd);
    return false;
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  {
    std::lock_guard lock(s.mutex);
    s.tables = std::move(tables);
    s.sessionsEnded = 0;
    s.sessionsStarted = 0;
    s.busyAnswers = 0;
    s.session = SimulatorSession{};
  }
  s.listenFd = fd;
  s.boundPort = ntohs(a.sin_port);
  s.listenAddress = o.listenAddress;
  s.dataDir = o.dataDir;
  s.stopping = false;
  s.isRunning = true;
  s.log(0, "listening on %s:%d (fw_ver %s, dev_type %s, pacing %s)", o.listenAddress.c_str(), s.boundPort,
        o.fwVer.empty() ? "none" : o.fwVer.c_str(), o.devType.c_str(), o.pacing ? "on" : "off");
  s.thread = std::thread([&s] { s.serve(); });
  return true;
}

void MainUnitSimulator::stop() {
  Impl& s = *m_impl;
  if (!s.isRunning) return;
  s.stopping = true;
  if (s.thread.joinable()) s.thread.join();
  ::close(s.listenFd);
  s.listenFd = -1;
  s.boundPort = 0;
  s.isRunning = false;
  s.sessionEnded.notify_all();
}

bool MainUnitSimulator::running() const { return m_impl->isRunning; }

int MainUnitSimulator::port() const { return m_impl->boundPort; }

bool MainUnitSimulator::setOptions(const SimulatorOptions& options) {
  if (!faultFitsStep(options.fault.fault, options.fault.step)) return false;
  std::lock_guard lock(m_impl->mutex);
  m_impl->options = options;
  return true;
}

SimulatorOptions MainUnitSimulator::options() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->options;
}

bool MainUnitSimulator::setFault(SimulatorFaultChoice fault) {
  if (!faultFitsStep(fault.fault, fault.step)) return false;
  std::lock_guard lock(m_impl->mutex);
  m_impl->options.fault = fault;
  return true;
}

MainUnitTables MainUnitSimulator::tables() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->tables;
}

bool MainUnitSimulator::setTables(const MainUnitTables& tables) {
  std::string dir;
  {
    std::lock_guard lock(m_impl->mutex);
    m_impl->tables = tables;
    m_impl->tablesGiven = true;
    dir = m_impl->isRunning ? m_impl->dataDir : m_impl->options.dataDir;
  }
  return dir.empty() || saveMainUnitTables(dir, tables);
}

int MainUnitSimulator::busyAnswerCount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->busyAnswers;
}

int MainUnitSimulator::sessionCount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->sessionsEnded;
}

bool MainUnitSimulator::waitForSessions(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_impl->mutex);
  return m_impl->sessionEnded.wait_for(lock, timeout, [&] { return m_impl->sessionsEnded >= count; });
}

SimulatorSession MainUnitSimulator::lastSession() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->session;
}
