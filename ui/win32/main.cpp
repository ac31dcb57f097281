#include "app/program.h"
#include "ui/win32/win32_backend.h"

#include <vector>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  ui::Win32Backend backend(instance);
  int exitCode = 0;
  {
    // The forms go before the backend: their windows use its fonts, brushes and class.
    ui::App app(backend);
    std::vector<std::u16string> args;
    int argc = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
      for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
      LocalFree(argv);
    }
    // Another copy runs with the same alarm file: it has come forward, and this one ends.
    if (tollora::start(tollora::ParseCommandLine(args))) exitCode = backend.run();
  }
  return exitCode;
}
