// Per-track playback state kept inside each TrackSettings. Only the engine
// uses it; the song model stores it so a track and its channel live together.
#pragma once

#include <atomic>
#include <cstdint>

namespace zelmora {

struct ChannelState {
    uint8_t instrument;  // current instrument, 0 none
    uint8_t volume;      // 0..64
    uint8_t pan;         // 0..255, 128 centre
    uint8_t arpeggioOffset;
    uint8_t arpeggioStep;
    uint8_t portamentoSpeed;
    uint8_t portamentoTarget;
    uint8_t vibratoSpeed, vibratoDepth, vibratoPosition;
    uint8_t tremoloSpeed, tremoloDepth, tremoloPosition;
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
}

}  // namespace zelmora
