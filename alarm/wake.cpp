// When the program needs to wake. The alarm is compared when one of its two texts changes: the
// alarm text (here) or the clock label (TimerTime_Timer). While the window is hidden the clock
// does not tick at all (TimerTime ticks only while shown, and catches up the moment the window
// shows again); TimerAlarm is aimed at the alarm's own second instead, and a clock change or a
// resume re-aims it (Form_TimeChanged). So a hidden Tollora with an alarm set wakes once, at
// its second, and one with none never.
#include "app/alarm_form.h"

namespace tollora {

void Alarm::txtTime_Change(int index) {
  (void)index;
  if (state_.Edit(txtTime(0).text()) && cmdSetAlarm.caption() == u"Alarm Set") ShowAlarmState(false);
  // An alarm typed as the label's current text rings at once.
  if (txtTime(0).text() == lblTime.caption()) Fire();
  AimAlarm();
}

void Alarm::AimAlarm() {
  auto& layer = ui::app().backend();
  const ui::RegionalSettings rs = layer.regional();
  const std::u16string& alarm = txtTime(0).text();
  const std::int64_t now = ui::localMs(layer.now());
  // A second already begun is the label's business: its tick, or its catch-up on showing.
  TimerAlarm.aimAt(AlarmState::WakeAt(alarm, now, rs));
  TimerTime.setOnlyWhileShown(!AlarmState::LabelMustTickHidden(alarm, now, rs));
}

void Alarm::FreshenLabel() {
  // A handler about to read the label while the hidden window holds the clock back brings it
  // up to date first, as the tick would have.
  if (TimerTime.enabled() && !TimerTime.ticking()) TimerTime_Timer();
}

}  // namespace tollora
