// The small borderless dialog over the main window, used to confirm leaving the program.
#pragma once

#include "ui/ui.h"

namespace tollora {

class Alert : public ui::Form {
 public:
  Alert();

  ui::Button cmdOk{*this, "cmdOk"};
  ui::Label lblLabel1{*this, "lblLabel1"};
  ui::Label lblLabel2{*this, "lblLabel2"};
  ui::Button cmdExit{*this, "cmdExit"};

  void Form_Load() override;
  void cmdOk_Click();
  void cmdExit_Click();
  void ShowExitConfirmation();
};

}  // namespace tollora
