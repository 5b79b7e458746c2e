// The link against the main-unit simulator on loopback, measured side by side with baselines in
// the same run:
//  - pacing off: a full WritePhonebook (all 20 speed-dial blocks, the extension blocks and the
//    templates) plus a ReadPhonebook, against a plain loopback TCP copy of the same bytes (every
//    file both runs moved, one after the other on one connection). Fails when the link takes
//    more than 3 times the copy plus 50 ms per file.
//  - pacing on (scaled): a ReadPhonebook (the file list and three fetched files) and a
//    WritePhonebook of one block (the file list and the block twice), each against the sum of
//    the fixed waits the main unit expects for its files. The sum is computed from the unit's
//    pacing itself, not from the timing object, so a wait that is missing or too short shows as
//    a run shorter than the sum and fails too. Fails when a run takes more than 2% longer.
// Exit status 1 when a ratio is missed.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "data/exchange_files.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/link_timing.h"
#include "link/tcp_file_transfer.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kMaxCopyRatio = 3.0;
constexpr double kAllowancePerFile = 0.050;  // seconds
constexpr double kMaxPacedOverhead = 0.02;
constexpr double kPacingScale = 0.1;  // the paced run's waits, scaled down
constexpr int kRounds = 5;

// The fixed waits the main unit expects, in seconds: a file the tool serves (before its head,
// 30 steps between head and body, 30 steps after it), a file it fetches (between the two
// requests, 10 steps before the body, the start of the body read), and the end of each direction.
constexpr double kServedFileWaits = 3.0 + 30 * 0.250 + 30 * 0.200;
constexpr double kFetchedFileWaits = 3.0 + 10 * 1.0 + 1.0;
constexpr double kUploadEndWait = 5.0;
constexpr double kDownloadEndWaits = 10 * 0.200;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Bench {
    ScriptedUi ui;
    std::string workDir;
    std::string dirText;
    std::unique_ptr<MainUnitSimulator> unit;
    std::unique_ptr<CTCPFileTransfer> transfer;
    std::vector<std::string> movedBodies;  // every body the measured runs moved

    ~Bench() {
        transfer.reset();
        unit.reset();
        if (!workDir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(workDir, ignored);
        }
    }

    bool start() {
        initProcessState();
        initSystemData();
        char dir[] = "/tmp/zu-link-bench-XXXXXX";
        if (::mkdtemp(dir) == nullptr) return false;
        workDir = dir;
        dirText = workDir + "/";
        const int toolPort = freeLoopbackPorts(5);
        SimulatorOptions o;
        o.listenAddress = "127.0.0.2";
        o.port = 0;
        o.pacing = false;
        o.dataDir = "";
        o.toolPortFirst = toolPort;
        o.logToStderr = std::getenv("ZU_SIM_LOG") != nullptr;  // follow a run by hand
        unit = std::make_unique<MainUnitSimulator>(o);
        if (toolPort == 0 || !unit->start()) return false;
        transfer = std::make_unique<CTCPFileTransfer>(nullptr);
        transfer->SetHost("127.0.0.2", unit->port());
        transfer->SetPassword(o.password);
        transfer->SetWorkDir(workDir.c_str());
        transfer->SetListenPort(toolPort);
        transfer->SetListenAddress("127.0.0.1");
        linkTiming().pacingScale = 0;
        // Fill the tables from the unit, then stage a full upload from them.
        if (transfer->ReadPhonebook() != 0) return false;
        const SpeedDialForm form = speedDialFormOf(sysTanfMode);
        readExchangeFile(dirText + "sys-tanf.txt",
                         {ExchangeKind::SpeedDial, form, RowSource::MainUnit});
        readExchangeFile(dirText + "naisen.txt", {ExchangeKind::Extensions});
        readExchangeFile(dirText + "usertkbn.txt", {ExchangeKind::Templates});
        if (!writeExchangeFile(dirText + "sys-tanf.txt", ExchangeKind::SpeedDial, form).ok()) {
            return false;
        }
        if (!writeExchangeFile(dirText + "naisen.txt", ExchangeKind::Extensions, form).ok()) {
            return false;
        }
        if (!writeExchangeFile(dirText + "usertkbntmp.txt", ExchangeKind::Templates, form).ok()) {
            return false;
        }
        transfer->PrepareSpeedDialFiles(1);
        transfer->PrepareExtensionFiles();
        transfer->PrepareTemplateFile();
        for (int& w : writeSelection) w = 1;
        return true;
    }

    // One full write and one read; false when either fails. Keeps the bodies moved.
    bool writeAndRead(double& seconds) {
        movedBodies.clear();
        // A read leaves the downloaded "usertkbn.txt" where the template block of the same name
        // lies, so the block is made again before every write, as the write workflow does.
        transfer->PrepareTemplateFile();
        const auto start = Clock::now();
        const int sessions = unit->sessionCount();
        if (transfer->WritePhonebook() != 0) return false;
        seconds = secondsSince(start);
        unit->waitForSessions(sessions + 1, std::chrono::seconds(10));
        for (auto& [name, body] : unit->lastSession().transferred) movedBodies.push_back(body);
        const auto read = Clock::now();
        if (transfer->ReadPhonebook() != 0) return false;
        seconds += secondsSince(read);
        unit->waitForSessions(sessions + 2, std::chrono::seconds(10));
        for (auto& [name, body] : unit->lastSession().transferred) movedBodies.push_back(body);
        return true;
    }

    // A paced run: its time and the sum of the fixed waits it contains. A download serves the
    // file list and fetches its three files; the upload serves the list and block 0 twice.
    bool pacedRun(bool upload, double& seconds, double& fixedWaits) {
        LinkTiming& t = linkTiming();
        t.pacingScale = kPacingScale;
        const double waits = upload ? 3 * kServedFileWaits + kUploadEndWait
                                    : kServedFileWaits + 3 * kFetchedFileWaits + kDownloadEndWaits;
        fixedWaits = waits * kPacingScale;
        std::fill(std::begin(writeSelection), std::end(writeSelection), 0);
        writeSelection[0] = 1;
        const int sessions = unit->sessionCount();
        const auto start = Clock::now();
        const bool ok = (upload ? transfer->WritePhonebook() : transfer->ReadPhonebook()) == 0;
        seconds = secondsSince(start);
        unit->waitForSessions(sessions + 1, std::chrono::seconds(10));
        t.pacingScale = 0;
        for (int& w : writeSelection) w = 1;
        return ok;
    }
};

