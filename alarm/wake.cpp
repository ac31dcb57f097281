// When the program needs to wake. The alarm is compared when one of its two texts changes: the
// alarm text (here) or the clock label (TimerTime_Timer). While the window is hidden the clock
// does not tick at all (TimerTime ticks only while shown, and catches up the moment the window
// shows again); TimerAlarm is aimed at the alarm's own second instead, and a clock change or a
// resume re-aims it (Form_TimeChanged). So a hidden Tollora with an alarm set wakes once, at
// its second, and one with none never.
#include "alarm/clock_text.h"
#include "app/alarm_form.h"

namespace tollora {

void Alarm::txtTime_Change(int index) {
  (void)index;
  // Another text is another alarm, even one that goes back to a text that already rang.
  RungAlarm.clear();
  // And no longer the alarm as set: "Alarm Set" goes until "Set Alarm" is pressed again. The
  // program's own changes (the load, the rewrite by "Set Alarm") set the text just after.
  if (txtTime(0).text() != SetAlarmText) {
    SetAlarmText.reset();
    if (cmdSetAlarm.caption() == u"Alarm Set") ShowAlarmState(false);
  }
  // An alarm typed as the label's current text rings at once.
  CompareAlarm();
  AimAlarm();
}

void Alarm::AimAlarm() {
  auto& layer = ui::app().backend();
  const ui::RegionalSettings rs = layer.regional();
  const std::u16string& alarm = txtTime(0).text();
  const std::int64_t now = ui::localMs(layer.now());

  std::optional<std::int64_t> due;
  if (const auto moment = ClockMoment(alarm, rs)) {
    // Only when the clock writes exactly this text in that second; and a second already
    // begun is the label's business (its tick or the catch-up on showing compares).
    const ui::LocalTime t = ui::fromLocalMs(*moment * 1000);
    if (*moment * 1000 > now && FormatClockText(t, t, rs) == alarm) due = *moment * 1000;
  }
  TimerAlarm.aimAt(due);

  // Any other text rings only when the label shows exactly that text, and with settings whose
  // clock texts read back as moments no clock text is such a text: nothing to watch while
  // hidden. Settings that would still make the clock's own texts unreadable (a separator that
  // is a digit, say; empty or alike designators are mended by the clock text itself) leave only
  // the label to tell: it then keeps ticking while hidden.
  const ui::LocalTime n = ui::fromLocalMs(now);
  const bool readable = ClockMoment(FormatClockText(n, n, rs), rs) == now / 1000;
  TimerTime.setOnlyWhileShown(alarm.empty() || due || readable);
}

void Alarm::FreshenLabel() {
  // A handler about to read the label while the hidden window holds the clock back brings it
  // up to date first, as the tick would have.
  if (TimerTime.enabled() && !TimerTime.ticking()) TimerTime_Timer();
}

}  // namespace tollora
