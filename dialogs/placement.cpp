#include "dialogs/placement.h"

#include <algorithm>
#include <cmath>

#include "app/alarm_form.h"

namespace tollora {

namespace {

// A window's frame (borders and title bar) around its client area, generously: the layer
// knows client sizes only, and a guess on the small side would overlap.
constexpr int kFrameWidth = 240, kFrameHeight = 720;
constexpr int kGap = 60;

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

ui::Rect PlaceBesideMainWindow(const ui::Form& window, int narrowest) {
  Alarm* main = ui::app().loadedInstance<Alarm>();
  // A main window still in its start-up (a file read before it shows) will show where it
  // stands now, unless it starts in the notification area.
  const bool inSight = main && main->WindowState() != ui::vbMinimized && (main->visible() || !main->StartInTray);
  const ui::Rect area = ui::app().backend().workArea(inSight ? main->hWnd() : 0);
  const int width = window.ScaleWidth(), height = window.ScaleHeight();
  const ui::Rect self = outer(window, 0, 0);
  const ui::Rect centred{area.left + (area.width - self.width) / 2, area.top + (area.height - self.height) / 2, width, height};
  if (!inSight) return centred;
  const ui::Rect o = outer(*main, main->Left(), main->Top());
  // Slid along the screen's edge where it sticks out on the other axis.
  const auto slide = [&](int at, int from, int room, int size) { return std::clamp(at, from, std::max(from, from + room - size)); };
  const int midX = o.left + (o.width - self.width) / 2, midY = o.top + (o.height - self.height) / 2;
  const struct {
    int left, top;
  } whole[] = {{midX, o.top + o.height + kGap}, {midX, o.top - kGap - self.height},
               {o.left + o.width + kGap, midY}, {o.left - kGap - self.width, midY}};
  for (const auto& c : whole) {
    const int x = slide(c.left, area.left, area.width, self.width), y = slide(c.top, area.top, area.height, self.height);
    const ui::Rect at = outer(window, x, y);
    if (inside(at, area) && !overlap(at, o)) return {x, y, width, height};
  }
  // Narrower and taller beside it: the text it holds keeps about its room.
  const int right = area.left + area.width - (o.left + o.width + kGap), left = o.left - kGap - area.left;
  const int w = std::min(width, std::max(right, left) - kFrameWidth);
  if (w < narrowest) return centred;
  const int h = std::min(area.height - kFrameHeight, std::max(height, static_cast<int>(static_cast<long long>(height) * width / w)));
  if (h < height) return centred;
  const int x = right >= left ? o.left + o.width + kGap : o.left - kGap - w - kFrameWidth;
  return {x, slide(o.top + (o.height - h - kFrameHeight) / 2, area.top, area.height, h + kFrameHeight), w, h};
}

}  // namespace tollora
