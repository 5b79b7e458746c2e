// The data phase of a transfer run: the firmware adjustment of the queue, the file list, the
// tool serving the main unit's requests (upload) and fetching the listed files (download), and
// the preparation of upload blocks.
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
#include "data/upload_blocks.h"
#include "data/user_info.h"
#include "data/xml_access.h"
#include "link/http_data.h"
#include "link/link_timing.h"
#include "link/progress_messages.h"
#include "link/tcp_file_transfer.h"
#include "link/tcp_socket.h"
#include "link/transfer_names.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"
#include "ui/window_registry.h"

namespace {

constexpr int kLineSize = 1024;
constexpr std::int64_t kWholeRange = 2147483647;

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

}  // namespace

void CTCPFileTransfer::AdjustQueueForFirmware(int download) {
    if (m_fwVersion >= 4.0) {
        sysTanfMode = 1;
        if (download)
            m_queue = {std::string(kExtensionName), std::string(kTemplateName), std::string(kSpeedDialTenColumnName)};
        else
            m_queue = PhonebookUploadQueue(true);
        m_queueTotal = static_cast<std::int32_t>(m_queue.size());
        return;
    }
    sysTanfMode = 0;
    if (!download) m_queue.remove(std::string(kTemplateName));
}

bool CTCPFileTransfer::WriteFileList(int download) {
    if (m_queue.empty()) return true;
    const std::string path = MakeTempName();
    if (path.empty() || path.size() > kMaxPathBytes) return false;
    std::memset(m_fileListFile, 0, sizeof m_fileListFile);
    std::strncpy(m_fileListFile, path.c_str(), kMaxPathBytes);

    const std::string& address = download ? m_host : m_localAddress;
    std::string text = "<root>\n<UD-TYPE>";
    text += download ? "DOWNLOAD" : "UPLOAD";
    text += "</UD-TYPE>\n";
    for (const std::string& name : m_queue) {
        std::string element, fileName;
        if (!fileListEntry(name, element, fileName)) continue;
        text += "<" + element + ">" + address + "/" + fileName + "</" + element + ">\n";
    }
    text += "</root>\n";
    return writeWholeFile(path, textModeEncode(text));
}

int CTCPFileTransfer::RunDataPhase(int download) {
    m_phase = 2;
    m_dataAccepted = 0;
    m_data = std::make_unique<TcpSocket>();

    int p = 5;
    PostPercent(5);
    m_progressStep = 95 / (m_queueTotal > 0 ? m_queueTotal : 1);
    m_progressPos = 5;
    PostRange(kWholeRange);

    const LinkTiming& timing = linkTiming();
    for (;;) {
        m_http = std::make_unique<CHttpData>();
        if (!ServeRequest(download)) {
            m_http.reset();
            m_data.reset();
            return -1;
        }
        if (download) {
            m_http.reset();
            break;
        }
        m_phase = 3;
        PostPercent(p);
        m_progressPos = p;
        p += m_progressStep;
        PostRange(kWholeRange);
        if (m_queue.empty()) {
            PostPercent(100);
            pumpMessages(10);
            pace(timing.uploadEnd);
            m_http.reset();
            m_data->Close();
            m_data.reset();
            return 0;
        }
        m_http.reset();
    }

    m_phase = 3;
    for (;;) {
        PostPercent(p);
        m_progressPos = p;
        p += m_progressStep;
        PostRange(kWholeRange);
        pumpOneMessage();
        m_http = std::make_unique<CHttpData>();
        if (!FetchFile()) {
            m_data->Close();
            m_http.reset();
            m_data.reset();
            return -1;
        }
        if (m_queue.empty()) {
            PostPercent(100);
            pumpAndPace(10, timing.downloadEndStep);
            break;
        }
        m_http.reset();
    }
    m_http.reset();
    m_data.reset();
    ReleaseKey();
    return 0;
}

// ---- serving the main unit ----

bool CTCPFileTransfer::ReadRequest() {
    char line[kLineSize];
    auto wait = linkTiming().requestLine;
    if (m_data->ReadLineWait(line, sizeof line, wait) <= 0 || !ParseRequestLine(line)) return false;
    // The header lines wait per byte as long as the request line before them.
    return ReadHead(*m_data, linkTiming().requestLine);
}

bool CTCPFileTransfer::Refuse(int code) {
    m_http->contentLength = -1;
    SendStatus(code, *m_data);
    return false;
}

