// DataPhase: the data phase of one transfer run, after the main unit has accepted the connection
// request. The main unit connects back to the tool's listener and asks for the file list; for an
// upload it then asks for every listed block, which the tool serves; for a download the tool then
// fetches every listed file and turns it into its work file(s).
//
// Failures are shown as the run's are (caption "エラー", warning icon, owner the progress window)
// or are silent where the protocol gives no message. Progress goes to the progress window as
// posted messages; pending window messages are taken at fixed points.
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

// What a transfer run hands to its data phase.
struct DataPhaseSetup {
  int key = 0;               // the run's cipher key (vaultline handle)
  std::string host;          // the main unit: the Host of the tool's requests
  std::string unitPassword;  // the main unit's password: what its requests must carry, and what
                             // the tool's requests carry
  std::string workDir;       // the work folder (empty: the current folder)
  std::string fileListPath;  // the file list of the run, served as "file_list.xml"
  HWND progressWindow = nullptr;
  bool paced = true;
  int queueTotal = 0;  // the number of files queued for the run (the progress steps)
};

class DataPhase {
 public:
  // `listener` is where the main unit connects; keep-alive asked for by a head is set on
  // `control`; `queue` loses each file as it is moved.
  DataPhase(DataPhaseSetup setup, Socket& listener, LinkStream& control,
            std::list<std::string>& queue);

  // 0 when the queue was moved, -1 on failure.
  int run(bool download);

 private:
  int serveAll();
  int fetchAll();
  bool serveRequest();
  bool readRequest();
  bool refuse(int code);
  bool sendStatus(int code);
  bool readHead(std::chrono::milliseconds perByte);
  bool sendRequestAndReadAnswer(const std::string& request);
  bool fetchFile();
  void nextStep(int& percent);
  void showError(std::string_view text) const;
  void postPercent(int percent) const;
  void postRange(std::int64_t total) const;

  DataPhaseSetup m_setup;
  Socket& m_listener;
  LinkStream& m_control;
  std::list<std::string>& m_queue;
  LinkStream m_data;
  bool m_accepted = false;
  std::unique_ptr<CHttpData> m_http;
  // 2 while the file list is asked for, 3 afterwards.
  int m_phase = 2;
  RequestMethod m_method = RequestMethod::Other;
  std::string m_path;
  int m_status = 0;
  int m_progressPos = 5;
  int m_progressStep = 5;
};

// Writes the file list of the queued names to `path` in text mode: "<root>", the UD-TYPE
// (DOWNLOAD or UPLOAD) and one element "address/file" per queued name that has a file-list
// entry. False when the file cannot be written.
bool writeFileList(const std::string& path, const std::list<std::string>& queue, bool download,
                   std::string_view address);

// Turns the fetched document at `documentPath` (XML) into the work file(s) of `fileName` in
// `workDir`: the user-information line, for some files an empty line, then the converted
// elements (the call history becomes naityaklog.txt and gaityaklog.txt). False when the
// document cannot be read or a work file cannot be written.
bool convertFetchedDocument(const std::string& documentPath, std::string_view fileName,
                            const std::string& workDir);
