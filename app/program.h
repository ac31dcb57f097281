#pragma once

namespace tollora {

// Opens the main window; the backend's message loop does the rest.
void start();

}  // namespace tollora
