// The Linux desktop program.
#include <dlfcn.h>

#include <QApplication>
#include <thread>

#include "app/program.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_look.h"

int main(int argc, char** argv) {
  ui::qt::beforeApplication();
  // The first text the window draws makes Qt load fontconfig's whole configuration, the
  // largest single cost of start-up beyond a bare window. fontconfig (loaded with Qt) may be
  // set up from any thread: it is done here while the main thread connects to the display.
  std::thread fontconfigSetUp;
  if (auto fcInit = reinterpret_cast<int (*)()>(::dlsym(RTLD_DEFAULT, "FcInit"))) fontconfigSetUp = std::thread(fcInit);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tollora"));
  QApplication::setDesktopFileName(QStringLiteral("tollora"));
  // A main window hidden in the notification area must not end the program; the window
  // layer quits when the last form unloads.
  QApplication::setQuitOnLastWindowClosed(false);

  ui::qt::QtBackend backend;
  ui::App app(backend);
  if (fontconfigSetUp.joinable()) fontconfigSetUp.join();
  std::vector<std::u16string> args;
  for (const QString& arg : QCoreApplication::arguments().mid(1)) args.push_back(ui::qt::fromQString(arg));
  switch (tollora::start(tollora::ParseCommandLine(args))) {
    case tollora::Started::Running:
      return QApplication::exec();
    case tollora::Started::Forwarded:  // the copy that runs with this alarm file has come forward
      return 0;
    case tollora::Started::Refused:  // the message saying why is the only window
      QApplication::exec();
      return 1;
  }
  return 1;
}
