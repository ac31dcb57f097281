// The program's named colours (COLORREF, 0x00BBGGRR).
#pragma once

#include "ui/ui.h"

namespace tollora {

constexpr ui::Color ColorAlarmRed = 0x002323E6;  // "Time's Up!", the Stop/Reset button
constexpr ui::Color ColorPending = 0x000080FF;   // orange: "Set Alarm"
constexpr ui::Color ColorArmed = 0x0000C000;     // green: "Alarm Set"
constexpr ui::Color ColorBarFill = 0x0000FF00;   // the busy bar's fill
constexpr ui::Color ColorBarBack = 0x00191919;   // the busy bar's background

}  // namespace tollora
