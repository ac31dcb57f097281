// "Set Alarm", "Stop/Reset" and the first display of the alarm's state after start.
#include "alarm/clock_text.h"
#include "app/alarm_form.h"
#include "app/colors.h"

namespace tollora {

void Alarm::cmdSetAlarm_Click() {
  ProgressBar.setVisible(true);
  TimerTime.setEnabled(true);
  TimerPb.setEnabled(true);
  TimerPb.setInterval(100);
  setAlarm();
}

void Alarm::cmdReset_Click() {
  TimerTime.setEnabled(true);
  TimerNotify.setEnabled(false);
  lblTime.setForeColor(ColorAlarmRed);
  ProgressBar.setVisible(true);
  TimerPb.setEnabled(true);
  TimerPb.setInterval(100);
}

void Alarm::TimerCheck_Timer() {
  FreshenLabel();
  const std::u16string alarm = txtTime(0).text();
  const std::u16string label = lblTime.caption();
  // A tie counts as passed here, unlike the end of the busy animation.
  ShowAlarmState(CompareAlarmToLabel(alarm, label, ui::app().backend().regional()) > 0);
  TimerCheck.setEnabled(false);
}

void Alarm::ShowAlarmState(bool ahead) {
  const ui::Color color = ahead ? ColorArmed : ColorPending;
  cmdSetAlarm.setCaption(ahead ? u"Alarm Set" : u"Set Alarm");
  cmdSetAlarm.setBackColor(color);
  lblTime.setForeColor(color);
}

}  // namespace tollora
