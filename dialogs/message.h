// The one message window: what went wrong, in the program's own words and the system's, with
// "OK", which Enter and Escape press too. Never modal, so the clock ticks, an alarm rings and
// "Stop/Reset" works while it is open; one at a time, so a second report joins the open one
// below its text (the same report twice shows once): what was said first is not lost before
// the user closes it. Placed beside the main window, never under or over it.
#pragma once

#include "ui/ui.h"

namespace tollora {

class Message : public ui::Form {
 public:
  Message();

  ui::TextBox txtText{*this, "txtText"};
  ui::Button cmdOk{*this, "cmdOk"};

  // Lays the window out at a client size (twips): the text above, "OK" at the bottom right.
  void Arrange(int width, int height);
  void Form_Load() override;
  void cmdOk_Click();
};

// Shows `text` in the message window, opened or brought to the front.
void ReportProblem(const std::u16string& text);

}  // namespace tollora
