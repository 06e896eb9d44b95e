// Shared by the libFuzzer targets: one state for the whole run, reset before
// each input, and a short render so the engine walks whatever the loader built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/app_state.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"

namespace zelmora {

// The process-wide state, made on first use (no processor measurement) and
// given an empty song before every input.
inline AppState& FuzzApp() {
    static std::unique_ptr<AppState> app = [] {
        AppState::Options options;
        options.measureCycleRate = false;
        options.cycleRate = 1e9;
        std::unique_ptr<AppState> made = AppState::Create(options);
        if (!made) std::abort();
        made->asioHost.preferredSize = 512;
        made->settings.sampleRate = 44100.0;
        return made;
    }();
    app->NewSong();
    return *app;
}

// Plays the loaded song from its first row for a few buffers, then stops.
inline void RenderAFewBuffers(AppState& app, int buffers = 8) {
    PlayTransport(app, false, true);
    for (int i = 0; i < buffers; ++i) RenderBuffer(app);
    StopPlayer(app);
}

}  // namespace zelmora
