// The simulator against a scripted tool: a minimal raw client written here with vaultline and
// plain sockets, so the simulator is checked against the protocol, not against the link's code.
#include "mainunit/simulator.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/cp932.h"
#include "mainunit/unit_documents.h"
#include "vaultline/vaultline.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kAddress = "127.0.0.71";

struct Head {
  std::string startLine;
  std::vector<std::string> lines;  // header lines as sent
  std::string text;                // everything up to and including the empty line

  std::optional<std::string> header(std::string_view name) const {
    for (const std::string& l : lines)
      if (l.size() > name.size() && l.compare(0, name.size(), name) == 0 && l[name.size()] == ':')
        return l.substr(name.size() + 2 <= l.size() ? name.size() + 2 : l.size());
    return std::nullopt;
  }
};

// One socket of the scripted tool. Received bytes are deciphered as they arrive, sent bytes
// enciphered, except where the protocol sends in plain.
class Wire {
 public:
  Wire() = default;
  Wire(int fd, int key) : m_fd(fd), m_key(key) {}
  Wire(Wire&& o) noexcept { *this = std::move(o); }
  Wire& operator=(Wire&& o) noexcept {
    std::swap(m_fd, o.m_fd);
    m_key = o.m_key;
    m_buffer = std::move(o.m_buffer);
    return *this;
  }
  ~Wire() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool open() const { return m_fd >= 0; }
  void close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }
  void setKey(int key) { m_key = key; }

  void send(std::string bytes, bool plain = false) {
    if (!plain) {
      auto* p = reinterpret_cast<unsigned char*>(bytes.data());
      VLT_SendEncrypt(m_key, static_cast<int>(bytes.size()), p, p);
    }
    ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }

  // False when nothing (more) arrived within the wait or the peer closed.
  bool fill(int timeoutMs) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return false;
    char chunk[65536];
    ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    auto* b = reinterpret_cast<unsigned char*>(chunk);
    VLT_RecvDecrypt(m_key, static_cast<int>(n), b, b);
    m_buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
  std::optional<std::string> line(int timeoutMs = 3000) {
    std::size_t at;
    while ((at = m_buffer.find("\r\n")) == std::string::npos)
      if (!fill(timeoutMs)) return std::nullopt;
    std::string l = m_buffer.substr(0, at);
    m_buffer.erase(0, at + 2);
    return l;
  }
  std::optional<Head> head(int timeoutMs = 3000) {
    Head h;
    for (bool first = true;; first = false) {
      std::optional<std::string> l = line(timeoutMs);
      if (!l) return std::nullopt;
      h.text += *l + "\r\n";
      if (first) h.startLine = *l;
      else if (l->empty()) return h;
      else h.lines.push_back(*l);
    }
  }
  std::optional<std::string> bytes(std::size_t n, int timeoutMs = 3000) {
    while (m_buffer.size() < n)
      if (!fill(timeoutMs)) return std::nullopt;
    std::string b = m_buffer.substr(0, n);
    m_buffer.erase(0, n);
    return b;
  }
  // Whether the peer sent nothing more and closed (or stayed silent) within the wait.
  bool silentFor(int ms) { return m_buffer.empty() && !fill(ms); }
  std::size_t buffered() const { return m_buffer.size(); }
  const std::string& buffer() const { return m_buffer; }

 private:
  int m_fd = -1;
  int m_key = 0;
  std::string m_buffer;
};

// The tool's heads, as the link sends them.
std::string toolStatus(int code, std::size_t length) {
  if (code == 200)
    return "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
  return "HTTP/1.1 401 Unauthorized\r\nAccept-Encoding:\r\ngzip, deflate\r\nConnection: Keep-Alive\r\n"
         "Content-Length: 0\r\n\r\n";
}

std::string fileList(const char* direction, std::initializer_list<std::pair<const char*, const char*>> entries) {
  std::string body = std::string("<root>\r\n<UD-TYPE>") + direction + "</UD-TYPE>\r\n";
  for (const auto& [element, name] : entries)
    body += std::string("<") + element + ">" + kAddress + "/" + name + "</" + element + ">\r\n";
  return body + "</root>\r\n";
}

// The file list of a phonebook read from a unit of firmware 4.0 or above.
std::string phonebookDownload() {
  return fileList("DOWNLOAD", {{"NAISEN", "naisen.txt"}, {"USERTKBN", "usertkbn.txt"}, {"SYS-TANF", "sys-tanf.txt"}});
}

