// Saves that fail part way, and saves that are killed: whatever happens, the file under the
// user's name holds the previous content or the whole new content, never part of either, no
// temporary file stays beside it, and a save that did not replace the file tells the user.
//
// Failures are made to happen for real at every point of a save of every kind (the menus'
// save buttons, answered by the scripted backend):
// - a full disk at byte N of the new file: RLIMIT_FSIZE makes every write past N bytes fail
//   with EFBIG, as ENOSPC would, for N across the file (no privileges needed);
// - each call of the save on the files of its folder failing in turn: this test program is
//   linked with -Wl,--wrap for mkstemps, fopen, fflush, fsync, fchmod, fclose and rename
//   (app/CMakeLists.txt); the wrappers below pass every call through, except the N-th one made
//   on the save's folder while a row runs, which fails with the error a full or failing disk
//   gives.
// Then a child process saving a large file over and over is killed (SIGKILL) after a random
// delay, many times.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/history_files.h"
#include "app/phonebook_files.h"
#include "app/restriction_files.h"
#include "base/files_test_support.h"
#include "base/platform.h"
#include "data/call_history.h"
#include "data/history_files.h"
#include "data/phonebook_file_io.h"
#include "data/phonebook_tables_test_support.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"

// ---- the call shim ----

namespace {

// The calls of one thread on the files below one folder are counted while `armed`; the call
// numbered `failAt` (from 1) fails.
struct Shim {
  std::atomic<bool> armed{false};
  std::thread::id thread;
  std::string folder;
  int calls = 0;
  int failAt = 0;
  std::vector<std::string> log;  // "fsync zu1a2b3c.tmp", in order
};
Shim shim;

std::string pathOfDescriptor(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[4096];
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// True when this call is to fail. Counts it when it is one of the save's.
bool failsNow(const char* call, const std::string& path) {
  if (!shim.armed.load() || std::this_thread::get_id() != shim.thread) return false;
  if (path.compare(0, shim.folder.size(), shim.folder) != 0) return false;
  ++shim.calls;
  shim.log.push_back(std::string(call) + " " +
                     path.substr(std::min(path.size(), shim.folder.size() + 1)));
  return shim.calls == shim.failAt;
}

std::string pathOfStream(std::FILE* f) { return f ? pathOfDescriptor(::fileno(f)) : std::string(); }

}  // namespace

extern "C" {
int __real_mkstemps(char*, int);
std::FILE* __real_fopen(const char*, const char*);
int __real_fflush(std::FILE*);
int __real_fsync(int);
int __real_fchmod(int, mode_t);
int __real_fclose(std::FILE*);
int __real_rename(const char*, const char*);

int __wrap_mkstemps(char* pattern, int suffix) {
  if (failsNow("mkstemps", pattern)) {
    errno = ENOSPC;
    return -1;
  }
  return __real_mkstemps(pattern, suffix);
}
std::FILE* __wrap_fopen(const char* path, const char* mode) {
  if (failsNow("fopen", path)) {
    errno = ENOSPC;
    return nullptr;
  }
  return __real_fopen(path, mode);
}
int __wrap_fflush(std::FILE* f) {
  if (f && failsNow("fflush", pathOfStream(f))) {
    errno = ENOSPC;
    return EOF;
  }
  return __real_fflush(f);
}
int __wrap_fsync(int fd) {
  if (failsNow("fsync", pathOfDescriptor(fd))) {
    errno = EIO;
    return -1;
  }
  return __real_fsync(fd);
}
int __wrap_fchmod(int fd, mode_t mode) {
  if (failsNow("fchmod", pathOfDescriptor(fd))) {
    errno = EPERM;
    return -1;
  }
  return __real_fchmod(fd, mode);
}
// A close that reports a write the disk could not take: the stream is closed all the same.
int __wrap_fclose(std::FILE* f) {
  const bool fail = failsNow("fclose", pathOfStream(f));
  const int r = __real_fclose(f);
  if (fail) {
    errno = EIO;
    return EOF;
  }
  return r;
}
int __wrap_rename(const char* from, const char* to) {
  if (failsNow("rename", to)) {
    errno = EIO;
    return -1;
  }
  return __real_rename(from, to);
}
}

namespace {

using namespace std::chrono_literals;
using phonebook_test::fillFullTables;

constexpr LocalTime kSaveTime{2026, 12, 8, 17, 5, 0};
constexpr const char* kOldContent = "the previous file, which must survive every failed save\r\n";

// One kind of save, as the user starts it from a menu.
struct SaveKind {
  const char* name;  // the file name under the user's folder
  void (*save)(ScriptedUi& ui, const std::string& path);
};

void savePhonebook(ExchangeKind kind, ScriptedUi& ui, const std::string& path) {
  fileKind = kind;
  ui.answerFile(path);
  savePhonebookFile(nullptr);
}

const SaveKind kSaveKinds[] = {
    {"dial.zud8",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::SpeedDial, ui, p); }},
    {"dial.zud3",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::SpeedDial, ui, p); }},
    {"dial.csv",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::SpeedDial, ui, p); }},
    {"extensions.zud4",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::Extensions, ui, p); }},
    {"extensions.csv",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::Extensions, ui, p); }},
    {"templates.zud9",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::Templates, ui, p); }},
    {"templates.csv",
     [](ScriptedUi& ui, const std::string& p) { savePhonebook(ExchangeKind::Templates, ui, p); }},
    {"restrictions.zud7",
     [](ScriptedUi& ui, const std::string& p) {
       ui.answerFile(p);
       saveRestrictionFile(nullptr);
     }},
    {"restrictions.csv",
     [](ScriptedUi& ui, const std::string& p) {
       ui.answerFile(p);
       saveRestrictionFile(nullptr);
     }},
    {"internal-history.csv",
     [](ScriptedUi& ui, const std::string& p) {
       historyKind = HistoryKind::Internal;
       ui.answerFile(p);
       saveHistoryFile(nullptr);
     }},
    {"external-history.csv",
     [](ScriptedUi& ui, const std::string& p) {
       historyKind = HistoryKind::External;
       ui.answerFile(p);
       saveHistoryFile(nullptr);
     }},
};

