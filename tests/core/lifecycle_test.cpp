#include "app/lifecycle.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// A good run writes the settings once, after audio stopped (the state is
// published before the window); a failed start keeps the previous file.
TEST(RunProgram, StartsAndStopsInOrderAndWritesTheSettingsOnlyAfterARun) {
    const struct {
        bool windowOpens;
        int code;
        const char* trace;
        std::size_t size;  // of the file afterwards; 16: the short file there before
        double rate;
    } cases[] = {
        {true, 7, "cursors path window+ audio tick loop untick unaudio+ unwindow-f uncursors",
         profile::kSettingsBytes, 48000.0},
        {false, kStartFailed, "cursors path window+f unwindow-f uncursors", 16, 44100.0},
    };
    for (const auto& c : cases) {
        g_settingsPath = MakeTempDir() + "/zelmora.set";
        if (!c.windowOpens) WriteFile(g_settingsPath, std::vector<uint8_t>(16, 0));  // driver 0, channels 0
        g_trace.clear();
        g_windowOpens = c.windowOpens;
        AppState::Options options;
        options.measureCycleRate = false;
        EXPECT_EQ(RunProgram(FakeShell(), options), c.code);
        EXPECT_EQ(g_trace, c.trace);
        EXPECT_EQ(std::filesystem::file_size(g_settingsPath), c.size);
        EXPECT_EQ(ReadSettingsFile(g_settingsPath).sampleRate, c.rate);
        EXPECT_EQ(AppState::instance, nullptr);
    }
}

}  // namespace
}  // namespace zelmora
