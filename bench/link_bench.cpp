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

#include "bench/paced_timing.h"
#include "data/exchange_files.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/link_timing.h"
#include "link/simulator_transfer_test_support.h"
#include "link/tcp_file_transfer.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

constexpr double kMaxCopyRatio = 3.0;
constexpr double kAllowancePerFile = 0.050;  // seconds

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
        const SimulatorOptions o = testSimulatorOptions("127.0.0.2");  // ZU_SIM_LOG: follow by hand
        const int toolPort = o.toolPortFirst;
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
        const auto start = BenchClock::now();
        const int sessions = unit->sessionCount();
        if (transfer->WritePhonebook() != 0) return false;
        seconds = secondsSince(start);
        unit->waitForSessions(sessions + 1, std::chrono::seconds(10));
        for (auto& [name, body] : unit->lastSession().transferred) movedBodies.push_back(body);
        const auto read = BenchClock::now();
        if (transfer->ReadPhonebook() != 0) return false;
        seconds += secondsSince(read);
        unit->waitForSessions(sessions + 2, std::chrono::seconds(10));
        for (auto& [name, body] : unit->lastSession().transferred) movedBodies.push_back(body);
        return true;
    }

    // A paced run: its time and the sum of the fixed waits it contains. A download serves the
    // file list and fetches its three files; the upload serves the list and block 0 twice.
    bool pacedRun(bool upload, PacedRun& run) {
        LinkTiming& t = linkTiming();
        t.pacingScale = kPacingScale;
        const double waits = upload ? 3 * kServedFileWaits + kUploadEndWait
                                    : kServedFileWaits + 3 * kFetchedFileWaits + kDownloadEndWaits;
        run.fixedWaits = waits * kPacingScale;
        run.what = upload ? "WritePhonebook of one block" : "ReadPhonebook";
        std::fill(std::begin(writeSelection), std::end(writeSelection), 0);
        writeSelection[0] = 1;
        const int sessions = unit->sessionCount();
        const auto start = BenchClock::now();
        const bool ok = (upload ? transfer->WritePhonebook() : transfer->ReadPhonebook()) == 0;
        run.seconds = secondsSince(start);
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
    const auto start = BenchClock::now();
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
    BestTimes best;
    std::size_t files = 0, bytes = 0;
    if (!bestOfRounds(
            [&](double& link, double& copy) {
                if (!bench().writeAndRead(link)) return false;
                copy = loopbackCopy(bench().movedBodies);
                files = bench().movedBodies.size();
                bytes = 0;
                for (const auto& b : bench().movedBodies) bytes += b.size();
                return true;
            },
            best)) {
        std::printf("FAIL: a transfer run failed\n");
        return 1;
    }
    const double limit = kMaxCopyRatio * best.baseline + kAllowancePerFile * static_cast<double>(files);
    std::printf("pacing off: WritePhonebook + ReadPhonebook %.1f ms; loopback copy of the same %zu files "
                "(%.1f MiB) %.1f ms; limit %.1f ms\n",
                best.measured * 1000, files, bytes / 1048576.0, best.baseline * 1000, limit * 1000);
    if (best.measured > limit) {
        std::printf("FAIL: the link takes more than %.0fx the copy plus %.0f ms per file\n", kMaxCopyRatio,
                    kAllowancePerFile * 1000);
        pass = false;
    }
    for (const bool upload : {false, true})
        pass = checkPacedOverhead([&](PacedRun& run) { return bench().pacedRun(upload, run); }) && pass;
    return pass ? 0 : 1;
}
