// Handing a call to the GUI thread.
//
// Qt widgets live on the thread that runs the QApplication. callOnGuiThread() runs a function
// there and gives its result back to the caller, who waits meanwhile; on the GUI thread itself
// it simply calls the function. postToGuiThread() queues a function without waiting (run at
// once when already on the GUI thread, unless `alwaysQueue`). The `context` object lives on the
// GUI thread and must outlive every call handed to it.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <future>
#include <type_traits>
#include <utility>

inline bool isGuiThread() {
  return QCoreApplication::instance() != nullptr &&
         QThread::currentThread() == QCoreApplication::instance()->thread();
}

template <typename F>
auto callOnGuiThread(QObject* context, F&& fn) -> std::invoke_result_t<F> {
  if (isGuiThread()) return fn();
  std::packaged_task<std::invoke_result_t<F>()> task(std::forward<F>(fn));
  auto answer = task.get_future();
  QMetaObject::invokeMethod(
      context, [&task] { task(); }, Qt::QueuedConnection);
  return answer.get();
}

template <typename F>
void postToGuiThread(QObject* context, F&& fn, bool alwaysQueue = false) {
  if (!alwaysQueue && isGuiThread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(context, std::forward<F>(fn), Qt::QueuedConnection);
}
