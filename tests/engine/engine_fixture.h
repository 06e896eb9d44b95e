// Small songs built in code for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "engine/master_bus.h"
#include "engine/mixer.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "support/test_support.h"

namespace zelmora {

// A state at 44100 Hz with master volume 64, so the mix reaches the output
// unchanged unless a test says otherwise.
inline std::unique_ptr<AppState> MakeEngineApp(int bufferFrames = 256) {
    auto app = MakeTestApp();
    app->settings.sampleRate = 44100.0;
    app->asioHost.preferredSize = bufferFrames;
    app->song.masterVolume = 64;
    return app;
}

// Fills a slot of an instrument with frames of audio from fn(channel, frame).
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

inline Sample& AddConstantSample(AppState& app, int instrument, double level = 0.5, int frames = 44100,
                                 int channels = 1) {
    return AddSample(app, instrument, 0, frames, channels, [level](int, int) { return level; });
}

inline PatternCell& Cell(AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

inline void SetCell(PatternCell& cell, int note, int instrument, int cmd1 = 0, int par1 = 0, int cmd2 = 0,
                    int par2 = 0, int cmd3 = 0, int par3 = 0) {
    cell.note = static_cast<uint8_t>(note);
    cell.instrument = static_cast<uint8_t>(instrument);
    cell.command1 = static_cast<uint8_t>(cmd1);
    cell.parameter1 = static_cast<uint8_t>(par1);
    cell.command2 = static_cast<uint8_t>(cmd2);
    cell.parameter2 = static_cast<uint8_t>(par2);
    cell.command3 = static_cast<uint8_t>(cmd3);
    cell.parameter3 = static_cast<uint8_t>(par3);
}

// Renders buffers until `frames` frames have been rendered, collecting the left output.
inline std::vector<double> RenderFrames(AppState& app, int frames, std::vector<double>* right = nullptr) {
    std::vector<double> out;
    while (static_cast<int>(out.size()) < frames) {
        RenderBuffer(app);
        const int n = app.asioHost.preferredSize;
        out.insert(out.end(), app.mixLeft, app.mixLeft + n);
        if (right) right->insert(right->end(), app.mixRight, app.mixRight + n);
    }
    out.resize(frames);
    if (right) right->resize(frames);
    return out;
}

// Frames of one tick at the song's tempo and 44100 Hz.
inline int TickFrames(const AppState& app) { return static_cast<int>(44100.0 / app.song.tempo * 2.5); }

// Renders exactly one tick in one buffer.
inline void RenderTick(AppState& app) {
    app.asioHost.preferredSize = TickFrames(app);
    RenderBuffer(app);
}

inline const Voice* FirstBusyVoice(const AppState& app, int track = -1) {
    for (const Voice& v : app.voices)
        if (v.envelopeStage > kStageOff && (track < 0 || v.track == track)) return &v;
    return nullptr;
}

}  // namespace zelmora