bool CTCPFileTransfer::ServeRequest(int /*download*/) {
    if (m_dataAccepted == 0) {
        if (!m_listener || !m_listener->AcceptWait(*m_data)) {
            ShowError("主装置との接続に失敗しました。");
            return false;
        }
        m_dataAccepted = 1;
    }
    // Every exchange takes two requests: the first is answered with 401 when it carries no
    // credentials; only the second is served.
    if (!ReadRequest()) return false;
    if (m_http->authorization.empty()) {
        m_http->contentLength = -1;
        SendStatus(401, *m_data);
    }
    if (!ReadRequest()) return false;
    if (!CheckCredentials(m_http->authorization)) return Refuse(401);
    if (m_method != 1) return Refuse(501);

    const std::string name = m_path.empty() ? std::string() : m_path.substr(1);
    const bool isList = equalsIgnoringCase(name, kFileListName);
    std::string canonical;
    std::string file;
    if (isList) {
        file = m_fileListFile;
    } else {
        canonical = recognisedDataFile(name);
        if (canonical.empty() || canonical == kCallHistoryName) return Refuse(404);
        file = WorkPath(canonical);
    }
    if (file.empty() || !fileExists(file)) return Refuse(404);
    if (m_phase == 2 && !isList) return Refuse(403);
    if (m_phase != 2 && m_phase != 3) return Refuse(403);

    std::string body;
    if (!readFileBytes(file, body, kMaxBodyLength)) return Refuse(403);
    if (!isList) {
        // A copy of every served data file but the two whole phonebook files is kept in the Zu
        // folder until the next run.
        const std::string copy = MakeTempName();
        if (copy.empty() || copy.size() > kMaxPathBytes) return Refuse(403);
        std::memset(m_receivedFile, 0, sizeof m_receivedFile);
        std::strncpy(m_receivedFile, copy.c_str(), kMaxPathBytes);
        if (canonical != kSpeedDialName && canonical != kExtensionName && !writeWholeFile(copy, body))
            return Refuse(403);
    }

    if (m_phase == 3) PostRange(static_cast<std::int64_t>(body.size()));
    const int length = static_cast<int>(body.size());

    const LinkTiming& timing = linkTiming();
    pace(m_paced ? timing.serveBeforeHead : timing.serveBeforeHeadUnpaced);
    m_http->contentLength = length;
    if (!SendStatus(200, *m_data)) return false;
    pumpAndPace(30, m_paced ? timing.serveAfterHeadStep : timing.serveAfterHeadStepUnpaced);
    if (m_data->SendBlock(body.data(), length, true) < length) return false;
    removeFirst(m_queue, isList ? lowerAscii(name) : canonical);
    pumpAndPace(30, m_paced ? timing.serveAfterBodyStep : timing.serveAfterBodyStepUnpaced);
    return true;
}

// ---- fetching from the main unit ----

bool CTCPFileTransfer::SendRequestAndReadAnswer(const std::string& request) {
    if (m_data->SendLine(request) != static_cast<int>(request.size()) + 2) {
        ShowError("送信が正常に終了しませんでした");
        return false;
    }
    char line[kLineSize];
    auto wait = linkTiming().fetchStatusLine;
    if (m_data->ReadLineWait(line, sizeof line, wait) <= 0) {
        if (wait.count() == -1) {
            const HWND progress = findWindow(kTransferProgressTitle);
            MessageBox(progress ? progress : m_progressWindow, "主装置との接続がタイムアウトしました。", "エラー",
                       MB_ICONWARNING | MB_OK);
        }
        return false;
    }
    if (!ParseStatusLine(line)) return false;
    return ReadHead(*m_data, linkTiming().fetchStatusLine);
}

bool CTCPFileTransfer::FetchFile() {
    if (m_queue.empty()) return false;
    m_currentFile = m_queue.front();

    std::string request;
    BuildRequest(5, request);
    if (!SendRequestAndReadAnswer(request)) return false;
    if (StatusClass() != 2 && m_status != 401) {
        m_data->Close();
        return false;
    }
    pace(linkTiming().fetchBetweenRequests);
    BuildRequest(3, request);
    // Only the answer to the second request says how long its body is.
    m_http->contentLength = -1;
    m_http->contentLengthText.clear();
    if (!SendRequestAndReadAnswer(request)) return false;
    // A document without a usable length cannot be read: fail the fetch.
    if (StatusClass() != 2 || m_http->contentLength < 0 || m_http->contentLength > kMaxBodyLength) {
        m_data->Close();
        return false;
    }

    const std::string documentPath = MakeTempName();
    if (documentPath.empty() || documentPath.size() > kMaxPathBytes) return false;
    std::memset(m_receivedFile, 0, sizeof m_receivedFile);
    std::strncpy(m_receivedFile, documentPath.c_str(), kMaxPathBytes);
    std::FILE* file = std::fopen(m_receivedFile, "wb");
    if (file == nullptr) return false;

    pumpAndPace(10, linkTiming().fetchBeforeBodyStep);
    PostRange(m_http->contentLength);
    const int length = m_http->contentLength;
    std::string body(static_cast<std::size_t>(length), '\0');
    const int received = m_data->RecvBlock(body.data(), length, linkTiming().blockRead, true);
    // A body cut short is no document, however much of it arrived.
    bool ok = received == length;
    if (ok) {
        const std::string text = textModeEncode(body);
        ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok || !ConvertFetchedDocument(documentPath)) return false;
    removeFirst(m_queue, lowerAscii(m_currentFile));
    return true;
}

