#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tollora {

struct StartOptions {
  bool tray = false;  // --tray: start hidden in the notification area
};

// What the command line asks for: a start with `options`, or, when `answer` is set, no window
// at all but that text for the user (lines end in "\n") and the status to end with: 0 for
// `--help` and `--version`, 2 for a word Tollora does not know (the text then names it, followed
// by the usage, and goes where errors go).
struct CommandLine {
  StartOptions options;
  std::optional<std::u16string> answer;
  int status = 0;
};

// The command line's words after the program's name: `--tray`, `--help`, `--version`.
CommandLine ParseCommandLine(const std::vector<std::u16string>& args);

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
