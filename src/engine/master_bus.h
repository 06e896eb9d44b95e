// The master bus: the 15-band equaliser, master volume, master meters and clip.
#pragma once

#include <cstdint>

namespace zelmora {

struct AppState;

inline constexpr int kEqBands = 15;
inline constexpr double kEqBandwidthOctaves = 0.6666666666666666;
inline constexpr double kEqStepDb = 0.375;
extern const double kEqCentres[kEqBands];

struct BiquadCoeffs {
    double b0, b1, b2, a1, a2;
};

// The last two inputs and outputs of one section: x1, x2, (spare), y1, y2.
struct BiquadState {
    double x1, x2, spare, y1, y2;
};

// Peaking equaliser section for the given centre, gain and bandwidth.
BiquadCoeffs PeakingEqCoefficients(double sampleRate, double frequency, double gainDb,
                                   double bandwidthOctaves);

// One step; the input is rounded to single precision first.
inline double BiquadStep(double* state, const BiquadCoeffs& c, double input) {
    const double x = static_cast<double>(static_cast<float>(input));
    const double y = c.b0 * x + c.b1 * state[0] + c.b2 * state[1] - c.a1 * state[3] - c.a2 * state[4];
    state[1] = state[0];
    state[0] = x;
    state[4] = state[3];
    state[3] = y;
    return y;
}

// Small non-negative pseudo-random numbers (0..32767) without a lock.
uint32_t NextNoise();

// Runs the bus over mixLeft/mixRight[0..frames).
void RunMasterBus(AppState& app, int frames, double sampleRate);

}  // namespace zelmora
