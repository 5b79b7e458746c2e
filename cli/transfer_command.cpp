// zuctl read / zuctl write: the main dialog's communication workflows without windows.
//
//   zuctl read phonebook|history|restrictions --out DIR [--report FILE] CONNECTION
//   zuctl write phonebook FILE... [--blocks LIST|all] [--extensions] [--templates] [--force]
//               [--kind phonebook|extensions|templates] [--changed-from OLD...] CONNECTION
//   zuctl write restrictions FILE CONNECTION
//   CONNECTION: --host H --password P [--port N] [--data-port N] [--no-pacing]
//
// The workflows run as the main dialog runs them (app/phonebook_workflows.h,
// app/history_workflow.h, app/restriction_workflows.h), on the scripted backend: the host dialog
// is answered by typing the host and the password into its edits and pressing OK, so its checks
// run; the confirmation is answered OK; the write selection by ticking the boxes the flags name
// and pressing OK; the question before a write that would reset the unit's templates or
// extension numbers is answered No unless --force. The files of a write are loaded by the menus'
// load operations; after a read the tables are saved into DIR by the savers the menus use
// (each file replaced atomically). Every message box is printed to standard error as for
// zuctl convert, and every percent the progress window shows as a line "進捗 N%".
//
// --changed-from adds to the selection what FILE changes against OLD (cli/changed_from.h).
//
// Each run works in a work folder of its own (base/work_folder.h), removed at the end unless
// the run failed, as the main dialog does.
//
// Exit status: 0 after the workflow's success message (and, for a read, the saves); 1 after an
// error message (nothing is sent when a file cannot be loaded); 2 bad arguments, including
// entries the host dialog or the write selection refuses (nothing is sent then either).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/bellwick_app.h"
#include "app/com_sts_dlg.h"
#include "app/denwa_dlg.h"
#include "app/history_workflow.h"
#include "app/ip_addr_inp_dlg.h"
#include "app/phonebook_files.h"
#include "app/phonebook_workflows.h"
#include "app/restriction_files.h"
#include "app/restriction_workflows.h"
#include "base/ascii_text.h"
#include "base/platform.h"
#include "base/work_folder.h"
#include "cli/changed_from.h"
#include "cli/commands.h"
#include "cli/report_option.h"
#include "data/history_files.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "link/link_timing.h"
#include "ui/scripted/scripted_ui.h"

namespace {

constexpr int kBadArguments = 2;
// The host dialog's length limits, in characters.
constexpr std::size_t kHostLimit = 64;
constexpr std::size_t kPasswordLimit = 16;

constexpr const char* kReadUsage =
    "usage: zuctl read phonebook|history|restrictions --out DIR --host H --password P\n"
    "                  [--port N] [--data-port N] [--no-pacing] [--report FILE]\n";
constexpr const char* kWriteUsage =
    "usage: zuctl write phonebook FILE... [--blocks LIST|all] [--extensions] [--templates]\n"
    "                   [--force] [--kind phonebook|extensions|templates]\n"
    "                   [--changed-from OLD]...\n"
    "                   --host H --password P [--port N] [--data-port N] [--no-pacing]\n"
    "       zuctl write restrictions FILE --host H --password P [--port N] [--data-port N]\n"
    "                   [--no-pacing]\n";

enum class Target { Phonebook, History, Restrictions };

struct TransferArgs {
  bool read = true;
  Target target = Target::Phonebook;
  std::string outDir;
  std::vector<std::string> files;
  std::optional<std::string> host;
  std::optional<std::string> password;
  int port = kMainUnitPort;
  int dataPort = kMainUnitPort;
  bool pacing = true;
  std::array<bool, kDenwaBlockCount> blocks{};
  bool extensions = false;
  bool templates = false;
  bool force = false;
  std::optional<ExchangeKind> csvKind;
  std::vector<std::string> changedFrom;
  std::optional<std::string> report;  // read: the load report's CSV
};

const char* commandName(const TransferArgs& a) { return a.read ? "zuctl read" : "zuctl write"; }

int usage(const TransferArgs& a, const std::string& problem) {
  std::fprintf(stderr, "%s: %s\n%s", commandName(a), problem.c_str(),
               a.read ? kReadUsage : kWriteUsage);
  return kBadArguments;
}

std::optional<int> numberIn(std::string_view text, int low, int high) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
    return std::nullopt;
  return v;
}

// "all", or numbers and ranges of speed-dial blocks ("0,5-7,19").
bool parseBlocks(std::string_view text, std::array<bool, kDenwaBlockCount>& blocks) {
  if (text == "all") {
    blocks.fill(true);
    return true;
  }
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t dash = item.find('-');
    const auto first = numberIn(item.substr(0, dash), 0, kDenwaBlockCount - 1);
    const auto last = dash == std::string_view::npos
                          ? first
                          : numberIn(item.substr(dash + 1), 0, kDenwaBlockCount - 1);
    if (!first || !last || *last < *first) return false;
    for (int b = *first; b <= *last; ++b) blocks[static_cast<std::size_t>(b)] = true;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return false;
  }
  return true;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// The phonebook table a file of a write holds: by its extension, a .csv by --kind.
