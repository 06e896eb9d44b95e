// Per-track playback state kept inside each TrackSettings. Only the engine
// uses it; the song model stores it so a track and its channel live together.
#pragma once

#include <atomic>
#include <cstdint>

namespace zelmora {

// SANITY: every field has a defined value from construction on, and
// NewSong gives all of them their new-song values (ResetChannelStateForNewSong).
struct ChannelState {
    uint8_t instrument = 0;  // current instrument, 0 none
    uint8_t volume = 64;     // 0..64
    uint8_t pan = 128;       // 0..255, 128 centre
    uint8_t arpeggioOffset = 0;
    uint8_t arpeggioStep = 0;
    uint8_t portamentoSpeed = 0;
    uint8_t portamentoTarget = 60;
    uint8_t vibratoSpeed = 0, vibratoDepth = 0, vibratoPosition = 0;
    uint8_t tremoloSpeed = 0, tremoloDepth = 0, tremoloPosition = 0;
    // Pattern loop (command 14 with 6y): the row 6 with 0
    // marked on this track and the jumps still to make (0: none pending).
    uint8_t loopRow = 0;
    uint8_t loopCount = 0;
    // Level meters: raised by the render, lowered by the display.
    std::atomic<double> peakLeft{0.0};
    std::atomic<double> peakRight{0.0};
};

// The values a channel takes when playback starts. Tremolo and peaks are kept.
inline void ResetChannelState(ChannelState& c) {
    c.instrument = 0;
    c.volume = 64;
    c.pan = 128;
    c.arpeggioOffset = 0;
    c.arpeggioStep = 0;
    c.portamentoSpeed = 0;
    c.portamentoTarget = 60;
    c.vibratoSpeed = 0;
    c.vibratoDepth = 0;
    c.vibratoPosition = 0;
    c.loopRow = 0;
    c.loopCount = 0;
}

// NewSong: the play-start values plus tremolo 0 and both peaks 0.
inline void ResetChannelStateForNewSong(ChannelState& c) {
    ResetChannelState(c);
    c.tremoloSpeed = 0;
    c.tremoloDepth = 0;
    c.tremoloPosition = 0;
    c.peakLeft.store(0.0, std::memory_order_relaxed);
    c.peakRight.store(0.0, std::memory_order_relaxed);
}

}  // namespace zelmora
