// Small songs built in code, and the fixture the engine tests share.
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

constexpr int kC5 = 61;  // cell byte of note 60

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

// An engine app with instrument 1 a long flat sample at 0.25.
struct EngineTest : ::testing::Test {
    std::unique_ptr<AppState> app = MakeEngineApp();
    std::vector<double> left, right;  // of Render

    void SetUp() override {
        AddSample(*app, 1, 0, 200000, 1, [](int, int) { return 0.25; });
    }
    void Play(bool patternMode = false) { PlayTransport(*app, patternMode, true); }
    ChannelState& Channel() { return app->song.tracks[0].channel; }
    int BusyOn(int track) {
        int n = 0;
        for (const Voice& v : app->voices) n += v.envelopeStage > kStageOff && v.track == track;
        return n;
    }
    // Voice 0 started on `track` with its envelope held at the sustain level;
    // the track's pan full left, so in the full build the left output is the
    // interpolated value.
    Voice& Plain(int note, int32_t offset = 0, int track = 0) {
        app->song.tracks[track].channel.pan = 0;
        Voice& v = app->voices[0];
        StartVoice(*app, v, track, 1, 0, note, 0, offset);
        v.envelopeStage = kStageSustain;
        v.envelopeValue = profile::kSustainLevel;
        return v;
    }
    // Renders one voice on its own, `frames` long, into left and right.
    void Render(Voice& v, int frames) {
        left.assign(frames, 0.0);
        right.assign(frames, 0.0);
        RenderVoice(v, left.data(), right.data(), frames, app->song, 44100.0);
    }
};

}  // namespace zelmora
