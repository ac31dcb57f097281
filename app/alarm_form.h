// The main window: the alarm text, the clock, the buttons, the busy bar and the five timers.
// Its handlers live with their subsystems: alarm/ (clock, trigger, arming, busy animation),
// alarmfile/ (the alarm file), tray/ (shutdown, notification-area icon), dialogs/ (About).
#pragma once

#include <optional>
#include <string>

#include "alarm/alarm_state.h"
#include "ui/ui.h"

namespace tollora {

class Alarm : public ui::Form {
 public:
  Alarm();

  ui::ControlArray<ui::TextBox> txtTimeBAK{*this, "txtTimeBAK", 1};
  ui::Button cmdSetAlarm{*this, "cmdSetAlarm"};
  ui::ControlArray<ui::TextBox> txtTime{*this, "txtTime", 0};
  ui::Button cmdMin{*this, "cmdMin"};
  ui::Button cmdAbout{*this, "cmdAbout"};
  ui::Label lblTime{*this, "lblTime"};
  ui::Button cmdReset{*this, "cmdReset"};
  ui::ProgressBar ProgressBar{*this, "ProgressBar"};
  ui::Timer TimerTime{*this, "TimerTime"};
  ui::Timer TimerAlarm{*this, "TimerAlarm"};
  ui::Timer TimerNotify{*this, "TimerNotify"};
  ui::Timer TimerCheck{*this, "TimerCheck"};
  ui::Timer TimerPb{*this, "TimerPb"};

  // The full path of the alarm file: decided once at start (see ChooseAlarmFilePath), before
  // the window loads, since only one copy may run per alarm file; Form_Load decides it when
  // the window was loaded without that.
  std::u16string AlarmFilePath;
  // Started with --tray: Form_Load leaves the window hidden behind its notification-area icon.
  bool StartInTray = false;

  void Form_Load() override;
  void Form_Unload(int& cancel) override;
  void Form_Resize() override;
  void Form_TrayMessage(ui::TrayClick click) override;
  void Form_TimeChanged() override;
  void Form_TrayChanged(bool available) override;

  // Clock and trigger (alarm/clock.cpp).
  void TimerTime_Timer();
  void TimerAlarm_Timer();
  void TimerNotify_Timer();
  void PlayBeep();
  void Fire();

  // When the program needs to wake (alarm/wake.cpp).
  void txtTime_Change(int index);
  void AimAlarm();
  void FreshenLabel();

  // Arming and resetting (alarm/arming.cpp).
  void cmdSetAlarm_Click();
  void cmdReset_Click();
  void TimerCheck_Timer();
  // Shows what the alarm's rules make of the alarm and the label (after start, at the end of
  // the busy bar): AlarmState::ShowsSet.
  void RefreshAlarmState(bool tieAhead);
  // "Alarm Set" in green when the alarm lies ahead, else "Set Alarm" in orange.
  void ShowAlarmState(bool ahead);
  // The button's tooltip: when and in how long the alarm rings while it shows "Alarm Set",
  // else the layout to type.
  void ShowAlarmTip();
  // At start: a moment saved under other regional settings is shown in today's layout; a
  // saved alarm that can never ring is told from the tray icon when the window starts hidden.
  void CheckLoadedAlarm();

  // Busy animation (alarm/busy.cpp).
  bool StepProgress();
  void PrimeProgressBar();
  void TimerPb_Timer();

  // The alarm file (alarmfile/alarm_ini.cpp).
  void ReadIni();
  bool setAlarm();  // only writes the two texts to the alarm file; whether they were saved

  // Shutdown and the notification area (tray/).
  void UnloadAll();
  void TraySetUp();
  void TrayRemove();
  // The alarm rang: the icon tells a hidden window's user, or the window comes up.
  void TrayAlarmRang(const std::u16string& title);
  void cmdMin_Click();

  // The About window (dialogs/about.cpp).
  void cmdAbout_Click();

  // Missed alarms (alarm/missed_alarm.cpp): whether a failure to keep the memory has been told.
  bool MemoryFailureTold = false;
  // At start: an armed alarm that came due while Tollora was not running is told, once.
  void TellMissedAtStart();
  // On firing: an alarm more than an hour late is told as missed instead of rung (true).
  bool TellMissedIfHoursLate();
  // On ringing: remembers that it rang; gives what to say, with how late it rings.
  std::u16string RememberRang();
  void RememberAlarm(AlarmMemory::State state);  // written only when it changes
  void TellMissed(const std::u16string& note);

 private:
  // The alarm's rules: the alarm as set, the one that rang, the memory between runs.
  AlarmState state_;
  bool trayIconAdded_ = false;
};

}  // namespace tollora
