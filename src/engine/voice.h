// One of the 128 fixed voices of the mixer. A voice is busy while its envelope
// stage is above Off.
#pragma once

#include <cstdint>

namespace zelmora {

inline constexpr int kVoiceCount = 128;

enum EnvelopeStage : int32_t { kStageOff = 0, kStageAttack = 1, kStageSustain = 2, kStageRelease = 3 };

struct Voice {
    double envelopeValue = 0.0;
    int32_t envelopeStage = kStageOff;
    double pitch = 60.0;   // semitones, moved by the pitch effects
    double volume = 1.0;   // linear gain, glides toward its target
    double pan = 0.5;      // 0 left .. 1 right, glides toward its target
    double rate = 0.0;     // source frames per output frame, glides toward its target
    uint32_t positionFraction = 0;
    int32_t position = 0;
    uint64_t step = 0;     // 32.32 rate of the frame last rendered
    int32_t track = 0;
    int32_t instrument = 0;
    int32_t note = 0;      // the note the voice was started with
    int32_t transpose = 0; // chord interval, else 0
    int32_t sampleSlot = 0;
    int32_t snapRate = 0;
    int32_t pingPongBackward = 0;
    int32_t loopWrapped = 0;
    double pitchOfRatio = 0.0;  // pitchRatio is 2^(pitchOfRatio / 12), or 0 for none yet
    double pitchRatio = 0.0;
    double gain = 1.0;  // a preview's loudness by its key velocity; 1 for every played note
};

}  // namespace zelmora
