// The About window: the version line, a note from the author, and a way to the author's page.
#pragma once

#include "ui/ui.h"

namespace tollora {

inline constexpr char16_t kAuthorMail[] = u"brenlow@example.org";
inline constexpr char16_t kAuthorPage[] = u"https://example.org/brenlow/projects";

class About : public ui::Form {
 public:
  About();

  ui::Label lblLabel1{*this, "lblLabel1"};
  ui::TextBox txtText1{*this, "txtText1"};
  ui::Button cmdCommand1{*this, "cmdCommand1"};
  ui::Button cmdCommand2{*this, "cmdCommand2"};

  void Form_Load() override;
  void cmdCommand1_Click();
  void cmdCommand2_Click();
};

}  // namespace tollora
