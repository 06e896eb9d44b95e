// Small songs built in code for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "engine/master_bus.h"
#include "engine/mixer.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "support/test_support.h"

namespace zelmora {

// 44100 Hz, master volume 64: the mix reaches the output unchanged.
inline std::unique_ptr<AppState> MakeEngineApp(int bufferFrames = 256) {
    auto app = MakeTestApp();
    app->settings.sampleRate = 44100.0;
    app->asioHost.preferredSize = bufferFrames;
    app->song.masterVolume = 64;
    return app;
}

// Sets a cell from its bytes as the full build lays them out: note,
// instrument, then command and parameter pairs. The earlier build gets the
// pairs in its effect slots (a third pair has none) and no timing.
inline void Put(AppState& app, int row, int track, std::initializer_list<int> bytes, int pattern = 0) {
    uint8_t raw[sizeof(PatternCell)] = {};
    std::transform(bytes.begin(), bytes.end(), raw, [](int b) { return static_cast<uint8_t>(b); });
    PatternCell& cell = app.song.patterns[pattern].cells[row][track];
    cell = PatternCell{raw[0], raw[1], {}};
    for (int k = 0; k < kCellEffects; ++k) {
        CellCommand(cell, k) = raw[2 + 2 * k];
        CellParameter(cell, k) = raw[3 + 2 * k];
    }
}

// Sets a cell from its bytes in this build's own layout.
inline void PutRaw(AppState& app, int row, int track, std::initializer_list<int> bytes, int pattern = 0) {
    uint8_t raw[sizeof(PatternCell)] = {};
    std::transform(bytes.begin(), bytes.end(), raw, [](int b) { return static_cast<uint8_t>(b); });
    std::memcpy(&app.song.patterns[pattern].cells[row][track], raw, sizeof raw);
}

// Renders one voice on its own, `frames` long, at 44100 Hz.
inline void RenderAlone(AppState& app, Voice& v, int frames, std::vector<double>& left,
                        std::vector<double>& right) {
    left.assign(frames, 0.0);
    right.assign(frames, 0.0);
    RenderVoice(v, left.data(), right.data(), frames, app.song, 44100.0);
}

inline int TickFrames(const AppState& app) {
    return static_cast<int>(44100.0 / app.song.tempo * 2.5);
}

// Renders `ticks` ticks, one buffer each.
inline void RenderTick(AppState& app, int ticks = 1) {
    for (int i = 0; i < ticks; ++i) {
        app.asioHost.preferredSize = TickFrames(app);
        RenderBuffer(app);
    }
}

}  // namespace zelmora
