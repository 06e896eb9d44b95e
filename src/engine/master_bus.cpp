#include "engine/master_bus.h"

#include <atomic>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/app_state.h"
#include "app/profile.h"

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
    if constexpr (!profile::kMasterSection) {
        // The earlier build has no equaliser, master volume or master meters:
        // the clip stays, and the mix passes it at gain 1.
        for (int i = 0; i < frames; ++i) {
            const double l = left[i] > 1.0 ? 1.0 : (left[i] < -1.0 ? -1.0 : left[i]);
            const double r = right[i] > 1.0 ? 1.0 : (right[i] < -1.0 ? -1.0 : right[i]);
            left[i] = l == l ? l : 0.0;
            right[i] = r == r ? r : 0.0;
        }
        return;
    }
    if (song.eqOn) {
        uint32_t x = g_noiseState.load(std::memory_order_relaxed);
        for (int i = 0; i < frames; ++i) {
            const double noise = Xorshift(x) * 1e-25;
            left[i] += noise;
            right[i] += noise;
        }
        g_noiseState.store(x, std::memory_order_relaxed);
        // The bands work on local copies of their state.
        BiquadCoeffs coeffs[kEqBands];
        double state[kEqBands][2][5];
        int bands[kEqBands];
        int active = 0;
        for (int b = 0; b < kEqBands; ++b) {
            // SANITY: a band at or above half the output rate has no defined
            // section; it is passed by unfiltered instead of filling the mix
            // with values that are not numbers.
            if (kEqCentres[b] >= 0.49 * sampleRate) continue;
            coeffs[active] =
                PeakingEqCoefficients(sampleRate, kEqCentres[b], song.eqGains[b] * kEqStepDb, kEqBandwidthOctaves);
            for (int k = 0; k < 5; ++k) {
                state[active][0][k] = app.masterEq[2 * b][k];
                state[active][1][k] = app.masterEq[2 * b + 1][k];
            }
            bands[active++] = b;
        }
        // Wavefront: at step n band a works on frame n - a, which band a - 1
        // finished at the step before. The sections of one step are
        // independent, and every value still meets the bands in order.
        for (int n = 0; n < frames + active - 1; ++n) {
            const int first = n - frames + 1 > 0 ? n - frames + 1 : 0;
            const int last = n < active - 1 ? n : active - 1;
            for (int a = first; a <= last; ++a) {
                const int i = n - a;
                left[i] = BiquadStep(state[a][0], coeffs[a], left[i]);
                right[i] = BiquadStep(state[a][1], coeffs[a], right[i]);
            }
        }
        for (int a = 0; a < active; ++a)
            for (int k = 0; k < 5; ++k) {
                app.masterEq[2 * bands[a]][k] = state[a][0][k];
                app.masterEq[2 * bands[a] + 1][k] = state[a][1][k];
            }
    }
    const double mv = song.masterVolume;
    const double gain = mv * mv / 4096.0;
    double peakL = 0.0, peakR = 0.0;
    int i = 0;
#if defined(__SSE2__)
    // Two frames at a time. max(a, peak) keeps the peak when a is not a
    // number, min(1, x) and max(-1, x) pass a NaN on, and the ordered mask
    // turns it into 0: the same values as the loop below.
    {
        const __m128d g = _mm_set1_pd(gain), sign = _mm_set1_pd(-0.0), one = _mm_set1_pd(1.0),
                      minusOne = _mm_set1_pd(-1.0);
        __m128d pl = _mm_setzero_pd(), pr = _mm_setzero_pd();
        for (; i + 2 <= frames; i += 2) {
            const __m128d l = _mm_mul_pd(_mm_loadu_pd(left + i), g), r = _mm_mul_pd(_mm_loadu_pd(right + i), g);
            pl = _mm_max_pd(_mm_andnot_pd(sign, l), pl);
            pr = _mm_max_pd(_mm_andnot_pd(sign, r), pr);
            const __m128d cl = _mm_max_pd(minusOne, _mm_min_pd(one, l));
            const __m128d cr = _mm_max_pd(minusOne, _mm_min_pd(one, r));
            _mm_storeu_pd(left + i, _mm_and_pd(cl, _mm_cmpord_pd(cl, cl)));
            _mm_storeu_pd(right + i, _mm_and_pd(cr, _mm_cmpord_pd(cr, cr)));
        }
        alignas(16) double ml[2], mr[2];
        _mm_store_pd(ml, pl);
        _mm_store_pd(mr, pr);
        peakL = ml[0] > ml[1] ? ml[0] : ml[1];
        peakR = mr[0] > mr[1] ? mr[0] : mr[1];
    }
#endif
    for (; i < frames; ++i) {
        const double l = left[i] * gain, r = right[i] * gain;
        const double al = std::fabs(l), ar = std::fabs(r);
        if (al > peakL) peakL = al;
        if (ar > peakR) peakR = ar;
        // SANITY: the clip maps a value that is not a number to 0, so
        // the output conversion never sees one.
        const double cl = l > 1.0 ? 1.0 : (l < -1.0 ? -1.0 : l);
        const double cr = r > 1.0 ? 1.0 : (r < -1.0 ? -1.0 : r);
        left[i] = cl == cl ? cl : 0.0;
        right[i] = cr == cr ? cr : 0.0;
    }
    SongMeters& m = song.meters;
    if (peakL > m.peakLeft.load(std::memory_order_relaxed)) m.peakLeft.store(peakL, std::memory_order_relaxed);
    if (peakR > m.peakRight.load(std::memory_order_relaxed)) m.peakRight.store(peakR, std::memory_order_relaxed);
}

}  // namespace zelmora
