#pragma once

#include "ui/ui.h"

namespace tollora {

// Puts a dialog being loaded over the main window: a ninth of its width in from the left of
// its frame and a fifth of its height down from the top.
void PlaceOverMainWindow(ui::Form& dialog);

}  // namespace tollora
