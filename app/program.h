#pragma once

#include <string>
#include <vector>

namespace tollora {

struct StartOptions {
  bool tray = false;  // --tray: start hidden in the notification area
};

// The command line's words after the program's name. Tollora knows `--tray`; anything else
// is ignored.
StartOptions ParseCommandLine(const std::vector<std::u16string>& args);

// Decides where the alarm lives, makes sure this is the only Tollora with that alarm file,
// and opens the main window. False: a copy with the same alarm file already runs and has
// been brought forward; this process should end now, having read and written nothing.
bool start(const StartOptions& options = {});

}  // namespace tollora
