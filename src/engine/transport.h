// Play mode and position of the sequencer, the transport operations, note
// preview, the cycle-rate measurement and the decibel text of gains.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelmora {

struct AppState;

enum PlayMode : int32_t { kStopped = 0, kPlaySong = 1, kPlayPattern = 2 };

struct Transport {
    int32_t playMode = kStopped;
    int32_t row = 0;  // also the editor's cursor row
    int32_t tick = 0;
    int32_t samplesInTick = 0;
};

// Main thread. Stops, resets the channel states of all tracks, the tick and the
// samples in tick, the row too when fromTop, then plays the song or the current
// pattern from the next buffer on. The order position is kept.
void PlayTransport(AppState& app, bool patternMode, bool fromTop);

// Main thread or, from command 15 with 0, the audio thread (the lock is re-entrant).
// Silences every voice at once; row and order position are kept.
void StopPlayer(AppState& app);

// Main thread. Starts voices for the note on the track without releasing the
// track's sounding voices, so held preview keys sound together.
void PreviewNoteOn(AppState& app, int track, int instrument, int note, int transpose, int velocity,
                   int32_t startOffset);

// Main thread. Releases the voices of the track that were started with the note.
void PreviewNoteOff(AppState& app, int track, int note);

// Reads the processor's cycle counter (or a steady clock where there is none).
uint64_t ReadCycleCounter();

// Busy-waits one second and returns cycle-counter ticks per second.
double MeasureCycleRate();

// The rate used when the caller supplies none: what the cycle counter would
// read per second on a typical machine.
double NominalCycleRate();

// Load of one buffer: cycles used per frame over the cycles one frame lasts.
double BufferLoad(uint64_t cycles, int frames, double cycleRate, double sampleRate);

// "+0.0 dB", "-6.0 dB", "-inf. dB". Writes at most size bytes, NUL-terminated.
void DecibelText(double gain, char* out, std::size_t size);

}  // namespace zelmora
