#include "ui/qt/qt_ui.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <chrono>
#include <thread>

#include "ui/cursor.h"
#include "ui/message_pump.h"
#include "ui/qt/dialog_widget.h"
#include "ui/qt/gui_thread.h"
#include "ui/qt/qt_file_dialog.h"
#include "ui/qt/qt_message_box.h"

namespace {

// Event-loop turns of this thread that pumpOneMessage() is part of: a turn started inside
// another one would let deliveries nest without bound, so processOneEvent() declines then.
thread_local int t_turnDepth = 0;

struct TurnGuard {
  TurnGuard() { ++t_turnDepth; }
  ~TurnGuard() { --t_turnDepth; }
};

}  // namespace

QtUi::QtUi() : m_context(std::make_unique<QObject>()), m_guiThread(std::this_thread::get_id()) {
  m_previous = installUiBackend(this);
}

QtUi::~QtUi() {
  uninstallUiBackend(this, m_previous);
  for (auto& [window, widget] : m_widgets) {
    if (widget) {
      widget->detach();
      delete widget.data();
    }
  }
  if (m_waitCursor) QApplication::restoreOverrideCursor();
}

DialogWidget* QtUi::find(const CWnd* window) const {
  auto it = m_widgets.find(window);
  return it == m_widgets.end() ? nullptr : it->second.data();
}

QWidget* QtUi::widgetOf(const CWnd* window) const { return find(window); }

QWidget* QtUi::ownerWidget(HWND owner) const {
  if (QWidget* w = find(owner); w && w->isVisible()) return w;
  return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                           : QApplication::activeWindow();
}

// ---- boxes ----

int QtUi::messageBox(const MessageBoxRequest& request) {
  return callOnGuiThread(m_context.get(),
                         [&] { return showQtMessageBox(request, ownerWidget(request.owner)); });
}

std::optional<std::string> QtUi::fileDialog(const FileDialogRequest& request) {
  return callOnGuiThread(m_context.get(),
                         [&] { return showQtFileDialog(request, ownerWidget(request.parent)); });
}

// ---- dialog windows ----

void QtUi::dialogOpened(CDialog& dialog, bool modal) {
  callOnGuiThread(m_context.get(), [&] {
    QWidget* parent = find(dialog.Parent());
    m_widgets[&dialog] = new DialogWidget(dialog, modal, parent);
  });
}

void QtUi::dialogClosed(CDialog& dialog) {
  callOnGuiThread(m_context.get(), [&] {
    auto it = m_widgets.find(&dialog);
    if (it == m_widgets.end()) return;
    if (DialogWidget* w = it->second) {
      w->detach();
      w->hide();
      w->deleteLater();  // it may be inside one of its own handlers now
    }
    m_widgets.erase(it);
  });
}

void QtUi::controlChanged(CDialog& dialog, const ControlEvent& event) {
  postToGuiThread(m_context.get(), [this, window = &dialog, event] {
    if (DialogWidget* w = find(window)) w->refreshControl(event);
  });
}

void QtUi::windowChanged(CDialog& dialog, const WindowEvent&) {
  postToGuiThread(m_context.get(), [this, window = &dialog] {
    if (DialogWidget* w = find(window)) w->refreshWindow();
  });
}

void QtUi::dialogEnded(CDialog& dialog, int) {
  postToGuiThread(m_context.get(), [this, window = &dialog] {
    auto it = m_loops.find(window);
    if (it != m_loops.end()) it->second->quit();
  });
  wakeWaitingThreads();
}

void QtUi::runModal(CDialog& dialog) {
  if (isGuiThread()) {
    QEventLoop loop;
    m_loops[&dialog] = &loop;
    while (!dialog.HasEnded()) loop.exec();
    m_loops.erase(&dialog);
    return;
  }
  std::unique_lock lock(m_waitMutex);
  while (!dialog.HasEnded()) {
    lock.unlock();
    while (pumpOneMessage()) {
    }
    lock.lock();
    if (dialog.HasEnded()) break;
    m_wake.wait_for(lock, std::chrono::milliseconds(50));
  }
}

void QtUi::wakeWaitingThreads() {
  { std::lock_guard lock(m_waitMutex); }
  m_wake.notify_all();
}

// ---- loop, messages, cursor ----

void QtUi::runWork(const std::function<void()>& work) {
  if (!isGuiThread()) {
    work();
    return;
  }
  QEventLoop loop;
  bool done = false;
  std::thread worker([&] {
    work();
    QMetaObject::invokeMethod(
        m_context.get(),
        [&] {
          done = true;
          loop.quit();
        },
        Qt::QueuedConnection);
  });
  while (!done) loop.exec();
  worker.join();
}

void QtUi::messagePosted(const PostRecord& record) {
  if (!record.delivered) return;
  if (record.owner != m_guiThread) {
    wakeWaitingThreads();
    return;
  }
  // Delivered from the event loop, one message per post, in posting order.
  postToGuiThread(
      m_context.get(),
      [] {
        TurnGuard turn;
        pumpOneMessage();
      },
      true);
}

bool QtUi::processOneEvent() {
  if (!isGuiThread() || t_turnDepth > 0) return false;
  TurnGuard turn;
  QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
  return dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
}

void QtUi::cursorChanged(bool) {
  postToGuiThread(m_context.get(), [this] {
    bool wait = isWaitCursorShown();
    if (wait == m_waitCursor) return;
    m_waitCursor = wait;
    if (wait) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}
