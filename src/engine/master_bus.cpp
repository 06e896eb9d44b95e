#include "engine/master_bus.h"

#include <atomic>
#include <cmath>

#include "app/app_state.h"

namespace zelmora {

const double kEqCentres[kEqBands] = {25,   40,   63,   100,  160,  250,   400,  630,
                                     1000, 1600, 2500, 4000, 6300, 10000, 16000};

namespace {

// Xorshift state shared by all renders; read and written whole, never locked.
std::atomic<uint32_t> g_noiseState{0x9E3779B9u};

inline uint32_t Xorshift(uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x >> 17;  // 0..32767
}

}  // namespace

uint32_t NextNoise() {
    uint32_t x = g_noiseState.load(std::memory_order_relaxed);
    const uint32_t r = Xorshift(x);
    g_noiseState.store(x, std::memory_order_relaxed);
    return r;
}

BiquadCoeffs PeakingEqCoefficients(double sampleRate, double frequency, double gainDb, double bandwidth) {
    const double a = std::pow(10.0, gainDb * 0.025);
    const double w0 = 2.0 * 3.141592653589793 * frequency / sampleRate;
    const double sw = std::sin(w0);
    const double alpha = sw * std::sinh(0.34657359027997264 * bandwidth * w0 / sw);
    const double a0 = 1.0 + alpha / a;
    BiquadCoeffs c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = -2.0 * std::cos(w0) / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = -2.0 * std::cos(w0) / a0;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

void RunMasterBus(AppState& app, int frames, double sampleRate) {
    Song& song = app.song;
    double* left = app.mixLeft;
    double* right = app.mixRight;
    if (song.eqOn) {
        uint32_t x = g_noiseState.load(std::memory_order_relaxed);
        for (int i = 0; i < frames; ++i) {
            const double noise = Xorshift(x) * 1e-25;
            left[i] += noise;
            right[i] += noise;
        }
        g_noiseState.store(x, std::memory_order_relaxed);
        for (int b = 0; b < kEqBands; ++b) {
            // SANITY: a band at or above half the output rate has no defined
            // section; it is passed by unfiltered instead of filling the mix
            // with values that are not numbers.
            if (kEqCentres[b] >= 0.49 * sampleRate) continue;
            const BiquadCoeffs c =
                PeakingEqCoefficients(sampleRate, kEqCentres[b], song.eqGains[b] * kEqStepDb, kEqBandwidthOctaves);
            double* sl = app.masterEq[2 * b];
            double* sr = app.masterEq[2 * b + 1];
            for (int i = 0; i < frames; ++i) left[i] = BiquadStep(sl, c, left[i]);
            for (int i = 0; i < frames; ++i) right[i] = BiquadStep(sr, c, right[i]);
        }
    }
    const double mv = song.masterVolume;
    const double gain = mv * mv / 4096.0;
    double peakL = 0.0, peakR = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double l = left[i] * gain, r = right[i] * gain;
        const double al = std::fabs(l), ar = std::fabs(r);
        if (al > peakL) peakL = al;
        if (ar > peakR) peakR = ar;
        left[i] = l > 1.0 ? 1.0 : (l < -1.0 ? -1.0 : l);
        right[i] = r > 1.0 ? 1.0 : (r < -1.0 ? -1.0 : r);
    }
    SongMeters& m = song.meters;
    if (peakL > m.peakLeft.load(std::memory_order_relaxed)) m.peakLeft.store(peakL, std::memory_order_relaxed);
    if (peakR > m.peakRight.load(std::memory_order_relaxed)) m.peakRight.store(peakR, std::memory_order_relaxed);
}

}  // namespace zelmora