std::optional<ExchangeKind> phonebookKindOf(const std::string& path,
                                            std::optional<ExchangeKind> csvKind) {
  if (isCsvFileName(path)) return csvKind;
  return phonebookKindOfFileName(path);
}

// Parses the arguments after "read" or "write"; a status >= 0 ends the command.
int parseArguments(int argc, char** argv, TransferArgs& a) {
  if (argc < 2) return usage(a, "what to transfer is missing");
  const std::string what = argv[1];
  if (what == "--help" || what == "-h") {
    std::fputs(a.read ? kReadUsage : kWriteUsage, stdout);
    return 0;
  }
  if (what == "phonebook") {
    a.target = Target::Phonebook;
  } else if (what == "restrictions") {
    a.target = Target::Restrictions;
  } else if (what == "history" && a.read) {
    a.target = Target::History;
  } else {
    return usage(a, "cannot " + std::string(a.read ? "read " : "write ") + what);
  }
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a.read && takeReportOption(argc, argv, i, a.report, v)) {
      if (!v.empty()) return usage(a, v);
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(a.read ? kReadUsage : kWriteUsage, stdout);
      return 0;
    } else if (arg == "--host") {
      if (!value(v)) return usage(a, "--host needs a value");
      a.host = v;
    } else if (arg == "--password") {
      if (!value(v)) return usage(a, "--password needs a value");
      a.password = v;
    } else if (arg == "--port" || arg == "--data-port") {
      if (!value(v)) return usage(a, arg + " needs a value");
      const auto n = numberIn(v, 1, 65535);
      if (!n) return usage(a, arg + " takes a number from 1 to 65535, not '" + v + "'");
      (arg == "--port" ? a.port : a.dataPort) = *n;
    } else if (arg == "--no-pacing") {
      a.pacing = false;
    } else if (arg == "--out" && a.read) {
      if (!value(v) || v.empty()) return usage(a, "--out needs a folder");
      a.outDir = v;
    } else if (arg == "--blocks" && !a.read && a.target == Target::Phonebook) {
      if (!value(v) || !parseBlocks(v, a.blocks))
        return usage(a, "--blocks takes 'all' or block numbers 0-19 such as 0,5-7");
    } else if (arg == "--extensions" && !a.read && a.target == Target::Phonebook) {
      a.extensions = true;
    } else if (arg == "--templates" && !a.read && a.target == Target::Phonebook) {
      a.templates = true;
    } else if (arg == "--force" && !a.read && a.target == Target::Phonebook) {
      a.force = true;
    } else if (arg == "--kind" && !a.read && a.target == Target::Phonebook) {
      if (!value(v)) return usage(a, "--kind needs a value");
      if (v == "phonebook")
        a.csvKind = ExchangeKind::SpeedDial;
      else if (v == "extensions")
        a.csvKind = ExchangeKind::Extensions;
      else if (v == "templates")
        a.csvKind = ExchangeKind::Templates;
      else
        return usage(a, "unknown kind " + v);
    } else if (arg == "--changed-from" && !a.read && a.target == Target::Phonebook) {
      if (!value(v)) return usage(a, "--changed-from needs a file");
      a.changedFrom.push_back(v);
    } else if (arg.starts_with("--")) {
      return usage(a, "unknown option " + arg);
    } else if (a.read) {
      return usage(a, "unexpected argument " + arg);
    } else {
      a.files.push_back(arg);
    }
  }

  if (!a.host) return usage(a, "--host is needed");
  if (!a.password) return usage(a, "--password is needed");
  // Typing would cut a longer entry to the dialog's limit without a word.
  if (characterCount(*a.host) > kHostLimit)
    return usage(a, "the host name has more than 64 characters");
  if (characterCount(*a.password) > kPasswordLimit)
    return usage(a, "the password has more than 16 characters");
  if (a.read) {
    if (a.outDir.empty()) return usage(a, "--out DIR is needed");
    return -1;
  }
  if (a.target == Target::Restrictions) {
    if (a.files.size() != 1) return usage(a, "one restriction file (.zud7 or .csv) is needed");
    const std::string ext = lowerAscii(extensionOf(a.files[0]));
    if (ext != ".zud7" && ext != ".csv")
      return usage(a, "not a restriction file (.zud7 or .csv): " + a.files[0]);
    if (!fileExists(a.files[0])) return usage(a, "no such file: " + a.files[0]);
    return -1;
  }
  if (a.files.empty()) return usage(a, "at least one phonebook file is needed");
  for (const std::string& file : a.files) {
    if (phonebookKindOf(file, a.csvKind)) continue;
    if (isCsvFileName(file)) return usage(a, "--kind is needed for " + file);
    return usage(a, "not a phonebook file (.zud8 .zud3 .zud4 .zud9 .csv): " + file);
  }
  for (const std::string& file : a.files)
    if (!fileExists(file)) return usage(a, "no such file: " + file);
  if (a.changedFrom.empty()) return -1;
  const PhonebookKindOf kindOf = [&a](const std::string& f) {
    return phonebookKindOf(f, a.csvKind);
  };
  if (const auto problem = changedFromProblem(a.files, a.changedFrom, kindOf))
    return usage(a, *problem);
  for (const std::string& file : a.changedFrom)
    if (!fileExists(file)) return usage(a, "no such file: " + file);
  return -1;
}

