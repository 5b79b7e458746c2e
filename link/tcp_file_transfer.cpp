#include "link/tcp_file_transfer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ascii_text.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/process_state.h"
#include "data/xml_access.h"
#include "link/http_data.h"
#include "link/link_timing.h"
#include "link/progress_messages.h"
#include "link/tcp_socket.h"
#include "link/transfer_names.h"
#include "ui/message_box.h"
#include "ui/window_registry.h"
#include "vaultline/vaultline.h"

namespace {

constexpr std::string_view kErrorCaption = "エラー";
constexpr int kLineSize = 1024;
// A head (header lines) beyond this size is no real one: the exchange fails.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
// The connection answer read line by line (no Content-Length) is a few hundred bytes; a body
// that grows beyond this fails the exchange.
constexpr std::size_t kMaxAnswerLineBody = 256 * 1024;

void copyPath(char (&out)[kMaxPathBytes + 1], const std::string& path) {
    std::memset(out, 0, sizeof out);
    std::strncpy(out, path.c_str(), kMaxPathBytes);
}

}  // namespace

CTCPFileTransfer::CTCPFileTransfer(HWND owner) : m_owner(owner) {}

CTCPFileTransfer::~CTCPFileTransfer() {
    m_control.reset();
    m_listener.reset();
}

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

std::string CTCPFileTransfer::WorkPath(std::string_view name) const {
    // An empty work directory is the current directory.
    if (m_workDir.empty()) return std::string(name);
    return m_workDir + "/" + std::string(name);
}

std::string CTCPFileTransfer::MakeTempName() {
    // A folder path cut to the limit would name another folder: a name that cannot be held
    // is no name at all.
    const std::string dir = WorkPath("Zu");
    if (dir.size() > kMaxPathBytes) return {};
    ::mkdir(dir.c_str(), 0777);
    std::string name = createUniqueTempFile(dir);
    if (name.size() > kMaxPathBytes) {
        std::remove(name.c_str());
        return {};
    }
    return name;
}

void CTCPFileTransfer::RemoveLeftoverTempFiles() {
    const std::string dir = WorkPath("Zu");
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) return;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (!endsWithIgnoringCase(name, ".tmp")) continue;
        const std::string path = dir + "/" + name;
        struct stat info{};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(path.c_str());
    }
    ::closedir(folder);
}

void CTCPFileTransfer::ShowError(std::string_view text) const {
    MessageBox(m_progressWindow, text, kErrorCaption, MB_ICONWARNING | MB_OK);
}

void CTCPFileTransfer::PostPercent(int percent) const {
    postMessage(m_progressWindow, kSetPercentMessage, static_cast<std::uintptr_t>(percent));
}

void CTCPFileTransfer::PostRange(std::int64_t total) const {
    postMessage(m_progressWindow, kRangeStartMessage, static_cast<std::uintptr_t>(m_progressPos));
    postMessage(m_progressWindow, kRangeEndMessage, static_cast<std::uintptr_t>(m_progressPos + m_progressStep));
    postMessage(m_progressWindow, kRangeTotalMessage, static_cast<std::uintptr_t>(total));
}

void CTCPFileTransfer::ReleaseKey() {
    const int handle = keyHandle.exchange(0);
    if (handle != 0) VLT_KeyDestroy(handle);
}

// ---- entry points ----

int CTCPFileTransfer::StartRun(int download, int restrictionRun, int phonebookRun) {
    m_queueTotal = static_cast<std::int32_t>(m_queue.size());
    m_paced = 1;
    m_restrictionRun = restrictionRun;
    m_phonebookRun = phonebookRun;
    const int result = Run(download);
    m_control.reset();
    m_listener.reset();
    m_data.reset();
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
    cipherMode = 0;
    m_phase = 1;
    PostPercent(0);
    m_progressStep = 5;
    m_progressPos = 0;
    // What the previous main unit answered does not count for this one.
    m_fwText.clear();
    m_deviceType.clear();
    m_unitPassword.clear();
    m_fwVersion = 0.0;
    m_status = 0;
    m_method = 0;
    m_path.clear();
    m_dataAccepted = 0;

    auto closeBoth = [this] {
        if (m_control) m_control->Close();
        if (m_listener) m_listener->Close();
        m_http.reset();
    };
    if (!OpenControl()) {
        if (m_control) m_control->Close();
        return -1;
    }
    if (!OpenListener()) {
        closeBoth();
        return -1;
    }
    keyHandle = VLT_KeyCreate(keyMaterial);
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
    return RunDataPhase(download);
}

