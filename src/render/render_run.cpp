#include "render/render_run.h"

#include <chrono>
#include <cmath>

#include "app/app_state.h"
#include "engine/sequencer.h"
#include "engine/transport.h"

namespace zelmora::render {

uint64_t FrameLimit(const RenderOptions& options) {
    const double seconds = options.seconds > 0.0 ? options.seconds : kSongCapSeconds;
    const double frames = std::ceil(seconds * options.rate);
    // SANITY: a huge --seconds is held at what a 64-bit count can express.
    if (!(frames < 9.0e18)) return 9000000000000000000ull;
    return frames < 1.0 ? 1 : static_cast<uint64_t>(frames);
}

bool RenderSong(AppState& app, const RenderOptions& options, WavWriter* writer, RenderResult& result,
                RenderProgress* progress) {
    result = RenderResult{};
    const uint64_t limit = FrameLimit(options);
    if (writer && options.seconds > 0.0 && limit > WavWriter::MaxFrames(options.format)) {
        result.error = "--seconds is too long for a WAV file of this format";
        return false;
    }
    {
        StateGuard guard(app.stateLock);
        // SANITY: entries behind the last order are not part of the song; an
        // order entry there is refused rather than played.
        if (options.pattern > app.song.lastOrder) {
            result.error = "--pattern names an order entry past the last order";
            return false;
        }
        app.settings.sampleRate = options.rate;
        app.asioHost.preferredSize = options.bufferFrames;
        app.song.orderPosition = static_cast<uint8_t>(options.pattern < 0 ? 0 : options.pattern);
        app.transport.row = 0;
    }
    PlayTransport(app, options.pattern >= 0, true);
    const uint32_t wraps = app.songWrapCount.load();
    const bool playThrough = options.seconds <= 0.0;

    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    while (result.frames < limit) {
        RenderBuffer(app);
        const uint64_t left = limit - result.frames;
        const int n = left < static_cast<uint64_t>(options.bufferFrames) ? static_cast<int>(left)
                                                                         : options.bufferFrames;
        // The engine's meters hold the level before the clip; this loop is
        // their only reader, so it takes them and lowers them to 0.
        const double meterLeft = app.song.meters.peakLeft.exchange(0.0, std::memory_order_relaxed);
        const double meterRight = app.song.meters.peakRight.exchange(0.0, std::memory_order_relaxed);
        if (meterLeft > result.peak[0]) result.peak[0] = meterLeft;
        if (meterRight > result.peak[1]) result.peak[1] = meterRight;
        double peakL = result.peak[0], peakR = result.peak[1];
        uint64_t clipped = 0;
        for (int i = 0; i < n; ++i) {
            const double l = std::fabs(app.mixLeft[i]);
            const double r = std::fabs(app.mixRight[i]);
            peakL = l > peakL ? l : peakL;
            peakR = r > peakR ? r : peakR;
            clipped += (l >= 1.0) + (r >= 1.0);
        }
        result.peak[0] = peakL;
        result.peak[1] = peakR;
        result.clippedSamples += clipped;
        if (writer && !writer->Write(app.mixLeft, app.mixRight, n)) {
            result.error = writer->error();
            ok = false;
            break;
        }
        result.frames += static_cast<uint64_t>(n);
        if (progress) progress->Update(result.frames, limit, app.song.orderPosition, app.song.lastOrder);
        if (playThrough && (app.songWrapCount.load() != wraps || app.transport.playMode == kStopped)) {
            result.songEnded = true;
            break;
        }
    }
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    StopPlayer(app);
    return ok;
}

}  // namespace zelmora::render
