#include "link/tcp_file_transfer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ascii_text.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/process_state.h"
#include "data/xml_access.h"
#include "link/data_phase.h"
#include "link/http_data.h"
#include "link/link_timing.h"
#include "link/progress_messages.h"
#include "link/transfer_names.h"
#include "link/upload_preparation.h"
#include "ui/message_box.h"
#include "ui/window_registry.h"
#include "vaultline/vaultline.h"

namespace {

constexpr std::string_view kErrorCaption = "エラー";
constexpr int kLineSize = 1024;
// The connection answer read line by line (no Content-Length) is a few hundred bytes; a body
// that grows beyond this fails the exchange.
constexpr std::size_t kMaxAnswerLineBody = 256 * 1024;

}  // namespace

CTCPFileTransfer::CTCPFileTransfer(HWND /*owner*/) {}

CTCPFileTransfer::~CTCPFileTransfer() { ReleaseKey(); }

void CTCPFileTransfer::SetHost(const std::string& host, int port) {
  m_host = host;
  m_port = port;
}

void CTCPFileTransfer::SetPassword(const std::string& password) { m_password = password; }

void CTCPFileTransfer::SetWorkDir(const char* path) {
  m_workDir = path ? path : "";
  if (!m_workDir.empty() && m_workDir.back() == '/') m_workDir.pop_back();
}

std::string CTCPFileTransfer::GetWorkDir() const { return m_workDir; }

void CTCPFileTransfer::SetListenPort(int port) { m_listenPort = port; }

void CTCPFileTransfer::SetListenAddress(const std::string& address) { m_listenAddress = address; }

std::string CTCPFileTransfer::MakeTempName() { return makeWorkTempFile(m_workDir); }

namespace {

// The connection answer is written beside its temporary file, under the same unique name
// ("zuXXXXXX") with ".xml" in place of ".tmp". A run that ends removes it; one that was killed
// leaves it for the next run to remove. Other ".xml" files of the folder are not the link's.
bool isAnswerFileName(const std::string& name) {
  return name.size() == 12 && name.compare(0, 2, "zu") == 0 && endsWithIgnoringCase(name, ".xml");
}

}  // namespace

void CTCPFileTransfer::RemoveLeftoverTempFiles() {
  const std::string dir = workPath(m_workDir, "Zu");
  DIR* folder = ::opendir(dir.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (!endsWithIgnoringCase(name, ".tmp") && !isAnswerFileName(name)) continue;
    const std::string path = dir + "/" + name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(path.c_str());
  }
  ::closedir(folder);
}

void CTCPFileTransfer::ShowError(std::string_view text) const {
  MessageBox(m_progressWindow, text, kErrorCaption, MB_ICONWARNING | MB_OK);
}

void CTCPFileTransfer::ReleaseKey() {
  if (m_key != 0) VLT_KeyDestroy(m_key);
  m_key = 0;
  m_control.setKey(0);
}

void CTCPFileTransfer::PrepareSpeedDialFiles(int familyFlag) {
  prepareSpeedDialBlocks(m_workDir, familyFlag);
}

void CTCPFileTransfer::PrepareExtensionFiles() { prepareExtensionBlocks(m_workDir); }

void CTCPFileTransfer::PrepareRestrictionFiles() { prepareRestrictionBlocks(m_workDir); }

void CTCPFileTransfer::PrepareTemplateFile() { prepareTemplateBlock(m_workDir); }

// ---- entry points ----

int CTCPFileTransfer::StartRun(int download, int restrictionRun, int phonebookRun) {
  m_queueTotal = static_cast<std::int32_t>(m_queue.size());
  m_paced = 1;
  m_restrictionRun = restrictionRun;
  m_phonebookRun = phonebookRun;
  const int result = Run(download);
  m_control.close();
  m_listener.close();
  m_http.reset();
  // Nothing of the key may outlive the run, whichever way it ended.
  ReleaseKey();
  explicit_bzero(keyMaterial, sizeof keyMaterial);
  RemoveLeftoverTempFiles();
  return result;
}

int CTCPFileTransfer::ReadPhonebook() {
  m_queue = {std::string(kExtensionName), std::string(kSpeedDialName)};
  return StartRun(1, 0, 1);
}

int CTCPFileTransfer::ReadCallHistory() {
  m_queue = {std::string(kCallHistoryName)};
  return StartRun(1, 0, 0);
}

int CTCPFileTransfer::ReadRestrictionNumbers() {
  m_queue = {std::string(kRestrictionName)};
  return StartRun(1, 1, 0);
}