// Upload blocks as a tool writes them, with the rows of `t`.
std::string extensionBlock(const MainUnitTables& t, int first, int end) {
  std::string body = "<root>\n\n<naisen>\n\n";
  for (int i = first; i < end; ++i) {
    const MainUnitExtension& e = t.extensions[i];
    body += std::to_string(e.position) + "," + e.number + "," + e.name + "," + e.reading + ",\n";
  }
  return body + "</naisen>\n\n</root>\n";
}

std::string templateBlock(const MainUnitTables& t) {
  std::string body = "<root>\r\n<m046>\r\n";
  char item[16];
  for (int i = 1; i < kMainUnitTemplates; ++i) {
    std::snprintf(item, sizeof item, "%03d@", i);
    body += item + t.templates[i] + "\r";
  }
  return body + "</m046>\r\n</root>";
}

std::string restrictionBlock(const MainUnitTables& t, int block) {
  std::string body = "<root>\n\n<m018>\n\n";
  char entry[16];
  for (int k = block * 1000; k < block * 1000 + 1000; ++k) {
    std::snprintf(entry, sizeof entry, "%04d@", k);
    body += entry + t.restrictions[k] + ",\n\n";
  }
  return body + "</m018>\n\n</root>";
}

class SimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = address(0);
    ASSERT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(m_listener, 2), 0);
    socklen_t len = sizeof a;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len);
    m_options.listenAddress = kAddress;
    m_options.port = 0;
    m_options.pacing = false;
    m_options.dataDir = "";
    m_options.ioTimeoutMs = 3000;
    m_options.toolPortFirst = ntohs(a.sin_port);
    m_options.toolPortCount = 1;
    m_options.logToStderr = std::getenv("ZU_SIMULATOR_LOG") != nullptr;  // follow a run by hand
  }
  void TearDown() override {
    m_control.close();
    m_data.close();
    if (m_simulator) m_simulator->stop();
    ::close(m_listener);
    if (m_key) VLT_KeyDestroy(m_key);
  }

  static sockaddr_in address(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, kAddress, &a.sin_addr);
    return a;
  }

  void startSimulator() {
    m_simulator = std::make_unique<MainUnitSimulator>(m_options);
    ASSERT_TRUE(m_simulator->start());
  }

  // Opens the control connection, sends the connection request and reads the answer head.
  std::optional<Head> requestConnection() {
    if (m_key) VLT_KeyDestroy(m_key);
    unsigned char material[64];
    m_key = VLT_KeyCreate(material);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local = address(0), unit = address(m_simulator->port());
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&unit), sizeof unit) != 0) return std::nullopt;
    m_control = Wire(fd, m_key);
    m_request = "GET /connection.xml HTTP/1.1\r\nCryptoKey: ";
    char hex[3];
    for (unsigned char b : material) {
      std::snprintf(hex, sizeof hex, "%02X", b);
      m_request += hex;
    }
    m_request += "\r\n\r\n";
    m_control.send(m_request, true);
    return m_control.head(m_waitMs);
  }

  // The connection answer read whole; then the data connection accepted.
  bool connectAndAccept() {
    std::optional<Head> head = requestConnection();
    if (!head || head->startLine != "HTTP/1.1 200 OK") return false;
    std::optional<std::string> length = head->header("Content-Length");
    if (!length || !m_control.bytes(std::stoul(*length))) return false;
    return acceptData(3000);
  }

  bool acceptData(int timeoutMs) {
    pollfd p{m_listener, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return false;
    m_data = Wire(::accept(m_listener, nullptr, nullptr), m_key);
    return m_data.open();
  }

  // Answers one two-request exchange of the unit as the tool does; returns both requests.
  std::pair<Head, Head> serve(const std::string& body) {
    std::optional<Head> first = m_data.head();
    EXPECT_TRUE(first);
    if (!first) return {};
    m_data.send(toolStatus(401, 0));
    std::optional<Head> second = m_data.head();
    EXPECT_TRUE(second);
    if (!second) return {};
    m_data.send(toolStatus(200, body.size()) + body);
    return {*first, *second};
  }

  // Fetches one document as the tool does: without credentials (401), then with them.
  std::optional<std::string> fetch(const std::string& name, Head* challenge = nullptr, Head* answer = nullptr) {
    m_data.send("GET /" + name + " HTTP/1.1\r\nHost: " + kAddress + "\r\n\r\n");
    std::optional<Head> first = m_data.head(m_waitMs);
    if (!first) return std::nullopt;
    if (challenge) *challenge = *first;
    m_data.send("GET /" + name + " HTTP/1.1\r\nHost: " + kAddress + "\r\nAuthorization: NzM1MQ==\r\n\r\n");
    std::optional<Head> second = m_data.head(m_waitMs);
    if (!second) return std::nullopt;
    if (answer) *answer = *second;
    std::optional<std::string> length = second->header("Content-Length");
    if (second->startLine != "HTTP/1.1 200 OK" || !length) return std::nullopt;
    return m_data.bytes(std::stoul(*length), m_waitMs);
  }

  void finishSession(int count = 1) {
    m_data.close();
    m_control.close();
    ASSERT_TRUE(m_simulator->waitForSessions(count, 5s));
  }

  SimulatorOptions m_options;
  std::unique_ptr<MainUnitSimulator> m_simulator;
  int m_listener = -1;
  int m_key = 0;
  std::string m_request;
  Wire m_control, m_data;
  int m_waitMs = 3000;  // how long the scripted tool waits for an answer head
};

