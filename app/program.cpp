#include "app/program.h"

#include "alarmfile/alarm_home.h"
#include "app/alarm_form.h"

namespace tollora {

StartOptions ParseCommandLine(const std::vector<std::u16string>& args) {
  StartOptions options;
  for (const auto& arg : args)
    if (arg == u"--tray") options.tray = true;
  return options;
}

bool start(const StartOptions& options) {
  auto& app = ui::app();
  // Decided once, before anything is loaded: one alarm file, one running copy.
  const std::u16string alarmFile = ChooseAlarmFilePath(app.backend());
  if (!app.backend().claimInstance(alarmFile)) return false;
  app.onAnotherStart = [] {
    // Started again: the running copy comes forward, out of the notification area, just as
    // a left click on its icon brings it back.
    if (Alarm* main = ui::app().loadedInstance<Alarm>()) main->Form_TrayMessage(ui::TrayClick::LeftUp);
  };
  Alarm& main = ui::form<Alarm>();
  main.AlarmFilePath = alarmFile;
  main.StartInTray = options.tray;
  main.Load();  // Form_Load shows the window itself, or leaves it in the notification area
  return true;
}

}  // namespace tollora
