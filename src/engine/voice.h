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
    double pitch = 60.0;
    double volume = 1.0;
    double pan = 0.5;
    double rate = 0.0;
    uint32_t positionFraction = 0;
    int32_t position = 0;
    uint64_t step = 0;
    int32_t track = 0;
    int32_t instrument = 0;
    int32_t note = 0;
    int32_t transpose = 0;
    int32_t sampleSlot = 0;
    int32_t snapRate = 0;
    int32_t pingPongBackward = 0;
    int32_t loopWrapped = 0;
};

}  // namespace zelmora