TEST_F(SimulatorTest, AnswersTheConnectionRequestEncipheredWithItsIdentity) {
  startSimulator();
  std::optional<Head> head = requestConnection();
  ASSERT_TRUE(head);
  EXPECT_EQ(head->startLine, "HTTP/1.1 200 OK");
  ASSERT_EQ(head->lines.size(), 5u);
  const char* names[] = {"Server: ", "Date: ", "Connection: Keep-Alive", "Content-Length: ", "Title: "};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(head->lines[i].rfind(names[i], 0), 0u) << head->lines[i];
  std::string expected = connectionAnswerBody("4.00", "Zu/ZPX-480", "7351");
  EXPECT_EQ(*head->header("Content-Length"), std::to_string(expected.size()));
  EXPECT_EQ(m_control.bytes(expected.size()), expected);

  // The heads of both directions are kept byte for byte.
  SimulatorSession s = m_simulator->lastSession();
  ASSERT_GE(s.heads.size(), 2u);
  EXPECT_EQ(s.heads[0].text, m_request);
  EXPECT_TRUE(s.heads[0].fromTool);
  EXPECT_EQ(s.heads[0].connection, "control");
  EXPECT_EQ(s.heads[1].text, head->text);
  EXPECT_FALSE(s.heads[1].fromTool);
}

TEST_F(SimulatorTest, AnEmptyFirmwareTextLeavesTheElementOutAndBusyAnswers404) {
  m_options.fwVer = "";
  startSimulator();
  std::optional<Head> head = requestConnection();
  ASSERT_TRUE(head);
  std::string body = *m_control.bytes(std::stoul(*head->header("Content-Length")));
  EXPECT_EQ(body.find("fw_ver"), std::string::npos);
  EXPECT_NE(body.find("<dev_type>Zu/ZPX-480</dev_type>"), std::string::npos);
  EXPECT_TRUE(acceptData(3000));
  finishSession();

  m_options.busy = true;
  m_simulator->setOptions(m_options);
  head = requestConnection();
  ASSERT_TRUE(head);
  EXPECT_EQ(head->startLine, "HTTP/1.1 404 Not Found");
  EXPECT_FALSE(acceptData(500));  // a busy unit does not connect back
  finishSession(2);
  EXPECT_EQ(m_simulator->lastSession().failure, "busy");
}

