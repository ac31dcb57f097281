// The clock benchmark on the Linux program's event loop.
//   tollora_clock_bench [CLOCK_SECONDS [ALARMS]]
#include <QApplication>

#include <cstdlib>

#include "bench/clock_bench.h"
#include "ui/qt/qt_backend.h"

int main(int argc, char** argv) {
  ui::qt::beforeApplication();
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ui::qt::QtBackend backend;
  ui::App app(backend);
  tollora::bench::startClockBench("Qt", argc > 1 ? std::atoi(argv[1]) : 130, argc > 2 ? std::atoi(argv[2]) : 20);
  return QApplication::exec();
}
