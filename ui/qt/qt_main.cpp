// The Linux desktop program's start, shared by the program and the end-to-end tests' build.
#include "ui/qt/qt_main.h"

#include <dlfcn.h>

#include <QApplication>
#include <thread>

#include "app/program.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_look.h"

namespace ui::qt {

int runProgram(int argc, char** argv, const std::function<void(QtBackend&)>& attach) {
  beforeApplication();
  // The first text the window draws makes Qt load fontconfig's whole configuration, the
  // largest single cost of start-up beyond a bare window. fontconfig (loaded with Qt) may be
  // set up from any thread: it is done here while the main thread connects to the display.
  std::thread fontconfigSetUp;
  if (auto fcInit = reinterpret_cast<int (*)()>(::dlsym(RTLD_DEFAULT, "FcInit"))) fontconfigSetUp = std::thread(fcInit);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tollora"));
  QApplication::setDesktopFileName(QStringLiteral("org.example.Tollora"));
  // A main window hidden in the notification area must not end the program; the window
  // layer quits when the last form unloads.
  QApplication::setQuitOnLastWindowClosed(false);

  QtBackend backend;
  if (attach) attach(backend);
  ui::App app(backend);
  if (fontconfigSetUp.joinable()) fontconfigSetUp.join();
  std::vector<std::u16string> args;
  for (const QString& arg : QCoreApplication::arguments().mid(1)) args.push_back(fromQString(arg));
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

}  // namespace ui::qt