// An existing or newly made folder that takes files; the problem otherwise.
std::optional<std::string> outFolderProblem(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) return "--out is not a folder: " + dir;
  fs::create_directories(dir, ec);
  if (ec) return "cannot create the folder " + dir + ": " + ec.message();
  std::string probe = dir + "/.zuctl-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return "cannot write into the folder " + dir;
  ::close(fd);
  ::unlink(probe.c_str());
  return std::nullopt;
}

// The scripted backend of a transfer: prints the transfer progress bar's position each time it
// rises. Byte counts the link posted faster than the run let them through can still arrive after
// the final 100 %; a line going back would only confuse a reader.
class TransferUi : public ScriptedUi {
 public:
  // `shown`, when given, gets every message box of the run when the run ends.
  explicit TransferUi(std::vector<MessageBoxRecord>* shown) : m_record(shown) {}
  ~TransferUi() override {
    if (m_record) *m_record = messages();
  }
  void controlChanged(CDialog& dialog, const ControlEvent& event) override {
    ScriptedUi::controlChanged(dialog, event);
    if (dialog.DialogId() != kComStsDlgId || event.what != ControlChange::ProgressPos ||
        event.controlId != kProgressBar || event.value <= m_shown)
      return;
    m_shown = event.value;
    std::fprintf(stderr, "進捗 %d%%\n", event.value);
  }

 private:
  int m_shown = -1;
  std::vector<MessageBoxRecord>* m_record;
};

struct Refusals {
  bool hostEntries = false;
  bool selection = false;
};

void scriptDialogs(TransferUi& ui, const TransferArgs& a, Refusals& refused) {
  ui.onDialog(kIPAddrInpDlgId, [&a, &refused](DialogDriver& d) {
    d.setText(kIPAddrInpHost, *a.host);
    d.setText(kIPAddrInpPassword, *a.password);
    d.click(IDOK);
    if (d.isOpen()) {
      refused.hostEntries = true;
      d.click(IDCANCEL);
    }
  });
  ui.onDialog(kDenwaDlgId, [&a, &refused](DialogDriver& d) {
    for (int b = 0; b < kDenwaBlockCount; ++b)
      d.check(kDenwaFirstBlock + b, a.blocks[static_cast<std::size_t>(b)]);
    d.check(kDenwaExtensions, a.extensions);
    d.check(kDenwaTemplates, a.templates);
    d.click(IDOK);
    if (d.isOpen()) {
      refused.selection = true;
      d.click(IDCANCEL);
    }
  });
  ui.answer(phonebook_write_text::kUnreadCaption, a.force ? IDYES : IDNO);
}

// Loads files of a write through the menus' load operations; false after an error message.
bool loadFiles(TransferUi& ui, const TransferArgs& a, const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const std::size_t messages = ui.messages().size();
    const std::size_t faults = ui.faults().size();
    ui.answerFile(file);
    if (a.target == Target::Restrictions) {
      loadRestrictionFile(nullptr);
    } else {
      fileKind = phonebookKindOf(file, a.csvKind);
      fileDirection = 0;
      loadPhonebookFile(nullptr);
    }
    // A load that succeeds shows nothing.
    if (ui.messages().size() != messages || ui.faults().size() != faults) return false;
  }
  return true;
}

bool saveReadTables(const TransferArgs& a) {
  using namespace menu_file_text;
  const std::string dir = a.outDir + "/";
  auto failed = [] {
    showMenuFileError(nullptr, kSaveError, kErrorCaption);
    return false;
  };
  auto savePhonebook = [](const std::string& path, ExchangeKind kind) {
    const OpResult result = savePhonebookData(path, kind);
    if (!result.ok()) showMenuFileError(nullptr, result.message.c_str(), result.caption.c_str());
    return result.ok();
  };
  switch (a.target) {
    case Target::Phonebook: {
      // The unit's form: below firmware 4.0 the 7-column speed dial and no templates.
      const bool tenColumns = sysTanfMode == 1;
      return savePhonebook(dir + (tenColumns ? "book.zud8" : "book.zud3"),
                           ExchangeKind::SpeedDial) &&
             savePhonebook(dir + "names.zud4", ExchangeKind::Extensions) &&
             (!tenColumns || savePhonebook(dir + "templates.zud9", ExchangeKind::Templates));
    }
    case Target::History:
      if (saveHistoryCsvFile(dir + "internal.csv", HistoryKind::Internal) != 0) return failed();
      if (saveHistoryCsvFile(dir + "external.csv", HistoryKind::External) != 0) return failed();
      return true;
    case Target::Restrictions:
      return saveRestrictionLocalFile(dir + "numbers.zud7") == 0 || failed();
  }
  return false;
}