bool CTCPFileTransfer::ConvertFetchedDocument(const std::string& documentPath) {
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
    const std::string name = lowerAscii(m_currentFile);
    std::vector<Target> targets;
    if (name == kCallHistoryName) {
        targets.push_back({"naityaklog.txt", "naityaklog", true,
                           [](const CXMLElementList& e, std::FILE* f) { convertHistoryElement(e, f, RowSource::MainUnit, HistoryKind::Internal); }});
        targets.push_back({"gaityaklog.txt", "gaityaklog", true,
                           [](const CXMLElementList& e, std::FILE* f) { convertHistoryElement(e, f, RowSource::MainUnit, HistoryKind::External); }});
    } else if (name == kRestrictionName) {
        targets.push_back({name, "m018", true,
                           [](const CXMLElementList& e, std::FILE* f) { convertRestrictionElement(e, f, RowSource::MainUnit); }});
    } else if (name == kTemplateName) {
        targets.push_back({name, "m046", true,
                           [](const CXMLElementList& e, std::FILE* f) { convertTemplateElement(e, f, RowSource::MainUnit); }});
    } else if (name == kSpeedDialName) {
        targets.push_back({name, "systan", false,
                           [](const CXMLElementList& e, std::FILE* f) { convertSpeedDialElement(e, f, RowSource::MainUnit, speedDialFormOf(sysTanfMode)); }});
    } else if (name == kExtensionName) {
        targets.push_back({name, "naisen", false,
                           [](const CXMLElementList& e, std::FILE* f) { convertExtensionElement(e, f, RowSource::MainUnit); }});
    } else if (name == kSpeedDialTenColumnName) {
        targets.push_back({name, "systanf", false,
                           [](const CXMLElementList& e, std::FILE* f) { convertSpeedDialElement(e, f, RowSource::MainUnit, speedDialFormOf(sysTanfMode)); }});
    } else {
        targets.push_back({name, nullptr, false, {}});
    }

    for (const Target& target : targets) {
        std::FILE* out = std::fopen(WorkPath(target.fileName).c_str(), "wb");
        if (out == nullptr) return false;
        std::fwrite(infoLine.data(), 1, infoLine.size(), out);
        if (target.blankLine) std::fputs("\r\n", out);
        if (target.element != nullptr) target.convert(document.GetElements(target.element), out);
        const bool failed = std::ferror(out) != 0;
        if (std::fclose(out) != 0 || failed) return false;
    }
    return true;
}

// ---- upload preparation ----

namespace {

// Opens the staged source and the first block of the work directory, both as bytes, and hands
// them to the block maker. Every block of the family that exists afterwards was made by this
// preparation: the old ones are removed first, and a preparation that cannot finish (no source,
// a block that cannot be created or written) removes what it made. An upload can thus never send
// a block left over from an earlier preparation, or one cut short; it fails on the missing block.
template <typename Maker>
void prepareBlocks(const std::string& sourcePath, const std::vector<std::string>& blockPaths, Maker maker) {
    for (const std::string& path : blockPaths) std::remove(path.c_str());
    bool made = false;
    if (std::FILE* source = std::fopen(sourcePath.c_str(), "rb")) {
        if (std::FILE* target = std::fopen(blockPaths.front().c_str(), "wb")) {
            made = maker(source, target, blockPaths.front()) == 1;
            made = std::fclose(target) == 0 && made;
        }
        std::fclose(source);
    }
    if (!made)
        for (const std::string& path : blockPaths) std::remove(path.c_str());
}

}  // namespace

void CTCPFileTransfer::PrepareSpeedDialFiles(int familyFlag) {
    const bool tenColumn = familyFlag == 1;
    std::vector<std::string> blocks;
    for (int i = 0; i < 20; ++i) blocks.push_back(WorkPath(speedDialBlockName(i, tenColumn)));
    prepareBlocks(WorkPath(tenColumn ? kSpeedDialTenColumnName : kSpeedDialName), blocks,
                  [familyFlag](std::FILE* in, std::FILE* out, const std::string& path) {
                      return makeSpeedDialBlocks(in, out, path, speedDialFormOf(familyFlag));
                  });
}

void CTCPFileTransfer::PrepareExtensionFiles() {
    std::vector<std::string> blocks;
    for (const std::string& name : extensionBlockNames()) blocks.push_back(WorkPath(name));
    prepareBlocks(WorkPath(kExtensionName), blocks,
                  [](std::FILE* in, std::FILE* out, const std::string& path) { return makeExtensionBlocks(in, out, path); });
}

void CTCPFileTransfer::PrepareRestrictionFiles() {
    std::vector<std::string> blocks;
    for (const std::string& name : restrictionBlockNames()) blocks.push_back(WorkPath(name));
    prepareBlocks(WorkPath("hkiseinotmp.txt"), blocks,
                  [](std::FILE* in, std::FILE* out, const std::string& path) { return makeRestrictionBlocks(in, out, path); });
}

void CTCPFileTransfer::PrepareTemplateFile() {
    prepareBlocks(WorkPath("usertkbntmp.txt"), {WorkPath(kTemplateName)},
                  [](std::FILE* in, std::FILE* out, const std::string& path) { return makeTemplateBlock(in, out, path); });
}
