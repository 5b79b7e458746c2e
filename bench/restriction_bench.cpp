// Loading a restriction-number .csv of 10000 distinct numbers against loading one of 1000.
//
// The duplicate rules of the store look up each number in an index instead of scanning the
// table, so the load grows with the file: the *Ratio benchmark interleaves the two loads, keeps
// the best time of each and reports best(10000) / best(1000) as the counter "ratio". The program
// exits with 1 when the ratio exceeds 12.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/atomic_file.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/system_data.h"

namespace {

constexpr double kAllowedRatio = 12.0;

struct BenchFiles {
  std::string dir;
  std::string small;
  std::string large;
  BenchFiles() {
    char pattern[] = "/tmp/zu_restriction_bench_XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir = pattern;
    small = dir + "/distinct1000.csv";
    large = dir + "/distinct10000.csv";
    if (!replaceFileAtomically(small, fileOf(1000)) || !replaceFileAtomically(large, fileOf(10000)))
      std::abort();
  }
  ~BenchFiles() {
    std::remove(small.c_str());
    std::remove(large.c_str());
    rmdir(dir.c_str());
  }
  // The title and `entries` lines "%04d,<distinct number>," as the local save writes them.
  static std::string fileOf(int entries) {
    std::string text = restrictionTitleLine() + "\r\n";
    char line[48];
    for (int k = 0; k < entries; ++k) {
      std::snprintf(line, sizeof line, "%04d,0%d%07d,\r\n", k, 3 + k % 7, k * 7919 % 10000000);
      text += line;
    }
    return text;
  }
};

BenchFiles& files() {
  static BenchFiles f;
  return f;
}

void prepare() {
  static bool ready = false;
  if (ready) return;
  initProcessState();
  initSystemData();
  files();
  ready = true;
}

double secondsToLoad(const std::string& path) {
  resetRestrictionTables();
  const auto start = std::chrono::steady_clock::now();
  if (loadRestrictionLocalFile(path) != 0) std::abort();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Load(benchmark::State& state) {
  prepare();
  const std::string& path = state.range(0) == 1000 ? files().small : files().large;
  for (auto _ : state) state.SetIterationTime(secondsToLoad(path));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

double loadRatio = 0;

void BM_Ratio(benchmark::State& state) {
  prepare();
  double bestSmall = 1e9;
  double bestLarge = 1e9;
  for (auto _ : state) {
    const double small = secondsToLoad(files().small);
    const double large = secondsToLoad(files().large);
    if (small < bestSmall) bestSmall = small;
    if (large < bestLarge) bestLarge = large;
    state.SetIterationTime(small + large);
  }
  loadRatio = bestLarge / bestSmall;
  state.counters["ratio"] = loadRatio;
  state.counters["best_1000_us"] = bestSmall * 1e6;
  state.counters["best_10000_us"] = bestLarge * 1e6;
}

BENCHMARK(BM_Load)->Name("load_csv")->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ratio)
    ->Name("load_csv_10000_vs_1000")
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (loadRatio == 0) return 0;  // filtered out
  std::printf("load of 10000 distinct numbers / load of 1000: %.2f (allowed %.2f)\n", loadRatio,
              kAllowedRatio);
  return loadRatio > kAllowedRatio ? 1 : 0;
}
