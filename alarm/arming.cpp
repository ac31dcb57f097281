// "Set Alarm", "Stop/Reset" and the first display of the alarm's state after start.
#include "alarm/alarm_reader.h"
#include "alarm/clock_text.h"
#include "app/alarm_form.h"
#include "app/colors.h"

namespace tollora {

namespace {

std::u16string count(std::int64_t n, const std::u16string& unit) {
  return ui::fromUtf8(std::to_string(n)) + u" " + unit + (n == 1 ? u"" : u"s");
}

// How far ahead a moment lies, in the words a person would use: "in 25 days", "in 3 hours,
// 5 minutes", "in 40 minutes".
std::u16string inWords(std::int64_t seconds) {
  const std::int64_t minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
  if (minutes < 1) return u"in less than a minute";
  if (days >= 2) return u"in " + count(days, u"day");
  if (hours < 1) return u"in " + count(minutes, u"minute");
  return u"in " + count(hours, u"hour") + (minutes % 60 ? u", " + count(minutes % 60, u"minute") : u"");
}

}  // namespace

void Alarm::cmdSetAlarm_Click() {
  // A moment typed another common way is rewritten into the clock's own layout first, so the
  // box shows exactly what will ring and what is saved. A text that names no moment stays as
  // typed, is saved as typed, and shows "Set Alarm" in orange at the end of the animation.
  auto& layer = ui::app().backend();
  const auto read = ReadAlarmText(txtTime(0).text(), layer.now(), layer.regional());
  if (read && *read != txtTime(0).text()) txtTime(0).setText(*read);
  ProgressBar.setVisible(true);
  TimerTime.setEnabled(true);
  TimerPb.setEnabled(true);
  TimerPb.setInterval(100);
  state_.Set(txtTime(0).text(), setAlarm());
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
  // A tie counts as passed here, unlike the end of the busy animation.
  RefreshAlarmState(/*tieAhead=*/false);
  TimerCheck.setEnabled(false);
}

void Alarm::CheckLoadedAlarm() {
  auto& layer = ui::app().backend();
  const ui::RegionalSettings rs = layer.regional();
  // The file keeps the clock's layout from before a change of the regional settings: the
  // label would never show that text again, so the box takes today's layout for the same
  // moment. The file itself changes only with the next "Set Alarm".
  if (const auto today = ClockTextFromOtherLayout(txtTime(0).text(), rs)) txtTime(0).setText(*today);
  // What the file holds is the alarm as set.
  state_.Load(txtTime(0).text());
  // Started hidden, nobody sees the orange button of an alarm that can never ring.
  const std::u16string& alarm = txtTime(0).text();
  if (!visible() && !alarm.empty() && !ClockMoment(alarm, rs)) {
    layer.trayNotify(u"The saved alarm will not ring",
                     u"\"" + alarm + u"\" names no moment the clock can show. Click here, then type the alarm again.");
  }
}

void Alarm::RefreshAlarmState(bool tieAhead) {
  FreshenLabel();
  ShowAlarmState(state_.ShowsSet(txtTime(0).text(), lblTime.caption(), ui::app().backend().regional(), tieAhead));
}

void Alarm::ShowAlarmState(bool ahead) {
  const ui::Color color = ahead ? ColorArmed : ColorPending;
  cmdSetAlarm.setCaption(ahead ? u"Alarm Set" : u"Set Alarm");
  cmdSetAlarm.setBackColor(color);
  lblTime.setForeColor(color);
  ShowAlarmTip();
  if (ahead) RememberAlarm(AlarmMemory::State::Armed);  // alarm/missed_alarm.cpp
}

void Alarm::ShowAlarmTip() {
  auto& layer = ui::app().backend();
  const ui::RegionalSettings rs = layer.regional();
  const auto moment = ClockMoment(txtTime(0).text(), rs);
  if (cmdSetAlarm.caption() != u"Alarm Set" || !moment) {
    cmdSetAlarm.setToolTip(AlarmLayoutHint(rs));
    return;
  }
  // The day in the user's own long date, so that a month-first clock text is never misread.
  const ui::LocalTime t = ui::fromLocalMs(*moment * 1000);
  const std::int64_t now = layer.utcMs();
  cmdSetAlarm.setToolTip(u"Rings on " + layer.longDate(t) + u" at " + layer.shortTime(t) + u", " +
                         inWords((layer.utcReaching(*moment * 1000, now) - now) / 1000));
}

}  // namespace tollora
