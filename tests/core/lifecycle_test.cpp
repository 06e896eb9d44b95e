#include "app/lifecycle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/profile.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

// What the fake shell saw, step by step.
std::string g_trace;
std::string g_settingsPath;
bool g_windowOpens = true;

void Step(const char* name) {
    g_trace += std::string(g_trace.empty() ? "" : " ") + name;
}

// Whether the state is published and the settings file exists, as the step sees it.
std::string Seen() {
    std::FILE* f = std::fopen(g_settingsPath.c_str(), "rb");
    if (f) std::fclose(f);
    return std::string(AppState::instance ? "+" : "-") + (f ? "f" : "");
}

ShellSteps FakeShell() {
    ShellSteps s;
    s.loadCursors = [] {
        Step("cursors");
        return true;
    };
    s.settingsPath = [] {
        Step("path");
        return g_settingsPath;
    };
    s.openWindow = [](AppState&) {
        Step(("window" + Seen()).c_str());
        return g_windowOpens;
    };
    s.startAudio = [](AppState& app) {
        Step("audio");
        app.settings.sampleRate = 48000.0;  // the rate a driver reports
    };
    s.startTick = [](AppState&) {
        Step("tick");
        return true;
    };
    s.runLoop = [](AppState&) {
        Step("loop");
        return 7;
    };
    s.stopTick = [] { Step("untick"); };
    s.stopAudio = [](AppState&) { Step(("unaudio" + Seen()).c_str()); };
    s.releaseWindow = [] { Step(("unwindow" + Seen()).c_str()); };
    s.releaseCursors = [] { Step("uncursors"); };
    return s;
}

std::size_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<std::size_t>(in.tellg()) : 0;
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
    EXPECT_EQ(FileSize(g_settingsPath), profile::kSettingsBytes);
    EXPECT_EQ(ReadSettingsFile(g_settingsPath).sampleRate, 48000.0);
}

TEST(RunProgram, AFailedStartKeepsThePreviousSettingsFile) {
    g_settingsPath = MakeTempDir() + "/zelmora.set";
    const std::vector<uint8_t> previous(16, 0);  // a short file: driver 0, channels 0
    WriteFile(g_settingsPath, previous);
    g_trace.clear();
    g_windowOpens = false;
    AppState::Options options;
    options.measureCycleRate = false;
    EXPECT_EQ(RunProgram(FakeShell(), options), kStartFailed);
    EXPECT_EQ(g_trace, "cursors path window+f unwindow-f uncursors");
    EXPECT_EQ(FileSize(g_settingsPath), 16u);
    EXPECT_EQ(AppState::instance, nullptr);
}

}  // namespace
}  // namespace zelmora