std::list<std::string> CTCPFileTransfer::PhonebookUploadQueue(bool tenColumn) const {
  std::list<std::string> queue;
  for (int i = 0; i < 20; ++i)
    if (writeSelection[i] == 1) queue.push_back(speedDialBlockName(i, tenColumn));
  if (writeSelection[20] == 1)
    for (const std::string& name : extensionBlockNames()) queue.push_back(name);
  if (writeSelection[21] == 1) queue.push_back(std::string(kTemplateName));
  // The main unit requests the last listed file twice.
  if (!queue.empty()) queue.push_back(queue.back());
  return queue;
}

int CTCPFileTransfer::WritePhonebook() {
  m_queue = PhonebookUploadQueue(false);
  // The block selection refuses an empty choice; nothing selected is nothing to contact the
  // main unit for.
  if (m_queue.empty()) return -1;
  return StartRun(0, 0, 1);
}

int CTCPFileTransfer::WriteRestrictionNumbers() {
  m_queue.clear();
  for (const std::string& name : restrictionBlockNames()) m_queue.push_back(name);
  m_queue.push_back(m_queue.back());
  return StartRun(0, 1, 0);
}

// ---- the run ----

int CTCPFileTransfer::Run(int download) {
  m_progressWindow = findWindow(kTransferProgressTitle);
  RemoveLeftoverTempFiles();
  postTransferPercent(m_progressWindow, 0);
  // What the previous main unit answered does not count for this one.
  m_fwText.clear();
  m_deviceType.clear();
  m_unitPassword.clear();
  m_fwVersion = 0.0;
  m_status = 0;

  auto closeBoth = [this] {
    m_control.close();
    m_listener.close();
    m_http.reset();
  };
  if (!OpenControl()) {
    m_control.close();
    return -1;
  }
  if (!OpenListener()) {
    closeBoth();
    return -1;
  }
  m_key = VLT_KeyCreate(keyMaterial);
  m_control.setKey(m_key);
  m_http = std::make_unique<CHttpData>();
  if (!RequestConnectionInfo()) {
    closeBoth();
    return -1;
  }
  if (m_deviceType.compare(0, 3, "Zu/") != 0) {
    ShowError("主装置種別エラー発生");
    closeBoth();
    return -1;
  }
  if (m_password != m_unitPassword) {
    ShowError("パスワードエラーです。");
    closeBoth();
    return -1;
  }
  if (m_phonebookRun == 1) {
    AdjustQueueForFirmware(download);
    if (!download && m_queue.empty()) {
      closeBoth();
      ReleaseKey();
      return 0;
    }
  }
  if (!WriteFileList(download)) {
    closeBoth();
    return -1;
  }
  m_http.reset();
  return RunDataPhase(download != 0);
}

bool CTCPFileTransfer::OpenControl() {
  if (!m_control.socket().open()) {
    ShowError("ソケット作成失敗");
    return false;
  }
  if (!m_control.socket().connect(m_host, m_port, linkTiming().connect)) {
    ShowError("コネクト失敗");
    return false;
  }
  m_localAddress = m_control.socket().localAddress();
  return true;
}

bool CTCPFileTransfer::OpenListener() {
  if (!m_listener.open()) return false;
  int port = m_listenPort;
  const OpResult bound = m_listener.bindListen(port, 2, m_listenAddress);
  if (!bound.ok()) {
    MessageBox(m_progressWindow, bound.message, bound.caption, MB_ICONWARNING | MB_OK);
    m_listener.close();
    return false;
  }
  return true;
}

void CTCPFileTransfer::AdjustQueueForFirmware(int download) {
  if (m_fwVersion >= 4.0) {
    sysTanfMode = 1;
    if (download)
      m_queue = {std::string(kExtensionName), std::string(kTemplateName),
                 std::string(kSpeedDialTenColumnName)};
    else
      m_queue = PhonebookUploadQueue(true);
    m_queueTotal = static_cast<std::int32_t>(m_queue.size());
    return;
  }
  sysTanfMode = 0;
  if (!download) m_queue.remove(std::string(kTemplateName));
}

int CTCPFileTransfer::RunDataPhase(bool download) {
  DataPhaseSetup setup;
  setup.key = m_key;
  setup.host = m_host;
  setup.unitPassword = m_unitPassword;
  setup.workDir = m_workDir;
  setup.fileListPath = m_fileListFile;
  setup.progressWindow = m_progressWindow;
  setup.paced = m_paced != 0;
  setup.queueTotal = m_queueTotal;
  return DataPhase(std::move(setup), m_listener, m_control, m_queue).run(download);
}

bool CTCPFileTransfer::WriteFileList(int download) {
  if (m_queue.empty()) return true;
  const std::string path = MakeTempName();
  if (path.empty() || path.size() > kMaxPathBytes) return false;
  m_fileListFile = path;
  return writeFileList(path, m_queue, download != 0, download ? m_host : m_localAddress);
}

