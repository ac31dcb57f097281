#include "dialogs/message.h"

#include "dialogs/placement.h"

namespace tollora {

namespace {
constexpr int kWidth = 6000, kHeight = 2160, kMargin = 120, kOkWidth = 1080, kOkHeight = 360;
}

Message::Message() : ui::Form(u"Tollora") {
  font = ui::Font{u"Tahoma", 8.25f, false};

  // A text box rather than a label: a long path wraps and scrolls, and can be copied.
  txtText.multiLine = true;
  txtText.verticalScrollBar = true;
  txtText.locked = true;
  txtText.font = font;
  txtText.tabIndex = 1;

  cmdOk.setCaption(u"OK");
  cmdOk.font = font;
  cmdOk.tabIndex = 0;
  cmdOk.onClick = [this] { cmdOk_Click(); };
  // Enter and Escape close it, wherever in it the focus is.
  defaultButton = cancelButton = &cmdOk;
  Arrange(kWidth, kHeight);
}

void Message::Arrange(int width, int height) {
  setClientSize(width, height);
  txtText.rect = {kMargin, kMargin, width - 2 * kMargin, height - 3 * kMargin - kOkHeight};
  cmdOk.rect = {width - kMargin - kOkWidth, height - kMargin - kOkHeight, kOkWidth, kOkHeight};
}

void Message::Form_Load() { ui::app().backend().playDefaultSound(); }

void Message::cmdOk_Click() { Unload(); }

void ReportProblem(const std::u16string& text) {
  Message& message = ui::form<Message>();
  if (!message.loaded()) {
    // Placed, and shaped to the room beside the main window, before it shows.
    const ui::Rect at = PlaceBesideMainWindow(message, kOkWidth + 3 * kMargin / 2);
    message.Arrange(at.width, at.height);
    message.setLeft(at.left);
    message.setTop(at.top);
  }
  // A report that comes while another is open (two things wrong at start, say) is added to it.
  const std::u16string& open = message.txtText.text();
  if (!message.loaded() || open.empty()) message.txtText.setText(text);
  else if (open.find(text) == std::u16string::npos) message.txtText.setText(open + u"\r\n\r\n" + text);
  message.Show();
  ui::app().backend().setForegroundWindow(message.hWnd());
  // Where the system keeps the focus with the user's work (or the main window is minimised
  // with no notification area), the message still asks to be looked at.
  ui::app().backend().requestAttention(message.hWnd());
}

}  // namespace tollora