// Full tables of every kind.
void fillTables() {
  initProcessState();
  initSystemData();
  fillFullTables(12);
  const std::string data = std::string(ZU_SOURCE_DIR) + "/data/testdata/";
  ASSERT_EQ(loadRestrictionLocalFile(data + "restriction_local.csv"), 0);
  ASSERT_EQ(loadHistoryCsvFile(data + "history_internal.csv", HistoryKind::Internal), 0);
  ASSERT_EQ(loadHistoryCsvFile(data + "history_external.csv", HistoryKind::External), 0);
}

std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

// The tables the saves read, copied whole.
struct TablesImage {
  std::vector<char> bytes;

  template <class F>
  static void each(F&& f) {
    f(&phonebookImage, sizeof phonebookImage);
    f(&templateMessages, sizeof templateMessages);
    f(&userInfoHeader, sizeof userInfoHeader);
    f(&privateSpeedDialLists, sizeof privateSpeedDialLists);
    f(&privateSpeedDialCounter, sizeof privateSpeedDialCounter);
    f(&restrictionTable, sizeof restrictionTable);
    f(&restrictionInput, sizeof restrictionInput);
    f(&internalHistory, sizeof internalHistory);
    f(&externalHistory, sizeof externalHistory);
  }
  static TablesImage take() {
    TablesImage image;
    each([&image](const void* at, std::size_t size) {
      image.bytes.insert(image.bytes.end(), static_cast<const char*>(at),
                         static_cast<const char*>(at) + size);
    });
    return image;
  }
  void put() const {
    std::size_t offset = 0;
    each([&](void* at, std::size_t size) {
      std::memcpy(at, bytes.data() + offset, size);
      offset += size;
    });
    rebuildRestrictionIndex();
  }
};

// How one failed or finished save ended.
struct Outcome {
  std::string content;                  // the bytes under the user's name afterwards
  std::vector<MessageBoxRecord> shown;  // the messages the user saw
  std::vector<std::string> others;      // every other file left in the folder
  std::vector<std::string> calls;       // the calls the shim saw, in order
};

class SaveFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    setLocalTimeForTesting(kSaveTime);
    fillTables();
  }
  void TearDown() override {
    shim.armed = false;
    setLocalTimeForTesting(std::nullopt);
  }

  // Saves `kind` over a file holding kOldContent, with the shim failing call `failAt` (0: none)
  // and the file size limited to `sizeLimit` bytes (RLIM_INFINITY: none).
  Outcome saveOnce(const SaveKind& kind, int failAt, rlim_t sizeLimit = RLIM_INFINITY) {
    const std::string path = dir_.file(kind.name);
    writeFile(path, kOldContent);
    ScriptedUi ui;
    shim.thread = std::this_thread::get_id();
    shim.folder = dir_.path();
    shim.calls = 0;
    shim.failAt = failAt;
    shim.log.clear();
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    if (sizeLimit != RLIM_INFINITY) {
      rlimit limited = saved;
      limited.rlim_cur = sizeLimit;
      ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    shim.armed = true;
    kind.save(ui, path);
    shim.armed = false;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    Outcome out{readFile(path), ui.messages(), {}, shim.log};
    for (const std::string& n : namesIn(dir_.path()))
      if (n != kind.name) out.others.push_back(n);
    std::remove(path.c_str());
    return out;
  }

  // What every save must end with: the old content and the save error, or the new content and
  // no message; nothing else in the folder. Returns true when the save failed.
  bool expectWholeFile(const Outcome& o, const std::string& fresh, const std::string& where) {
    for (const std::string& n : o.others) ADD_FAILURE() << where << ": left behind " << n;
    if (o.content == fresh) {
      EXPECT_TRUE(o.shown.empty()) << where << ": a saved file with a message: " << o.shown[0].text;
      return false;
    }
    EXPECT_EQ(o.content, kOldContent)
        << where << ": the file is neither old nor new (" << o.content.size() << " bytes)";
    EXPECT_EQ(o.shown.size(), 1u) << where;
    if (!o.shown.empty()) {
      EXPECT_EQ(o.shown[0].text, local_file_text::kSaveError) << where;
      EXPECT_EQ(o.shown[0].caption, "エラー") << where;
    }
    return true;
  }

  TempDir dir_{"zu-save-failure"};
};

TEST_F(SaveFailures, EveryFailingCallLeavesTheOldFileOrTheWholeNewOne) {
  int points = 0, failed = 0;
  for (const SaveKind& kind : kSaveKinds) {
    const Outcome clean = saveOnce(kind, 0);
    ASSERT_TRUE(clean.shown.empty()) << kind.name << ": " << clean.shown[0].text;
    ASSERT_NE(clean.content, kOldContent);
    const std::vector<std::string> calls = shim.log;
    ASSERT_FALSE(calls.empty()) << kind.name;
    // The rename over the user's file is the save's last step that counts: a failure up to it
    // fails the save, unless the save tried again and its later rename went through.
    const std::string replace = "rename " + std::string(kind.name);
    int lastReplace = 0;
    for (int n = 1; n <= static_cast<int>(calls.size()); ++n)
      if (calls[n - 1] == replace) lastReplace = n;
    ASSERT_NE(lastReplace, 0) << kind.name;
    for (int n = 1; n <= static_cast<int>(calls.size()); ++n) {
      const std::string where = std::string(kind.name) + " failing " + calls[n - 1];
      const Outcome o = saveOnce(kind, n);
      const bool saveFailed = expectWholeFile(o, clean.content, where);
      const auto after = o.calls.begin() + std::min<std::size_t>(n, o.calls.size());
      const bool retried = std::find(after, o.calls.end(), replace) != o.calls.end();
      if (n <= lastReplace && !retried) {
        EXPECT_TRUE(saveFailed) << where << ": reported saved";
      }
      ++points;
      failed += saveFailed;
      std::cout << "[point] " << where << ": "
                << (saveFailed ? "save error, old file kept"
                    : retried  ? "tried again, saved"
                               : "saved")
                << "\n";
    }
  }
  std::cout << "[figures] failing calls tried: " << points << ", saves that failed: " << failed
            << std::endl;
}