TEST_F(SimulatorTest, UploadStoresEveryListedBlockAndADownloadServesThemBack) {
  startSimulator();
  ASSERT_TRUE(connectAndAccept());
  MainUnitTables sent = seededMainUnitTables();
  sent.extensions[0] = {101, "2101", utf8ToCp932("受付"), utf8ToCp932("ｳｹﾂｹ")};
  sent.extensions[1] = {102, "2102", "", ""};
  sent.templates[1] = utf8ToCp932("外出中");
  sent.templates[2] = "a@b";
  const std::string naisen = extensionBlock(sent, 0, 51);
  auto [listFirst, listSecond] = serve(fileList("UPLOAD", {{"NAISEN101", "naisen101.txt"},
                                                           {"NAISEN151", "naisen151.txt"},
                                                           {"NAISEN241", "naisen241.txt"},
                                                           {"NAISEN335", "naisen335.txt"},
                                                           {"NAISEN429", "naisen429.txt"},
                                                           {"USERTKBN", "usertkbn.txt"},
                                                           {"USERTKBN", "usertkbn.txt"}}));
  EXPECT_EQ(listFirst.startLine, "GET /file_list.xml HTTP/1.1");
  EXPECT_FALSE(listFirst.header("Authorization"));
  EXPECT_EQ(listSecond.startLine, "GET /file_list.xml HTTP/1.1");
  EXPECT_EQ(listSecond.header("Authorization"), "Basic OjczNTE=");  // ":" + password
  EXPECT_EQ(serve(naisen).second.startLine, "GET /naisen101.txt HTTP/1.1");
  const int starts[] = {51, 101, 151, 201, kMainUnitExtensionLines};
  for (int b = 0; b < 4; ++b) serve(extensionBlock(sent, starts[b], starts[b + 1]));
  EXPECT_EQ(serve(templateBlock(sent)).second.startLine, "GET /usertkbn.txt HTTP/1.1");
  EXPECT_EQ(serve(templateBlock(sent)).second.startLine, "GET /usertkbn.txt HTTP/1.1");  // listed twice
  finishSession();
  SimulatorSession up = m_simulator->lastSession();
  EXPECT_TRUE(up.succeeded) << up.failure;
  EXPECT_EQ(up.direction, "UPLOAD");
  ASSERT_EQ(up.listedFiles.size(), 7u);
  EXPECT_EQ(up.listedFiles[6], "usertkbn.txt");
  ASSERT_EQ(up.transferred.size(), 7u);
  EXPECT_EQ(up.transferred[0], std::make_pair(std::string("naisen101.txt"), naisen));

  MainUnitTables t = m_simulator->tables();
  EXPECT_EQ(t.extensions[0], (MainUnitExtension{101, "2101", utf8ToCp932("受付"), utf8ToCp932("ｳｹﾂｹ")}));
  EXPECT_EQ(t.extensions[1], (MainUnitExtension{102, "2102", "", ""}));
  EXPECT_EQ(t.templates[2], "a@b");

  ASSERT_TRUE(connectAndAccept());
  serve(phonebookDownload());
  Head challenge, answer;
  std::optional<std::string> document = fetch("naisen.txt", &challenge, &answer);
  ASSERT_TRUE(document);
  EXPECT_EQ(challenge.startLine, "HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(challenge.header("Content-Length"), "0");
  EXPECT_EQ(*answer.header("Content-Length"), std::to_string(document->size()));
  EXPECT_EQ(*document, *downloadDocument("naisen.txt", t));
  EXPECT_NE(document->find("<naisen>\n\n101,2101," + utf8ToCp932("受付,ｳｹﾂｹ") + "\n\n102,2102,,\n\n"), std::string::npos);
  std::optional<std::string> tkbn = fetch("usertkbn.txt");
  ASSERT_TRUE(tkbn);
  EXPECT_NE(tkbn->find("001@" + utf8ToCp932("外出中") + "\n\n002@a@b\n\n003@"), std::string::npos);
  EXPECT_TRUE(fetch("sys-tanf.txt"));
  finishSession(2);
  SimulatorSession down = m_simulator->lastSession();
  EXPECT_TRUE(down.succeeded) << down.failure;
  EXPECT_EQ(down.direction, "DOWNLOAD");
}

TEST_F(SimulatorTest, CallHistoryComesAsOneDocument) {
  startSimulator();
  ASSERT_TRUE(connectAndAccept());
  serve(fileList("DOWNLOAD", {{"TYAK", "tyaklog.txt"}}));
  std::optional<std::string> log = fetch("tyaklog.txt");
  ASSERT_TRUE(log);
  EXPECT_NE(log->find("<naityaklog>"), std::string::npos);
  EXPECT_NE(log->find("<gaityaklog>"), std::string::npos);
  finishSession();
  EXPECT_TRUE(m_simulator->lastSession().succeeded) << m_simulator->lastSession().failure;
}

// A download of a file the list does not name at that point is answered 404, and the unit ends
// the session with the reason.
TEST_F(SimulatorTest, DownloadsOutsideTheListAreRefused) {
  const struct {
    bool phonebook;                    // the list: the phonebook's three files, else tyaklog.txt
    std::vector<std::string> fetches;  // the last one is refused
    const char* refusal;
  } cases[] = {
      {false, {"tyaklog.txt", "sys-tan0000.txt"}, "sys-tan0000.txt: this unit (firmware 4.00) serves no such document"},
      {false, {"hkiseino.txt"}, "hkiseino.txt is not in the file list"},
      {false, {"tyaklog.txt", "tyaklog.txt"}, "tyaklog.txt is requested again after every listed file"},
      {true, {"usertkbn.txt"}, "usertkbn.txt is requested out of the list's order (naisen.txt is next)"},
  };
  startSimulator();
  int sessions = 0;
  for (const auto& c : cases) {
    ASSERT_TRUE(connectAndAccept());
    serve(c.phonebook ? phonebookDownload() : fileList("DOWNLOAD", {{"TYAK", "tyaklog.txt"}}));
    for (std::size_t i = 0; i + 1 < c.fetches.size(); ++i) ASSERT_TRUE(fetch(c.fetches[i]));
    Head answer;
    EXPECT_FALSE(fetch(c.fetches.back(), nullptr, &answer));
    EXPECT_EQ(answer.startLine, "HTTP/1.1 404 Not Found") << c.refusal;
    EXPECT_TRUE(m_data.silentFor(1000));  // and the data connection is ended
    finishSession(++sessions);
    EXPECT_EQ(m_simulator->lastSession().refusal, c.refusal);
    EXPECT_EQ(m_simulator->lastSession().failure, c.refusal);
  }
}

// A file list that is not what a tool sends ends the session before any file moves: the unit
// closes the data connection without a request.
TEST_F(SimulatorTest, AWrongFileListEndsTheSessionAtOnce) {
  const struct {
    const char* fwVer;
    std::string list;
    const char* refusal;
  } cases[] = {
      {"4.00", fileList("DOWNLOAD", {{"NAISEN", "naisen.txt"}, {"USERTKBN", "usertkbn.txt"}, {"SYS-TAN", "sys-tanf.txt"}}),
       "the entry for sys-tanf.txt is <SYS-TAN>; it must be <SYS-TANF>"},
      {"3.00", fileList("UPLOAD", {{"USERTKBN", "usertkbn.txt"}, {"USERTKBN", "usertkbn.txt"}}),
       "this unit (firmware 3.00) keeps no templates (usertkbn.txt)"},
      {"4.00", "<root>\r\n<UD-TYPE>UPLOAD</UD-TYPE>\r\n<HKISEINO0000>10.1.2.3/hkiseino0000.txt</HKISEINO0000>\r\n</root>\r\n",
       "an upload lists its last file twice; this one does not"},
  };
  startSimulator();
  int sessions = 0;
  for (const auto& c : cases) {
    m_options.fwVer = c.fwVer;
    m_simulator->setOptions(m_options);
    ASSERT_TRUE(connectAndAccept());
    serve(c.list);
    EXPECT_TRUE(m_data.silentFor(1000)) << c.refusal;
    finishSession(++sessions);
    EXPECT_EQ(m_simulator->lastSession().refusal, c.refusal);
    EXPECT_TRUE(m_simulator->lastSession().transferred.empty());
  }
}

// While a session runs, a second tool's connection request gets the busy answer, enciphered with
// that tool's own key; the running session goes on untouched.
TEST_F(SimulatorTest, ASecondToolWhileASessionRunsIsAnsweredBusy) {
  startSimulator();
  const int held = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in unit = address(m_simulator->port());
  ASSERT_EQ(::connect(held, reinterpret_cast<sockaddr*>(&unit), sizeof unit), 0);  // a session that waits
  std::optional<Head> head = requestConnection();
  ASSERT_TRUE(head);
  EXPECT_EQ(head->startLine, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(head->header("Content-Length"), "0");
  m_control.close();
  EXPECT_EQ(m_simulator->busyAnswerCount(), 1);
  EXPECT_EQ(m_simulator->sessionCount(), 0);
  ::close(held);
  ASSERT_TRUE(m_simulator->waitForSessions(1, 5s));
  ASSERT_TRUE(connectAndAccept());  // the unit is free again
  finishSession(2);
  EXPECT_EQ(m_simulator->busyAnswerCount(), 1);
}

TEST_F(SimulatorTest, SeedsAnEmptyDataFolderAndKeepsUploadsAcrossRestarts) {
  fs::path dir = fs::temp_directory_path() / ("zu-simulator-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  m_options.dataDir = dir.string();
  startSimulator();
  EXPECT_TRUE(fs::exists(dir / "speed-dial.txt"));
  EXPECT_TRUE(m_simulator->tables() == seededMainUnitTables());
  ASSERT_TRUE(connectAndAccept());
  MainUnitTables sent = seededMainUnitTables();
  sent.restrictions[9000] = "0120111222";
  sent.restrictions[9001] = "";
  serve(fileList("UPLOAD", {{"HKISEINO0000", "hkiseino0000.txt"}, {"HKISEINO1000", "hkiseino1000.txt"},
                            {"HKISEINO2000", "hkiseino2000.txt"}, {"HKISEINO3000", "hkiseino3000.txt"},
                            {"HKISEINO4000", "hkiseino4000.txt"}, {"HKISEINO5000", "hkiseino5000.txt"},
                            {"HKISEINO6000", "hkiseino6000.txt"}, {"HKISEINO7000", "hkiseino7000.txt"},
                            {"HKISEINO8000", "hkiseino8000.txt"}, {"HKISEINO9000", "hkiseino9000.txt"},
                            {"HKISEINO9000", "hkiseino9000.txt"}}));
  for (int b = 0; b < 10; ++b) serve(restrictionBlock(sent, b));
  serve(restrictionBlock(sent, 9));
  finishSession();
  EXPECT_TRUE(m_simulator->lastSession().succeeded) << m_simulator->lastSession().failure;
  m_simulator->stop();

  MainUnitSimulator again(m_options);
  ASSERT_TRUE(again.start());
  MainUnitTables t = again.tables();
  EXPECT_EQ(t.restrictions[9000], "0120111222");
  EXPECT_EQ(t.restrictions[9001], "");
  EXPECT_EQ(t.restrictions[9002], seededMainUnitTables().restrictions[9002]);
  again.stop();
  fs::remove_all(dir);
}

// ---- faults -------------------------------------------------------------------------------------

TEST(SimulatorFaults, NamesParseWithStepAndOccurrence) {
  SimulatorFaultChoice f;
  ASSERT_TRUE(parseSimulatorFault("close@fetch:2", f));
  EXPECT_EQ(f.fault, SimulatorFault::Close);
  EXPECT_EQ(f.step, SimulatorStep::Fetch);
  EXPECT_EQ(f.occurrence, 2);
  ASSERT_TRUE(parseSimulatorFault("no-connect-back", f));
  EXPECT_EQ(f.step, SimulatorStep::Default);
  EXPECT_EQ(defaultStepOf(f.fault), SimulatorStep::Connect);
  EXPECT_FALSE(parseSimulatorFault("no-connect-back@list", f));  // cannot act there
  EXPECT_FALSE(parseSimulatorFault("close@nowhere", f));
  EXPECT_FALSE(parseSimulatorFault("explode", f));
  EXPECT_FALSE(parseSimulatorFault("close@file:0", f));
  for (int i = 1; i <= static_cast<int>(SimulatorFault::StallInHead); ++i) {
    auto fault = static_cast<SimulatorFault>(i);
    ASSERT_TRUE(parseSimulatorFault(simulatorFaultName(fault), f)) << simulatorFaultName(fault);
    EXPECT_EQ(f.fault, fault);
    EXPECT_NE(simulatorFaultHelp().find(simulatorFaultName(fault)), std::string::npos);
  }
  MainUnitSimulator simulator;
  EXPECT_FALSE(simulator.setFault({SimulatorFault::NoConnectBack, SimulatorStep::Fetch, 1}));
}

class AnswerFaultTest : public SimulatorTest {
 protected:
  std::optional<Head> answerWith(SimulatorFault fault) {
    m_options.fault = {fault, SimulatorStep::Answer, 1};
    startSimulator();
    return requestConnection();
  }
};

TEST_F(AnswerFaultTest, CloseAndStallSendNothing) {
  EXPECT_FALSE(answerWith(SimulatorFault::Close));
  EXPECT_TRUE(m_control.silentFor(100));
  m_simulator->stop();
  m_options.fault = {SimulatorFault::Stall, SimulatorStep::Answer, 1};
  startSimulator();
  m_waitMs = 300;
  EXPECT_FALSE(requestConnection());
  EXPECT_TRUE(m_control.silentFor(300));
}

TEST_F(AnswerFaultTest, BadAndGarbageStatusLines) {
  std::optional<Head> head = answerWith(SimulatorFault::BadStatus);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->startLine, "HTTP/1.1 500 Internal Server Error");
  EXPECT_FALSE(acceptData(300));
  m_control.close();
  m_simulator->stop();
  head = answerWith(SimulatorFault::GarbageStatusLine);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->startLine.find(' '), std::string::npos);
}

TEST_F(AnswerFaultTest, ContentLengthFaultsStillSendTheRealBody) {
  std::string body = connectionAnswerBody("4.00", "Zu/ZPX-480", "7351");
  std::optional<Head> head = answerWith(SimulatorFault::HugeContentLength);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->header("Content-Length"), "999999999");
  EXPECT_EQ(m_control.bytes(body.size()), body);
  m_control.close();
  m_simulator->stop();

  head = answerWith(SimulatorFault::NegativeContentLength);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->header("Content-Length"), "-5");
  m_control.close();
  m_simulator->stop();

  head = answerWith(SimulatorFault::NoContentLength);
  ASSERT_TRUE(head);
  EXPECT_FALSE(head->header("Content-Length"));
  EXPECT_EQ(m_control.bytes(body.size()), body);  // ends with its "</root>" line
  EXPECT_TRUE(acceptData(3000));                  // and the session goes on
}

