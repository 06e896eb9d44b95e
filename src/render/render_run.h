// The render loop of zelmora-render: plays the loaded song through the engine
// buffer by buffer and hands each buffer to the WAV writer.
#pragma once

#include <cstdint>
#include <string>

#include "render/render_options.h"
#include "render/wav_writer.h"

namespace zelmora {
struct AppState;
}

namespace zelmora::render {

struct RenderResult {
    uint64_t frames = 0;          // frames kept (written, or counted when discarded)
    double wallSeconds = 0.0;     // time spent rendering and writing
    double peak[2] = {0.0, 0.0};  // largest level before the clip, per channel
    uint64_t clippedSamples = 0;  // output values at full scale
    bool songEnded = false;       // the song wrapped or stopped itself
    std::string error;
};

// Called after each buffer; done and total are frames (total is the limit,
// 20 minutes without --seconds), position is the order position now.
struct RenderProgress {
    virtual ~RenderProgress() = default;
    virtual void Update(uint64_t done, uint64_t total, int position, int lastOrder) = 0;
};

// Sets the rate and buffer length, starts the player at order 0 (or in pattern
// mode at options.pattern) and renders. writer may be null to discard. False
// with result.error set when the options do not fit the song or writing fails.
bool RenderSong(AppState& app, const RenderOptions& options, WavWriter* writer, RenderResult& result,
                RenderProgress* progress = nullptr);

// Frames the options ask for: --seconds at the rate, else the 20-minute cap.
uint64_t FrameLimit(const RenderOptions& options);

}  // namespace zelmora::render
