// QtUi: the desktop backend of the dialog framework, on Qt 6 Widgets.
//
// Construct it on the thread that runs the QApplication (the GUI thread), after the application
// object; while it lives it is the process's backend (the one it replaced comes back when it
// goes). Every widget lives on the GUI thread:
//  - a dialog window is a DialogWidget built from its resource when the dialog opens and
//    removed when it closes; a call from another thread that opens or closes a dialog waits
//    until the GUI thread has done it, so no widget outlives its dialog;
//  - state changes from any thread reach the widgets queued (at once on the GUI thread);
//  - a modal dialog run on the GUI thread turns a nested event loop until it ends; run from a
//    worker, the worker waits and delivers its own posted messages meanwhile (the user's input
//    to it still runs the dialog's handlers on the GUI thread);
//  - message boxes and file dialogs asked for from a worker are shown on the GUI thread while
//    the worker waits for the answer;
//  - messages posted to windows of the GUI thread are delivered by its event loop;
//  - runWork() on the GUI thread runs the work on a worker thread and keeps the event loop
//    turning until it is done.
// A worker's call waits for the GUI thread, so the GUI thread must not wait for that worker
// without turning its loop (runWork, or a try-lock loop around pumpOneMessage, do turn it), and
// the QtUi must go only after the workers that call into it have finished.
#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "ui/dialog.h"
#include "ui/ui_backend.h"

class DialogWidget;
class QEventLoop;
class QWidget;

class QtUi : public UiBackend {
 public:
  QtUi();
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // The window of an open dialog, or null. GUI thread only.
  QWidget* widgetOf(const CWnd* window) const;

  int messageBox(const MessageBoxRequest& request) override;
  std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
  void runModal(CDialog& dialog) override;
  void runWork(const std::function<void()>& work) override;
  void dialogOpened(CDialog& dialog, bool modal) override;
  void dialogClosed(CDialog& dialog) override;
  void dialogEnded(CDialog& dialog, int result) override;
  void controlChanged(CDialog& dialog, const ControlEvent& event) override;
  void windowChanged(CDialog& dialog, const WindowEvent& event) override;
  void cursorChanged(bool wait) override;
  void messagePosted(const PostRecord& record) override;
  bool processOneEvent() override;

 private:
  DialogWidget* find(const CWnd* window) const;
  // The widget a box or file dialog asked for by `owner` belongs over.
  QWidget* ownerWidget(HWND owner) const;
  void wakeWaitingThreads();

  std::unique_ptr<QObject> m_context;  // lives on the GUI thread; queued calls go through it
  std::thread::id m_guiThread;
  UiBackend* m_previous = nullptr;
  std::map<const CWnd*, QPointer<DialogWidget>> m_widgets;  // GUI thread only
  std::map<const CWnd*, QEventLoop*> m_loops;               // GUI thread only
  bool m_waitCursor = false;                                // GUI thread only
  std::mutex m_waitMutex;
  std::condition_variable m_wake;  // a worker in runModal: its dialog ended or a message came
};
