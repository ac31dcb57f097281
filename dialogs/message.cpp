#include "dialogs/message.h"

#include "dialogs/placement.h"

namespace tollora {

Message::Message() : ui::Form(u"Tollora") {
  setClientSize(6000, 2160);
  font = ui::Font{u"Tahoma", 8.25f, false};

  // A text box rather than a label: a long path wraps and scrolls, and can be copied.
  txtText.multiLine = true;
  txtText.verticalScrollBar = true;
  txtText.rect = {120, 120, 5760, 1440};
  txtText.font = font;
  txtText.tabIndex = 1;

  cmdOk.setCaption(u"OK");
  cmdOk.rect = {4800, 1680, 1080, 360};
  cmdOk.font = font;
  cmdOk.tabIndex = 0;
  cmdOk.onClick = [this] { cmdOk_Click(); };
}

void Message::Form_Load() {
  PlaceBesideMainWindow(*this);
  ui::app().backend().playDefaultSound();
}

void Message::cmdOk_Click() { Unload(); }

void ReportProblem(const std::u16string& text) {
  Message& message = ui::form<Message>();
  message.txtText.setText(text);
  message.Show();
  ui::app().backend().setForegroundWindow(message.hWnd());
}

}  // namespace tollora
