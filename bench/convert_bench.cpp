// zuctl convert as whole processes: a full speed-dial table (10000 entries) from .zud8 to .csv
// and back, against iconv -f CP932 -t UTF-8 over the same two files, measured side by side in
// the same run. Fails (exit status 1) when the round trip takes more than 3 times as long as the
// two iconv runs, or when a zuctl process peaks above 64 MiB of resident memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "data/phonebook_file_io.h"
#include "data/phonebook_tables_test_support.h"

extern char** environ;

namespace {

constexpr double kMaxRatio = 3.0;
constexpr long kMaxResidentKiB = 64 * 1024;
constexpr int kRounds = 9;

struct ProcessResult {
  bool ok = false;
  double seconds = 0;
  long maxResidentKiB = 0;
};

// Runs `args` with standard output and error sent to /dev/null; its time and peak memory.
ProcessResult runProcess(const std::vector<std::string>& args) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ProcessResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid) {
      result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      result.maxResidentKiB = usage.ru_maxrss;
    }
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

struct Files {
  phonebook_test::TempDir dir;
  std::string zuctl = std::string(ZU_BINARY_DIR) + "/bin/zuctl";
  std::string zud8, csv, outCsv, outZud8;

  Files() {
    zud8 = dir.file("full.zud8");
    csv = dir.file("full.csv");
    outCsv = dir.file("out.csv");
    outZud8 = dir.file("out.zud8");
  }
};

Files& files() {
  static Files f;
  return f;
}

// The round trip: .zud8 to .csv, then .csv to .zud8; peak memory of the larger process.
ProcessResult zuctlRoundTrip() {
  const Files& f = files();
  const ProcessResult a = runProcess({f.zuctl, "convert", f.zud8, f.outCsv});
  const ProcessResult b = runProcess({f.zuctl, "convert", f.csv, f.outZud8, "--kind", "phonebook"});
  return {a.ok && b.ok, a.seconds + b.seconds, std::max(a.maxResidentKiB, b.maxResidentKiB)};
}

ProcessResult iconvPair() {
  const Files& f = files();
  const ProcessResult a = runProcess({"iconv", "-f", "CP932", "-t", "UTF-8", f.zud8});
  const ProcessResult b = runProcess({"iconv", "-f", "CP932", "-t", "UTF-8", f.csv});
  return {a.ok && b.ok, a.seconds + b.seconds, std::max(a.maxResidentKiB, b.maxResidentKiB)};
}

void BM_ZuctlConvertRoundTrip(benchmark::State& state) {
  for (auto _ : state) {
    const ProcessResult r = zuctlRoundTrip();
    if (!r.ok) state.SkipWithError("zuctl convert failed");
    state.SetIterationTime(r.seconds);
    state.counters["maxRSS_KiB"] = static_cast<double>(r.maxResidentKiB);
  }
}
BENCHMARK(BM_ZuctlConvertRoundTrip)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_IconvSameFiles(benchmark::State& state) {
  for (auto _ : state) {
    const ProcessResult r = iconvPair();
    if (!r.ok) state.SkipWithError("iconv failed");
    state.SetIterationTime(r.seconds);
  }
}
BENCHMARK(BM_IconvSameFiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

bool prepareFiles() {
  phonebook_test::startUp();
  phonebook_test::fillFullTables(2024);
  phonebook_test::setUserFields();
  if (!savePhonebookData(files().zud8, ExchangeKind::SpeedDial).ok()) return false;
  const ProcessResult r = runProcess({files().zuctl, "convert", files().zud8, files().csv});
  return r.ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (!prepareFiles()) {
    std::fprintf(stderr, "convert_bench: could not make the full .zud8 and .csv (is %s built?)\n",
                 files().zuctl.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // The verdict: best of kRounds of each, taken in turns so that both see the same machine load.
  double bestZuctl = 1e9, bestIconv = 1e9;
  long peakKiB = 0;
  for (int i = 0; i < kRounds; ++i) {
    const ProcessResult z = zuctlRoundTrip();
    const ProcessResult c = iconvPair();
    if (!z.ok || !c.ok) {
      std::fprintf(stderr, "convert_bench: %s failed\n", z.ok ? "iconv" : "zuctl convert");
      return 1;
    }
    bestZuctl = std::min(bestZuctl, z.seconds);
    bestIconv = std::min(bestIconv, c.seconds);
    peakKiB = std::max(peakKiB, z.maxResidentKiB);
  }
  const double ratio = bestZuctl / bestIconv;
  std::printf("zuctl convert .zud8 -> .csv -> .zud8: %.1f ms; iconv over both files: %.1f ms; "
              "ratio %.2f (limit %.1f)\n",
              bestZuctl * 1000, bestIconv * 1000, ratio, kMaxRatio);
  std::printf("peak resident memory of zuctl convert: %.1f MiB (limit %ld MiB)\n", peakKiB / 1024.0,
              kMaxResidentKiB / 1024);
  bool pass = true;
  if (ratio > kMaxRatio) {
    std::printf("FAIL: the round trip is more than %.1f times the iconv time\n", kMaxRatio);
    pass = false;
  }
  if (peakKiB > kMaxResidentKiB) {
    std::printf("FAIL: zuctl convert needs more than %ld MiB\n", kMaxResidentKiB / 1024);
    pass = false;
  }
  return pass ? 0 : 1;
}