TEST_F(AnswerFaultTest, ShortBadLongAndEndlessBodies) {
  std::optional<Head> head = answerWith(SimulatorFault::ShortBody);
  ASSERT_TRUE(head);
  std::size_t announced = std::stoul(*head->header("Content-Length"));
  EXPECT_FALSE(m_control.bytes(announced, 300));
  EXPECT_EQ(m_control.buffered(), announced / 2);
  m_control.close();
  m_simulator->stop();

  head = answerWith(SimulatorFault::BadXml);
  ASSERT_TRUE(head);
  std::optional<std::string> body = m_control.bytes(std::stoul(*head->header("Content-Length")));
  ASSERT_TRUE(body);
  EXPECT_EQ(body->find("</root>"), std::string::npos);
  m_control.close();
  m_simulator->stop();

  head = answerWith(SimulatorFault::LongHeaderLines);
  ASSERT_TRUE(head);
  bool longLine = false;
  for (const std::string& l : head->lines) longLine = longLine || l.size() >= 5000;
  EXPECT_TRUE(longLine);
  m_control.close();
  m_simulator->stop();

  m_options.hugeXmlBytes = 3u << 20;
  head = answerWith(SimulatorFault::HugeXml);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->header("Content-Length"), std::to_string(3u << 20));
  body = m_control.bytes(3u << 20);
  ASSERT_TRUE(body);
  EXPECT_EQ(body->substr(0, 12), "<root>\r\n<!--");
  EXPECT_EQ(body->substr(body->size() - 40), connectionAnswerBody("4.00", "Zu/ZPX-480", "7351").substr(
      connectionAnswerBody("4.00", "Zu/ZPX-480", "7351").size() - 40));
  m_control.close();
  m_simulator->stop();

  head = answerWith(SimulatorFault::EndlessBody);
  ASSERT_TRUE(head);
  EXPECT_FALSE(head->header("Content-Length"));
  while (m_control.buffered() < (2u << 20)) ASSERT_TRUE(m_control.fill(3000));
  EXPECT_EQ(m_control.buffer().find("</root>"), std::string::npos);
}

