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
//   (KeyHandle() is 0 and the key material wiped).
//
// The heads are built and parsed by the free functions of link/http_head.h, the data phase is
// run by DataPhase (link/data_phase.h) and the upload blocks are made by link/upload_preparation.h;
// the members below hold what a run has found out (key, status, the main unit's answer, queue).
#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "base/socket.h"
#include "link/http_head.h"
#include "link/link_stream.h"
#include "ui/win_types.h"

class CTCPFileTransfer {
 public:
  // `owner` is the window the workflow runs under; messages of a run go to the progress window.
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

  // Upload preparation of the work directory (link/upload_preparation.h). familyFlag 1 selects
  // the 10-column speed-dial form.
  void PrepareSpeedDialFiles(int familyFlag);
  void PrepareExtensionFiles();
  void PrepareRestrictionFiles();
  void PrepareTemplateFile();

  // The cipher key of the run in progress (a vaultline handle); 0 between runs.
  int KeyHandle() const { return m_key; }

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
  // The data phase (link/data_phase.h) with what the run has found out.
  int RunDataPhase(bool download);

  // Helpers of the steps.
  int StartRun(int download, int restrictionRun, int phonebookRun);
  void ReleaseKey();
  void RemoveLeftoverTempFiles();
  std::list<std::string> PhonebookUploadQueue(bool tenColumn) const;
  void ShowError(std::string_view text) const;

  LinkStream m_control;
  Socket m_listener;
  int m_key = 0;
  std::int32_t m_status = 0;
  std::string m_workDir;
  std::string m_password = "7351";
  std::string m_localAddress;
  std::string m_host = "Localhost";
  std::int32_t m_port = 9000;
  std::int32_t m_listenPort = 9000;
  std::string m_fileListFile;  // the file list of the run, served as "file_list.xml"
  std::unique_ptr<CHttpData> m_http;
  std::string m_fwText;
  std::string m_deviceType;
  std::string m_unitPassword;
  std::list<std::string> m_queue;
  std::int32_t m_queueTotal = 0;
  std::int32_t m_paced = 1;
  HWND m_progressWindow = nullptr;
  unsigned char keyMaterial[64] = {};
  std::int32_t m_restrictionRun = 0;
  double m_fwVersion = 0.0;
  std::int32_t m_phonebookRun = 0;
  std::string m_listenAddress;
};
