#pragma once

#include "ui/ui.h"

namespace tollora::modProgressColor {

// Gives a progress bar its background and fill colours.
void SetProgressColor(ui::ProgressBar& bar, const ui::Color& backColor, const ui::Color& barColor);

}  // namespace tollora::modProgressColor
