// The transfer fault matrix: every step of both directions of every entry point, run through the
// workflow the main dialog starts for it (host dialog, confirmation, progress window, link, final
// message), against the simulator with each of its faults that can act at that step. The rows
// come from the simulator's fault table and its step masks, so a new fault gets its rows here.
//
// Every row checks what the user sees (the link's own message, if any, then the communication
// error), the -1 of the link, an upper bound on the time the workflow took, that no descriptor
// and no thread is left over once the unit has ended its session, that the work folder holds
// nothing but work files (no ".tmp", no ".xml", an empty "Zu" folder) and that no table changed.
// The rows run in one process, so a leak adds up from row to row. With ZU_FAULT_MATRIX_TABLE
// naming a file, the rows are written there as a Markdown table (docs/reliability.md).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/communication_workflow.h"
#include "app/denwa_dlg.h"
#include "app/history_workflow.h"
#include "app/ip_addr_inp_dlg.h"
#include "app/phonebook_workflows.h"
#include "app/restriction_workflows.h"
#include "base/files_test_support.h"
#include "data/call_history.h"
#include "data/phonebook_records.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "data/template_messages.h"
#include "link/link_test_support.h"
#include "link/simulator_transfer_test_support.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Every time-out of the link during the matrix; the bound of a row allows a few of them in turn
// (a stalled head waits once per line at most as long as the line before it) and a margin for a
// loaded machine or a sanitizer build.
constexpr auto kLinkTimeout = 300ms;
constexpr auto kRowBound = 4 * kLinkTimeout + 5s;

struct EntryPoint {
  const char* name;
  bool download;
  WorkflowOutcome (*run)(WorkflowSite&);
  // How many files the run moves after the file list (the steps File, Challenge and Fetch are
  // hit at the first and, when there are more, at the last of them).
  int files;
};

const EntryPoint kEntryPoints[] = {
    {"PhonebookRead", true, runPhonebookRead, 3},     // extensions, templates, 10-column dial
    {"PhonebookWrite", false, runPhonebookWrite, 2},  // speed-dial block 0, asked for twice
    {"HistoryRead", true, runHistoryRead, 1},
    {"RestrictionRead", true, runRestrictionRead, 1},
    {"RestrictionWrite", false, runRestrictionWrite, 11},  // ten blocks, the last twice
};

using S = SimulatorStep;
using F = SimulatorFault;
const SimulatorStep kDownloadSteps[] = {S::Answer, S::Connect, S::List, S::Challenge, S::Fetch};
const SimulatorStep kUploadSteps[] = {S::Answer, S::Connect, S::List, S::File};

struct MatrixRow {
  const EntryPoint* entry;
  SimulatorStep step;
  SimulatorFault fault;
  int occurrence;  // which exchange of the step the fault hits, from 1
};

std::vector<MatrixRow> matrixRows() {
  std::vector<MatrixRow> rows;
  for (const EntryPoint& entry : kEntryPoints) {
    const auto& steps = entry.download
                            ? std::vector<S>(std::begin(kDownloadSteps), std::end(kDownloadSteps))
                            : std::vector<S>(std::begin(kUploadSteps), std::end(kUploadSteps));
    for (SimulatorStep step : steps) {
      const bool perFile = step == S::File || step == S::Challenge || step == S::Fetch;
      for (int occurrence : {1, entry.files}) {
        if (occurrence > 1 && !perFile) continue;
        for (SimulatorFault fault : simulatorFaults())
          if (faultFitsStep(fault, step)) rows.push_back({&entry, step, fault, occurrence});
        if (entry.files == 1) break;
      }
    }
  }
  return rows;
}

// "fetch", or "fetch:3" for a fault at the third exchange of the step.
std::string stepText(const MatrixRow& row) {
  std::string text(simulatorStepName(row.step));
  if (row.occurrence > 1) text += ":" + std::to_string(row.occurrence);
  return text;
}

std::string rowName(const MatrixRow& row) {
  std::string name = std::string(row.entry->name) + "_" + stepText(row) + "_" +
                     std::string(simulatorFaultName(row.fault));
  for (char& c : name)
    if (c == '-' || c == ':') c = '_';
  return name;
}

// What a row must end with.
struct Expected {
  bool known = true;        // false: the matrix has no expectation for this fault yet
  bool succeeds = false;    // the tool rightly carries on through the fault
  const char* linkMessage;  // the link's message before the communication error; null: none
  // The link's message may be missing: which of two failures comes first is the network's
  // choice (a reset that arrives after the request left fails the read that follows, quietly).
  bool messageMayBeMissing = false;
};

