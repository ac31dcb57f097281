// Closing every window, newest first.
#include <cstdint>

#include "app/alarm_form.h"

namespace tollora {

void Alarm::UnloadAll() {
  auto& application = ui::app();
  std::int16_t expected = static_cast<std::int16_t>(application.formsCount());
  while (expected > 0) {
    application.formAt(expected - 1).Unload();
    // The window stayed: it is already closing (this runs inside its unload) or refused.
    if (application.formsCount() == expected) break;
    --expected;
  }
}

void Alarm::Form_Unload(int& cancel) {
  (void)cancel;
  TrayRemove();
  UnloadAll();
}

}  // namespace tollora
