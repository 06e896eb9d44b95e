#include "app/lifecycle.h"

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
    AppState::instance = nullptr;
    app.reset();
}

}  // namespace zelmora
