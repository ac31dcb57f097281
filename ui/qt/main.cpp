// The Linux desktop program.
#include <QApplication>

#include "app/program.h"
#include "ui/qt/qt_backend.h"

int main(int argc, char** argv) {
  ui::qt::beforeApplication();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tollora"));
  QApplication::setDesktopFileName(QStringLiteral("tollora"));
  // A main window hidden in the notification area must not end the program; the window
  // layer quits when the last form unloads.
  QApplication::setQuitOnLastWindowClosed(false);

  ui::qt::QtBackend backend;
  ui::App app(backend);
  tollora::start();
  return QApplication::exec();
}
