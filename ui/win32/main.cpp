#include "app/program.h"
#include "dialogs/message.h"
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
    const tollora::CommandLine line = tollora::ParseCommandLine(args);
    if (line.answer) {
      // A window program has no console to print to: the answer goes in the message window.
      std::u16string text;  // Windows line ends, and none after the last line
      for (char16_t c : line.answer->substr(0, line.answer->size() - 1)) text += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
      tollora::ReportProblem(text);
      backend.run();
      return line.status;
    }
    switch (tollora::start(line.options)) {
      case tollora::Started::Running:
        exitCode = backend.run();
        break;
      case tollora::Started::Forwarded:  // the copy that runs with this alarm file has come forward
        break;
      case tollora::Started::Refused:  // the message saying why is the only window
        backend.run();
        exitCode = 1;
        break;
    }
  }
  return exitCode;
}
