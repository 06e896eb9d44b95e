#include "app/lifecycle.h"

#include "app/autosave.h"
#include "app/profile.h"

namespace zelmora {

std::unique_ptr<AppState> StartUpState(const std::string& settingsPath, const AppState::Options& options) {
    std::unique_ptr<AppState> app = AppState::Create(options);
    if (!app) return nullptr;
    AppState::instance = app.get();
    app->settings = ReadSettingsFile(settingsPath);
    return app;
}

void ShutDownState(std::unique_ptr<AppState>& app, const std::string& settingsPath) {
    if (!app) return;
    WriteSettingsFile(settingsPath, app->settings);
    AbandonState(app);
}

void AbandonState(std::unique_ptr<AppState>& app) {
    if (app) StopAutosave(*app);
    AppState::instance = nullptr;
    app.reset();
}

int RunProgram(const ShellSteps& steps, const AppState::Options& options) {
    const auto report = [&steps](const char* message) {
        if (steps.report) steps.report(message);
    };
    if (!steps.runLoop) return kStartFailed;
    if (steps.loadCursors && !steps.loadCursors()) {
        report("The cursors cannot be loaded.");
        return kStartFailed;
    }
    const std::string settingsPath = steps.settingsPath ? steps.settingsPath() : std::string();
    if (steps.beforeState) steps.beforeState();
    std::unique_ptr<AppState> app = StartUpState(settingsPath, options);
    const auto releaseCursors = [&steps] {
        if (steps.releaseCursors) steps.releaseCursors();
    };
    if (!app) {
        report("Not enough memory for the program's state.");
        releaseCursors();
        return kStartFailed;
    }
    if (steps.openWindow && !steps.openWindow(*app)) {
        report("The window cannot be created.");
        AbandonState(app);
        if (steps.releaseWindow) steps.releaseWindow();
        releaseCursors();
        return kStartFailed;
    }
    if constexpr (profile::kHistory)
        if (steps.autosaveFolder) StartAutosave(*app, steps.autosaveFolder());
    if (steps.startAudio) steps.startAudio(*app);
    const bool ticking = !steps.startTick || steps.startTick(*app);
    int code = kStartFailed;
    if (ticking) {
        code = steps.runLoop(*app);
        if (steps.stopTick) steps.stopTick();
    } else {
        report("The 16 ms timer cannot be started.");
    }
    if (steps.stopAudio) steps.stopAudio(*app);
    if (ticking) {
        ShutDownState(app, settingsPath);
    } else {
        AbandonState(app);
    }
    if (steps.releaseWindow) steps.releaseWindow();
    releaseCursors();
    return code;
}

}  // namespace zelmora