constexpr const char* kTimeOut = "主装置との接続がタイムアウトしました。";
constexpr const char* kAnswerNotReceived = "主装置からの装置データの受信に失敗しました。";
constexpr const char* kUnitTypeError = "主装置種別エラー発生";
constexpr const char* kNoData = "データ受信に失敗しました。";
constexpr const char* kAnswerNotXml = "受信ファイルの読み込みに失敗しました。";
constexpr const char* kNoConnection = "主装置との接続に失敗しました。";
constexpr const char* kNotSent = "送信が正常に終了しませんでした";

Expected fails(const char* linkMessage = nullptr) { return {true, false, linkMessage}; }
Expected succeeds() { return {true, true, nullptr}; }

Expected expectedFor(const MatrixRow& row) {
  switch (row.step) {
    case S::Answer:
      // The connection answer on the control connection: every failure that has a message of
      // its own shows it; a body that cannot be taken fails quietly.
      switch (row.fault) {
        case F::Close: return fails(kAnswerNotReceived);
        case F::Stall: return fails(kTimeOut);
        case F::StallInHead: return fails(kTimeOut);
        case F::BadStatus: return fails(kNoData);
        case F::GarbageStatusLine: return fails(kUnitTypeError);
        case F::BadXml: return fails(kAnswerNotXml);
        case F::ShortBody:
        case F::HugeContentLength:
        case F::EndlessBody:
        case F::HugeXml: return fails();
        // Without a usable length the answer is read line by line up to "</root>".
        case F::NoContentLength:
        case F::NegativeContentLength: return succeeds();
        case F::LongHeaderLines: return succeeds();
        default: break;
      }
      break;
    case S::Connect:
      switch (row.fault) {
        case F::NoConnectBack: return fails(kNoConnection);
        case F::Close:
        case F::Stall: return fails();
        default: break;
      }
      break;
    case S::List:
    case S::File:
      // The unit's requests on the data connection: the tool refuses or gives up quietly.
      switch (row.fault) {
        case F::FirstRequestWithCredentials:
        case F::LongHeaderLines: return succeeds();
        case F::Close:
        case F::Stall:
        case F::StallInHead:
        case F::GarbageStatusLine:
        case F::WrongCredentials:
        case F::NonGetMethod:
        case F::UnknownFile:
        case F::DataFileInListPhase:
        case F::RequestTyaklog: return fails();
        default: break;
      }
      break;
    case S::Challenge:
    case S::Fetch:
      // The answers to the tool's download requests: only a status line that never comes and a
      // request that cannot be sent have a message of their own.
      switch (row.fault) {
        // A header line of 5000 bytes is read in part and the rest of it passed over.
        case F::LongHeaderLines: return succeeds();
        case F::Stall: return fails(kTimeOut);
        // A head that stops after its start line ends quietly: after the 401 the tool sends its
        // second request and times out waiting for the answer; after the 200 the body never
        // comes.
        case F::StallInHead: return fails(row.step == S::Challenge ? kTimeOut : nullptr);
        case F::Close:
        case F::BadStatus:
        case F::ShortBody:
        case F::BadXml:
        case F::NoContentLength:
        case F::HugeContentLength:
        case F::NegativeContentLength:
        case F::GarbageStatusLine:
        case F::EndlessBody:
        case F::HugeXml: return fails();
        // The unit resets the connection before the tool's request: the send fails.
        case F::Reset: return {true, false, kNotSent, true};
        default: break;
      }
      break;
    default: break;
  }
  return {false, false, nullptr};
}

