#include "ui/ui_backend.h"

#include <condition_variable>
#include <mutex>

namespace {

struct BackendSlot {
  std::mutex mutex;
  std::condition_variable idle;
  UiBackend* backend = nullptr;
  int inFlight = 0;  // live UiBackendRefs, all threads
};

BackendSlot& slot() {
  static BackendSlot s;
  return s;
}

// Live UiBackendRefs of this thread: an uninstall from inside a backend call waits only for
// the other threads.
thread_local int t_ownRefs = 0;

}  // namespace

UiBackend* installUiBackend(UiBackend* backend) {
  BackendSlot& s = slot();
  std::lock_guard lock(s.mutex);
  UiBackend* previous = s.backend;
  s.backend = backend;
  return previous;
}

void uninstallUiBackend(UiBackend* backend, UiBackend* previous) {
  BackendSlot& s = slot();
  std::unique_lock lock(s.mutex);
  if (s.backend == backend) s.backend = previous;
  s.idle.wait(lock, [&] { return s.inFlight <= t_ownRefs; });
}

UiBackendRef::UiBackendRef() {
  BackendSlot& s = slot();
  std::lock_guard lock(s.mutex);
  m_backend = s.backend;
  if (m_backend) {
    ++s.inFlight;
    ++t_ownRefs;
  }
}

UiBackendRef::~UiBackendRef() {
  if (!m_backend) return;
  BackendSlot& s = slot();
  std::lock_guard lock(s.mutex);
  --s.inFlight;
  --t_ownRefs;
  s.idle.notify_all();
}
