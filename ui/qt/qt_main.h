#pragma once

#include <functional>

#include "ui/qt/qt_backend.h"

namespace ui::qt {

// Runs Tollora: the application, the backend, the start and the event loop; returns the exit
// status. `attach` sees the backend before any window exists (the end-to-end tests' build
// hooks in there; the program passes nothing).
int runProgram(int argc, char** argv, const std::function<void(QtBackend&)>& attach = {});

}  // namespace ui::qt
