// The notification-area icon and minimising into it.
#include "app/alarm_form.h"
#include "dialogs/alert.h"
#include "tray/module1.h"

namespace tollora {

namespace Module1 {
ui::NotifyIconData TrayIconData;
}

void Alarm::TraySetUp() {
  using namespace Module1;
  TrayIconData.cbSize = 88;
  TrayIconData.hWnd = hWnd();
  TrayIconData.uID = 1;
  TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayIconData.uCallbackMessage = WM_MOUSEMOVE;
  TrayIconData.hIcon = iconHandle();
  // The tip, a NUL, then blanks to the end of its 64 characters.
  TrayIconData.szTip.fill(u' ');
  std::u16string_view tip = kTrayTip;
  tip.copy(TrayIconData.szTip.data(), tip.size());
  TrayIconData.szTip[tip.size()] = u'\0';
  trayIconAdded_ = ui::app().backend().trayAdd(TrayIconData);
}

void Alarm::TrayRemove() {
  ui::app().backend().trayDelete(Module1::TrayIconData);
  trayIconAdded_ = false;
}

void Alarm::cmdMin_Click() { setWindowState(ui::vbMinimized); }

void Alarm::Form_Resize() {
  // Without an icon in the notification area a hidden window could never come back: it
  // stays minimised the ordinary way instead.
  if (WindowState() == ui::vbMinimized && trayIconAdded_) Hide();
}

void Alarm::Form_TrayMessage(int messageCode) {
  using namespace Module1;
  if (messageCode != WM_LBUTTONUP && messageCode != WM_LBUTTONDBLCLK && messageCode != WM_RBUTTONDOWN) return;
  setWindowState(ui::vbNormal);
  ui::app().backend().setForegroundWindow(hWnd());
  Show();
  if (messageCode == WM_RBUTTONDOWN) ui::form<Alert>().ShowExitConfirmation();
}

}  // namespace tollora
