// Fuzzes the whole request handling of the editor server: one server runs on 127.0.0.1 with a
// small document root of every page kind, and every input is sent to it as the bytes of one
// connection, which the client then half-closes. The server must answer and close within ten
// seconds, far beyond its own waits of a few hundred milliseconds (a connection left hanging is a
// finding), and keep serving. The tables are put back to their start-up contents before every
// input.
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "base/fuzz_scratch.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"
#include "web/easy_http_server.h"
#include "web/http_client_test_support.h"

namespace {

struct Editor {
  ScriptedUi ui;
  EasyHttpServer server;

  Editor() {
    const std::string root = fuzzscratch::folder() + "root/";
    for (const char* page : {"index.html", "hoshu/16tansyuku_01.html", "hoshu/17tel_01.html",
                             "hoshu/24naityaku_01.html", "hoshu/25gaityaku_01.html",
                             "hoshu/27teikei_01.html", "system/26sysfunc_01.html"}) {
      std::filesystem::create_directories(std::filesystem::path(root + page).parent_path());
      std::ofstream(root + page) << "<html>" << page << "</html>";
    }
    EasyHttpTiming t;
    t.head = std::chrono::milliseconds(300);
    t.bodyStart = std::chrono::milliseconds(0);
    t.body = std::chrono::milliseconds(200);
    t.lockAttempts = 200;
    t.lockRetry = std::chrono::milliseconds(1);
    t.pause = std::chrono::milliseconds(0);
    t.pumpBeforeReload = t.pumpAfterReload = 0;
    server.SetPort(0);
    server.SetDocumentRoot(root);
    server.SetTiming(t);
    ui.onDialog(389, [](DialogDriver& d) { d.click(IDOK); });  // the number-error dialog
    if (!server.Start()) __builtin_trap();
  }
  ~Editor() { server.Stop(); }
};

Editor* editor = nullptr;

// Reads until the server closes; false when it has not closed by the deadline. The fuzzer's
// own timer signal interrupts the waits, so an interrupted wait is simply repeated.
bool closesWithin(int fd, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buf[8192];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;  // closed (a reset counts as closed too)
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initProcessState();
  initSystemData();
  editor = new Editor;  // lives until the process ends: workers may still be finishing
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::lock_guard lock(tableLock());
    initProcessState();
    initSystemData();
  }
  testhttp::Connection c(editor->server.GetPort());
  if (c.fd < 0) __builtin_trap();
  c.send(std::string_view(reinterpret_cast<const char*>(data), size));
  ::shutdown(c.fd, SHUT_WR);
  if (!closesWithin(c.fd, std::chrono::seconds(10))) __builtin_trap();
  return 0;
}
