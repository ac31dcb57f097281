// The signals that ask a program to end (SIGTERM from kill or a session's end, SIGINT, SIGHUP
// when the terminal goes), turned into something an event loop can watch, so that the program
// ends its own way: windows unloaded, the one-copy socket removed.
#pragma once

namespace ui {

// A descriptor that becomes readable once one of those signals has come; -1 when none could be
// set up. Made once per process. A signal the process was started with ignored (nohup, a
// shell's background job) stays ignored.
int posixEndSignals();
// Empties the descriptor; the last signal that came.
int posixEndSignalTaken(int fd);

}  // namespace ui
