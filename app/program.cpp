#include "app/program.h"

#include "alarmfile/alarm_home.h"
#include "app/alarm_form.h"
#include "dialogs/message.h"

namespace tollora {

namespace {
constexpr char16_t kUsage[] =
    u"Usage: tollora [--tray]\n"
    u"A small single-alarm reminder clock.\n"
    u"\n"
    u"  --tray     start with the window hidden in the notification area\n"
    u"  --help     show this help and end\n"
    u"  --version  show the version and end\n";
}  // namespace

CommandLine ParseCommandLine(const std::vector<std::u16string>& args) {
  CommandLine line;
  bool help = false, version = false;
  for (const auto& arg : args) {
    if (arg == u"--tray") {
      line.options.tray = true;
    } else if (arg == u"--help") {
      help = true;
    } else if (arg == u"--version") {
      version = true;
    } else {
      // The first word it does not know, whatever else the line asks for.
      line.answer = u"tollora: " + std::u16string(arg.starts_with(u'-') ? u"unknown option" : u"unexpected argument") +
                    u" '" + arg + u"'\n" + kUsage;
      line.status = 2;
      return line;
    }
  }
  if (help) line.answer = kUsage;
  else if (version) line.answer = u"Tollora " TOLLORA_VERSION "\n";
  return line;
}

Started start(const StartOptions& options) {
  auto& app = ui::app();
  // Decided once, before anything is loaded: one alarm file, one running copy.
  const std::u16string alarmFile = ChooseAlarmFilePath(app.backend());
  switch (app.claimInstance(alarmFile)) {
    case ui::App::Claim::Claimed:
      break;
    case ui::App::Claim::Forwarded:
      return Started::Forwarded;
    case ui::App::Claim::NoAnswer:
      ReportProblem(u"Tollora is already running for this alarm file but does not respond:\r\n" + alarmFile +
                    u"\r\n\r\nEnd that copy, then start Tollora again.");
      return Started::Refused;
    case ui::App::Claim::NoLock:
      ReportProblem(u"Tollora cannot make sure that it is the only copy running for this alarm file:\r\n" + alarmFile +
                    u"\r\n\r\nIt has not started, so that two copies never change one alarm.");
      return Started::Refused;
  }
  app.onAnotherStart = [] {
    // Started again: the running copy comes forward, out of the notification area, just as
    // a left click on its icon brings it back.
    if (Alarm* main = ui::app().loadedInstance<Alarm>()) main->Form_TrayMessage(ui::TrayClick::LeftUp);
  };
  Alarm& main = ui::form<Alarm>();
  main.AlarmFilePath = alarmFile;
  main.StartInTray = options.tray;
  main.Load();  // Form_Load shows the window itself, or leaves it in the notification area
  return Started::Running;
}

}  // namespace tollora
