// CTCPFileTransfer: the tool's whole link to the main unit.
//
// One object lives for the life of the process. Every exchange with the main unit is one
// transfer run started by an entry point (ReadPhonebook ... WriteRestrictionNumbers): the entry
// point fills the transfer queue, Run opens a fresh control connection to the main unit and a
// listening socket for the data connection the main unit opens back, checks the unit's answer
// to the connection request (type, password, firmware) and then moves the queued files.
//
// Contract:
// - SetHost and SetPassword are called before every run (the host dialog does it); SetWorkDir
//   names the folder that holds the work files (exchange files and upload blocks). Temporary
//   files of a run live in work dir + "/Zu"; every ".tmp" file there is removed when a run
//   starts and again when it ends.
// - An entry point returns 0 when the run succeeded and -1 when it failed. Failures have already
//   been reported to the user through message boxes (caption "エラー", warning icon, owner the
//   progress window titled "データ通信実行中" when one exists) or are silent where the protocol
//   gives no message; the calling workflow adds its own general message.
// - Runs are sequential: one run at a time, on the calling thread. Progress goes to the progress
//   window as posted messages; pending window messages are taken at fixed points of the data
//   phase. Every fixed wait and time-out comes from linkTiming() (link/link_timing.h).
// - After every run, successful or not, the sockets are closed and the key handle is released
//   (keyHandle is 0 and the key material wiped).
//
// The message-layer operations (BuildRequest ... CheckCredentials) are members because they read
// and write the state of the exchange in progress (phase, method, status, path, host, password,
// current file, key material, the current CHttpData).
#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "ui/win_types.h"

class TcpSocket;
class CHttpData;

class CTCPFileTransfer {
public:
    explicit CTCPFileTransfer(HWND owner);
    virtual ~CTCPFileTransfer();
    CTCPFileTransfer(const CTCPFileTransfer&) = delete;
    CTCPFileTransfer& operator=(const CTCPFileTransfer&) = delete;

    // Setters and small operations.
    void SetHost(const std::string& host, int port);
    void SetPassword(const std::string& password);
    // A null or empty path stores an empty work directory; one trailing '/' is removed.
    void SetWorkDir(const char* path);
    std::string GetWorkDir() const;
    // First port tried for the data-connection listener (9000; the next four are tried too).
    void SetListenPort(int port);
    // Address the listener binds to: empty (the default) listens on every interface.
    void SetListenAddress(const std::string& address);
    // Creates work dir + "/Zu" if needed and a new, empty, uniquely named ".tmp" file in it;
    // returns its path, or "" when it cannot be created or its path is over 260 bytes.
    std::string MakeTempName();

    // Entry points: 0 success, -1 failure.
    int ReadPhonebook();
    int ReadCallHistory();
    int ReadRestrictionNumbers();
    int WritePhonebook();
    int WriteRestrictionNumbers();

    // Upload preparation: split the staged work files of the work directory into upload blocks.
    // familyFlag 1 selects the 10-column speed-dial form. Every block of the family that exists
    // afterwards was made by this call; one that cannot finish (no staged file, a block that
    // cannot be written) leaves none, so the upload fails instead of sending an old block.
    void PrepareSpeedDialFiles(int familyFlag);
    void PrepareExtensionFiles();
    void PrepareRestrictionFiles();
    void PrepareTemplateFile();

    // Message layer.
    int BuildRequest(int kind, std::string& text);
    void AppendHeaders(int kind, bool request, std::string& text);
    bool SendStatus(int code, TcpSocket& socket);
    bool ParseStatusLine(std::string_view line);
    int ParseHeaderLine(std::string_view line);
    bool ParseRequestLine(std::string_view line);
    int StatusClass() const;
    bool CheckCredentials(std::string_view text) const;

protected:
    // Run steps.
    int Run(int download);
    bool OpenControl();
    bool OpenListener();
    bool RequestConnectionInfo();
    // Reads the body of the connection answer: `length` bytes, or lines up to "</root>" when
    // `length` is below 0. 1 with the body and its length, 0 on failure.
    int ReadAnswerBody(std::string& body, int& length);
    void AdjustQueueForFirmware(int download);
    bool WriteFileList(int download);
    int RunDataPhase(int download);
    bool ServeRequest(int download);
    bool FetchFile();

    // Helpers of the steps.
    int StartRun(int download, int restrictionRun, int phonebookRun);
    void ReleaseKey();
    void RemoveLeftoverTempFiles();
    std::string WorkPath(std::string_view name) const;
    std::list<std::string> PhonebookUploadQueue(bool tenColumn) const;
    void ShowError(std::string_view text) const;
    void PostPercent(int percent) const;
    void PostRange(std::int64_t total) const;
    // Header lines into ParseHeaderLine until the empty line, an expired wait, an error or the
    // peer's close; false when the head grows beyond any real one.
    bool ReadHead(TcpSocket& socket, std::chrono::milliseconds perByte);
    bool ReadRequest();
    bool Refuse(int code);
    bool SendRequestAndReadAnswer(const std::string& request);
    bool ConvertFetchedDocument(const std::string& documentPath);

    HWND m_owner = nullptr;
    std::unique_ptr<TcpSocket> m_control;
    std::unique_ptr<TcpSocket> m_listener;
    std::unique_ptr<TcpSocket> m_data;
    std::int32_t m_phase = 0;
    std::int32_t m_method = 0;
    std::int32_t m_status = 0;
    std::string m_workDir;
    std::string m_password = "7351";
    std::string m_path;
    std::string m_localAddress;
    std::string m_host = "Localhost";
    std::int32_t m_port = 9000;
    std::int32_t m_listenPort = 9000;
    char m_answerFile[kMaxPathBytes + 1] = {};
    char m_fileListFile[kMaxPathBytes + 1] = {};
    char m_receivedFile[kMaxPathBytes + 1] = {};
    std::unique_ptr<CHttpData> m_http;
    std::string m_fwText;
    std::string m_deviceType;
    std::string m_unitPassword;
    std::list<std::string> m_queue;
    std::int32_t m_queueTotal = 0;
    std::string m_currentFile;
    std::int32_t m_progressPos = 0;
    std::int32_t m_progressStep = 0;
    std::int32_t m_dataAccepted = 0;
    std::int32_t m_paced = 1;
    HWND m_progressWindow = nullptr;
    unsigned char keyMaterial[64] = {};
    std::int32_t m_restrictionRun = 0;
    double m_fwVersion = 0.0;
    std::int32_t m_phonebookRun = 0;
    std::string m_listenAddress;
};
