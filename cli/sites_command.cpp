// zuctl read ... --sites FILE: the read of zuctl read for a list of main units, one after the
// other, each into a folder of its own.
//
//   zuctl read phonebook|history|restrictions --sites FILE --out DIR [--port N] [--data-port N]
//              [--no-pacing]
//
// FILE lists one unit per line, three fields separated by blanks or tabs:
//
//   NAME  HOST[:PORT]  PASSWORD
//
// NAME is the site's folder under DIR: letters, digits, '.', '_' and '-', starting with a letter
// or a digit, at most 64 characters, and no two sites with names that differ only in case (the
// folders would be one on a case-blind disk). HOST is what the host dialog takes; ":PORT" is the
// unit's control port for this site instead of --port. PASSWORD is the password itself, or
// "file:PATH" (the first line of that file; a relative PATH is taken from FILE's folder) or
// "env:NAME" (the value of that environment variable), so that a list can be kept without the
// passwords in it. Blank lines, lines whose first non-blank character is '#' and a byte order
// mark at the start are left out.
//
// The units are read one after another, never two at once: every unit opens its data connection
// back to the same five ports of this machine, so two sessions at once could take each other's
// connection. Each site is read by the runner of zuctl read (its messages and progress on standard
// error as there), after a line "サイト I/N NAME (HOST)"; one unit failing does not stop the next.
// At the end a table of every site with its result and the messages of its read goes to standard
// output.
//
// Exit status: 0 when every site was read and saved; otherwise the number of sites that failed
// (at most 100). Bad arguments or a bad sites file give 125 and nothing is read: the failure
// count could otherwise be taken for them.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/ascii_text.h"
#include "base/cp932.h"
#include "base/sjis.h"
#include "cli/commands.h"
#include "ui/scripted/scripted_ui.h"

namespace {

constexpr int kSitesBadArguments = 125;
constexpr int kMostFailuresShown = 100;
constexpr std::size_t kNameLimit = 64;
// The host dialog's limits, in characters (the password also needs four bytes at least).
constexpr std::size_t kHostLimit = 64;
constexpr std::size_t kPasswordLimit = 16;
constexpr std::size_t kPasswordLeast = 4;

constexpr const char* kSitesUsage =
    "usage: zuctl read phonebook|history|restrictions --sites FILE --out DIR [--port N]\n"
    "                  [--data-port N] [--no-pacing]\n"
    "       FILE: one unit per line, NAME HOST[:PORT] PASSWORD, where PASSWORD may be\n"
    "       file:PATH (its first line) or env:NAME; blank lines and # lines are left out\n";

struct Site {
  std::string name;
  std::string host;
  int port = 0;  // 0: the --port of the command
  std::string password;
};

// The host as the line gave it, with its port.
std::string shownHost(const Site& s) {
  return s.port != 0 ? s.host + ":" + std::to_string(s.port) : s.host;
}

struct SitesArgs {
  std::string what;
  std::string sitesFile;
  std::string outDir;
  int port = 9000;
  int dataPort = 9000;
  bool pacing = true;
};

int usage(const std::string& problem) {
  std::fprintf(stderr, "zuctl read: %s\n%s", problem.c_str(), kSitesUsage);
  return kSitesBadArguments;
}

std::optional<int> portIn(std::string_view text) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < 1 || v > 65535)
    return std::nullopt;
  return v;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// What the host dialog takes as half-width: every character one Shift_JIS byte, and none lost
// on the way there.
bool isHalfWidth(std::string_view text) {
  const std::string bytes = utf8ToCp932(text);
  return std::none_of(bytes.begin(), bytes.end(),
                      [](char c) { return isSjisLeadByte(static_cast<unsigned char>(c)); }) &&
         cp932ToUtf8(bytes) == text;
}

bool isSafeFolderName(std::string_view name) {
  auto alnum = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  if (name.empty() || name.size() > kNameLimit || !alnum(name[0])) return false;
  return std::all_of(name.begin(), name.end(),
                     [&](char c) { return alnum(c) || c == '.' || c == '_' || c == '-'; });
}

