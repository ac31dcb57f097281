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

enum class Started {
  Running,    // the main window is loaded: run the event loop
  Forwarded,  // a copy with the same alarm file runs and has come forward: end now, status 0
  // A copy with the same alarm file runs but did not answer, or the one-copy lock could not
  // be had: the message saying so is the only window; run the event loop until it is closed,
  // then end with a non-zero status. Nothing was read or written.
  Refused,
};

// Decides where the alarm lives, makes sure this is the only Tollora with that alarm file,
// and opens the main window.
Started start(const StartOptions& options = {});

}  // namespace tollora
