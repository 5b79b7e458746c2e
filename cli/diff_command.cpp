// zuctl diff: what differs between two phonebook files, entry by entry.
//
//   zuctl diff A B [--kind phonebook|extensions|templates]
//
// A and B are phonebook files of one kind (.zud8 .zud3 speed dial, .zud4 extension names, .zud9
// templates; a .csv takes the other file's kind or --kind), or folders such as the one a
// zuctl read saved into (book.zud8, or book.zud3 below firmware 4.0, names.zud4,
// templates.zud9). A file against a folder compares the folder's file of the same kind; two
// folders compare every kind A holds. Each file is loaded as the menus load it, into tables
// reset for it, so a row one file lacks shows as a difference.
//
// Standard output gets one line per field that differs, tab-separated: the entry as the editor
// pages name it ("短縮番号 0012", "収容位置 101", "項番 005"), the field ("名前", "内線名称",
// "定型文", ...), the text in A and the text in B. A summary goes to standard error.
// Exit status as diff(1): 0 equal, 1 different, 2 trouble (bad arguments, a file that does not
// load; its message goes to standard error).
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/bellwick_app.h"
#include "app/phonebook_files.h"
#include "base/ascii_text.h"
#include "base/cp932.h"
#include "base/platform.h"
#include "cli/commands.h"
#include "data/phonebook_baseline.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"

namespace {

constexpr int kTrouble = 2;
constexpr const char* kUsage = "usage: zuctl diff A B [--kind phonebook|extensions|templates]\n";
constexpr ExchangeKind kKinds[] = {ExchangeKind::SpeedDial, ExchangeKind::Extensions,
                                   ExchangeKind::Templates};

int usage(const std::string& problem) {
  std::fprintf(stderr, "zuctl diff: %s\n%s", problem.c_str(), kUsage);
  return kTrouble;
}

bool isFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// The file of `kind` in a folder a read saved into; "" when it holds none.
std::string folderFile(const std::string& dir, ExchangeKind kind) {
  std::vector<const char*> names;
  switch (kind) {
    case ExchangeKind::SpeedDial: names = {"book.zud8", "book.zud3"}; break;
    case ExchangeKind::Extensions: names = {"names.zud4"}; break;
    case ExchangeKind::Templates: names = {"templates.zud9"}; break;
  }
  for (const char* name : names) {
    const std::string path = dir + "/" + name;
    if (fileExists(path)) return path;
  }
  return "";
}

const char* kindTitle(ExchangeKind kind) {
  switch (kind) {
    case ExchangeKind::SpeedDial: return "システム短縮ダイヤル";
    case ExchangeKind::Extensions: return "内線電話帳";
    case ExchangeKind::Templates: return "付加情報定型文";
  }
  return "";
}

struct FilePair {
  ExchangeKind kind;
  std::string a;
  std::string b;
};

// The pairs of files to compare; a status >= 0 ends the command.
int pairFiles(const std::string& a, const std::string& b, std::optional<ExchangeKind> kind,
              std::vector<FilePair>& pairs) {
  for (const std::string& side : {a, b})
    if (!isFolder(side) && !fileExists(side)) return usage("no such file or folder: " + side);
  const bool folderA = isFolder(a), folderB = isFolder(b);
  if (folderA && folderB) {
    for (ExchangeKind k : kKinds) {
      if (kind && *kind != k) continue;
      const std::string fileA = folderFile(a, k);
      if (fileA.empty()) continue;
      const std::string fileB = folderFile(b, k);
      if (fileB.empty()) return usage(b + " holds no " + kindTitle(k) + " file like " + fileA);
      pairs.push_back({k, fileA, fileB});
    }
    if (pairs.empty()) return usage("no phonebook file in " + a);
    return -1;
  }
  for (const std::string& side : {a, b}) {
    if (isFolder(side)) continue;
    const auto named = phonebookKindOfFileName(side);
    const bool csv = isCsvFileName(side);
    if (!named && !csv)
      return usage("not a phonebook file (.zud8 .zud3 .zud4 .zud9 .csv): " + side);
    if (named && kind && *named != *kind)
      return usage(side + " does not hold the kind the other names");
    if (named) kind = named;
  }
  if (!kind) return usage("--kind is needed for " + a + " and " + b);
  const std::string fileA = folderA ? folderFile(a, *kind) : a;
  const std::string fileB = folderB ? folderFile(b, *kind) : b;
  if (fileA.empty()) return usage(a + " holds no " + kindTitle(*kind) + " file");
  if (fileB.empty()) return usage(b + " holds no " + kindTitle(*kind) + " file");
  pairs.push_back({*kind, fileA, fileB});
  return -1;
}

// Loads `path` into freshly reset tables as the menus load it and copies the table of `kind`;
// false after the load's error message.
bool loadCopy(ScriptedUi& ui, const std::string& path, ExchangeKind kind, PhonebookCopy& copy) {
  initSystemData();
  const std::size_t messages = ui.messages().size();
  const std::size_t faults = ui.faults().size();
  ui.answerFile(path);
  fileKind = kind;
  fileDirection = 0;
  loadPhonebookFile(nullptr);
  if (ui.messages().size() != messages || ui.faults().size() != faults) return false;
  copy.take(kind);
  return true;
}

int diff(const std::vector<FilePair>& pairs) {
  ScriptedUi ui;
  ui.setEchoToStderr(true);
  std::size_t total = 0;
  std::string summary;
  for (const FilePair& pair : pairs) {
    PhonebookCopy before, after;
    if (!loadCopy(ui, pair.a, pair.kind, before) || !loadCopy(ui, pair.b, pair.kind, after))
      return kTrouble;
    const std::vector<PhonebookDifference> differences = phonebookDifferences(before, after);
    for (const PhonebookDifference& d : differences)
      std::printf("%s\t%s\t%s\t%s\n", d.entry.c_str(), d.field.c_str(),
                  cp932ToUtf8(d.before).c_str(), cp932ToUtf8(d.after).c_str());
    total += differences.size();
    summary += std::string(summary.empty() ? "" : "、") + kindTitle(pair.kind) + " " +
               std::to_string(differences.size()) + " 件";
  }
  std::fflush(stdout);
  std::fprintf(stderr, "zuctl diff: %s\n",
               total == 0 ? "違いはありません" : ("違い " + summary).c_str());
  return total == 0 ? 0 : 1;
}

}  // namespace

int runDiffCommand(int argc, char** argv) {
  std::vector<std::string> paths;
  std::optional<ExchangeKind> kind;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--kind") {
      if (i + 1 >= argc) return usage("--kind needs a value");
      const std::string name = argv[++i];
      if (name == "phonebook")
        kind = ExchangeKind::SpeedDial;
      else if (name == "extensions")
        kind = ExchangeKind::Extensions;
      else if (name == "templates")
        kind = ExchangeKind::Templates;
      else
        return usage("unknown kind " + name);
      continue;
    }
    if (arg.starts_with("--")) return usage("unknown option " + arg);
    paths.push_back(arg);
  }
  if (paths.size() != 2) return usage("two files or folders are needed, A and B");
  std::vector<FilePair> pairs;
  if (const int status = pairFiles(paths[0], paths[1], kind, pairs); status >= 0) return status;

  int status = kTrouble;
  CBellwickApp& app = theApp();
  app.m_runMainDialog = [&] { status = diff(pairs); };
  app.InitInstance();
  app.m_runMainDialog = nullptr;
  app.ExitInstance();
  return status;
}
