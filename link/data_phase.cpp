#include "link/data_phase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/ascii_text.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/element_converters.h"
#include "data/process_state.h"
#include "data/user_info.h"
#include "data/xml_access.h"
#include "link/http_data.h"
#include "link/link_timing.h"
#include "link/progress_messages.h"
#include "link/transfer_names.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"
#include "ui/window_registry.h"

namespace {

constexpr int kLineSize = 1024;
constexpr std::int64_t kWholeRange = 2147483647;

// Reads a file to serve whole, at most kMaxBodyLength bytes. Only a regular file is served: a
// FIFO or a device under a data-file name would block the run. The file is opened without
// blocking and its type checked on the open descriptor, so nothing can be swapped in between.
bool readServedFile(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  bytes.clear();
  char chunk[65536];
  while (ok) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
    ok = bytes.size() <= static_cast<std::size_t>(kMaxBodyLength);
  }
  ::close(fd);
  return ok;
}

void removeFirst(std::list<std::string>& queue, const std::string& name) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (*it == name) {
      queue.erase(it);
      return;
    }
  }
}

// Takes one pending window message, then sleeps `step`; `count` times.
void pumpAndPace(int count, std::chrono::milliseconds step) {
  for (int i = 0; i < count; ++i) {
    pumpOneMessage();
    pace(step);
  }
}

bool writeWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// The file list of the queued names, every line ended by LF.
std::string fileListText(const std::list<std::string>& queue, bool download,
                         std::string_view address) {
  std::string text = "<root>\n<UD-TYPE>";
  text += download ? "DOWNLOAD" : "UPLOAD";
  text += "</UD-TYPE>\n";
  for (const std::string& name : queue) {
    std::string element, fileName;
    if (!fileListEntry(name, element, fileName)) continue;
    text += "<" + element + ">";
    text.append(address).append("/").append(fileName);
    text += "</" + element + ">\n";
  }
  return text + "</root>\n";
}

}  // namespace

DataPhase::DataPhase(DataPhaseSetup setup, Socket& listener, LinkStream& control,
                     std::list<std::string>& queue)
    : m_setup(std::move(setup)),
      m_listener(listener),
      m_control(control),
      m_queue(queue),
      m_data(m_setup.key) {}

void DataPhase::showError(std::string_view text) const {
  MessageBox(m_setup.progressWindow, text, "エラー", MB_ICONWARNING | MB_OK);
}

void DataPhase::postPercent(int percent) const {
  postTransferPercent(m_setup.progressWindow, percent);
}

void DataPhase::postRange(std::int64_t total) const {
  postTransferRange(m_setup.progressWindow, m_progressPos, m_progressPos + m_progressStep, total);
}

// The next file's share of the progress: from `percent` on, one step wide.
void DataPhase::nextStep(int& percent) {
  postPercent(percent);
  m_progressPos = percent;
  percent += m_progressStep;
  postRange(kWholeRange);
}

int DataPhase::run(bool download) {
  int percent = 5;
  postPercent(5);
  m_progressStep = 95 / (m_setup.queueTotal > 0 ? m_setup.queueTotal : 1);
  m_progressPos = 5;
  postRange(kWholeRange);

  // The file list first; for an upload every listed block after it.
  for (;;) {
    m_http = std::make_unique<CHttpData>();
    if (!serveRequest()) return -1;
    if (download) break;
    m_phase = 3;
    nextStep(percent);
    if (m_queue.empty()) {
      postPercent(100);
      pumpMessages(10);
      pace(linkTiming().uploadEnd);
      return 0;
    }
  }

  m_phase = 3;
  for (;;) {
    nextStep(percent);
    pumpOneMessage();
    m_http = std::make_unique<CHttpData>();
    if (!fetchFile()) return -1;
    if (m_queue.empty()) {
      postPercent(100);
      pumpAndPace(10, linkTiming().downloadEndStep);
      return 0;
    }
  }
}

bool DataPhase::readHead(std::chrono::milliseconds perByte) {
  return readHeadFields(m_data, perByte, HeaderSet::DataPhase, *m_http, m_control.socket());
}

bool DataPhase::sendStatus(int code) {
  const std::string head = answerHead(code, m_http->contentLength);
  return m_data.sendLine(head) == static_cast<int>(head.size()) + 2;
}

// ---- serving the main unit ----

