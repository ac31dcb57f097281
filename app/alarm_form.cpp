#include "app/alarm_form.h"

#include "alarm/alarm_reader.h"
#include "alarmfile/alarm_home.h"
#include "app/colors.h"

namespace tollora {

namespace {

const ui::Font kButtonFont{u"MS Sans Serif", 9.75f, true};

// The window's buttons: graphical, on a colour of their own, in the bold button font.
void setUpButton(ui::Button& button, ui::Rect rect, ui::Color back, int tabIndex, ui::Cursor cursor,
                 std::function<void()> click) {
  button.graphical = true;
  button.setBackColor(back);
  button.design(rect, kButtonFont, tabIndex, cursor, std::move(click));
}

}  // namespace

Alarm::Alarm() : ui::Form(u"Tollora v1.1") {
  setClientSize(4320, 2310);
  border = ui::Border::Sizable;
  centerOnScreen = true;
  picture = ui::Image::MainBackdrop;
  icon = ui::Image::ClockIcon;
  font = ui::Font{u"Tahoma", 8.25f, false};

  auto& bak = txtTimeBAK(1);
  bak.setText(u"TimeBAK");
  bak.rect = {2320, 180, 1880, 285};
  bak.font = font;
  bak.setVisible(false);
  bak.tabIndex = 0;
  bak.toolTip = u"Alarm Backup";

  setUpButton(cmdSetAlarm, {2500, 540, 1740, 360}, ui::SysScrollBar, 1, ui::Cursor::Hand, [this] { cmdSetAlarm_Click(); });
  // The layout "Set Alarm" reads; an orange "Set Alarm" after it means the text names no
  // moment ahead.
  cmdSetAlarm.toolTip = AlarmLayoutHint(ui::app().backend().regional());

  auto& alarmText = txtTime(0);
  alarmText.setText(u"Time");
  alarmText.rect = {40, 140, 4200, 360};
  alarmText.setBackColor(ui::SysScrollBar);
  alarmText.font = kButtonFont;
  alarmText.tabIndex = 2;
  alarmText.toolTip = u"Set Date/Time Here - Format Example 01/11/2022 1:11:01 PM";
  alarmText.accessibleName = u"Alarm time";
  alarmText.onChange = [this] { txtTime_Change(0); };

  cmdMin.setCaption(u"Minimize To Tray");
  setUpButton(cmdMin, {2115, 1760, 2130, 360}, ui::SysScrollBar, 3, ui::Cursor::Hand, [this] { cmdMin_Click(); });

  cmdAbout.setCaption(u"About");
  setUpButton(cmdAbout, {40, 1760, 2100, 360}, ui::SysScrollBar, 4, ui::Cursor::Hand, [this] { cmdAbout_Click(); });

  lblTime.rect = {75, 600, 2460, 240};
  lblTime.setBackColor(ui::SysScrollBar);
  lblTime.setForeColor(ui::SysScrollBar);
  lblTime.font = kButtonFont;
  lblTime.tabIndex = 5;

  cmdReset.setCaption(u"Stop/Reset");
  setUpButton(cmdReset, {2500, 540, 1740, 360}, ColorAlarmRed, 6, ui::Cursor::Default, [this] { cmdReset_Click(); });
  cmdReset.setVisible(false);

  ProgressBar.rect = {60, 2160, 4160, 100};
  ProgressBar.setVisible(false);
  ProgressBar.tabIndex = 7;

  TimerTime.setInterval(1000);
  TimerTime.alignToSecond = true;
  TimerTime.setOnlyWhileShown(true);  // a hidden window's clock costs nothing (alarm/wake.cpp)
  TimerTime.onTick = [this] { TimerTime_Timer(); };
  // No period: the alarm is compared when its text or the label changes, and this timer is
  // aimed at the alarm's second for a window that is hidden (alarm/wake.cpp).
  TimerAlarm.setInterval(0);
  TimerAlarm.onTick = [this] { TimerAlarm_Timer(); };
  TimerNotify.setInterval(700);
  TimerNotify.setEnabled(false);
  TimerNotify.onTick = [this] { TimerNotify_Timer(); };
  TimerCheck.setInterval(2500);
  TimerCheck.onTick = [this] { TimerCheck_Timer(); };
  TimerPb.setInterval(0);
  TimerPb.setEnabled(false);
  TimerPb.onTick = [this] { TimerPb_Timer(); };
}

void Alarm::Form_Load() {
  if (AlarmFilePath.empty()) AlarmFilePath = ChooseAlarmFilePath(ui::app().backend());
  ReadIni();
  PrimeProgressBar();
  if (!StartInTray) {
    Show();
    Refresh();
  }
  TraySetUp();
  // Started into the notification area: hidden behind the icon, or shown after all when
  // there is no icon to bring it back with.
  if (StartInTray && !trayIconAdded_) {
    Show();
    Refresh();
  }
  CheckLoadedAlarm();
  TellMissedAtStart();
}

}  // namespace tollora