TEST_F(SaveFailures, ADiskFullAtAnyByteLeavesTheOldFile) {
  ::signal(SIGXFSZ, SIG_IGN);
  int points = 0;
  for (const SaveKind& kind : kSaveKinds) {
    const Outcome clean = saveOnce(kind, 0);
    ASSERT_TRUE(clean.shown.empty());
    const rlim_t size = clean.content.size();
    std::vector<rlim_t> limits = {0, 1, 191, 192, 4095, 4096, 4097, size / 2, size - 1, size};
    for (rlim_t at = 8192; at < size; at += size / 8 + 1) limits.push_back(at);
    for (rlim_t limit : limits) {
      if (limit > size) continue;
      const std::string where = std::string(kind.name) + " full at byte " + std::to_string(limit);
      const bool saveFailed = expectWholeFile(saveOnce(kind, 0, limit), clean.content, where);
      // The last limit is the new file's own size: a save that writes a larger work file on the
      // way may still fail there.
      if (limit < size) {
        EXPECT_TRUE(saveFailed) << where << ": reported saved";
      }
      ++points;
    }
  }
  ::signal(SIGXFSZ, SIG_DFL);
  std::cout << "[figures] disk-full points tried: " << points << std::endl;
}

// A child saves the file over and over, alternating between two contents; it is killed after a
// random delay. The file under the user's name must be one of the two, whole.
TEST_F(SaveFailures, AKilledSaveNeverLeavesAHalfFile) {
  const int kills = std::getenv("ZU_SAVE_KILLS") ? std::atoi(std::getenv("ZU_SAVE_KILLS")) : 60;
  struct KillKind {
    const char* name;
    void (*changeTables)();  // makes the second content
    void (*save)(const std::string& path);
  };
  const KillKind kinds[] = {
      {"dial.zud8", [] { fillFullTables(99); },
       [](const std::string& p) { savePhonebookData(p, ExchangeKind::SpeedDial); }},
      {"restrictions.zud7", [] { resetRestrictionTables(); },
       [](const std::string& p) { saveRestrictionLocalFile(p); }},
      {"internal-history.csv", [] { resetCallHistories(); },
       [](const std::string& p) { saveHistoryCsvFile(p, HistoryKind::Internal); }},
  };
  std::mt19937 rng(20261208);
  int total = 0, asFirst = 0, asSecond = 0, strayTemps = 0;
  for (const KillKind& kind : kinds) {
    fillTables();
    const std::string path = dir_.file(kind.name);
    const std::string ref = dir_.file(std::string("ref-") + kind.name);
    const TablesImage first = TablesImage::take();
    const auto start = std::chrono::steady_clock::now();
    kind.save(ref);
    const auto saveTime = std::chrono::steady_clock::now() - start;
    const std::string a = readFile(ref);
    kind.changeTables();
    const TablesImage second = TablesImage::take();
    kind.save(ref);
    const std::string b = readFile(ref);
    std::remove(ref.c_str());
    ASSERT_NE(a, b);
    // Kills land anywhere in the child's first saves, after a start of up to 20 ms.
    const auto range =
        20000 + 4 * std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count();
    for (int i = 0; i < kills; ++i) {
      writeFile(path, a);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        // Saves the second content, then the first, then the second ... until killed.
        for (bool other = true;; other = !other) {
          (other ? second : first).put();
          kind.save(path);
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(rng() % range));
      ::kill(child, SIGKILL);
      int status = 0;
      const pid_t waited = ::waitpid(child, &status, 0);
      ASSERT_EQ(waited, child) << std::strerror(errno);
      ASSERT_TRUE(WIFSIGNALED(status));
      const std::string now = readFile(path);
      ++total;
      if (now == a)
        ++asFirst;
      else if (now == b)
        ++asSecond;
      else
        ADD_FAILURE() << kind.name << ", kill " << i << ": a file of " << now.size()
                      << " bytes that is neither content";
      for (const std::string& n : namesIn(dir_.path())) {
        if (n == kind.name) continue;
        ++strayTemps;
        std::remove(dir_.file(n).c_str());
      }
    }
  }
  std::cout << "[figures] kills: " << total << ", first content: " << asFirst
            << ", second content: " << asSecond
            << ", temporary files left by a kill: " << strayTemps << std::endl;
  EXPECT_EQ(asFirst + asSecond, total);
}

}  // namespace
