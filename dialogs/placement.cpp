#include "dialogs/placement.h"

#include <cmath>

#include "app/alarm_form.h"

namespace tollora {

void PlaceOverMainWindow(ui::Form& dialog) {
  const Alarm& main = ui::form<Alarm>();
  const float left = static_cast<float>(main.ScaleWidth()) / 9.0f + static_cast<float>(main.Left());
  dialog.setLeft(static_cast<int>(std::lround(left)));
  const float top = static_cast<float>(main.ScaleHeight()) / 5.0f + static_cast<float>(main.Top());
  dialog.setTop(static_cast<int>(std::lround(top)));
}

}  // namespace tollora