bool CTCPFileTransfer::OpenControl() {
    if (!m_control) {
        m_control = std::make_unique<TcpSocket>();
        m_listener = std::make_unique<TcpSocket>();
    }
    if (!m_control->Create()) {
        ShowError("ソケット作成失敗");
        return false;
    }
    if (!m_control->Connect(m_host, m_port)) {
        ShowError("コネクト失敗");
        return false;
    }
    m_localAddress = m_control->LocalAddress();
    return true;
}

bool CTCPFileTransfer::OpenListener() {
    m_listener->SetOwnerWindow(m_progressWindow);
    if (!m_listener->Create()) return false;
    int port = m_listenPort;
    if (!m_listener->BindListen(port, 2, m_listenAddress)) {
        m_listener->Close();
        return false;
    }
    return true;
}

bool CTCPFileTransfer::ReadHead(TcpSocket& socket, std::chrono::milliseconds perByte) {
    char line[kLineSize];
    std::size_t total = 0;
    for (;;) {
        auto wait = perByte;
        const int n = socket.ReadLineWait(line, sizeof line, wait);
        if (n <= 0) return true;
        total += static_cast<std::size_t>(n);
        if (total > kMaxHeadBytes) return false;
        ParseHeaderLine(line);
    }
}

bool CTCPFileTransfer::RequestConnectionInfo() {
    std::memset(m_answerFile, 0, sizeof m_answerFile);
    std::string request;
    BuildRequest(1, request);
    const int sent = m_control->SendLine(request);
    // Only the connection request leaves in plain; from here on both directions are enciphered.
    if (cipherMode == 1) cipherMode = 0;
    if (sent != static_cast<int>(request.size()) + 2) {
        ShowError("送信が正常に終了しませんでした");
        return false;
    }

    char line[kLineSize];
    auto wait = linkTiming().answerStatusLine;
    if (m_control->ReadLineWait(line, sizeof line, wait) <= 0) {
        ShowError(wait.count() == -1 ? "主装置との接続がタイムアウトしました。" : "主装置からの装置データの受信に失敗しました。");
        return false;
    }
    if (!ParseStatusLine(line)) {
        ShowError("主装置種別エラー発生");
        return false;
    }
    if (!ReadHead(*m_control, linkTiming().answerHeaderLine)) {
        ShowError("主装置からの装置データの受信に失敗しました。");
        return false;
    }
    if (StatusClass() != 2) {
        m_control->Close();
        ShowError(m_status == 404 ? "主装置使用中です。" : "データ受信に失敗しました。");
        return false;
    }

    std::string answerPath = MakeTempName();
    if (endsWithIgnoringCase(answerPath, ".tmp")) answerPath.replace(answerPath.size() - 4, 4, ".xml");
    std::FILE* file = nullptr;
    if (!answerPath.empty() && answerPath.size() <= kMaxPathBytes) {
        copyPath(m_answerFile, answerPath);
        file = std::fopen(m_answerFile, "wb");
    }
    if (file == nullptr) {
        ShowError("受信データファイルの作成に失敗しました。");
        return false;
    }
    std::string body;
    int length = m_http->contentLength;
    if (!ReadAnswerBody(body, length)) {
        std::fclose(file);
        std::remove(m_answerFile);
        return false;
    }
    // Written in text mode: the XML reader reads the CR LF back as LF.
    const std::string text = textModeEncode(body);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::remove(m_answerFile);
        ShowError("受信データファイルの作成に失敗しました。");
        return false;
    }

    CXMLAccess document;
    if (!document.Load(m_answerFile)) {
        ShowError("受信ファイルの読み込みに失敗しました。");
        std::remove(m_answerFile);
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
        if ((equalsIgnoringCase(m_fwText, "1.00") || equalsIgnoringCase(m_fwText, "2.00")) && m_restrictionRun == 1) {
            std::remove(m_answerFile);
            return false;
        }
    }
    firstText("dev_type", m_deviceType);
    firstText("password", m_unitPassword);
    std::remove(m_answerFile);
    return true;
}

int CTCPFileTransfer::ReadAnswerBody(std::string& body, int& length) {
    body.clear();
    if (length < 0) {
        char line[kLineSize];
        for (;;) {
            auto wait = linkTiming().answerBody;
            const int n = m_control->ReadLineWait(line, sizeof line, wait);
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
    // arrived, the main unit closes, or a piece does not come in time.
    body.resize(static_cast<std::size_t>(length));
    int received = 0;
    while (received < length) {
        if (m_control->WaitReadable(linkTiming().answerBody) != 1) break;
        const int r = m_control->RecvSome(body.data() + received, length - received);
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
