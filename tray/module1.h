// What belongs to no window: the notification-area record, filled once at start.
#pragma once

#include "ui/ui.h"

namespace tollora::Module1 {

extern ui::TrayIcon TrayIconData;

inline constexpr char16_t kTrayTip[] = u"Left Click To Restore / Right Click To Exit";

}  // namespace tollora::Module1
