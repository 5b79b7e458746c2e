#include "ui/window_registry.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/dialog.h"
#include "ui/message_pump.h"
#include "ui/ui_backend.h"

namespace {

struct WindowEntry {
  CWnd* window;
  std::string title;
  std::thread::id owner;
};

struct PendingMessage {
  CWnd* window;
  std::thread::id owner;
  unsigned msg;
  std::uintptr_t wParam;
};

struct Registry {
  std::mutex mutex;
  std::condition_variable deliveryDone;
  std::vector<WindowEntry> windows;  // in registration order
  std::deque<PendingMessage> queue;  // in posting order, all threads
  std::map<CWnd*, int> deliveries;   // deliveries running now, per window
};

Registry& registry() {
  static Registry r;
  return r;
}

// The windows this thread is delivering to, so that a handler may close its own window.
thread_local std::vector<CWnd*> t_delivering;

WindowEntry* entryOf(Registry& r, const CWnd* window) {
  for (WindowEntry& e : r.windows) {
    if (e.window == window) return &e;
  }
  return nullptr;
}

WindowEntry* entryTitled(Registry& r, std::string_view title) {
  for (auto it = r.windows.rbegin(); it != r.windows.rend(); ++it) {
    if (it->title == title) return &*it;
  }
  return nullptr;
}

// Queues the message for `entry` (null: dropped) and returns the record of the post.
PostRecord queueMessage(Registry& r, const WindowEntry* entry, std::string target, unsigned msg,
                        std::uintptr_t wParam) {
  PostRecord record;
  record.target = std::move(target);
  record.msg = msg;
  record.wParam = wParam;
  record.poster = std::this_thread::get_id();
  if (entry) {
    record.delivered = true;
    record.owner = entry->owner;
    r.queue.push_back({entry->window, entry->owner, msg, wParam});
  }
  return record;
}

void reportPost(const PostRecord& record) {
  UiBackendRef backend;
  if (backend) backend->messagePosted(record);
}

}  // namespace

void registerWindow(std::string_view title, CWnd* window) {
  if (!window) return;
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (WindowEntry* e = entryOf(r, window)) {
    e->title = std::string(title);
    return;
  }
  r.windows.push_back({window, std::string(title), std::this_thread::get_id()});
}

void retitleWindow(CWnd* window, std::string_view title) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (WindowEntry* e = entryOf(r, window)) e->title = std::string(title);
}

void unregisterWindow(CWnd* window) {
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  auto it = std::find_if(r.windows.begin(), r.windows.end(),
                         [&](const WindowEntry& e) { return e.window == window; });
  if (it == r.windows.end()) return;
  r.windows.erase(it);
  std::erase_if(r.queue, [&](const PendingMessage& m) { return m.window == window; });
  // A delivery running on another thread finishes before the window may go; a handler that
  // closes its own window does not wait for itself.
  int own = static_cast<int>(std::count(t_delivering.begin(), t_delivering.end(), window));
  r.deliveryDone.wait(lock, [&] {
    auto d = r.deliveries.find(window);
    return d == r.deliveries.end() || d->second <= own;
  });
}

HWND findWindow(std::string_view title) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  WindowEntry* e = entryTitled(r, title);
  return e ? e->window : nullptr;
}

bool isWindowRegistered(HWND window) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return entryOf(r, window) != nullptr;
}

std::string registeredTitle(HWND window) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  WindowEntry* e = entryOf(r, window);
  return e ? e->title : std::string();
}

void postToWindow(std::string_view title, unsigned msg, std::uintptr_t wParam) {
  Registry& r = registry();
  PostRecord record;
  {
    std::lock_guard lock(r.mutex);
    record = queueMessage(r, entryTitled(r, title), std::string(title), msg, wParam);
  }
  reportPost(record);
}

void postMessage(HWND window, unsigned msg, std::uintptr_t wParam) {
  Registry& r = registry();
  PostRecord record;
  {
    std::lock_guard lock(r.mutex);
    WindowEntry* e = window ? entryOf(r, window) : nullptr;
    record = queueMessage(r, e, e ? e->title : std::string(), msg, wParam);
  }
  reportPost(record);
}

int pendingMessageCount() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto self = std::this_thread::get_id();
  return static_cast<int>(std::count_if(r.queue.begin(), r.queue.end(),
                                        [&](const PendingMessage& m) { return m.owner == self; }));
}

// Takes the first message for this thread's windows and delivers it outside the lock, counted
// as a running delivery so that the window cannot be unregistered underneath it.
static bool deliverOneMessage() {
  Registry& r = registry();
  PendingMessage m;
  {
    std::lock_guard lock(r.mutex);
    auto self = std::this_thread::get_id();
    auto it = std::find_if(r.queue.begin(), r.queue.end(),
                           [&](const PendingMessage& p) { return p.owner == self; });
    if (it == r.queue.end()) return false;
    m = *it;
    r.queue.erase(it);
    ++r.deliveries[m.window];
  }
  t_delivering.push_back(m.window);
  m.window->OnMessage(m.msg, m.wParam);
  t_delivering.pop_back();
  {
    std::lock_guard lock(r.mutex);
    if (--r.deliveries[m.window] == 0) r.deliveries.erase(m.window);
  }
  r.deliveryDone.notify_all();
  return true;
}

bool pumpOneMessage() {
  bool processed = false;
  {
    UiBackendRef backend;
    if (backend) processed = backend->processOneEvent();
  }
  return deliverOneMessage() || processed;
}

void pumpMessages(int count) {
  for (int i = 0; i < count; ++i) {
    if (!pumpOneMessage()) break;
  }
}

// Delivers the messages queued for the calling thread's windows now; messages their handlers
// post meanwhile wait for the next pump, so a handler that posts again cannot keep this going.
static void deliverQueuedMessages() {
  int queued = 0;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto self = std::this_thread::get_id();
    queued = static_cast<int>(std::count_if(
        r.queue.begin(), r.queue.end(), [&](const PendingMessage& p) { return p.owner == self; }));
  }
  while (queued-- > 0 && deliverOneMessage()) {
  }
}

void runWorkKeepingUiAlive(const std::function<void()>& work) {
  {
    UiBackendRef backend;
    if (backend) {
      backend->runWork(work);
    } else {
      work();
    }
  }
  deliverQueuedMessages();
}