bool isVariableName(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// The password a line's third field stands for; the problem in `problem` otherwise.
std::optional<std::string> passwordOf(std::string_view field, const std::string& sitesFolder,
                                      std::string& problem) {
  if (field.starts_with("env:")) {
    const std::string name(field.substr(4));
    if (!isVariableName(name)) {
      problem = "'" + name + "' is not an environment variable name";
      return std::nullopt;
    }
    const char* value = std::getenv(name.c_str());
    if (value == nullptr || *value == '\0') {
      problem = "the environment variable " + name + " is not set";
      return std::nullopt;
    }
    return std::string(value);
  }
  if (field.starts_with("file:")) {
    std::filesystem::path path(field.substr(5));
    if (path.empty()) {
      problem = "file: needs a path";
      return std::nullopt;
    }
    if (path.is_relative()) path = std::filesystem::path(sitesFolder) / path;
    std::ifstream in(path, std::ios::binary);
    std::string first;
    if (!in || !std::getline(in, first)) {
      problem = "cannot read the password file " + path.string();
      return std::nullopt;
    }
    if (!first.empty() && first.back() == '\r') first.pop_back();
    if (first.empty()) {
      problem = "the password file " + path.string() + " starts with an empty line";
      return std::nullopt;
    }
    return first;
  }
  return std::string(field);
}

// The problem of one site's entries, as the host dialog would refuse them, or "".
std::string entryProblem(const Site& s) {
  if (s.host.empty()) return "the host is empty";
  if (characterCount(s.host) > kHostLimit) return "the host name has more than 64 characters";
  if (!isHalfWidth(s.host)) return "the host must be half-width letters and digits";
  if (characterCount(s.password) > kPasswordLimit)
    return "the password has more than 16 characters";
  if (utf8ToCp932(s.password).size() < kPasswordLeast)
    return "the password has fewer than 4 characters";
  if (!isHalfWidth(s.password)) return "the password must be half-width letters and digits";
  return "";
}

// The sites of `text` (the sites file `path`); every bad line is printed with its number and
// makes the result empty.
std::optional<std::vector<Site>> parseSites(const std::string& text, const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  std::vector<Site> sites;
  std::map<std::string, int> lines;  // the line of each name, lower-cased
  bool bad = false;
  // A byte order mark, as some Windows editors write, is not part of the first name.
  std::istringstream in(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
  std::string raw;
  for (int number = 1; std::getline(in, raw); ++number) {
    const std::string_view line = trimmed(raw, " \t\r");
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string_view> fields;
    for (std::size_t at = 0; at < line.size();) {
      const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
      fields.push_back(line.substr(at, end - at));
      at = line.find_first_not_of(" \t", end);
      if (at == std::string_view::npos) break;
    }
    auto complain = [&](const std::string& problem) {
      std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), number, problem.c_str());
      bad = true;
    };
    if (fields.size() != 3) {
      complain("a line needs three fields (NAME HOST[:PORT] PASSWORD), not " +
               std::to_string(fields.size()));
      continue;
    }
    Site site;
    site.name = std::string(fields[0]);
    if (!isSafeFolderName(site.name)) {
      complain("the name '" + site.name +
               "' is not a folder name of letters, digits, '.', '_' and '-' (at most 64, "
               "starting with a letter or digit)");
      continue;
    }
    if (const auto [same, fresh] = lines.try_emplace(lowerAscii(site.name), number); !fresh) {
      complain("the name '" + site.name + "' is already used on line " +
               std::to_string(same->second));
      continue;
    }
    std::string_view host = fields[1];
    if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
      const auto port = portIn(host.substr(colon + 1));
      if (!port) {
        complain("the port after ':' must be a number from 1 to 65535");
        continue;
      }
      site.port = *port;
      host = host.substr(0, colon);
    }
    site.host = std::string(host);
    std::string problem;
    const auto password = passwordOf(fields[2], folder, problem);
    if (!password) {
      complain(problem);
      continue;
    }
    site.password = *password;
    if (problem = entryProblem(site); !problem.empty()) {
      complain(problem);
      continue;
    }
    sites.push_back(std::move(site));
  }
  if (bad) return std::nullopt;
  return sites;
}

int parseArguments(int argc, char** argv, SitesArgs& a) {
  if (argc < 2) return usage("what to read is missing");
  a.what = argv[1];
  if (a.what == "--help" || a.what == "-h") {
    std::fputs(kSitesUsage, stdout);
    return 0;
  }
  if (a.what != "phonebook" && a.what != "history" && a.what != "restrictions")
    return usage("cannot read " + a.what);
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--sites" || arg == "--out") {
      if (!hasValue || argv[i + 1][0] == '\0') return usage(arg + " needs a value");
      (arg == "--sites" ? a.sitesFile : a.outDir) = argv[++i];
    } else if (arg == "--port" || arg == "--data-port") {
      const auto port = hasValue ? portIn(argv[i + 1]) : std::nullopt;
      if (!port) return usage(arg + " takes a number from 1 to 65535");
      (arg == "--port" ? a.port : a.dataPort) = *port;
      ++i;
    } else if (arg == "--no-pacing") {
      a.pacing = false;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kSitesUsage, stdout);
      return 0;
    } else if (arg == "--host" || arg == "--password") {
      return usage(arg + " cannot be given with --sites: the sites file names them");
    } else {
      return usage("unknown argument " + arg);
    }
  }
  if (a.sitesFile.empty()) return usage("--sites FILE is needed");
  if (a.outDir.empty()) return usage("--out DIR is needed");
  return -1;
}

