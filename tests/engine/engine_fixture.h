// Small songs built in code for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "app/app_state.h"
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

// Fills slot `slot` of an instrument with fn(channel, frame).
inline Sample& AddSample(AppState& app, int instrument, int slot, int frames, int channels,
                         const std::function<double(int, int)>& fn, int loopMode = 0, int loopStart = 0,
                         int loopLength = 0) {
    Sample& s = app.song.instruments[instrument].samples[slot];
    app.ClearSample(s);
    s.frames = frames;
    s.channels = channels;
    s.loopMode = loopMode;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    EXPECT_TRUE(app.AllocateSampleAudio(s));
    for (int c = 0; c < channels; ++c)
        for (int f = 0; f < frames; ++f) s.audio[c][kSampleGuard + f] = fn(c, f);
    return s;
}

inline PatternCell& Cell(AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

inline void SetCell(PatternCell& cell, int note, int instrument, int cmd1 = 0, int par1 = 0, int cmd2 = 0,
                    int par2 = 0, int cmd3 = 0, int par3 = 0) {
    cell = PatternCell{static_cast<uint8_t>(note), static_cast<uint8_t>(instrument),
                       static_cast<uint8_t>(cmd1), static_cast<uint8_t>(par1),
                       static_cast<uint8_t>(cmd2), static_cast<uint8_t>(par2),
                       static_cast<uint8_t>(cmd3), static_cast<uint8_t>(par3)};
}

inline int TickFrames(const AppState& app) { return static_cast<int>(44100.0 / app.song.tempo * 2.5); }

// Renders exactly one tick in one buffer.
inline void RenderTick(AppState& app, int ticks = 1) {
    for (int i = 0; i < ticks; ++i) {
        app.asioHost.preferredSize = TickFrames(app);
        RenderBuffer(app);
    }
}

}  // namespace zelmora