TEST_F(SimulatorTest, NoConnectBackLeavesTheToolWaiting) {
  m_options.fault = {SimulatorFault::NoConnectBack, SimulatorStep::Default, 1};
  startSimulator();
  std::optional<Head> head = requestConnection();
  ASSERT_TRUE(head);
  EXPECT_EQ(head->startLine, "HTTP/1.1 200 OK");
  EXPECT_FALSE(acceptData(700));
  finishSession();
  EXPECT_FALSE(m_simulator->lastSession().succeeded);
}

TEST_F(SimulatorTest, RequestFaultsBendTheFileListRequests) {
  struct Case {
    SimulatorFault fault;
    const char* secondLine;
    const char* secondCredentials;
  } cases[] = {
      {SimulatorFault::DataFileInListPhase, "GET /sys-tan0000.txt HTTP/1.1", "Basic OjczNTE="},
      {SimulatorFault::UnknownFile, "GET /unknown.txt HTTP/1.1", "Basic OjczNTE="},
      {SimulatorFault::RequestTyaklog, "GET /tyaklog.txt HTTP/1.1", "Basic OjczNTE="},
      {SimulatorFault::NonGetMethod, "POST /file_list.xml HTTP/1.1", "Basic OjczNTE="},
      {SimulatorFault::WrongCredentials, "GET /file_list.xml HTTP/1.1", "Basic OjAwMDA="},  // ":0000"
  };
  int sessions = 0;
  for (const Case& c : cases) {
    m_options.fault = {c.fault, SimulatorStep::List, 1};
    if (!m_simulator) startSimulator();
    ASSERT_TRUE(m_simulator->setOptions(m_options));
    ASSERT_TRUE(connectAndAccept());
    std::optional<Head> first = m_data.head();
    ASSERT_TRUE(first);
    m_data.send(toolStatus(401, 0));
    std::optional<Head> second = m_data.head();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->startLine, c.secondLine) << simulatorFaultName(c.fault);
    EXPECT_EQ(second->header("Authorization"), c.secondCredentials) << simulatorFaultName(c.fault);
    m_data.send(toolStatus(401, 0));  // the tool refuses, and the session ends
    finishSession(++sessions);
    EXPECT_FALSE(m_simulator->lastSession().succeeded);
  }
}

