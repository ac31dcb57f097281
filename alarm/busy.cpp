// The busy animation after "Set Alarm" and "Stop/Reset", and the refresh of the alarm's state
// that ends it.
#include "alarm/progress_color.h"
#include "app/alarm_form.h"
#include "app/colors.h"

namespace tollora {

bool Alarm::StepProgress() {
  const float v = ProgressBar.value();
  if (v <= 90.0f) {
    ProgressBar.setValue(v + 10.0f);
    return false;
  }
  TimerPb.setEnabled(false);
  ProgressBar.setValue(0.0f);
  return true;
}

void Alarm::PrimeProgressBar() {
  ProgressBar.setVisible(false);
  modProgressColor::SetProgressColor(ProgressBar, ColorBarBack, ColorBarFill);
  StepProgress();
}

void Alarm::TimerPb_Timer() {
  modProgressColor::SetProgressColor(ProgressBar, ColorBarBack, ColorBarFill);
  if (!StepProgress()) return;

  // A tie counts as still ahead here, unlike the first check after start.
  RefreshAlarmState(/*tieAhead=*/true);
  // "Stop/Reset" is there exactly while the alarm sounds: it is the only way to silence it,
  // and once silent the user must be able to save a new alarm whatever the caption says.
  if (!TimerNotify.enabled() && cmdReset.visible()) {
    // The focus stays on the button in that place rather than falling to the alarm box.
    cmdSetAlarm.setVisible(true);
    cmdSetAlarm.setFocus();
    cmdReset.setVisible(false);
  }
  PlayBeep();
  ProgressBar.setVisible(false);
}

}  // namespace tollora