bool DataPhase::readRequest() {
  char line[kLineSize];
  auto wait = linkTiming().requestLine;
  if (m_data.readLineWait(line, sizeof line, wait) <= 0 ||
      !parseRequestLine(line, m_method, m_path))
    return false;
  // The header lines wait per byte as long as the request line before them.
  return readHead(linkTiming().requestLine);
}

bool DataPhase::refuse(int code) {
  m_http->contentLength = -1;
  sendStatus(code);
  return false;
}

bool DataPhase::serveRequest() {
  if (!m_accepted) {
    if (!m_listener.acceptWithin(m_data.socket(), linkTiming().acceptData)) {
      showError("主装置との接続に失敗しました。");
      return false;
    }
    m_accepted = true;
  }
  // Every exchange takes two requests: the first is answered with 401 when it carries no
  // credentials; only the second is served.
  if (!readRequest()) return false;
  if (m_http->authorization.empty()) {
    m_http->contentLength = -1;
    sendStatus(401);
  }
  if (!readRequest()) return false;
  if (!credentialsMatch(m_http->authorization, m_setup.unitPassword)) return refuse(401);
  if (m_method != RequestMethod::Get) return refuse(501);

  const std::string name = m_path.empty() ? std::string() : m_path.substr(1);
  const bool isList = equalsIgnoringCase(name, kFileListName);
  std::string canonical;
  std::string file;
  if (isList) {
    file = m_setup.fileListPath;
  } else {
    canonical = recognisedDataFile(name);
    if (canonical.empty() || canonical == kCallHistoryName) return refuse(404);
    file = workPath(m_setup.workDir, canonical);
  }
  if (file.empty() || !fileExists(file)) return refuse(404);
  if (m_phase == 2 && !isList) return refuse(403);
  if (m_phase != 2 && m_phase != 3) return refuse(403);

  std::string body;
  if (!readServedFile(file, body)) return refuse(403);
  if (!isList) {
    // A copy of every served data file but the two whole phonebook files is kept in the Zu
    // folder until the next run.
    const std::string copy = makeWorkTempFile(m_setup.workDir);
    if (copy.empty() || copy.size() > kMaxPathBytes) return refuse(403);
    if (canonical != kSpeedDialName && canonical != kExtensionName && !writeWholeFile(copy, body))
      return refuse(403);
  }

  if (m_phase == 3) postRange(static_cast<std::int64_t>(body.size()));
  const int length = static_cast<int>(body.size());

  const LinkTiming& timing = linkTiming();
  pace(m_setup.paced ? timing.serveBeforeHead : timing.serveBeforeHeadUnpaced);
  m_http->contentLength = length;
  if (!sendStatus(200)) return false;
  pumpAndPace(30, m_setup.paced ? timing.serveAfterHeadStep : timing.serveAfterHeadStepUnpaced);
  if (m_data.sendBlock(body.data(), length, true) < length) return false;
  removeFirst(m_queue, isList ? lowerAscii(name) : canonical);
  pumpAndPace(30, m_setup.paced ? timing.serveAfterBodyStep : timing.serveAfterBodyStepUnpaced);
  return true;
}

// ---- fetching from the main unit ----

bool DataPhase::sendRequestAndReadAnswer(const std::string& request) {
  if (m_data.sendLine(request) != static_cast<int>(request.size()) + 2) {
    showError("送信が正常に終了しませんでした");
    return false;
  }
  char line[kLineSize];
  auto wait = linkTiming().fetchStatusLine;
  if (m_data.readLineWait(line, sizeof line, wait) <= 0) {
    if (wait.count() == -1) {
      const HWND progress = findWindow(kTransferProgressTitle);
      MessageBox(progress ? progress : m_setup.progressWindow,
                 "主装置との接続がタイムアウトしました。", "エラー", MB_ICONWARNING | MB_OK);
    }
    return false;
  }
  if (!parseStatusLine(line, m_status)) return false;
  return readHead(linkTiming().fetchStatusLine);
}

