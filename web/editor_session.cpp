#include "web/editor_session.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/platform.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"

namespace {

std::mutex& launcherMutex() {
  static std::mutex m;
  return m;
}

std::function<void(const std::string&)>& testLauncher() {
  static std::function<void(const std::string&)> launcher;
  return launcher;
}

}  // namespace

PumpedTableLock::PumpedTableLock() {
  while (!tableLock().try_lock()) {
    pumpOneMessage();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

PumpedTableLock::~PumpedTableLock() { tableLock().unlock(); }

bool openDefaultBrowser(const std::string& url) {
  {
    std::lock_guard lock(launcherMutex());
    if (testLauncher()) {
      testLauncher()(url);
      return true;
    }
  }
  const char* browser = std::getenv("BROWSER");
  const std::string program = (browser != nullptr && *browser != '\0') ? browser : "xdg-open";
  // Everything exec needs is prepared before the fork.
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(url.c_str()), nullptr};
  // The grandchild reports a failed exec through this pipe; a successful exec closes it unwritten.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The browser is started from a grandchild, so it is nobody's child to wait for.
    ::setsid();
    const pid_t browserPid = ::fork();
    if (browserPid == 0) {
      ::close(report[0]);
      ::execvp(argv[0], argv);
      const char failed = 1;
      [[maybe_unused]] ssize_t n = ::write(report[1], &failed, 1);
      ::_exit(127);
    }
    ::close(report[1]);
    char byte = 0;
    ssize_t n;
    do {
      n = ::read(report[0], &byte, 1);
    } while (n < 0 && errno == EINTR);
    ::_exit(browserPid < 0 || n > 0 ? 1 : 0);
  }
  ::close(report[0]);
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void setBrowserLauncherForTesting(std::function<void(const std::string&)> launcher) {
  std::lock_guard lock(launcherMutex());
  testLauncher() = std::move(launcher);
}

CEditorSession::CEditorSession(EditorMenu menu)
    : m_menu(menu), m_documentRoot(editorPagesDirectory()) {}

CEditorSession::~CEditorSession() {
  if (!m_server.IsRunning()) return;
  PumpedTableLock tables;
  m_server.Stop();
}

std::string CEditorSession::StartPage() const {
  switch (m_menu) {
    case EditorMenu::Phonebook: return "hoshu.html";
    case EditorMenu::Restrictions: return "hoshu_Regulation.html";
    case EditorMenu::CallHistory: return historyKind == HistoryKind::Internal ? "hoshu_icmhst_01.html" : "hoshu_icmhst_02.html";
  }
  return "hoshu.html";
}

std::string CEditorSession::Url() const {
  if (!m_server.IsRunning()) return {};
  return "http://127.0.0.1:" + std::to_string(m_server.GetPort()) + "/";
}

bool CEditorSession::OnEditInBrowser(HWND owner, bool openBrowser) {
  if (m_menu == EditorMenu::Phonebook && historyKind != HistoryKind::Internal) return false;
  if (!m_server.IsRunning()) {
    if (availablePhysicalMemory() < kEditorMemoryNeeded) {
      MessageBox(owner, "\nメモリ不足のため、\nサーバが起動できませんでした。\n", "エラー", MB_ICONWARNING);
      return false;
    }
    m_server.SetPort(m_port);
    m_server.SetDocumentRoot(m_documentRoot);
    m_server.SetOwnerWindow(owner);
    m_server.SetDefaultPage(StartPage());
    if (!m_server.Start()) {
      m_server.Stop();
      MessageBox(owner, "\nサーバの起動に失敗しました。\n", "エラー", MB_ICONWARNING);
      return false;
    }
    PumpedTableLock tables;
    if (m_menu == EditorMenu::Restrictions) {
      normaliseRestrictions();
    } else {
      snapshotPhonebook();
    }
  }
  if (openBrowser) openDefaultBrowser(Url());
  return true;
}

void CEditorSession::Close() {
  PumpedTableLock tables;
  m_server.Stop();
  if (m_menu == EditorMenu::Phonebook && duplicateCheck == 1) restorePhonebook();
}
