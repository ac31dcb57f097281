// The Linux desktop program's start, shared by the program and the end-to-end tests' build.
#include "ui/qt/qt_main.h"

#include <dlfcn.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/program.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_look.h"

namespace ui::qt {

namespace {

// Qt's own command-line options (QGuiApplication's, QApplication's and X11's), which Qt takes
// out of the line itself: a desktop's session restore starts programs with `-session <id>`.
// With one dash or two; those in the first list take a value, after a blank or '='.
bool toolkitOption(const char* arg, bool& takesValue) {
  static const char* const withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                          "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
                                          "stylesheet", "name", "title", "visual", "qmljsdebugger"};
  static const char* const alone[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  if (arg[0] != '-') return false;
  const std::string word = arg + (arg[1] == '-' ? 2 : 1);
  const std::string name = word.substr(0, word.find('='));
  for (const char* option : withValue)
    if (name == option) {
      takesValue = name.size() == word.size();
      return true;
    }
  takesValue = false;
  for (const char* option : alone)
    if (word == option) return true;
  return false;
}

// The program's own words, in the order given.
std::vector<std::u16string> programWords(int argc, char** argv) {
  std::vector<std::u16string> words;
  for (int i = 1; i < argc; ++i) {
    bool takesValue = false;
    if (toolkitOption(argv[i], takesValue)) {
      if (takesValue) ++i;
      continue;
    }
    words.push_back(fromQString(QString::fromLocal8Bit(argv[i])));
  }
  return words;
}

// The value of one of Qt's options on the command line (`-platform`, `-display`), if given.
const char* toolkitValue(int argc, char** argv, const char* option) {
  for (int i = 1; i + 1 < argc; ++i)
    if (argv[i][0] == '-' && !std::strcmp(argv[i] + (argv[i][1] == '-' ? 2 : 1), option)) return argv[i + 1];
  return nullptr;
}

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// While the application connects to its display, Qt's messages are held: when it cannot, Qt
// would end the process with a paragraph about reinstalling; one line says what is wrong.
struct HeldMessage {
  QtMsgType type;
  const char* category;  // Qt's categories' names are static
  QString text;
};
std::vector<HeldMessage>* g_held = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    g_held->push_back({type, context.category, text});
    return;
  }
  // Qt's first warning says why ("could not connect to display :1"); the fatal one does not.
  QString reason = text.section(QLatin1Char('\n'), 0, 0);
  for (const HeldMessage& m : *g_held)
    if (m.type != QtDebugMsg && m.type != QtInfoMsg) {
      reason = m.text;
      break;
    }
  std::fprintf(stderr, "tollora: cannot open a window on the display: %s\n", reason.toLocal8Bit().constData());
  std::_Exit(1);
}

}  // namespace

int runProgram(int argc, char** argv, const std::function<void(QtBackend&)>& attach) {
  // The command line is answered before anything needs a display.
  const tollora::CommandLine line = tollora::ParseCommandLine(programWords(argc, argv));
  if (line.answer) {
    std::fputs(toQString(*line.answer).toLocal8Bit().constData(), line.status == 0 ? stdout : stderr);
    return line.status;
  }
  // The platform Qt will try: empty for its own choice (X, or Wayland in a Wayland session).
  const char* asked = toolkitValue(argc, argv, "platform");
  const std::string platform = asked ? asked : set("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  if ((platform.empty() || platform.starts_with("xcb") || platform.starts_with("wayland")) && !set("DISPLAY") &&
      !set("WAYLAND_DISPLAY") && !toolkitValue(argc, argv, "display")) {
    std::fputs("tollora: no display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set\n", stderr);
    return 1;
  }
  beforeApplication();
  // The first text the window draws makes Qt load fontconfig's whole configuration, the
  // largest single cost of start-up beyond a bare window. fontconfig (loaded with Qt) may be
  // set up from any thread: it is done here while the main thread connects to the display.
  std::thread fontconfigSetUp;
  if (auto fcInit = reinterpret_cast<int (*)()>(::dlsym(RTLD_DEFAULT, "FcInit"))) fontconfigSetUp = std::thread(fcInit);
  std::vector<HeldMessage> held;
  g_held = &held;
  const QtMessageHandler qtOwn = qInstallMessageHandler(holdMessage);
  QApplication application(argc, argv);
  qInstallMessageHandler(qtOwn);
  g_held = nullptr;
  for (const HeldMessage& m : held) qt_message_output(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category), m.text);
  QApplication::setApplicationName(QStringLiteral("Tollora"));
  QApplication::setDesktopFileName(QStringLiteral("org.example.Tollora"));
  // A main window hidden in the notification area must not end the program; the window
  // layer quits when the last form unloads.
  QApplication::setQuitOnLastWindowClosed(false);

  QtBackend backend;
  if (attach) attach(backend);
  ui::App app(backend);
  if (fontconfigSetUp.joinable()) fontconfigSetUp.join();
  switch (tollora::start(line.options)) {
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
