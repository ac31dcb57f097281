#include "app/program.h"

#include "alarmfile/alarm_home.h"
#include "app/alarm_form.h"
#include "dialogs/message.h"

namespace tollora {

StartOptions ParseCommandLine(const std::vector<std::u16string>& args) {
  StartOptions options;
  for (const auto& arg : args)
    if (arg == u"--tray") options.tray = true;
  return options;
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
