#include "app/program.h"
#include "ui/win32/win32_backend.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  ui::Win32Backend backend(instance);
  int exitCode = 0;
  {
    // The forms go before the backend: their windows use its fonts, brushes and class.
    ui::App app(backend);
    tollora::start();
    exitCode = backend.run();
  }
  return exitCode;
}
