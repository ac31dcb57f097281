#pragma once

#include "ui/ui.h"

namespace tollora {

// Puts a dialog being loaded over the main window: a ninth of its width in from the left of
// its frame and a fifth of its height down from the top.
void PlaceOverMainWindow(ui::Form& dialog);

// Where a window about to load goes beside the main window, never over it, so that the main
// window never covers it and none of the main window's buttons ("Stop/Reset" above all) is
// covered: left and top of its frame, and the client size it takes there. Whole below, above,
// right or left, whichever fits on the screen; where none does, narrower (down to `narrowest`)
// and as much taller as the screen allows, on the side with more room. Centred on the screen
// when even that does not fit or the main window is out of sight (minimised, hidden in the
// notification area); a main window still loading counts where it will show.
ui::Rect PlaceBesideMainWindow(const ui::Form& window, int narrowest);

}  // namespace tollora
