#include "alarm/progress_color.h"

namespace tollora::modProgressColor {

void SetProgressColor(ui::ProgressBar& bar, const ui::Color& backColor, const ui::Color& barColor) {
  bar.SendMessage(ui::PBM_SETBKCOLOR, 0, static_cast<std::intptr_t>(backColor));
  bar.SendMessage(ui::PBM_SETBARCOLOR, 0, static_cast<std::intptr_t>(barColor));
}

}  // namespace tollora::modProgressColor