WorkflowOutcome runWorkflow(const TransferArgs& a, WorkflowSite& site) {
  if (a.read) {
    switch (a.target) {
      case Target::Phonebook: return runPhonebookRead(site);
      case Target::History: return runHistoryRead(site);
      case Target::Restrictions: return runRestrictionRead(site);
    }
  }
  return a.target == Target::Phonebook ? runPhonebookWrite(site) : runRestrictionWrite(site);
}

// Loads the files of a write (and with --changed-from selects what they change); a status >= 0
// ends the command.
int loadWriteFiles(TransferUi& ui, TransferArgs& a) {
  auto load = [&](const std::vector<std::string>& files) { return loadFiles(ui, a, files); };
  if (a.changedFrom.empty()) return load(a.files) ? -1 : 1;
  WriteSelectionFlags selection{a.blocks, a.extensions, a.templates};
  switch (loadAndSelectChanged(
      a.files, a.changedFrom, [&a](const std::string& f) { return phonebookKindOf(f, a.csvKind); },
      load, selection)) {
    case ChangedFromOutcome::LoadFailed: return 1;
    case ChangedFromOutcome::NothingChanged: return 0;
    case ChangedFromOutcome::Selected: break;
  }
  a.blocks = selection.blocks;
  a.extensions = selection.extensions;
  a.templates = selection.templates;
  return -1;
}

int transfer(TransferArgs& a, std::vector<MessageBoxRecord>* shown) {
  TransferUi ui(shown);
  ui.setEchoToStderr(true);
  Refusals refused;
  scriptDialogs(ui, a, refused);
  if (!a.read) {
    if (const int status = loadWriteFiles(ui, a); status >= 0) return status;
  }
  if (!a.pacing) linkTiming().pacingScale = 0;

  std::unique_ptr<CTCPFileTransfer>& link = theApp().m_pTransfer;
  if (!link) link = std::make_unique<CTCPFileTransfer>(nullptr);
  link->SetListenPort(a.dataPort);
  RunWorkFolder folder;
  WorkflowSite site{*link, nullptr, 0, folder.path(), memoryMode, a.port, {}};
  const WorkflowOutcome outcome = runWorkflow(a, site);
  if (outcome == WorkflowOutcome::Failed) folder.keep();
  if (outcome == WorkflowOutcome::Succeeded) {
    const bool saved = !a.read || saveReadTables(a);
    // The summary of what the read refused or changed, and --report, after the tables are kept.
    const bool reported = !a.read || finishLoadReport(a.report);
    return saved && reported ? 0 : 1;
  }
  if (outcome == WorkflowOutcome::Failed) return 1;
  if (refused.hostEntries || refused.selection) {
    std::fprintf(stderr, "%s: nothing was sent\n", commandName(a));
    return kBadArguments;
  }
  std::fprintf(stderr, "%s: nothing was sent%s\n", commandName(a),
               a.force ? "" : " (--force writes anyway)");
  return 1;
}

int runTransferCommand(int argc, char** argv, bool read, std::vector<MessageBoxRecord>* shown) {
  if (read && std::any_of(argv, argv + argc,
                          [](const char* s) { return std::string_view(s) == "--sites"; }))
    return runSitesCommand(argc, argv);
  TransferArgs a;
  a.read = read;
  const int status = parseArguments(argc, argv, a);
  if (status >= 0) return status;
  if (a.read) {
    if (const auto problem = outFolderProblem(a.outDir)) return usage(a, *problem);
  }
  int result = 1;
  CBellwickApp& app = theApp();
  app.m_runMainDialog = [&] { result = transfer(a, shown); };
  app.InitInstance();
  app.m_runMainDialog = nullptr;
  app.ExitInstance();
  return result;
}

}  // namespace

int runReadCommand(int argc, char** argv, std::vector<MessageBoxRecord>* shown) {
  return runTransferCommand(argc, argv, true, shown);
}
int runReadCommand(int argc, char** argv) { return runReadCommand(argc, argv, nullptr); }
int runWriteCommand(int argc, char** argv) {
  return runTransferCommand(argc, argv, false, nullptr);
}
