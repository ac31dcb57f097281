#include "dialogs/alert.h"

#include "app/alarm_form.h"
#include "dialogs/placement.h"

namespace tollora {

Alert::Alert() : ui::Form(u"Alert") {
  border = ui::Border::None;
  setClientSize(3660, 1905);
  picture = ui::Image::DialogBackdrop;
  font = ui::Font{u"Tahoma", 8.25f, false};

  cmdOk.setCaption(u"OK");
  cmdOk.design({2520, 1440, 990, 360}, font, 0, ui::Cursor::Hand, [this] { cmdOk_Click(); });

  lblLabel1.setCaption(u"Alert!");
  lblLabel1.rect = {120, 0, 1290, 675};
  lblLabel1.setForeColor(0x000000FF);
  lblLabel1.transparent = true;
  lblLabel1.autoSize = true;
  lblLabel1.align = ui::Align::Left;
  lblLabel1.font = ui::Font{u"Tahoma", 27.75f, false};
  lblLabel1.tabIndex = 1;

  lblLabel2.setCaption(u"Label1");
  lblLabel2.rect = {1580, 840, 465, 195};
  lblLabel2.transparent = true;
  lblLabel2.autoSize = true;
  lblLabel2.align = ui::Align::Center;
  lblLabel2.font = font;
  lblLabel2.tabIndex = 2;

  cmdExit.setCaption(u"Yes");
  cmdExit.design({1440, 1440, 990, 360}, font, 3, ui::Cursor::Hand, [this] { cmdExit_Click(); });
  cmdExit.setVisible(false);
}

void Alert::Form_Load() {
  PlaceOverMainWindow(*this);
  ui::app().backend().playDefaultSound();
}

void Alert::ShowExitConfirmation() {
  Show();
  // In front of the main window just restored from the tray, and with the focus: a window
  // manager may otherwise stack the restored window over it, where "Yes" would be clicked.
  ui::app().backend().setForegroundWindow(hWnd());
  lblLabel2.setCaption(u"Are Your Sure You Want To Exit?.");
  cmdExit.setVisible(true);
  cmdOk.setCaption(u"No");
}

void Alert::cmdOk_Click() { Unload(); }

void Alert::cmdExit_Click() { ui::form<Alarm>().UnloadAll(); }

}  // namespace tollora