// The number of entries of a /proc folder (descriptors, threads).
int countEntries(const char* dir) {
  int n = 0;
  if (DIR* d = ::opendir(dir)) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

// Waits until the process holds no more descriptors and threads than `fds` and `threads`.
bool settlesTo(int fds, int threads, int& fdsNow, int& threadsNow) {
  const auto until = Clock::now() + 5s;
  for (;;) {
    fdsNow = countEntries("/proc/self/fd");
    threadsNow = countEntries("/proc/self/task");
    if ((fdsNow <= fds && threadsNow <= threads) || Clock::now() > until)
      return fdsNow <= fds && threadsNow <= threads;
    std::this_thread::sleep_for(10ms);
  }
}

// Every byte of every table a workflow could change.
std::string tableBytes() {
  std::string bytes;
  auto add = [&bytes](const auto& object) {
    bytes.append(reinterpret_cast<const char*>(&object), sizeof object);
  };
  add(phonebookImage);
  add(baselineImage);
  add(templateMessages);
  add(userInfoHeader);
  add(privateSpeedDialLists);
  add(restrictionTable);
  add(restrictionInput);
  add(internalHistory);
  add(externalHistory);
  return bytes;
}

// Tables that differ from everything the unit holds, so a read that slipped through would show.
void markTables() {
  setTemplateMessage(1, "MATRIX", 0);
  RestrictionEntry entry{};
  std::strcpy(entry.number, "0398765432");
  storeRestrictionEntry(17, entry, RestrictionStoreMode::FileLoad);
  std::memset(&internalHistory[3], '7', sizeof internalHistory[3]);
  std::memset(&externalHistory[4], '8', sizeof externalHistory[4]);
}

// Names a failed run may leave in its work folder: the exchange files it prepared or received
// and the upload blocks. Anything else (".tmp", ".xml", stray copies) is a leftover.
bool isWorkFileName(const std::string& name) {
  static const std::regex kWorkFile(
      "(sys-tanf?|naisen|usertkbn(tmp)?|hkiseino(tmp)?|naityaklog|gaityaklog)[0-9]*\\.txt");
  return std::regex_match(name, kWorkFile);
}

std::vector<std::string> leftoversIn(const std::string& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name == "Zu" && e.is_directory()) {
      for (const auto& inner : std::filesystem::directory_iterator(e.path(), ec))
        found.push_back("Zu/" + inner.path().filename().string());
    } else if (!e.is_regular_file() || !isWorkFileName(name)) {
      found.push_back(name);
    }
  }
  return found;
}

// A fresh work folder, in memory where the system has /dev/shm: the writes prepare some fifty
// files, each synced to disk, and the matrix runs them many times.
class WorkFolder {
 public:
  WorkFolder() {
    std::error_code ec;
    const std::string base =
        std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
            ? std::string("/dev/shm")
            : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/zu-matrix-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~WorkFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// One line of the table in docs/reliability.md.
struct RowReport {
  std::string entry, step, fault, seen;
  int result = 0;
  double seconds = 0;
};

std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.front() == ' ') out.erase(out.begin());
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

class TransferFaultMatrix : public ::testing::TestWithParam<MatrixRow> {
 protected:
  static void SetUpTestSuite() {
    SimulatorOptions o = testSimulatorOptions("127.0.0.3");
    toolPort_ = o.toolPortFirst;
    ASSERT_NE(toolPort_, 0);
    // The unit holds a stall far beyond the tool's waits: only the tool's own limits end a row.
    o.ioTimeoutMs = 30000;
    unit_ = new MainUnitSimulator(o);
    ASSERT_TRUE(unit_->start());
    base_ = o;
  }
  static void TearDownTestSuite() {
    delete unit_;
    unit_ = nullptr;
    if (const char* path = std::getenv("ZU_FAULT_MATRIX_TABLE")) writeTable(path);
  }

  static void writeTable(const char* path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "| entry point | step | fault | what the user sees | result | seconds |\n"
        << "|---|---|---|---|---:|---:|\n";
    for (const RowReport& r : reports_) {
      char seconds[16];
      std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
      out << "| " << r.entry << " | " << r.step << " | " << r.fault << " | " << r.seen << " | "
          << r.result << " | " << seconds << " |\n";
    }
  }

  void SetUp() override {
    ASSERT_NE(unit_, nullptr);
    initProcessState();
    initSystemData();
    resetRestrictionTables();
    resetCallHistories();
    markTables();
    useTestTiming(kLinkTimeout);
    ui_.onDialog(kIPAddrInpDlgId, [](DialogDriver& d) {
      d.setText(kIPAddrInpHost, "127.0.0.3");
      d.setText(kIPAddrInpPassword, "7351");
      d.click(IDOK);
    });
    ui_.onDialog(kDenwaDlgId, [](DialogDriver& d) {
      d.check(kDenwaFirstBlock);
      d.click(IDOK);
    });
    link_.SetListenPort(toolPort_);
    link_.SetListenAddress("127.0.0.1");
  }
  void TearDown() override {
    resetLinkTiming();
    unit_->setOptions(base_);
  }

  static inline MainUnitSimulator* unit_ = nullptr;
  static inline SimulatorOptions base_;
  static inline int toolPort_ = 0;
  static inline std::vector<RowReport> reports_;

