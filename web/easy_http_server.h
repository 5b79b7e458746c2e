// EasyHttpServer: the small HTTP/1.0 server of the local editor.
//
// It serves the editor pages under the document root, answers a page's ".js" data script with a
// script generated from the tables (web/data_script.h), and takes form posts into the tables
// (web/form_parser.h, web/post_checks.h). It listens on 127.0.0.1 only. One listener thread
// accepts; each connection gets its own CEasyHttpWorker thread (web/easy_http_worker.h) that
// handles one request and ends.
//
// Start() binds the settings' port, trying port ... port+4; a server asked for port 80 that
// cannot bind 80-84 (an unprivileged user cannot bind below 1024) tries 8080-8084 before it
// reports the failure. After a successful Start() the settings hold the port bound. Stop() ends
// the listener; a request in progress finishes, later ones get no answer. A server starts only
// once (Stop keeps it from starting again); a failed Start may be repeated.
//
// Workers read their whole request before they take tableLock() and hold it only for the table
// work and the response, so an idle connection blocks nobody. At most maxWorkers run; when all
// are taken, the one that has waited longest for the rest of its request is closed to make room
// for the new connection, however often its bytes trickle in. When none is still reading, the
// new connection waits in the listen queue until a worker ends. So connections that send their
// head slowly cannot lock the editor out. The destructor stops the server and waits for every
// worker; do not destroy a server while holding tableLock().
//
// Setters change nothing while the server runs. The class owns a socket and threads, so it is
// not copyable.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/platform.h"
#include "base/socket.h"
#include "ui/win_types.h"

// The server's settings, copied whole wherever they travel.
struct EasyHttpSettings {
  std::int32_t backlog = 64;  // room in the listen queue for a burst of connections
  std::uint16_t port = 80;
  std::int32_t maxBodySize = 2024000;
  char documentRoot[kMaxPathBytes] = "./";
  char defaultPage[kMaxPathBytes] = "index.html";
  char serverName[kMaxPathBytes] = "EasyHttpServer/1.0";
  // Set by a worker once a form post was taken into the tables: the response then carries the
  // reload script. Only touched under tableLock().
  std::int32_t postCompleted = 0;
};

// The waits of the server. The defaults are the ones the editor pages were built against; tests
// shorten them.
struct EasyHttpTiming {
  using ms = std::chrono::milliseconds;
  ms head{20000};            // from the accept to the end of the head (line and headers)
  ms bodyStart{1000};        // before the body is read
  ms body{10000};            // per arrival of body bytes
  int lockAttempts = 701;    // try-lock attempts for tableLock() ...
  ms lockRetry{10};          // ... with this sleep after each failure
  int pauseEveryPieces = 10; // a pause after every tenth full 1024-byte piece sent
  ms pause{100};
  int pumpBeforeReload = 20; // message-pump passes before the reload script ...
  ms pumpBeforeReloadSleep{100};
  int pumpAfterReload = 20;  // ... and after it
  ms pumpAfterReloadSleep{10};
  std::size_t maxHeaderBytes = 4u << 20;  // a longer request head is dropped without answer
  int maxWorkers = 64;                    // workers at once (the oldest reader makes room)
};

// Posted to the owner window for every accepted connection; it takes no action on it.
constexpr unsigned kConnectionAcceptedMessage = WM_USER + 1001;

// The listen call of Start() after each bind (::listen). Tests replace it to make a listen fail
// after its bind succeeded; set it only while no server starts.
extern int (*easyHttpListen)(int fd, int backlog);

class CEasyHttpWorker;

class EasyHttpServer {
 public:
  EasyHttpServer();
  ~EasyHttpServer();
  EasyHttpServer(const EasyHttpServer&) = delete;
  EasyHttpServer& operator=(const EasyHttpServer&) = delete;

  // Binds, listens and starts the listener. False when running already, when it ran before,
  // when the last document root set did not fit, or when a step failed (its message has been
  // shown to the owner window).
  bool Start();
  void Stop();
  bool IsRunning() const { return m_running.load() != 0; }
  std::uint16_t GetPort() const { return m_settings.port; }

  void SetBacklog(int backlog);
  void SetPort(std::uint16_t port);
  void SetMaxBodySize(int bytes);
  // False, and the root unchanged, while running or when `root` does not fit the settings
  // (kMaxPathBytes - 1 bytes); after a root that does not fit, Start() fails until one that
  // fits is set.
  bool SetDocumentRoot(const std::string& root);
  void SetDefaultPage(const std::string& page);
  void SetServerName(const std::string& name);
  void SetOwnerWindow(HWND owner);
  void SetTiming(const EasyHttpTiming& timing);
  const EasyHttpSettings& Settings() const { return m_settings; }
  const EasyHttpTiming& Timing() const { return m_timing; }

  // Set by a worker when a phonebook page ("16tansyuku_", "17tel_") or the restriction page
  // ("26sysfunc_01") was posted; the data-script step clears them. Only touched under
  // tableLock().
  std::int32_t phonebookPosted = 0;
  std::int32_t restrictionPosted = 0;

 private:
  friend class CEasyHttpWorker;

  bool BindLoopback(int& port);
  void ListenerLoop();
  void ReapWorkers(bool all);
  bool MakeRoom();
  void WaitForWake(int ms);
  void WakeWorkersReading();

  EasyHttpSettings m_settings;
  EasyHttpSettings m_runSettings;  // the copy the workers of this run share
  EasyHttpTiming m_timing;
  Socket m_listenSocket;
  std::atomic<int> m_running{0};
  bool m_started = false;  // a listener thread was started: the server does not start again
  bool m_rootTooLong = false;  // the last document root set did not fit: no start
  std::thread m_listener;
  int m_wakePipe[2] = {-1, -1};
  HWND m_ownerWindow = nullptr;

  std::mutex m_workersMutex;
  std::list<std::unique_ptr<CEasyHttpWorker>> m_workers;
};
