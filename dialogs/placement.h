#pragma once

#include "ui/ui.h"

namespace tollora {

// Puts a dialog being loaded over the main window: a ninth of its width in from the left of
// its frame and a fifth of its height down from the top.
void PlaceOverMainWindow(ui::Form& dialog);

// Puts a window being loaded beside the main window, never over it, so that none of its
// buttons ("Stop/Reset" above all) is covered: below, above, right or left, whichever fits on
// the screen; centred on the screen when none does or the main window is not in sight.
void PlaceBesideMainWindow(ui::Form& window);

}  // namespace tollora
