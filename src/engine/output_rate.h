// The one rule for usable output sample rates, shared by the engine's render
// and the audio host (SANITY: the two used to differ, 8000..768000 Hz
// in the render and 1000..1000000 Hz in the host).
#pragma once

namespace zelmora {

inline constexpr double kLowestOutputRate = 8000.0;
inline constexpr double kHighestOutputRate = 768000.0;

// True for a number of hertz the engine renders at as it is; false for anything
// outside 8000..768000 Hz, including infinities and values that are not numbers.
inline bool IsUsableOutputRate(double rate) { return rate >= kLowestOutputRate && rate <= kHighestOutputRate; }

// The rate the render uses for a setting: itself when usable, else the nearest
// bound (the lowest for a value that is not a number).
inline double UsableOutputRate(double rate) {
    if (!(rate >= kLowestOutputRate)) return kLowestOutputRate;
    return rate > kHighestOutputRate ? kHighestOutputRate : rate;
}

}  // namespace zelmora
