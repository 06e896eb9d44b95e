#include "engine/transport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/app_state.h"
#include "engine/mixer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define ZELMORA_HAVE_TSC 1
#else
#define ZELMORA_HAVE_TSC 0
#endif

namespace zelmora {

void PlayTransport(AppState& app, bool patternMode, bool fromTop) {
    {
        StateGuard lock(app.stateLock);
        StopPlayer(app);
        for (TrackSettings& t : app.song.tracks) ResetChannelState(t.channel);
        app.transport.tick = 0;
        app.transport.samplesInTick = 0;
        if (fromTop) app.transport.row = 0;
        app.transport.playMode = patternMode ? kPlayPattern : kPlaySong;
    }
    SetStatus(app, patternMode ? "Playing Pattern." : "Playing Song.");
}

void StopPlayer(AppState& app) {
    {
        StateGuard lock(app.stateLock);
        app.transport.tick = 0;
        app.transport.samplesInTick = 0;
        app.transport.playMode = kStopped;
        SilenceAllVoices(app);
    }
    SetStatus(app, "Player Stopped.");
}

void PreviewNoteOn(AppState& app, int track, int instrument, int note, int transpose, int velocity,
                   int32_t startOffset) {
    // SANITY: a note outside 0..127 or a track outside the song sounds nothing.
    if (track < 0 || track >= kMaxTracks || note < 0 || note > 127) return;
    StateGuard lock(app.stateLock);
    // A key's full velocity (127) sounds the note as played; a softer one,
    // from a MIDI keyboard, scales the preview in proportion.
    StartNoteVoices(app, track, instrument, note, transpose, velocity, startOffset,
                    std::clamp(velocity, 0, 127) / 127.0);
}

void PreviewNoteOff(AppState& app, int track, int note) {
    StateGuard lock(app.stateLock);
    for (Voice& v : app.voices)
        if (v.envelopeStage > kStageOff && v.track == track && v.note == note) ReleaseVoice(v);
}

uint64_t ReadCycleCounter() {
#if ZELMORA_HAVE_TSC
    return __rdtsc();
#else
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
#endif
}

double MeasureCycleRate() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
    const uint64_t c0 = ReadCycleCounter();
    while (Clock::now() < deadline) {
    }
    const uint64_t c1 = ReadCycleCounter();
    const double rate = static_cast<double>(c1 - c0);
    return rate > 0.0 ? rate : 1000.0;
}

double NominalCycleRate() { return ZELMORA_HAVE_TSC ? 3.0e9 : 1.0e9; }

double BufferLoad(uint64_t cycles, int frames, double cycleRate, double sampleRate) {
    // SANITY: without a cycle rate, frames or an output rate there is no budget
    // to measure against; the load reads 0 instead of dividing by zero.
    if (!(cycleRate > 0.0) || frames <= 0 || !(sampleRate > 0.0)) return 0.0;
    return static_cast<double>(cycles) / frames / (cycleRate / sampleRate);
}

void DecibelText(double gain, char* out, std::size_t size) {
    if (size == 0) return;
    if (gain >= 1.0)
        std::snprintf(out, size, "+%.1f dB", 20.0 * std::log10(gain));
    else if (gain > 0.0)
        std::snprintf(out, size, "%.1f dB", 20.0 * std::log10(gain));
    else  // SANITY: a gain that is not a number reads as silence too.
        std::snprintf(out, size, "-inf. dB");
}

}  // namespace zelmora