TEST_F(SimulatorTest, CredentialsInTheFirstRequestAreFollowedByASecondRequest) {
  m_options.fault = {SimulatorFault::FirstRequestWithCredentials, SimulatorStep::List, 1};
  startSimulator();
  ASSERT_TRUE(connectAndAccept());
  std::optional<Head> first = m_data.head();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->header("Authorization"), "Basic OjczNTE=");
  // The tool does not answer it; the unit asks again.
  std::optional<Head> second = m_data.head(3000);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->startLine, "GET /file_list.xml HTTP/1.1");
  std::string list = fileList("DOWNLOAD", {{"TYAK", "tyaklog.txt"}});
  m_data.send(toolStatus(200, list.size()) + list);
  EXPECT_TRUE(fetch("tyaklog.txt"));
  finishSession();
  EXPECT_TRUE(m_simulator->lastSession().succeeded) << m_simulator->lastSession().failure;
}

TEST_F(SimulatorTest, FetchFaultsActOnTheNamedExchange) {
  m_options.fault = {SimulatorFault::ShortBody, SimulatorStep::Fetch, 2};
  startSimulator();
  ASSERT_TRUE(connectAndAccept());
  serve(phonebookDownload());
  EXPECT_TRUE(fetch("naisen.txt"));  // the first fetch is untouched
  m_waitMs = 300;
  Head answer;
  EXPECT_FALSE(fetch("usertkbn.txt", nullptr, &answer));
  std::size_t announced = std::stoul(*answer.header("Content-Length"));
  EXPECT_EQ(m_data.buffered(), announced / 2);
  finishSession();
  m_waitMs = 3000;

  m_options.fault = {SimulatorFault::BadStatus, SimulatorStep::Challenge, 1};
  ASSERT_TRUE(m_simulator->setOptions(m_options));
  ASSERT_TRUE(connectAndAccept());
  serve(phonebookDownload());
  m_data.send(std::string("GET /naisen.txt HTTP/1.1\r\nHost: ") + kAddress + "\r\n\r\n");
  std::optional<Head> challenge = m_data.head();
  ASSERT_TRUE(challenge);
  EXPECT_EQ(challenge->startLine, "HTTP/1.1 500 Internal Server Error");
  finishSession(2);

  m_options.fault = {SimulatorFault::Stall, SimulatorStep::Fetch, 1};
  ASSERT_TRUE(m_simulator->setOptions(m_options));
  ASSERT_TRUE(connectAndAccept());
  serve(phonebookDownload());
  m_waitMs = 300;
  EXPECT_FALSE(fetch("naisen.txt"));
  EXPECT_EQ(m_data.buffered(), 0u);
  finishSession(3);
}

TEST_F(SimulatorTest, ResetActsBeforeTheNamedDownloadFileOnly) {
  m_options.fault = {SimulatorFault::Reset, SimulatorStep::Challenge, 2};
  startSimulator();
  ASSERT_TRUE(connectAndAccept());
  serve(phonebookDownload());
  // Both requests of the first file are answered; the connection is reset before the second.
  EXPECT_TRUE(fetch("naisen.txt"));
  EXPECT_TRUE(m_data.silentFor(1000));
  finishSession();
  EXPECT_EQ(m_simulator->lastSession().failure, "challenge fault reset");
}

}  // namespace
