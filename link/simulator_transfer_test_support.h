// Test support for the transfer runs against the main-unit simulator (header only, included by
// tests alone): one simulator for the whole suite on 127.0.0.2 with pacing off, and for each test
// a transfer object aimed at it, with a fresh work folder, the scripted user interface and a
// progress window.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "base/files_test_support.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/tcp_file_transfer.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

// The names of the entries of `dir`, files and folders alike ("." and ".." left out).
inline std::set<std::string> entriesIn(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.insert(n);
    }
    ::closedir(d);
  }
  return names;
}

// The names of the regular files in `dir` (a link counts as what it points at).
inline std::set<std::string> regularFilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const std::string& n : entriesIn(dir)) {
    struct stat st {};
    if (::stat((dir + "/" + n).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.insert(n);
  }
  return names;
}

// The options an in-process test simulator starts with: listening on `address` at a free port,
// pacing off, tables in memory, five free tool ports to connect back to (toolPortFirst is 0 when
// none were free), 3 s for every wait, and its log on standard error when ZU_SIM_LOG is set.
inline SimulatorOptions testSimulatorOptions(const std::string& address) {
  SimulatorOptions o;
  o.listenAddress = address;
  o.port = 0;  // a free port, see MainUnitSimulator::port()
  o.pacing = false;
  o.dataDir = "";
  o.toolPortFirst = freeLoopbackPorts(5);
  o.ioTimeoutMs = 3000;
  o.logToStderr = std::getenv("ZU_SIM_LOG") != nullptr;
  return o;
}

class SimulatorTransferTest : public ::testing::Test {
 protected:
  // `timeout` is every time-out of the link; the work folder's name starts with `folderPrefix`.
  SimulatorTransferTest(std::chrono::milliseconds timeout, std::string_view folderPrefix)
      : timeout_(timeout), work_(folderPrefix) {}

  static void SetUpTestSuite() {
    const SimulatorOptions o = testSimulatorOptions("127.0.0.2");
    toolPort_ = o.toolPortFirst;
    ASSERT_NE(toolPort_, 0);
    unit_ = new MainUnitSimulator(o);
    ASSERT_TRUE(unit_->start());
    baseOptions_ = o;
  }
  static void TearDownTestSuite() {
    delete unit_;
    unit_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(unit_, nullptr);
    ASSERT_FALSE(work_.path().empty());
    initProcessState();
    initSystemData();
    useTestTiming(timeout_);
    unit_->setOptions(baseOptions_);
    workDir_ = work_.path();
    transfer_.SetHost("127.0.0.2", unit_->port());
    transfer_.SetPassword("7351");
    transfer_.SetWorkDir(workDir_.c_str());
    transfer_.SetListenPort(toolPort_);
    transfer_.SetListenAddress("127.0.0.1");
    sessionsBefore_ = unit_->sessionCount();
  }
  void TearDown() override { resetLinkTiming(); }

  // From now on the simulator runs with the suite's options as `change` leaves them.
  void setOptions(const std::function<void(SimulatorOptions&)>& change) {
    SimulatorOptions o = baseOptions_;
    change(o);
    unit_->setOptions(o);
  }

  static inline MainUnitSimulator* unit_ = nullptr;
  static inline SimulatorOptions baseOptions_;
  static inline int toolPort_ = 0;

 private:
  std::chrono::milliseconds timeout_;
  TempDir work_;  // removed after everything below is gone

 protected:
  ScriptedUi ui_;
  ProgressProbe progress_;
  CTCPFileTransfer transfer_{nullptr};
  std::string workDir_;
  int sessionsBefore_ = 0;
};
