// zuctl convert: one data file into another form.
//
//   zuctl convert IN OUT [--kind phonebook|extensions|templates|restrictions|
//                                internal-history|external-history] [--report FILE]
//
// Starts up as the program does, loads IN exactly as the menu's load button does and saves OUT
// exactly as the menu's save button does: the same operations run, with the file dialogs
// answered by IN and OUT and every message box printed to standard error (answered OK / Yes).
// The kind follows from the extensions (.zud8 .zud3 speed dial, .zud4 extensions, .zud9
// templates, .zud7 restrictions); a .csv on both sides, or any other extension, needs --kind.
// After the load, a line "読込報告: N 行 (...)" on standard error tells how many rows of IN the
// load refused or changed, and --report FILE writes their list as CSV (cli/report_option.h).
// Exit status: 0 done; 1 the load or the save reported an error (OUT is then not written, or
// left as it was); 2 usage.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/bellwick_app.h"
#include "app/history_files.h"
#include "app/phonebook_files.h"
#include "app/restriction_files.h"
#include "base/ascii_text.h"
#include "base/platform.h"
#include "cli/commands.h"
#include "cli/report_option.h"
#include "data/process_state.h"
#include "ui/scripted/scripted_ui.h"

namespace {

enum class ConvertKind { Phonebook, Extensions, Templates, Restrictions, InternalHistory, ExternalHistory };

struct KindName {
  const char* name;
  ConvertKind kind;
};

constexpr KindName kKindNames[] = {{"phonebook", ConvertKind::Phonebook},
                                   {"extensions", ConvertKind::Extensions},
                                   {"templates", ConvertKind::Templates},
                                   {"restrictions", ConvertKind::Restrictions},
                                   {"internal-history", ConvertKind::InternalHistory},
                                   {"external-history", ConvertKind::ExternalHistory}};

constexpr const char* kUsage =
    "usage: zuctl convert IN OUT [--kind phonebook|extensions|templates|restrictions|"
    "internal-history|external-history] [--report FILE]\n";

int usage(const char* problem, const std::string& detail = "") {
  std::fprintf(stderr, "zuctl convert: %s%s\n%s", problem, detail.c_str(), kUsage);
  return 2;
}

std::optional<ConvertKind> kindNamed(const std::string& name) {
  for (const KindName& k : kKindNames)
    if (name == k.name) return k.kind;
  return std::nullopt;
}

// What the extension of `path` says: a kind, "any kind" for .csv (nullopt, csv = true), or
// nothing for an extension no file of the tool has.
struct ExtensionKind {
  std::optional<ConvertKind> kind;
  bool csv = false;
};

ExtensionKind kindOfExtension(const std::string& path) {
  const std::string ext = lowerAscii(extensionOf(path));
  if (ext == ".zud8" || ext == ".zud3") return {ConvertKind::Phonebook};
  if (ext == ".zud4") return {ConvertKind::Extensions};
  if (ext == ".zud9") return {ConvertKind::Templates};
  if (ext == ".zud7") return {ConvertKind::Restrictions};
  return {std::nullopt, ext == ".csv"};
}

bool isHistory(ConvertKind kind) {
  return kind == ConvertKind::InternalHistory || kind == ConvertKind::ExternalHistory;
}

// The captions of the messages that report a failure of a load or a save.
bool isErrorCaption(const std::string& caption) {
  return caption == "エラー" || caption == "オープンエラー" || caption == "ファイルの確認";
}

bool anyError(const ScriptedUi& ui) {
  for (const MessageBoxRecord& m : ui.messages())
    if (isErrorCaption(m.caption)) return true;
  return !ui.faults().empty();
}

HistoryKind historyKindOf(ConvertKind kind) {
  return kind == ConvertKind::InternalHistory ? HistoryKind::Internal : HistoryKind::External;
}

void load(ConvertKind kind) {
  switch (kind) {
    case ConvertKind::Phonebook:
    case ConvertKind::Extensions:
    case ConvertKind::Templates:
      fileKind = kind == ConvertKind::Phonebook    ? ExchangeKind::SpeedDial
                 : kind == ConvertKind::Extensions ? ExchangeKind::Extensions
                                                   : ExchangeKind::Templates;
      fileDirection = 0;
      // The file-kind chooser takes a snapshot after a speed-dial or extension load, and the edit
      // menu's save button restores it before saving. In a conversion nothing happens between
      // the two, so the pair leaves the live tables as they are and is not run.
      loadPhonebookFile(nullptr);
      break;
    case ConvertKind::Restrictions: loadRestrictionFile(nullptr); break;
    case ConvertKind::InternalHistory:
    case ConvertKind::ExternalHistory:
      historyKind = historyKindOf(kind);
      loadHistoryFile(nullptr);
      break;
  }
}

void save(ConvertKind kind) {
  switch (kind) {
    case ConvertKind::Phonebook:
    case ConvertKind::Extensions:
    case ConvertKind::Templates:
      fileDirection = 1;
      fileKind = kind == ConvertKind::Phonebook    ? ExchangeKind::SpeedDial
                 : kind == ConvertKind::Extensions ? ExchangeKind::Extensions
                                                   : ExchangeKind::Templates;
      savePhonebookFile(nullptr);
      break;
    case ConvertKind::Restrictions: saveRestrictionFile(nullptr); break;
    case ConvertKind::InternalHistory:
    case ConvertKind::ExternalHistory:
      historyKind = historyKindOf(kind);
      saveHistoryFile(nullptr);
      break;
  }
}

// Loads `in` and saves `out` through the menus' operations. Returns the exit status.
int convert(const std::string& in, const std::string& out, ConvertKind kind,
            const std::optional<std::string>& report) {
  ScriptedUi ui;
  ui.setEchoToStderr(true);
  ui.answerFile(in);
  load(kind);
  const bool reported = finishLoadReport(report);
  if (anyError(ui) || !reported) return 1;
  ui.answerFile(out);
  save(kind);
  return anyError(ui) ? 1 : 0;
}

}  // namespace

int runConvertCommand(int argc, char** argv) {
  std::vector<std::string> files;
  std::optional<ConvertKind> kind;
  std::optional<std::string> report;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string problem;
    if (takeReportOption(argc, argv, i, report, problem)) {
      if (!problem.empty()) return usage(problem.c_str());
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--kind" || arg.starts_with("--kind=")) {
      std::string name;
      if (arg == "--kind") {
        if (i + 1 >= argc) return usage("--kind needs a value");
        name = argv[++i];
      } else {
        name = arg.substr(7);
      }
      kind = kindNamed(name);
      if (!kind) return usage("unknown kind ", name);
      continue;
    }
    if (arg.starts_with("--")) return usage("unknown option ", arg);
    files.push_back(arg);
  }
  if (files.size() != 2) return usage("two files are needed, IN and OUT");

  for (const std::string& file : files) {
    const ExtensionKind found = kindOfExtension(file);
    if (found.kind) {
      if (kind && *kind != *found.kind) return usage("the kind does not fit ", file);
      kind = found.kind;
    }
  }
  if (!kind) return usage("--kind is needed for ", files[0] + " and " + files[1]);
  for (const std::string& file : files) {
    if (isHistory(*kind) && !kindOfExtension(file).csv) return usage("a history file is a .csv: ", file);
  }

  int status = 1;
  CBellwickApp& app = theApp();
  app.m_runMainDialog = [&] { status = convert(files[0], files[1], *kind, report); };
  app.InitInstance();
  app.m_runMainDialog = nullptr;
  app.ExitInstance();
  return status;
}
