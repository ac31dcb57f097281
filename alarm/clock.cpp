// The clock label, the alarm trigger and the repeating beep.
#include "alarm/clock_text.h"
#include "app/alarm_form.h"
#include "app/colors.h"

namespace tollora {

void Alarm::TimerTime_Timer() {
  auto& layer = ui::app().backend();
  // One reading for both the date and the time: two readings either side of midnight would
  // show the new time with the old date, a label a day behind.
  const ui::LocalTime now = layer.now();
  const ui::RegionalSettings rs = layer.regional();
  const std::u16string previous = lblTime.caption();
  const std::u16string text = FormatClockText(now, now, rs);
  lblTime.setCaption(text);
  // "in 25 days" counts down with the clock.
  if (cmdSetAlarm.caption() == u"Alarm Set") ShowAlarmTip();

  // A new label is one of the two changes the alarm is compared on.
  if (AlarmState::Reaches(txtTime(0).text(), previous, text, rs)) Fire();
}

void Alarm::TimerAlarm_Timer() {
  // Aimed at the alarm's second (AimAlarm). The clock does not tick while the window is
  // hidden: a live clock is brought up to date now, and its tick compares.
  if (TimerTime.enabled()) {
    TimerTime_Timer();
  } else if (txtTime(0).text() == lblTime.caption()) {
    Fire();
  }
}

void Alarm::Fire() {
  if (!state_.Ring(txtTime(0).text())) return;  // it rang already
  if (TellMissedIfHoursLate()) return;  // hours late: told as missed, not rung
  TimerTime.setEnabled(false);
  cmdReset.setVisible(true);
  // The keys go where the ring is: Space or Enter stops it, and none meant for the button
  // lands in the alarm box (hiding the focused "Set Alarm" would pass the focus on to it).
  cmdReset.setFocus();
  cmdSetAlarm.setVisible(false);
  lblTime.setForeColor(ColorAlarmRed);
  lblTime.setCaption(u"Time's Up!");
  cmdSetAlarm.setCaption(u"Set Alarm");
  cmdSetAlarm.setBackColor(ColorPending);
  ShowAlarmTip();
  TimerNotify.setEnabled(true);
  const std::u16string news = RememberRang();  // "Time's Up!", and how late when it is
  TrayAlarmRang(news);
  ui::app().backend().announce(news);
}

void Alarm::TimerNotify_Timer() { PlayBeep(); }

void Alarm::PlayBeep() {
  auto& layer = ui::app().backend();
  layer.playSound(layer.programFolder() + u"/beep.wav");
}

void Alarm::Form_TimeChanged() {
  if (TimerTime.enabled()) TimerTime_Timer();
  AimAlarm();
}

}  // namespace tollora