bool DataPhase::fetchFile() {
  if (m_queue.empty()) return false;
  const std::string current = m_queue.front();

  if (!sendRequestAndReadAnswer(fileRequest(current, m_setup.host))) return false;
  if (statusClass(m_status) != 2 && m_status != 401) {
    m_data.close();
    return false;
  }
  pace(linkTiming().fetchBetweenRequests);
  // Only the answer to the second request says how long its body is.
  m_http->contentLength = -1;
  if (!sendRequestAndReadAnswer(fileRequest(current, m_setup.host, m_setup.unitPassword)))
    return false;
  // A document without a usable length cannot be read: fail the fetch.
  if (statusClass(m_status) != 2 || m_http->contentLength < 0 ||
      m_http->contentLength > kMaxBodyLength) {
    m_data.close();
    return false;
  }

  const std::string documentPath = makeWorkTempFile(m_setup.workDir);
  if (documentPath.empty() || documentPath.size() > kMaxPathBytes) return false;
  std::FILE* file = std::fopen(documentPath.c_str(), "wb");
  if (file == nullptr) return false;

  pumpAndPace(10, linkTiming().fetchBeforeBodyStep);
  postRange(m_http->contentLength);
  const int length = m_http->contentLength;
  std::string body(static_cast<std::size_t>(length), '\0');
  const int received = m_data.recvBlock(body.data(), length, linkTiming().blockRead, true);
  // A body cut short is no document, however much of it arrived.
  bool ok = received == length;
  if (ok) {
    const std::string text = textModeEncode(body);
    ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  }
  ok = std::fclose(file) == 0 && ok;
  if (!ok || !convertFetchedDocument(documentPath, current, m_setup.workDir)) return false;
  removeFirst(m_queue, lowerAscii(current));
  return true;
}

// ---- the steps that need nothing of the run ----

bool writeFileList(const std::string& path, const std::list<std::string>& queue, bool download,
                   std::string_view address) {
  return writeWholeFile(path, textModeEncode(fileListText(queue, download, address)));
}

bool convertFetchedDocument(const std::string& documentPath, std::string_view fileName,
                            const std::string& workDir) {
  CXMLAccess document;
  if (!document.Load(documentPath)) return false;
  const std::string infoLine = userInfoLine();

  using Converter = std::function<void(const CXMLElementList&, std::FILE*)>;
  struct Target {
    std::string fileName;
    const char* element;  // null: the line only
    bool blankLine;       // an empty line follows the user-information line
    Converter convert;
  };
  const std::string name = lowerAscii(fileName);
  std::vector<Target> targets;
  if (name == kCallHistoryName) {
    targets.push_back(
        {"naityaklog.txt", "naityaklog", true,
         [](const CXMLElementList& e, std::FILE* f) { convertHistoryElement(e, f, RowSource::MainUnit, HistoryKind::Internal); }});
    targets.push_back(
        {"gaityaklog.txt", "gaityaklog", true,
         [](const CXMLElementList& e, std::FILE* f) { convertHistoryElement(e, f, RowSource::MainUnit, HistoryKind::External); }});
  } else if (name == kRestrictionName) {
    targets.push_back({name, "m018", true, [](const CXMLElementList& e, std::FILE* f) {
                         convertRestrictionElement(e, f, RowSource::MainUnit);
                       }});
  } else if (name == kTemplateName) {
    targets.push_back({name, "m046", true, [](const CXMLElementList& e, std::FILE* f) {
                         convertTemplateElement(e, f, RowSource::MainUnit);
                       }});
  } else if (name == kSpeedDialName) {
    targets.push_back({name, "systan", false, [](const CXMLElementList& e, std::FILE* f) {
                         convertSpeedDialElement(e, f, RowSource::MainUnit, speedDialFormOf(sysTanfMode));
                       }});
  } else if (name == kExtensionName) {
    targets.push_back({name, "naisen", false, [](const CXMLElementList& e, std::FILE* f) {
                         convertExtensionElement(e, f, RowSource::MainUnit);
                       }});
  } else if (name == kSpeedDialTenColumnName) {
    targets.push_back({name, "systanf", false, [](const CXMLElementList& e, std::FILE* f) {
                         convertSpeedDialElement(e, f, RowSource::MainUnit, speedDialFormOf(sysTanfMode));
                       }});
  } else {
    targets.push_back({name, nullptr, false, {}});
  }

  for (const Target& target : targets) {
    std::FILE* out = std::fopen(workPath(workDir, target.fileName).c_str(), "wb");
    if (out == nullptr) return false;
    std::fwrite(infoLine.data(), 1, infoLine.size(), out);
    if (target.blankLine) std::fputs("\r\n", out);
    if (target.element != nullptr) target.convert(document.GetElements(target.element), out);
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) return false;
  }
  return true;
}
