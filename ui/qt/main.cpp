// The Linux desktop program.
#include <QApplication>

#include "app/program.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_look.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tollora"));
  QApplication::setDesktopFileName(QStringLiteral("tollora"));
  // A main window hidden in the notification area must not end the program; the window
  // layer quits when the last form unloads.
  QApplication::setQuitOnLastWindowClosed(false);

  ui::qt::QtBackend backend;
  ui::App app(backend);
  std::vector<std::u16string> args;
  for (const QString& arg : QCoreApplication::arguments().mid(1)) args.push_back(ui::qt::fromQString(arg));
  // Another copy runs with the same alarm file: it has come forward, and this one ends.
  if (!tollora::start(tollora::ParseCommandLine(args))) return 0;
  return QApplication::exec();
}