  ScriptedUi ui_;
  CTCPFileTransfer link_{nullptr};
};

TEST_P(TransferFaultMatrix, EndsAsTheUserMustSeeIt) {
  const MatrixRow& row = GetParam();
  const Expected expected = expectedFor(row);
  if (!expected.known)
    GTEST_SKIP() << "no expectation for fault " << simulatorFaultName(row.fault) << " at "
                 << simulatorStepName(row.step) << " yet";

  // The unit waits 0.3 s for an answer to a first request that carries credentials before it
  // asks again: the tool must wait longer than that for the request that comes.
  if (row.fault == F::FirstRequestWithCredentials) linkTiming().requestLine = 2s;
  SimulatorOptions o = base_;
  o.fault = {row.fault, row.step, row.occurrence};
  ASSERT_TRUE(unit_->setOptions(o));
  const WorkFolder work;
  ASSERT_FALSE(work.path().empty());
  const int sessionsBefore = unit_->sessionCount();
  const std::string tablesBefore = tableBytes();
  const int fdsBefore = countEntries("/proc/self/fd");
  const int threadsBefore = countEntries("/proc/self/task");

  WorkflowSite site{link_, nullptr, 0, work.path(), 1, unit_->port(), {}};
  const auto start = Clock::now();
  const WorkflowOutcome outcome = row.entry->run(site);
  const auto elapsed = Clock::now() - start;
  // What the user saw after the questions, in order.
  std::vector<MessageBoxRecord> messages;
  std::string seen;
  for (const MessageBoxRecord& m : ui_.messages()) {
    if (m.icon() == MB_ICONQUESTION) continue;
    messages.push_back(m);
    seen += (seen.empty() ? "" : " + ") + ("\"" + oneLine(m.text) + "\"");
  }
  const double seconds = std::chrono::duration<double>(elapsed).count();
  std::cout << "[row] " << row.entry->name << " " << stepText(row) << " "
            << simulatorFaultName(row.fault) << ": "
            << (outcome == WorkflowOutcome::Succeeded ? 0 : -1) << ", " << seen << ", " << seconds
            << " s" << std::endl;
  reports_.push_back({row.entry->name, stepText(row), std::string(simulatorFaultName(row.fault)),
                      seen, outcome == WorkflowOutcome::Succeeded ? 0 : -1, seconds});

  if (expected.succeeds) {
    EXPECT_EQ(outcome, WorkflowOutcome::Succeeded) << seen;
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().type, MB_OK | MB_ICONINFORMATION) << seen;
    for (const MessageBoxRecord& m : messages)
      EXPECT_NE(m.caption, workflow_text::kErrorCaption) << seen;
  } else {
    EXPECT_EQ(outcome, WorkflowOutcome::Failed);
    const bool withMessage =
        expected.linkMessage && !(expected.messageMayBeMissing && messages.size() == 1);
    ASSERT_EQ(messages.size(), withMessage ? 2u : 1u) << seen;
    if (withMessage) {
      EXPECT_EQ(messages[0].text, expected.linkMessage);
      EXPECT_EQ(messages[0].caption, "エラー");
      EXPECT_EQ(messages[0].type, MB_ICONWARNING | MB_OK);
    }
    EXPECT_EQ(messages.back().text, workflow_text::kCommunicationError);
    EXPECT_EQ(messages.back().caption, workflow_text::kErrorCaption);
    EXPECT_EQ(messages.back().type, MB_OK | MB_ICONEXCLAMATION);
    // The link's -1: the workflow shows the communication error only for it, and the run left
    // no key behind.
    EXPECT_EQ(link_.KeyHandle(), 0);
    EXPECT_TRUE(tableBytes() == tablesBefore) << "a table changed";
  }
  EXPECT_LT(elapsed, kRowBound);
  EXPECT_TRUE(ui_.faults().empty()) << ui_.faults().front();
  for (const std::string& name : leftoversIn(work.path())) ADD_FAILURE() << "left behind: " << name;

  EXPECT_TRUE(unit_->waitForSessions(sessionsBefore + 1, 10s));
  int fdsNow = 0, threadsNow = 0;
  EXPECT_TRUE(settlesTo(fdsBefore, threadsBefore, fdsNow, threadsNow))
      << "descriptors " << fdsBefore << " -> " << fdsNow << ", threads " << threadsBefore << " -> "
      << threadsNow;
}

INSTANTIATE_TEST_SUITE_P(Rows, TransferFaultMatrix, ::testing::ValuesIn(matrixRows()),
                         [](const auto& info) { return rowName(info.param); });

}  // namespace
