// zu: the desktop program. The main dialog and everything it opens are shown with Qt 6 Widgets;
// the workflows are the same code that zuctl drives from its arguments.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/bellwick_app.h"
#include "app/main_dlg.h"
#include "ui/qt/qt_ui.h"

namespace {

constexpr const char* kUsage =
    "usage: zu [--help] [--version] [Qt options such as -platform NAME]\n"
    "\n"
    "Opens the main dialog of Zu, the maintenance tool for the main unit's phonebook,\n"
    "call histories and outgoing-call restriction numbers. Each transfer asks for the\n"
    "main unit's host name or address and its password.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zu %s\n", ZU_VERSION);
      return 0;
    }
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zu"));
  QApplication::setApplicationVersion(QStringLiteral(ZU_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("zu"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/zu.svg")));

  QtUi ui;
  CBellwickApp& app = theApp();
  app.m_runMainDialog = [&app] {
    CMainDlg dialog(app.m_pTransfer);
    dialog.DoModal();
  };
  app.InitInstance();
  return app.ExitInstance();
}
