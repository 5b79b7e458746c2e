// zuctl edit: the browser editor from the command line.
//
//   zuctl edit phonebook|restrictions|internal-history|external-history FILE...
//              [--no-browser] [--duplicates-allowed] [--port N]
//
// Loads the files as the menus load them (a phonebook or restriction file that does not exist
// yet starts empty), starts the editor as the menu's browser button does,
// prints "http://127.0.0.1:PORT/" on a line of its own, and serves until a line is read from
// standard input, standard input ends, or SIGINT/SIGTERM arrives. Then it closes as the menu
// closes and, except for histories, saves the tables back into the files it loaded (each file
// replaced atomically). Message boxes and the error dialog of a post are printed to stderr.
// Exit status: 0 done, 1 a file could not be loaded, the editor did not start or a save
// failed, 2 usage.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/ascii_text.h"
#include "base/platform.h"
#include "cli/commands.h"
#include "data/history_files.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"
#include "web/editor_session.h"
#include "web/num_err_dlg.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) { stopRequested = 1; }

enum class EditKind { Phonebook, Restrictions, InternalHistory, ExternalHistory };

struct EditFile {
  std::string path;
  std::optional<ExchangeKind> phonebookKind;  // empty for files that are no phonebook file
};

int usage(const char* problem) {
  std::fprintf(
      stderr,
      "zuctl edit: %s\nusage: zuctl edit phonebook|restrictions|internal-history|external-history "
      "FILE... [--no-browser] [--duplicates-allowed] [--port N]\n",
      problem);
  return 2;
}

// A message box text as one line: without the line ends around it.
std::string trimmedMessage(const OpResult& r) {
  const std::size_t first = r.message.find_first_not_of('\n');
  const std::size_t last = r.message.find_last_not_of('\n');
  return first == std::string::npos ? std::string() : r.message.substr(first, last - first + 1);
}

void fail(const char* text, const std::string& path) {
  std::fprintf(stderr, "zuctl edit: %s: %s\n", path.c_str(), text);
}

bool loadFile(EditKind kind, const EditFile& f) {
  switch (kind) {
    case EditKind::Phonebook: {
      const OpResult r = loadPhonebookData(f.path, *f.phonebookKind);
      if (!r.ok()) fail(trimmedMessage(r).c_str(), f.path);
      return r.ok();
    }
    case EditKind::Restrictions: {
      const int r = loadRestrictionLocalFile(f.path);
      if (r == 30) fail("ファイルがありません。", f.path);
      if (r != 0 && r != 30) fail("ファイルデータ取得エラー発生", f.path);
      if (r == 0) tablesEdited = 1;
      return r == 0;
    }
    case EditKind::InternalHistory:
    case EditKind::ExternalHistory: {
      const HistoryKind history =
          kind == EditKind::InternalHistory ? HistoryKind::Internal : HistoryKind::External;
      const int r = loadHistoryCsvFile(f.path, history);
      if (r != 0) fail("ファイルがありません。", f.path);
      return r == 0;
    }
  }
  return false;
}

bool saveFile(EditKind kind, const EditFile& f) {
  bool ok = true;
  if (kind == EditKind::Phonebook) ok = savePhonebookData(f.path, *f.phonebookKind).ok();
  if (kind == EditKind::Restrictions) ok = saveRestrictionLocalFile(f.path) == 0;
  if (!ok) fail("ファイルデータ保存エラー発生", f.path);
  return ok;
}

// Waits for a line on standard input, its end, or a stop signal.
void waitForEnd() {
  for (;;) {
    if (stopRequested) return;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int r = ::poll(&p, 1, 200);
    if (r < 0 && errno != EINTR) return;
    if (r <= 0) continue;
    char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n <= 0 || c == '\n') return;
  }
}

}  // namespace

int runEditCommand(int argc, char** argv) {
  if (argc < 2) return usage("which tables to edit?");
  EditKind kind;
  const std::string what = argv[1];
  if (what == "phonebook") {
    kind = EditKind::Phonebook;
  } else if (what == "restrictions") {
    kind = EditKind::Restrictions;
  } else if (what == "internal-history") {
    kind = EditKind::InternalHistory;
  } else if (what == "external-history") {
    kind = EditKind::ExternalHistory;
  } else {
    return usage("unknown kind of tables");
  }
  bool openBrowser = true;
  bool duplicatesAllowed = false;
  int port = 80;
  std::vector<EditFile> files;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-browser") {
      openBrowser = false;
    } else if (a == "--duplicates-allowed") {
      duplicatesAllowed = true;
    } else if (a == "--port" && i + 1 < argc) {
      char* end = nullptr;
      const long p = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || p < 0 || p > 65535) return usage("--port needs a number 0-65535");
      port = static_cast<int>(p);
    } else if (a.rfind("--", 0) == 0) {
      return usage(("unknown option " + a).c_str());
    } else {
      EditFile f{a, phonebookKindOfFileName(a)};
      if (kind == EditKind::Phonebook && !f.phonebookKind) {
        return usage(("a phonebook file ends in .zud8, .zud3, .zud4 or .zud9: " + a).c_str());
      }
      files.push_back(f);
    }
  }
  if (files.empty()) return usage("no file given");

  initProcessState();
  initSystemData();
  ScriptedUi ui;
  ui.setEchoToStderr(true);
  ui.onDialog(kNumErrDlgId, [](DialogDriver& d) {
    std::fprintf(stderr, "%s: %s\n", d.caption().c_str(), d.text(kNumErrDlgMessage).c_str());
    d.click(IDOK);
  });
  if (duplicatesAllowed) duplicateCheck = 0;
  if (kind == EditKind::InternalHistory) historyKind = HistoryKind::Internal;
  if (kind == EditKind::ExternalHistory) historyKind = HistoryKind::External;

  for (const EditFile& f : files) {
    // A phonebook or restriction file that does not exist yet starts empty and is written on
    // close; a history has nothing to show without its file.
    const bool creates =
        (kind == EditKind::Phonebook || kind == EditKind::Restrictions) && !fileExists(f.path);
    if (creates) {
      std::fprintf(stderr, "zuctl edit: %s: 新しいファイルとして保存します。\n", f.path.c_str());
    } else if (!loadFile(kind, f)) {
      return 1;
    }
  }

  const EditorMenu menu = kind == EditKind::Phonebook      ? EditorMenu::Phonebook
                          : kind == EditKind::Restrictions ? EditorMenu::Restrictions
                                                           : EditorMenu::CallHistory;
  CEditorSession session(menu);
  session.SetPort(static_cast<std::uint16_t>(port));
  // The phonebook editor starts only from the phonebook menu's state.
  if (menu == EditorMenu::Phonebook) historyKind = HistoryKind::Internal;
  if (!session.OnEditInBrowser(nullptr, openBrowser)) return 1;
  std::printf("%s\n", session.Url().c_str());
  std::fflush(stdout);

  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  waitForEnd();

  session.Close();
  bool saved = true;
  if (kind == EditKind::Phonebook || kind == EditKind::Restrictions) {
    for (const EditFile& f : files) saved = saveFile(kind, f) && saved;
  }
  return saved ? 0 : 1;
}
