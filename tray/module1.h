// What belongs to no window: the notification-area record, filled once at start.
#pragma once

#include "ui/ui.h"

namespace tollora::Module1 {

extern ui::NotifyIconData TrayIconData;

constexpr int NIF_MESSAGE = 1, NIF_ICON = 2, NIF_TIP = 4;
constexpr int WM_MOUSEMOVE = 0x200, WM_LBUTTONDOWN = 0x201, WM_LBUTTONUP = 0x202, WM_LBUTTONDBLCLK = 0x203,
              WM_RBUTTONDOWN = 0x204, WM_RBUTTONUP = 0x205;
inline constexpr char16_t kTrayTip[] = u"Left Click To Restore / Right Click To Exit";

}  // namespace tollora::Module1
