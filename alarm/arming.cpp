// "Set Alarm", "Stop/Reset" and the first display of the alarm's state after start.
#include "alarm/alarm_reader.h"
#include "alarm/clock_text.h"
#include "app/alarm_form.h"
#include "app/colors.h"

namespace tollora {

void Alarm::cmdSetAlarm_Click() {
  // A moment typed another common way is rewritten into the clock's own layout first, so the
  // box shows exactly what will ring and what is saved. A text that names no moment stays as
  // typed, is saved as typed, and shows "Set Alarm" in orange at the end of the animation.
  auto& layer = ui::app().backend();
  const auto read = ReadAlarmText(txtTime(0).text(), layer.now(), layer.regional());
  if (read && *read != txtTime(0).text()) txtTime(0).setText(*read);
  RungAlarm.clear();
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
  ShowAlarmState(AlarmLiesAhead(alarm, label, ui::app().backend().regional(), /*tieAhead=*/false));
  TimerCheck.setEnabled(false);
}

void Alarm::CheckLoadedAlarm() {
  auto& layer = ui::app().backend();
  const ui::RegionalSettings rs = layer.regional();
  // The file keeps the clock's US layout from before a change of the regional settings: the
  // label would never show that text again, so the box takes today's layout for the same
  // moment. The file itself changes only with the next "Set Alarm".
  if (const auto today = ClockTextFromUsLayout(txtTime(0).text(), rs)) txtTime(0).setText(*today);
  // Started hidden, nobody sees the orange button of an alarm that can never ring.
  const std::u16string& alarm = txtTime(0).text();
  if (!visible() && !alarm.empty() && !ClockMoment(alarm, rs)) {
    layer.trayNotify(u"The saved alarm will not ring",
                     u"\"" + alarm + u"\" names no moment the clock can show. Click here, then type the alarm again.");
  }
}

void Alarm::ShowAlarmState(bool ahead) {
  const ui::Color color = ahead ? ColorArmed : ColorPending;
  cmdSetAlarm.setCaption(ahead ? u"Alarm Set" : u"Set Alarm");
  cmdSetAlarm.setBackColor(color);
  lblTime.setForeColor(color);
  if (ahead) RememberAlarm(AlarmMemory::State::Armed);  // alarm/missed_alarm.cpp
}

}  // namespace tollora