bool CTCPFileTransfer::RequestConnectionInfo() {
  const std::string request = connectionRequest(keyMaterial);
  // Only the connection request leaves in plain; from here on both directions are enciphered.
  const int sent = m_control.sendPlainLine(request);
  if (sent != static_cast<int>(request.size()) + 2) {
    ShowError("送信が正常に終了しませんでした");
    return false;
  }

  char line[kLineSize];
  auto wait = linkTiming().answerStatusLine;
  if (m_control.readLineWait(line, sizeof line, wait) <= 0) {
    ShowError(wait.count() == -1 ? "主装置との接続がタイムアウトしました。"
                                 : "主装置からの装置データの受信に失敗しました。");
    return false;
  }
  if (!parseStatusLine(line, m_status)) {
    ShowError("主装置種別エラー発生");
    return false;
  }
  if (!readHeadFields(m_control, linkTiming().answerHeaderLine, HeaderSet::ConnectionAnswer,
                      *m_http, m_control.socket())) {
    ShowError("主装置からの装置データの受信に失敗しました。");
    return false;
  }
  if (statusClass(m_status) != 2) {
    m_control.close();
    ShowError(m_status == 404 ? "主装置使用中です。" : "データ受信に失敗しました。");
    return false;
  }

  std::string answerPath = MakeTempName();
  if (endsWithIgnoringCase(answerPath, ".tmp"))
    answerPath.replace(answerPath.size() - 4, 4, ".xml");
  std::FILE* file = nullptr;
  if (!answerPath.empty() && answerPath.size() <= kMaxPathBytes)
    file = std::fopen(answerPath.c_str(), "wb");
  if (file == nullptr) {
    ShowError("受信データファイルの作成に失敗しました。");
    return false;
  }
  std::string body;
  int length = m_http->contentLength;
  if (!ReadAnswerBody(body, length)) {
    std::fclose(file);
    std::remove(answerPath.c_str());
    return false;
  }
  // Written in text mode: the XML reader reads the CR LF back as LF.
  const std::string text = textModeEncode(body);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    std::remove(answerPath.c_str());
    ShowError("受信データファイルの作成に失敗しました。");
    return false;
  }

  CXMLAccess document;
  if (!document.Load(answerPath)) {
    ShowError("受信ファイルの読み込みに失敗しました。");
    std::remove(answerPath.c_str());
    return false;
  }
  auto firstText = [&document](const char* tag, std::string& member) {
    const CXMLElementList list = document.GetElements(tag);
    if (list.Length() == 0) return false;
    member = list.Item(0).TextContent();
    return true;
  };
  if (firstText("fw_ver", m_fwText)) {
    m_fwVersion = std::strtod(m_fwText.c_str(), nullptr);
    if ((equalsIgnoringCase(m_fwText, "1.00") || equalsIgnoringCase(m_fwText, "2.00")) &&
        m_restrictionRun == 1) {
      std::remove(answerPath.c_str());
      return false;
    }
  }
  firstText("dev_type", m_deviceType);
  firstText("password", m_unitPassword);
  std::remove(answerPath.c_str());
  return true;
}

int CTCPFileTransfer::ReadAnswerBody(std::string& body, int& length) {
  body.clear();
  if (length < 0) {
    char line[kLineSize];
    for (;;) {
      auto wait = linkTiming().answerBody;
      const int n = m_control.readLineWait(line, sizeof line, wait);
      if (n <= 0) {
        if (wait.count() == -1) {
          ShowError("主装置との接続がタイムアウトしました。");
          body.clear();
          return 0;
        }
        break;
      }
      body.append(line, static_cast<std::size_t>(n));
      if (body.size() > kMaxAnswerLineBody) {
        body.clear();
        return 0;
      }
      if (std::strncmp(line, "</root>", 7) == 0) break;
    }
    length = static_cast<int>(body.size());
    return 1;
  }
  if (length > kMaxBodyLength) return 0;
  // A stream socket may deliver the body in pieces: gather them until the whole length has
  // arrived, the main unit closes, or the body's one deadline passes. The deadline covers the
  // whole body, so a peer that trickles its bytes cannot hold the run longer than that.
  body.resize(static_cast<std::size_t>(length));
  const auto deadline = std::chrono::steady_clock::now() + linkTiming().answerBody;
  int received = 0;
  while (received < length) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || m_control.socket().waitReadable(left) != 1) break;
    const int r = m_control.recvSome(body.data() + received, length - received);
    if (r < 0) {
      body.clear();
      return 0;
    }
    if (r == 0) break;
    received += r;
  }
  if (received != length) {
    body.clear();
    return 0;
  }
  return 1;
}
