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
  // Without an icon in the notification area a hidden window could never come back: it
  // stays minimised the ordinary way instead.
  if (WindowState() == ui::vbMinimized && trayIconAdded_) Hide();
}

void Alarm::Form_TrayMessage(ui::TrayClick click) {
  setWindowState(ui::vbNormal);
  ui::app().backend().setForegroundWindow(hWnd());
  Show();
  if (click == ui::TrayClick::RightDown) ui::form<Alert>().ShowExitConfirmation();
}

}  // namespace tollora
