// Play mode and position of the sequencer, and the transport operations.
#pragma once

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

// Main thread or, from command 15 with 0, the audio thread (the lock is re-entrant).
void StopPlayer(AppState& app);

}  // namespace zelmora
