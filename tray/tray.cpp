// The notification-area icon and minimising into it.
#include "app/alarm_form.h"
#include "dialogs/alert.h"
#include "tray/module1.h"

namespace tollora {

namespace Module1 {
ui::TrayIcon TrayIconData;
}

void Alarm::TraySetUp() {
  using namespace Module1;
  TrayIconData.hWnd = hWnd();
  TrayIconData.uID = 1;
  TrayIconData.hIcon = iconHandle();
  TrayIconData.tip = kTrayTip;
  trayIconAdded_ = ui::app().backend().trayShow(TrayIconData);
}

void Alarm::TrayRemove() {
  ui::app().backend().trayHide(Module1::TrayIconData);
  trayIconAdded_ = false;
}

void Alarm::cmdMin_Click() { setWindowState(ui::vbMinimized); }

void Alarm::Form_Resize() {
  if (WindowState() != ui::vbMinimized) return;
  // Without an icon in the notification area a hidden window could never come back: it
  // stays minimised the ordinary way instead. Asked again now, since a notification area
  // may have ended, or appeared, unannounced (Explorer that died tells no one).
  trayIconAdded_ = ui::app().backend().trayShow(Module1::TrayIconData);
  if (trayIconAdded_) Hide();
}

void Alarm::Form_TrayChanged(bool available) {
  if (available) {
    // A panel that started after the program, or came back: the icon goes in.
    if (!trayIconAdded_) TraySetUp();
    return;
  }
  trayIconAdded_ = false;
  // Hidden behind an icon that is gone, the window could never come back: it comes back now.
  if (!visible()) {
    setWindowState(ui::vbNormal);
    Show();
  }
}

void Alarm::TrayAlarmRang(const std::u16string& title) {
  // Hidden in the notification area the window shows none of the ringing: the icon tells.
  // With no icon to tell (none, or its panel gone), the window itself comes up.
  if (visible() && WindowState() != ui::vbMinimized) return;
  if (trayIconAdded_ && !visible() && ui::app().backend().trayNotify(title, txtTime(0).text())) return;
  trayIconAdded_ = false;
  setWindowState(ui::vbNormal);
  Show();
  // Brought up by itself, the window may still be behind the user's work: most desktops keep
  // the focus where the user is typing. It asks to be looked at instead.
  ui::app().backend().requestAttention(hWnd());
}

void Alarm::Form_TrayMessage(ui::TrayClick click) {
  setWindowState(ui::vbNormal);
  ui::app().backend().setForegroundWindow(hWnd());
  Show();
  if (click == ui::TrayClick::RightDown) ui::form<Alert>().ShowExitConfirmation();
}

}  // namespace tollora
