#include "app/bellwick_app.h"

#include <csignal>
#include <cstring>
#include <string>

#include "base/platform.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

// Every private speed-dial list without numbers (all slots -1) and the running count at 0.
void emptyPrivateSpeedDialLists() {
  for (PrivateSpeedDialList& list : privateSpeedDialLists) {
    for (std::int32_t& number : list.numbers) number = -1;
    list.count = 0;
  }
  privateSpeedDialCounter = 0;
}

}  // namespace

void storeStartDirectory() {
  const std::string dir = currentDirectory();
  std::memset(startDirectory, 0, sizeof startDirectory);
  // A longer path would be cut into a different folder; "." keeps naming the right one.
  if (dir.empty() || dir.size() >= sizeof startDirectory) {
    startDirectory[0] = '.';
  } else {
    std::memcpy(startDirectory, dir.data(), dir.size());
  }
}

bool startSockets() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  return sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

CBellwickApp::CBellwickApp() : m_tableLock(tableLock()), m_startSockets(startSockets) {}

CBellwickApp::~CBellwickApp() = default;

bool CBellwickApp::InitInstance() {
  storeStartDirectory();
  initSystemData();
  m_pTransfer.reset();
  if (!m_startSockets || !m_startSockets()) return false;
  // The table lock is a process-wide mutex that exists from the first use on.
  duplicateCheck = 1;
  emptyPrivateSpeedDialLists();
  if (m_runMainDialog) m_runMainDialog();
  return false;
}

int CBellwickApp::ExitInstance() {
  m_pTransfer.reset();
  // The sockets layer and the table lock need no shut-down.
  return 0;
}

CBellwickApp& theApp() {
  static CBellwickApp app;
  return app;
}
