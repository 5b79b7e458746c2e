#include "link/link_timing.h"

#include <thread>

LinkTiming& linkTiming() {
  static LinkTiming timing;
  return timing;
}

void resetLinkTiming() { linkTiming() = LinkTiming{}; }

void pace(std::chrono::milliseconds wait) {
  const double scale = linkTiming().pacingScale;
  if (scale <= 0.0 || wait.count() <= 0) return;
  const auto scaled = std::chrono::duration<double, std::milli>(wait.count() * scale);
  std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(scaled));
}
