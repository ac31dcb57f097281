// The clock benchmark on the Windows program's event loop (a console program, so the table
// reaches standard output).
//   tollora_clock_bench.exe [CLOCK_SECONDS [ALARMS]]
#include <cstdlib>

#include "bench/clock_bench.h"
#include "ui/win32/win32_backend.h"

int main(int argc, char** argv) {
  ui::Win32Backend backend(GetModuleHandleW(nullptr));
  int exitCode = 0;
  {
    ui::App app(backend);
    tollora::bench::startClockBench("Wine", argc > 1 ? std::atoi(argv[1]) : 130, argc > 2 ? std::atoi(argv[2]) : 20);
    exitCode = backend.run();
  }
  return exitCode;
}
