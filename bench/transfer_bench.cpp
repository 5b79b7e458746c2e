// The communication workflows and zuctl against the main-unit simulator on loopback, measured
// side by side with baselines in the same run:
//  - pacing on (scaled as in link_bench): the phonebook read workflow and the full phonebook
//    write workflow (all 20 speed-dial blocks, the extension phonebook and the templates, with
//    the preparation of every exchange file and block) against the sum of the fixed waits the
//    main unit expects for the files the run moved. Fails when a run takes more than 2% longer.
//  - pacing on: the write of one edited entry, ticked by the write selection's "変更分のみ" after
//    a read, against the full write measured above. Fails when it sends more than the one block,
//    takes more than 14% of the full write's time (its fixed waits are 11.7% of the full
//    write's, those of two blocks 15.2%), or takes more than its fixed waits plus 2% plus the
//    same write's time without pacing.
//  - pacing off: `zuctl read phonebook --no-pacing` as a process (start-up, the read, the three
//    saved files) against the link's own ReadPhonebook of the same tables in this process. Fails
//    when the process takes more than 3 times the link's read plus 50 ms.
// Exit status 1 when a ratio is missed. Takes about two minutes (the paced full write moves 27
// files, each with 1.65 s of waits at the scale used; the one-block write moves 2).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/denwa_dlg.h"
#include "app/ip_addr_inp_dlg.h"
#include "app/phonebook_workflows.h"
#include "base/files_test_support.h"
#include "bench/paced_timing.h"
#include "data/process_state.h"
#include "data/speed_dial.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/link_timing.h"
#include "link/simulator_transfer_test_support.h"
#include "link/tcp_file_transfer.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

// A write of one block against the full write. Its fixed waits alone are 54.5 s against 467 s
// (the file list, the block listed twice and the upload's end, against 27 files): 11.7%.
constexpr double kMaxChangedShare = 0.14;
constexpr double kMaxProcessRatio = 3.0;
constexpr double kProcessAllowance = 0.050;  // seconds

struct Bench {
  TempDir dir{"zu-transfer-bench"};
  std::unique_ptr<MainUnitSimulator> unit;
  std::unique_ptr<CTCPFileTransfer> link;
  ScriptedUi ui;
  int toolPort = 0;
  bool changedOnly = false;  // the write selection is ticked with "変更分のみ"
  int edits = 0;

  bool start() {
    initProcessState();
    initSystemData();
    const SimulatorOptions o = testSimulatorOptions("127.0.0.2");
    toolPort = o.toolPortFirst;
    unit = std::make_unique<MainUnitSimulator>(o);
    if (toolPort == 0 || dir.path().empty() || !unit->start()) return false;
    link = std::make_unique<CTCPFileTransfer>(nullptr);
    link->SetListenPort(toolPort);
    link->SetListenAddress("127.0.0.1");
    ui.onDialog(kIPAddrInpDlgId, [](DialogDriver& d) {
      d.setText(kIPAddrInpHost, "127.0.0.2");
      d.setText(kIPAddrInpPassword, "7351");
      d.click(IDOK);
    });
    ui.onDialog(kDenwaDlgId, [this](DialogDriver& d) {
      if (changedOnly) {
        d.click(kDenwaChangedOnly);
        d.click(IDOK);
        return;
      }
      for (int b = 0; b < kDenwaBlockCount; ++b) d.check(kDenwaFirstBlock + b);
      d.check(kDenwaExtensions);
      d.check(kDenwaTemplates);
      d.click(IDOK);
    });
    linkTiming().pacingScale = 0;
    return workflow(false) && workflow(true);
  }

  // A workflow without pacing: what it does besides the waits.
  double unpaced(bool write) {
    double seconds = 0;
    return workflow(write, seconds) ? seconds : -1;
  }

  // One workflow run in a fresh work folder, timed from the start of the workflow to its end
  // (not the unit's own end of the session); true when it succeeded.
  bool workflow(bool write, double& seconds) {
    TempDir work;
    WorkflowSite site{*link, nullptr, 0, work.path(), 1, unit->port(), {}};
    const int sessions = unit->sessionCount();
    const auto start = BenchClock::now();
    const bool ok =
        (write ? runPhonebookWrite(site) : runPhonebookRead(site)) == WorkflowOutcome::Succeeded;
    seconds = secondsSince(start);
    unit->waitForSessions(sessions + 1, std::chrono::seconds(10));
    return ok && unit->lastSession().succeeded;
  }
  bool workflow(bool write) {
    double ignored = 0;
    return workflow(write, ignored);
  }

  // A paced workflow: its time and the fixed waits of the files its session moved.
  bool paced(bool write, PacedRun& run) {
    linkTiming().pacingScale = kPacingScale;
    const bool ok = workflow(write, run.seconds);
    linkTiming().pacingScale = 0;
    const std::size_t files = unit->lastSession().transferred.size();
    const double moved = static_cast<double>(files);
    run.fixedWaits =
        kPacingScale * (write ? (1 + moved) * kServedFileWaits + kUploadEndWait
                              : kServedFileWaits + moved * kFetchedFileWaits + kDownloadEndWaits);
    run.what = std::string("phonebook ") + (write ? "write (all blocks)" : "read") + " workflow (" +
               std::to_string(files) + " files)";
    return ok;
  }

