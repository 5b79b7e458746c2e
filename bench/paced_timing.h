// Timing shared by the benchmarks that run the link against the main-unit simulator: the fixed
// waits the main unit expects, the best of several rounds of a run and its baseline, and the
// check of a paced run against its fixed waits.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

using BenchClock = std::chrono::steady_clock;

constexpr double kMaxPacedOverhead = 0.02;
constexpr double kPacingScale = 0.1;  // the paced runs' waits, scaled down
constexpr int kRounds = 5;

// The fixed waits the main unit expects, in seconds: a file the tool serves (before its head,
// 30 steps between head and body, 30 steps after it), a file it fetches (between the two
// requests, 10 steps before the body, the start of the body read), and the end of each direction.
constexpr double kServedFileWaits = 3.0 + 30 * 0.250 + 30 * 0.200;
constexpr double kFetchedFileWaits = 3.0 + 10 * 1.0 + 1.0;
constexpr double kUploadEndWait = 5.0;
constexpr double kDownloadEndWaits = 10 * 0.200;

inline double secondsSince(BenchClock::time_point start) {
  return std::chrono::duration<double>(BenchClock::now() - start).count();
}

// The shortest times of a measured run and its baseline over kRounds rounds, each round running
// both one after the other; false when a run failed (`round` returns false).
struct BestTimes {
  double measured = 1e9;
  double baseline = 1e9;
};
inline bool bestOfRounds(const std::function<bool(double& measured, double& baseline)>& round,
                         BestTimes& best) {
  for (int i = 0; i < kRounds; ++i) {
    double measured = 0, baseline = 0;
    if (!round(measured, baseline)) return false;
    best.measured = std::min(best.measured, measured);
    best.baseline = std::min(best.baseline, baseline);
  }
  return true;
}

// One paced run: its time, the fixed waits it contains and what it was (for the printed line).
struct PacedRun {
  double seconds = 0;
  double fixedWaits = 0;
  std::string what;
};

// Runs `run` twice and keeps the shorter time: the waits are sleeps, and a busy machine
// oversleeps some of them. Prints the time against the fixed waits; false (after a FAIL line)
// when a run failed, when it was shorter than its fixed waits (a wait is missing or too short)
// or when it took more than kMaxPacedOverhead longer. The shorter run goes to `shorter` if given.
inline bool checkPacedOverhead(const std::function<bool(PacedRun&)>& run,
                               PacedRun* shorter = nullptr) {
  PacedRun best;
  best.seconds = 1e9;
  for (int i = 0; i < 2; ++i) {
    PacedRun one;
    if (!run(one)) {
      std::printf("FAIL: the paced run failed\n");
      return false;
    }
    if (one.seconds < best.seconds) best = one;
  }
  if (shorter) *shorter = best;
  const double overhead = best.seconds / best.fixedWaits - 1.0;
  std::printf(
      "pacing on (waits x %.2f): %s %.1f ms; its fixed waits %.1f ms; overhead %.2f%% "
      "(at most %.0f%%)\n",
      kPacingScale, best.what.c_str(), best.seconds * 1000, best.fixedWaits * 1000, overhead * 100,
      kMaxPacedOverhead * 100);
  if (overhead < 0) {
    std::printf("FAIL: the paced run is shorter than its fixed waits: a wait is missing\n");
    return false;
  }
  if (overhead > kMaxPacedOverhead) {
    std::printf("FAIL: the paced run takes more than %.0f%% longer than its fixed waits\n",
                kMaxPacedOverhead * 100);
    return false;
  }
  return true;
}
