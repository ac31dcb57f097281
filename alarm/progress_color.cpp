#include "alarm/progress_color.h"

namespace tollora::modProgressColor {

void SetProgressColor(ui::ProgressBar& bar, const ui::Color& backColor, const ui::Color& barColor) {
  bar.setBackColor(backColor);
  bar.setBarColor(barColor);
}

}  // namespace tollora::modProgressColor