  // A new name for entry 1234: one block differs from what the unit holds.
  void editOneEntry() {
    SpeedDialFields f{};
    getSpeedDialEntry(1234, f);
    f.lineGroup = static_cast<std::uint8_t>(f.lineGroup - '0');  // the getter gives a digit
    std::memset(f.name, 0, sizeof f.name);
    std::snprintf(f.name, sizeof f.name, "BENCH%d", ++edits);
    setSpeedDialEntry(1234, f);
  }

  double linkRead() {
    TempDir work;
    link->SetHost("127.0.0.2", unit->port());
    link->SetPassword("7351");
    link->SetWorkDir(work.path().c_str());
    const int sessions = unit->sessionCount();
    const auto start = BenchClock::now();
    const bool ok = link->ReadPhonebook() == 0;
    const double seconds = secondsSince(start);
    unit->waitForSessions(sessions + 1, std::chrono::seconds(10));
    return ok ? seconds : -1;
  }

  double zuctlRead() {
    const std::string out = dir.file("out");
    const std::string program = std::string(ZU_BINARY_DIR) + "/bin/zuctl";
    const std::vector<std::string> args = {program,
                                           "read",
                                           "phonebook",
                                           "--out",
                                           out,
                                           "--host",
                                           "127.0.0.2",
                                           "--password",
                                           "7351",
                                           "--port",
                                           std::to_string(unit->port()),
                                           "--data-port",
                                           std::to_string(toolPort),
                                           "--no-pacing"};
    const int sessions = unit->sessionCount();
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::string state = "XDG_STATE_HOME=" + dir.path();
    char* envp[] = {state.data(), nullptr};
    const auto start = BenchClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      // Only what is safe after fork: the simulator's threads run in this process.
      const int null = ::open("/dev/null", O_WRONLY);
      if (null < 0 || ::dup2(null, 2) < 0) _exit(127);
      execve(program.c_str(), argv.data(), envp);
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = secondsSince(start);
    unit->waitForSessions(sessions + 1, std::chrono::seconds(10));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
  }
};

}  // namespace

int main() {
  Bench bench;
  if (!bench.start()) {
    std::fprintf(stderr, "transfer_bench: the simulator or the first workflows failed\n");
    return 1;
  }
  bool pass = true;

  BestTimes best;
  if (!bestOfRounds(
          [&](double& process, double& link) {
            link = bench.linkRead();
            process = bench.zuctlRead();
            return link >= 0 && process >= 0;
          },
          best)) {
    std::printf("FAIL: a read failed\n");
    return 1;
  }
  const double limit = kMaxProcessRatio * best.baseline + kProcessAllowance;
  std::printf(
      "pacing off: zuctl read phonebook as a process %.1f ms; the link's ReadPhonebook "
      "%.1f ms; ratio %.2f; limit %.1f ms\n",
      best.measured * 1000, best.baseline * 1000, best.measured / best.baseline, limit * 1000);
  if (best.measured > limit) {
    std::printf("FAIL: zuctl takes more than %.0fx the link's read plus %.0f ms\n",
                kMaxProcessRatio, kProcessAllowance * 1000);
    pass = false;
  }

  std::printf("pacing off: phonebook read workflow %.1f ms, full write workflow %.1f ms\n",
              bench.unpaced(false) * 1000, bench.unpaced(true) * 1000);
  double fullWrite = 0;
  for (const bool write : {false, true}) {
    PacedRun best;
    pass =
        checkPacedOverhead([&](PacedRun& run) { return bench.paced(write, run); }, &best) && pass;
    if (write) fullWrite = best.seconds;
  }

  // One edited entry after the read (and the writes) above, written with "変更分のみ".
  bench.changedOnly = true;
  bench.editOneEntry();
  const double changedUnpaced = bench.unpaced(true);
  double changed = 1e9, changedWaits = 0;
  for (int i = 0; i < 2; ++i) {
    bench.editOneEntry();
    PacedRun run;
    if (!bench.paced(true, run) || bench.unit->lastSession().listedFiles.size() != 2) {
      std::printf("FAIL: the write of one changed block failed or sent more than the block\n");
      return 1;
    }
    changed = std::min(changed, run.seconds);
    changedWaits = run.fixedWaits;
  }
  const double share = changed / fullWrite;
  const double changedLimit = changedWaits * (1 + kMaxPacedOverhead) + changedUnpaced;
  std::printf(
      "pacing on (waits x %.2f): phonebook write of one changed block %.1f ms; its fixed waits "
      "%.1f ms, without pacing %.1f ms (limit %.1f ms); %.1f%% of the full write (at most "
      "%.0f%%)\n",
      kPacingScale, changed * 1000, changedWaits * 1000, changedUnpaced * 1000, changedLimit * 1000,
      share * 100, kMaxChangedShare * 100);
  if (changedUnpaced < 0 || share > kMaxChangedShare || changed > changedLimit) {
    std::printf("FAIL: the write of one changed block takes too long\n");
    pass = false;
  }
  return pass ? 0 : 1;
}
