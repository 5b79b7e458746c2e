// zu-mainunit: a main unit on the network, with its own stored system data.
#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "mainunit/simulator.h"

namespace {

volatile sig_atomic_t g_quit = 0;

void onSignal(int) { g_quit = 1; }

void printHelp() {
  SimulatorOptions d;
  std::printf(
      "Usage: zu-mainunit [OPTION]...\n"
      "Acts as the telephone exchange's main unit for Zu: answers the connection request on the\n"
      "control port, opens the data connection back to the tool, and serves and stores the\n"
      "phonebook, restriction numbers and call histories kept in its data folder. A fresh data\n"
      "folder is seeded with sample data (10000 speed-dial entries, extension names, templates,\n"
      "10000 restriction numbers, 5000 calls in each history). Every session step is logged to\n"
      "stderr. Stop it with Ctrl+C.\n"
      "\n"
      "It is as strict as a unit: a file list that is not what a tool sends to this firmware\n"
      "(direction, files, element names, addresses, layout), an upload block whose rows are not\n"
      "exactly those of its name, or a download of a file out of the list ends the session with\n"
      "a logged \"refused:\" reason. Below firmware 4.0 it serves no sys-tanf.txt or usertkbn.txt\n"
      "and takes no 10-column blocks or templates. One session runs at a time: a tool that asks\n"
      "while one runs gets 404 (in use).\n"
      "\n"
      "Options:\n"
      "  --listen ADDRESS       IPv4 address of the control listener (default %s)\n"
      "  --port N               control port; 0 picks a free one (default %d)\n"
      "  --fw-ver TEXT          firmware version in the answer; below 4.0 selects the 7-column\n"
      "                         speed dial; an empty text leaves the element out (default %s)\n"
      "  --dev-type TEXT        device type in the answer; the tool wants it to start with \"Zu/\"\n"
      "                         (default %s)\n"
      "  --password TEXT        the unit's password (default %s)\n"
      "  --busy                 answer every connection request with 404 (in use), also\n"
      "                         when no other session runs\n"
      "  --no-pacing            no waits between the steps (default: modest waits like a unit)\n"
      "  --pacing               wait between the steps\n"
      "  --data DIR             data folder of the stored tables (default %s)\n"
      "  --tool-port N          first data port of the tool to connect back to; five ports from\n"
      "                         it are tried, this unit's own listener skipped (default %d)\n"
      "  --tool-ports N         how many data ports to try (default %d)\n"
      "  --fault NAME[@STEP[:N]]  inject a fault, see below\n"
      "  --huge-length TEXT     the Content-Length text of huge-content-length (default %s)\n"
      "  --huge-xml BYTES       the body size of huge-xml (default %zu)\n"
      "  --timeout SECONDS      the longest wait for the tool's next byte (default %d)\n"
      "  --quiet                do not log the session steps\n"
      "  --help                 show this text\n"
      "\n%s",
      d.listenAddress.c_str(), d.port, d.fwVer.c_str(), d.devType.c_str(), d.password.c_str(),
      d.dataDir.c_str(), d.toolPortFirst, d.toolPortCount, d.hugeContentLength.c_str(),
      d.hugeXmlBytes, d.ioTimeoutMs / 1000, simulatorFaultHelp().c_str());
}

bool parseInt(std::string_view text, int low, int high, int& out) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  SimulatorOptions o;
  o.logToStderr = true;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&](std::string_view& v) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zu-mainunit: %s needs a value\n", argv[i]);
        return false;
      }
      v = argv[++i];
      return true;
    };
    std::string_view v;
    int n = 0;
    if (a == "--help" || a == "-h") {
      printHelp();
      return 0;
    } else if (a == "--busy") {
      o.busy = true;
    } else if (a == "--no-pacing") {
      o.pacing = false;
    } else if (a == "--pacing") {
      o.pacing = true;
    } else if (a == "--quiet") {
      o.logToStderr = false;
    } else if (a == "--listen" && value(v)) {
      o.listenAddress = v;
    } else if (a == "--port" && value(v) && parseInt(v, 0, 65535, n)) {
      o.port = n;
    } else if (a == "--fw-ver" && value(v)) {
      o.fwVer = v;
    } else if (a == "--dev-type" && value(v)) {
      o.devType = v;
    } else if (a == "--password" && value(v)) {
      o.password = v;
    } else if (a == "--data" && value(v)) {
      o.dataDir = v;
    } else if (a == "--tool-port" && value(v) && parseInt(v, 1, 65535, n)) {
      o.toolPortFirst = n;
    } else if (a == "--tool-ports" && value(v) && parseInt(v, 1, 100, n)) {
      o.toolPortCount = n;
    } else if (a == "--fault" && value(v)) {
      if (!parseSimulatorFault(v, o.fault)) {
        std::fprintf(stderr, "zu-mainunit: unknown fault or step: %.*s (see --help)\n",
                     static_cast<int>(v.size()), v.data());
        return 2;
      }
    } else if (a == "--huge-length" && value(v)) {
      o.hugeContentLength = v;
    } else if (a == "--huge-xml" && value(v) && parseInt(v, 1, 1 << 30, n)) {
      o.hugeXmlBytes = static_cast<std::size_t>(n);
    } else if (a == "--timeout" && value(v) && parseInt(v, 1, 86400, n)) {
      o.ioTimeoutMs = n * 1000;
    } else {
      std::fprintf(stderr, "zu-mainunit: bad option or value: %s (see --help)\n", argv[i]);
      return 2;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  MainUnitSimulator simulator(o);
  if (!simulator.start()) {
    std::fprintf(stderr, "zu-mainunit: cannot start on %s:%d with data folder %s\n",
                 o.listenAddress.c_str(), o.port, o.dataDir.empty() ? "(memory)" : o.dataDir.c_str());
    return 1;
  }
  if (o.fault.fault != SimulatorFault::None) {
    SimulatorStep step = o.fault.step == SimulatorStep::Default ? defaultStepOf(o.fault.fault) : o.fault.step;
    std::fprintf(stderr, "zu-mainunit: fault %.*s at %.*s (exchange %d)\n",
                 static_cast<int>(simulatorFaultName(o.fault.fault).size()), simulatorFaultName(o.fault.fault).data(),
                 static_cast<int>(simulatorStepName(step).size()), simulatorStepName(step).data(),
                 o.fault.occurrence);
  }
  while (!g_quit) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::fprintf(stderr, "zu-mainunit: stopping\n");
  simulator.stop();
  return 0;
}