Bench& bench() {
    static Bench b;
    return b;
}

// Every body, one after the other, through one plain loopback connection.
double loopbackCopy(const std::vector<std::string>& bodies) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
    const auto start = Clock::now();
    std::thread receiver([listener] {
        std::vector<char> buffer(65536);
        const int fd = ::accept(listener, nullptr, nullptr);
        while (::recv(fd, buffer.data(), buffer.size(), 0) > 0) {
        }
        ::close(fd);
    });
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    for (const std::string& body : bodies) {
        std::size_t sent = 0;
        while (sent < body.size()) {
            const ssize_t r = ::send(fd, body.data() + sent, body.size() - sent, MSG_NOSIGNAL);
            if (r <= 0) break;
            sent += static_cast<std::size_t>(r);
        }
    }
    ::close(fd);
    receiver.join();
    const double seconds = secondsSince(start);
    ::close(listener);
    return seconds;
}

void BM_WriteAndReadPhonebook(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = 0;
        if (!bench().writeAndRead(seconds)) state.SkipWithError("a run failed");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_WriteAndReadPhonebook)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoopbackCopyOfTheSameBytes(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(loopbackCopy(bench().movedBodies));
}
BENCHMARK(BM_LoopbackCopyOfTheSameBytes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (!bench().start()) {
        std::fprintf(stderr, "link_bench: the simulator or the first read failed\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    bool pass = true;
    double bestLink = 1e9, bestCopy = 1e9;
    std::size_t files = 0, bytes = 0;
    for (int i = 0; i < kRounds; ++i) {
        double seconds = 0;
        if (!bench().writeAndRead(seconds)) {
            std::printf("FAIL: a transfer run failed\n");
            return 1;
        }
        bestLink = std::min(bestLink, seconds);
        bestCopy = std::min(bestCopy, loopbackCopy(bench().movedBodies));
        files = bench().movedBodies.size();
        bytes = 0;
        for (const auto& b : bench().movedBodies) bytes += b.size();
    }
    const double limit = kMaxCopyRatio * bestCopy + kAllowancePerFile * static_cast<double>(files);
    std::printf("pacing off: WritePhonebook + ReadPhonebook %.1f ms; loopback copy of the same %zu files "
                "(%.1f MiB) %.1f ms; limit %.1f ms\n",
                bestLink * 1000, files, bytes / 1048576.0, bestCopy * 1000, limit * 1000);
    if (bestLink > limit) {
        std::printf("FAIL: the link takes more than %.0fx the copy plus %.0f ms per file\n", kMaxCopyRatio,
                    kAllowancePerFile * 1000);
        pass = false;
    }

    for (const bool upload : {false, true}) {
        double bestPaced = 1e9, fixedWaits = 0;
        for (int i = 0; i < 2; ++i) {
            double seconds = 0;
            if (!bench().pacedRun(upload, seconds, fixedWaits)) {
                std::printf("FAIL: the paced run failed\n");
                return 1;
            }
            bestPaced = std::min(bestPaced, seconds);
        }
        const double overhead = bestPaced / fixedWaits - 1.0;
        std::printf("pacing on (waits x %.2f): %s %.1f ms; its fixed waits %.1f ms; overhead %.2f%% "
                    "(at most %.0f%%)\n",
                    kPacingScale, upload ? "WritePhonebook of one block" : "ReadPhonebook", bestPaced * 1000,
                    fixedWaits * 1000, overhead * 100, kMaxPacedOverhead * 100);
        if (overhead < 0) {
            std::printf("FAIL: the paced run is shorter than its fixed waits: a wait is missing or too short\n");
            pass = false;
        } else if (overhead > kMaxPacedOverhead) {
            std::printf("FAIL: the paced run takes more than %.0f%% longer than its fixed waits\n",
                        kMaxPacedOverhead * 100);
            pass = false;
        }
    }
    return pass ? 0 : 1;
}
