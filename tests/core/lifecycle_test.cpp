#include "app/lifecycle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/profile.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

// What the fake shell saw, step by step.
std::string g_trace;
std::string g_settingsPath;
bool g_windowOpens = true;

// The step's name, whether the state is published and whether the settings file exists.
void Step(const std::string& name, bool seen = false) {
    g_trace += (g_trace.empty() ? "" : " ") + name;
    if (seen)
        g_trace += std::string(AppState::instance ? "+" : "-") +
                   (std::filesystem::exists(g_settingsPath) ? "f" : "");
}

ShellSteps FakeShell() {
    ShellSteps s;
    s.loadCursors = [] { return Step("cursors"), true; };
    s.settingsPath = [] { return Step("path"), g_settingsPath; };
    s.openWindow = [](AppState&) { return Step("window", true), g_windowOpens; };
    s.startAudio = [](AppState& app) {
        Step("audio");
        app.settings.sampleRate = 48000.0;  // the rate a driver reports
    };
    s.startTick = [](AppState&) { return Step("tick"), true; };
    s.runLoop = [](AppState&) { return Step("loop"), 7; };
    s.stopTick = [] { Step("untick"); };
    s.stopAudio = [](AppState&) { Step("unaudio", true); };
    s.releaseWindow = [] { Step("unwindow", true); };
    s.releaseCursors = [] { Step("uncursors"); };
    return s;
}

TEST(RunProgram, StartsAndStopsInOrderAndWritesTheSettingsOnce) {
    g_settingsPath = MakeTempDir() + "/zelmora.set";
    g_trace.clear();
    g_windowOpens = true;
    AppState::Options options;
    options.measureCycleRate = false;
    EXPECT_EQ(RunProgram(FakeShell(), options), 7);
    // The state is published before the window; the file appears only after audio stopped.
    EXPECT_EQ(g_trace, "cursors path window+ audio tick loop untick unaudio+ unwindow-f uncursors");
    EXPECT_EQ(std::filesystem::file_size(g_settingsPath), profile::kSettingsBytes);
    EXPECT_EQ(ReadSettingsFile(g_settingsPath).sampleRate, 48000.0);
}

TEST(RunProgram, AFailedStartKeepsThePreviousSettingsFile) {
    g_settingsPath = MakeTempDir() + "/zelmora.set";
    WriteFile(g_settingsPath, std::vector<uint8_t>(16, 0));  // a short file: driver 0, channels 0
    g_trace.clear();
    g_windowOpens = false;
    AppState::Options options;
    options.measureCycleRate = false;
    EXPECT_EQ(RunProgram(FakeShell(), options), kStartFailed);
    EXPECT_EQ(g_trace, "cursors path window+f unwindow-f uncursors");
    EXPECT_EQ(std::filesystem::file_size(g_settingsPath), 16u);
    EXPECT_EQ(AppState::instance, nullptr);
}

}  // namespace
}  // namespace zelmora
