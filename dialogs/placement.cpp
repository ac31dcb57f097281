#include "dialogs/placement.h"

#include <algorithm>
#include <cmath>

#include "app/alarm_form.h"

namespace tollora {

namespace {

// A window's frame (borders and title bar) around its client area, generously: the layer
// knows client sizes only, and a guess on the small side would overlap.
constexpr int kFrameWidth = 240, kFrameHeight = 720;
constexpr int kGap = 120;

ui::Rect outer(const ui::Form& f, int left, int top) {
  return {left, top, f.ScaleWidth() + kFrameWidth, f.ScaleHeight() + kFrameHeight};
}

bool overlap(const ui::Rect& a, const ui::Rect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height && b.top < a.top + a.height;
}

bool inside(const ui::Rect& r, const ui::Rect& area) {
  return r.left >= area.left && r.top >= area.top && r.left + r.width <= area.left + area.width &&
         r.top + r.height <= area.top + area.height;
}

}  // namespace

void PlaceOverMainWindow(ui::Form& dialog) {
  const Alarm& main = ui::form<Alarm>();
  const float left = static_cast<float>(main.ScaleWidth()) / 9.0f + static_cast<float>(main.Left());
  dialog.setLeft(static_cast<int>(std::lround(left)));
  const float top = static_cast<float>(main.ScaleHeight()) / 5.0f + static_cast<float>(main.Top());
  dialog.setTop(static_cast<int>(std::lround(top)));
}

void PlaceBesideMainWindow(ui::Form& window) {
  const Alarm* main = ui::app().loadedInstance<Alarm>();
  const bool inSight = main && main->visible() && main->WindowState() != ui::vbMinimized;
  const ui::Rect area = ui::app().backend().workArea(inSight ? main->hWnd() : 0);
  const ui::Rect self = outer(window, 0, 0);
  int left = area.left + (area.width - self.width) / 2, top = area.top + (area.height - self.height) / 2;
  if (inSight) {
    const ui::Rect o = outer(*main, main->Left(), main->Top());
    const int midX = o.left + (o.width - self.width) / 2, midY = o.top + (o.height - self.height) / 2;
    const struct {
      int left, top;
    } candidates[] = {{midX, o.top + o.height + kGap}, {midX, o.top - kGap - self.height},
                      {o.left + o.width + kGap, midY}, {o.left - kGap - self.width, midY}};
    for (const auto& c : candidates) {
      // Slid along the screen's edge where it sticks out on the other axis.
      const int x = std::clamp(c.left, area.left, std::max(area.left, area.left + area.width - self.width));
      const int y = std::clamp(c.top, area.top, std::max(area.top, area.top + area.height - self.height));
      const ui::Rect at = outer(window, x, y);
      if (inside(at, area) && !overlap(at, o)) {
        left = x;
        top = y;
        break;
      }
    }
  }
  window.setLeft(left);
  window.setTop(top);
}

}  // namespace tollora