// Whitespace of a message box text (its line breaks) made single blanks.
std::string oneLine(std::string_view text) {
  std::string line;
  for (char c : text) {
    const bool blank = c == '\n' || c == '\r' || c == '\t' || c == ' ';
    if (blank && (line.empty() || line.back() == ' ')) continue;
    line += blank ? ' ' : c;
  }
  if (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// What a site's read showed: its warnings and errors, or after a success its last message.
std::string summaryMessage(int status, const std::vector<MessageBoxRecord>& shown) {
  std::string text;
  for (const MessageBoxRecord& m : shown) {
    if (m.icon() == MB_ICONQUESTION || m.icon() == MB_ICONINFORMATION) continue;
    const std::string line = oneLine(m.text);
    if (line.empty() || text.find(line) != std::string::npos) continue;
    text += (text.empty() ? "" : " ") + line;
  }
  if (status == 0 && !shown.empty()) return oneLine(shown.back().text);
  if (!text.empty()) return text;
  return "終了状態 " + std::to_string(status);
}

struct Outcome {
  bool read = false;
  std::string message;
};

Outcome readSite(const SitesArgs& a, const Site& site) {
  const std::string folder = a.outDir + "/" + site.name;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec))
    return {false, "フォルダ " + folder + " を作成できません。"};
  std::vector<std::string> args = {
      "read",        a.what,
      "--out",       folder,
      "--host",      site.host,
      "--password",  site.password,
      "--port",      std::to_string(site.port != 0 ? site.port : a.port),
      "--data-port", std::to_string(a.dataPort)};
  if (!a.pacing) args.push_back("--no-pacing");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<MessageBoxRecord> shown;
  const int status = runReadCommand(static_cast<int>(args.size()), argv.data(), &shown);
  return {status == 0, summaryMessage(status, shown)};
}

// The width of `text` in a terminal: two columns for a character beyond ASCII.
std::size_t columns(std::string_view text) {
  std::size_t width = 0;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    width += b < 0x80 ? 1 : (b & 0xC0) == 0xC0 ? 2 : 0;
  }
  return width;
}

void printSummary(const std::vector<Site>& sites, const std::vector<Outcome>& outcomes) {
  std::vector<std::vector<std::string>> rows = {{"サイト", "ホスト", "結果", "メッセージ"}};
  for (std::size_t i = 0; i < sites.size(); ++i) {
    const Site& s = sites[i];
    rows.push_back({s.name, shownHost(s), outcomes[i].read ? "成功" : "失敗", outcomes[i].message});
  }
  std::size_t widths[3] = {0, 0, 0};
  for (const auto& row : rows)
    for (std::size_t c = 0; c < 3; ++c) widths[c] = std::max(widths[c], columns(row[c]));
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < 3; ++c)
      line += row[c] + std::string(widths[c] - columns(row[c]) + 2, ' ');
    line += row[3];
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int runSitesCommand(int argc, char** argv) {
  SitesArgs a;
  if (const int status = parseArguments(argc, argv, a); status >= 0) return status;
  std::ifstream in(a.sitesFile, std::ios::binary);
  if (!in) return usage("cannot read the sites file " + a.sitesFile);
  std::ostringstream text;
  text << in.rdbuf();
  const auto sites = parseSites(text.str(), a.sitesFile);
  if (!sites) return usage("the sites file has bad lines; nothing was read");
  if (sites->empty()) return usage("the sites file lists no site");
  std::error_code ec;
  std::filesystem::create_directories(a.outDir, ec);
  if (!std::filesystem::is_directory(a.outDir, ec))
    return usage("cannot create the folder " + a.outDir);

  std::vector<Outcome> outcomes;
  int failed = 0;
  for (std::size_t i = 0; i < sites->size(); ++i) {
    const Site& site = (*sites)[i];
    std::fprintf(stderr, "サイト %zu/%zu %s (%s)\n", i + 1, sites->size(), site.name.c_str(),
                 shownHost(site).c_str());
    outcomes.push_back(readSite(a, site));
    if (!outcomes.back().read) ++failed;
    std::fprintf(stderr, "サイト %zu/%zu %s: %s\n", i + 1, sites->size(), site.name.c_str(),
                 outcomes.back().read ? "成功" : "失敗");
  }
  printSummary(*sites, outcomes);
  return std::min(failed, kMostFailuresShown);
}
