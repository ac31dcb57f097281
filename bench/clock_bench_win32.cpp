// The clock benchmark on the Windows program's event loop (a console program, so the table
// reaches standard output).
//   tollora_clock_bench.exe [CLOCK_SECONDS [ALARMS [1ms]]]
#include <cstdlib>
#include <cstring>

#include "bench/clock_bench.h"
#include "ui/win32/win32_backend.h"

#include <mmsystem.h>

int main(int argc, char** argv) {
  // "1ms": hold the system's 1 ms timer resolution for the whole run, as the program once did,
  // to compare the clock with and without it.
  const bool period1 = argc > 3 && std::strcmp(argv[3], "1ms") == 0;
  if (period1) timeBeginPeriod(1);
  ui::Win32Backend backend(GetModuleHandleW(nullptr));
  int exitCode = 0;
  {
    ui::App app(backend);
    tollora::bench::startClockBench(period1 ? "Wine 1ms" : "Wine", argc > 1 ? std::atoi(argv[1]) : 130, argc > 2 ? std::atoi(argv[2]) : 20);
    exitCode = backend.run();
  }
  return exitCode;
}
