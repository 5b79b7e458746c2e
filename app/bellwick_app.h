// CBellwickApp: the application object. It prepares the process-wide state, runs the main
// dialog and, at the end, releases what the process owns.
//
// Contract:
// - InitInstance() runs the start-up once per process on the user-interface thread: it records
//   the start directory, initialises the data model, starts the sockets layer (a failure ends
//   the start-up at once: nothing is shown), sets duplicateCheck to 1, empties the private
//   speed-dial lists and then runs the main dialog through m_runMainDialog, if one is set. It
//   always returns false: the modal main dialog is the whole run, there is no message loop.
// - ExitInstance() runs after InitInstance(), also when it failed: it deletes the link object
//   and returns the process exit code 0.
// - m_pTransfer is null until the main dialog's initialisation creates the one link object of
//   the process; the application object owns it until ExitInstance().
// - m_tableLock is the process-wide table lock of data/process_state.h (tableLock()).
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "link/tcp_file_transfer.h"

class CBellwickApp {
 public:
  CBellwickApp();
  ~CBellwickApp();
  CBellwickApp(const CBellwickApp&) = delete;
  CBellwickApp& operator=(const CBellwickApp&) = delete;

  bool InitInstance();
  int ExitInstance();

  // The one main-unit link object of the process.
  std::unique_ptr<CTCPFileTransfer> m_pTransfer;
  // Serialises the editor's form posts against the closing of an edit menu.
  std::mutex& m_tableLock;
  // Runs the main dialog modally and returns when it has ended. The desktop program and zuctl
  // set it; without one the start-up ends after the state is prepared.
  std::function<void()> m_runMainDialog;
  // Starts the sockets layer; false when the process cannot use sockets. Replaceable so that a
  // failing start can be tried.
  std::function<bool()> m_startSockets;
};

// The application object of the process.
CBellwickApp& theApp();

// The current directory as startDirectory holds it: the directory itself when it has at most
// kMaxPathBytes (260) bytes, else "." (the same directory, named relatively, since the program
// never changes its current directory).
void storeStartDirectory();

// Makes a write to a socket whose peer has gone report an error instead of ending the process.
// False when that cannot be arranged.
bool startSockets();
