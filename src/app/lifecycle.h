// The parts of start-up and shutdown that do not depend on the OS: the state
// is constructed, published, then given the settings file; at the end the
// settings are written and the state destroyed. The shells add the window,
// the audio driver and the timer around these steps.
#pragma once

#include <memory>
#include <string>

#include "app/app_state.h"

namespace zelmora {

// Null when the state cannot be allocated: the program cannot run without it.
std::unique_ptr<AppState> StartUpState(const std::string& settingsPath, const AppState::Options& options);

// Writes the settings, withdraws the process-wide pointer and destroys the state.
void ShutDownState(std::unique_ptr<AppState>& app, const std::string& settingsPath);

}  // namespace zelmora
