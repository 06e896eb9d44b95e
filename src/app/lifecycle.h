// Start-up and shutdown. The portable steps (the state is constructed,
// published, then given the settings file; at the end the settings are
// written and the state destroyed) are here, and so is the order in which a
// window shell's own steps (cursors, window, audio, tick, message loop) run
// around them, so both shells keep the same order.
#pragma once

#include <memory>
#include <string>

#include "app/app_state.h"

namespace zelmora {

// Null when the state cannot be allocated: the program cannot run without it.
std::unique_ptr<AppState> StartUpState(const std::string& settingsPath, const AppState::Options& options);

// Writes the settings, withdraws the process-wide pointer and destroys the state.
void ShutDownState(std::unique_ptr<AppState>& app, const std::string& settingsPath);

// Withdraws the pointer and destroys the state without writing the settings:
// a run that does not end in order keeps the previous settings file.
void AbandonState(std::unique_ptr<AppState>& app);

// A window shell's steps, all called on the main thread. A step left null is
// skipped (except runLoop, without which nothing runs).
struct ShellSteps {
    bool (*loadCursors)() = nullptr;  // the arrow, our own cursor, the hourglass
    std::string (*settingsPath)() = nullptr;
    void (*beforeState)() = nullptr;              // e.g. the system's audio devices for the driver list
    bool (*openWindow)(AppState& app) = nullptr;  // created, shown maximised, painted once
    void (*startAudio)(AppState& app) = nullptr;  // its result goes to the driver's status text only
    bool (*startTick)(AppState& app) = nullptr;
    int (*runLoop)(AppState& app) = nullptr;  // until the quit request; returns its exit code
    void (*stopTick)() = nullptr;
    void (*stopAudio)(AppState& app) = nullptr;
    void (*releaseWindow)() = nullptr;  // the window's drawing resources
    void (*releaseCursors)() = nullptr;
    void (*report)(const char* message) = nullptr;  // why the program could not start
    std::string (*autosaveFolder)() = nullptr;       // null: no autosaves, no recovery
};

// Exit code of a program that could not start.
inline constexpr int kStartFailed = 1;

// Runs the program: cursors; settings path; the state (with the one-second
// cycle-rate measurement when the options ask for it), published; settings
// read; window; autosaves (and the recovery listing); audio; tick; message loop. Then in order: tick stopped, audio
// stopped, settings written, state destroyed, window resources and cursors
// released. Returns the loop's exit code, or kStartFailed when a step before
// the loop failed (the settings file is then left as it was).
int RunProgram(const ShellSteps& steps, const AppState::Options& options);

}  // namespace zelmora
