// The editor launch and close that the menu dialogs and `zuctl edit` share.
//
// A CEditorSession belongs to one menu (phonebook, restriction numbers or call history) and owns
// its EasyHttpServer. OnEditInBrowser() is the menu's browser button: it starts the server when
// it does not run yet (memory check, port 80, document root = the executable's folder +
// "HTMLFiles/", the menu's start page, then the snapshot or the restriction normalisation), and
// opens the default browser on http://127.0.0.1:PORT/ (also when the server ran already, so a
// second press opens a second window). Close() is the menu's close: it takes tableLock() while
// pumping the calling thread's messages, stops the server, restores the phonebook for the
// phonebook menu while duplicateCheck is 1, and releases the lock. A session destroyed while
// its server still runs (its menu went without a close) stops the server under the lock too, so
// no server outlives its session.
//
// Messages (caption "エラー", warning icon, owner the menu): too little memory, a failed start.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/win_types.h"
#include "web/easy_http_server.h"

enum class EditorMenu { Phonebook, Restrictions, CallHistory };

// Physical memory the server needs to start.
constexpr std::uint64_t kEditorMemoryNeeded = 12288000;

class CEditorSession {
 public:
  explicit CEditorSession(EditorMenu menu);
  ~CEditorSession();
  CEditorSession(const CEditorSession&) = delete;
  CEditorSession& operator=(const CEditorSession&) = delete;

  // The browser button. `openBrowser` false starts the server without opening a browser.
  // Returns true when the server runs afterwards. The phonebook menu does nothing while
  // historyKind is not the internal history.
  bool OnEditInBrowser(HWND owner, bool openBrowser = true);
  // The close, as far as the editor is concerned. Safe to call when nothing was started.
  void Close();

  // The start page of this menu ("hoshu.html", "hoshu_Regulation.html", or the history page of
  // historyKind).
  std::string StartPage() const;
  // "http://127.0.0.1:PORT/" of the running server ("" when it does not run).
  std::string Url() const;
  EasyHttpServer& Server() { return m_server; }

  // The folder the pages are served from; the default is the executable's folder + "HTMLFiles/".
  void SetDocumentRoot(std::string root) { m_documentRoot = std::move(root); }
  // The port asked for first (80 by default); tests use 0 for any free port.
  void SetPort(std::uint16_t port) { m_port = port; }

 private:
  EditorMenu m_menu;
  EasyHttpServer m_server;
  std::string m_documentRoot;
  std::uint16_t m_port = 80;
};

// Holds tableLock() for its lifetime. Taking it keeps the calling thread delivering its messages
// while it waits: a worker that holds the lock may be waiting for something only this thread can
// do (a message box over the editor). Not for a thread that holds the lock already.
class PumpedTableLock {
 public:
  PumpedTableLock();
  ~PumpedTableLock();
  PumpedTableLock(const PumpedTableLock&) = delete;
  PumpedTableLock& operator=(const PumpedTableLock&) = delete;
};

// Opens the default browser on `url`: $BROWSER when set, else xdg-open. The browser runs as an
// independent process; nothing waits for it. False when it could not be started (the program
// is missing or cannot be run).
bool openDefaultBrowser(const std::string& url);
// Replaces the browser start (tests record the URLs instead); an empty function restores it.
void setBrowserLauncherForTesting(std::function<void(const std::string&)> launcher);
