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

  // A new label is one of the two changes the alarm is compared on. The step from the old
  // label also catches a moment it stepped over: a late tick, a resume from sleep, the clock
  // set forward. A clock set back gives an empty step and fires nothing that lies behind.
  const std::u16string& alarm = txtTime(0).text();
  if (alarm == text) {
    Fire();
    return;
  }
  const auto due = ClockMoment(alarm, rs);
  if (!due) return;
  const auto from = ClockMoment(previous, rs);
  const auto to = ClockMoment(text, rs);
  if (from && to && *from < *due && *due <= *to) Fire();
}

void Alarm::TimerAlarm_Timer() {
  // Aimed at the alarm's second (AimAlarm). The clock does not tick while the window is
  // hidden: a live clock is brought up to date now, and its tick compares.
  if (TimerTime.enabled()) {
    TimerTime_Timer();
    return;
  }
  CompareAlarm();
}

void Alarm::CompareAlarm() {
  const std::u16string& alarm = txtTime(0).text();
  const std::u16string& label = lblTime.caption();
  // An empty alarm text matches the label only before the clock's first tick, and Fire takes
  // it for the alarm that already rang: RungAlarm starts empty and every change of the text
  // empties it again, so an empty text never rings.
  if (alarm != label) return;
  Fire();
}

void Alarm::Fire() {
  // An alarm rings once: the clock passing the same text again (set back, the repeated hour
  // at the end of daylight-saving time) is no new alarm. "Set Alarm" or another text is.
  if (txtTime(0).text() == RungAlarm) return;
  RungAlarm = txtTime(0).text();
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
