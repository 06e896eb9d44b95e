#include "engine/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <limits>
#include <new>
#include <type_traits>

#include "app/app_state.h"
#include "platform/platform.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
// The wide builds rely on GCC's target pragmas; clang (the fuzzing build)
// mixes with the plain loop.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ZELMORA_WIDE_MIXER 1
#else
#define ZELMORA_WIDE_MIXER 0
#endif

namespace zelmora {

double (*SincTable)[kSincPhases][kSincTaps];
int32_t SineTable[64];

namespace {

// Phase j's weights, then the differences to phase j + 1: one row holds all
// the frame loop blends. Phase 255's row blends towards phase 0 read one frame
// later, which also weighs the window's 17th frame by SincTail.
double (*SincBlendTable)[kSincPhases][2 * kSincTaps];
double SincTail[kSincCutoffs];

// Frames of a forward loop laid out at a time for the windows that cross its
// edges: five blocks of travel at rate 1 (fewer at faster rates).
constexpr int kLayoutCapacity = 5 * kBlockFrames + 2 * kSincReach + 2;
// A glide this close to its target has arrived.
constexpr double kGlideSnap = 1e-12;

std::once_flag g_tablesBuilt;
// Whether the AVX2 frame loop runs; chosen once when the tables are built.
bool g_wideMixer = false;
// Whether the AVX-512 build of it runs instead, and whether that is allowed.
bool g_widestMixer = false;
bool g_widestAllowed = true;

bool HasAvx512() {
#if ZELMORA_WIDE_MIXER
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
#else
    return false;
#endif
}

// The two sinc tables (3 MiB) share one block of the platform's large
// allocation, which keeps them on a couple of huge pages where the system has
// them; they live as long as the program.
struct SincTables {
    alignas(64) double sinc[kSincCutoffs][kSincPhases][kSincTaps];
    alignas(64) double blend[kSincCutoffs][kSincPhases][2 * kSincTaps];
};

void FillTables() {
    // Without the large block the tables sit in static storage instead.
    static SincTables fallback;
    auto* tables = static_cast<SincTables*>(AllocateLarge(sizeof(SincTables)));
    if (!tables) tables = &fallback;
    SincTable = tables->sinc;
    SincBlendTable = tables->blend;
#if ZELMORA_WIDE_MIXER
    g_wideMixer = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    g_widestMixer = g_wideMixer && g_widestAllowed && HasAvx512();
#endif
    const double pi = 4.0 * std::atan(1.0);
    for (int k = 0; k < 64; ++k) SineTable[k] = static_cast<int32_t>(255.0 * std::sin(2.0 * pi * k / 64.0));
    // The window does not depend on the cutoff: worked out once.
    static double window[kSincPhases][kSincTaps];
    for (int j = 0; j < kSincPhases; ++j) {
        const double f = j == 0 ? 1e-25 : j / 256.0;
        for (int i = 0; i < kSincTaps; ++i) {
            const double x = (i - 8) - f;
            window[j][i] = 0.42 + 0.5 * std::cos(pi * x / 8.0) + 0.08 * std::cos(pi * x / 4.0);
        }
    }
    for (int k = 0; k < kSincCutoffs; ++k) {
        const double c = k == 0 ? 1.0 : 1.0 / k;
        // sin(c pi x) with x = (i - 8) - f, from the sines and cosines of
        // c pi (i - 8) and c pi f: 8700 library calls instead of 131072.
        double sinTap[kSincTaps], cosTap[kSincTaps];
        for (int i = 0; i < kSincTaps; ++i) {
            sinTap[i] = std::sin(c * pi * (i - 8));
            cosTap[i] = std::cos(c * pi * (i - 8));
        }
        for (int j = 0; j < kSincPhases; ++j) {
            const double f = j == 0 ? 1e-25 : j / 256.0;
            const double sf = std::sin(c * pi * f), cf = std::cos(c * pi * f);
            for (int i = 0; i < kSincTaps; ++i) {
                const double x = (i - 8) - f;
                SincTable[k][j][i] = window[j][i] * (sinTap[i] * cf - cosTap[i] * sf) / (pi * x);
            }
        }
        for (int j = 0; j < kSincPhases; ++j)
            for (int i = 0; i < kSincTaps; ++i) {
                SincBlendTable[k][j][i] = SincTable[k][j][i];
                // Phase 255 blends towards phase 0 one frame on: tap i then
                // meets phase 0's tap i - 1, and its tap 15 meets the window's
                // 17th frame (SincTail).
                const double next = j < 255 ? SincTable[k][j + 1][i] : (i > 0 ? SincTable[k][0][i - 1] : 0.0);
                SincBlendTable[k][j][kSincTaps + i] = next - SincTable[k][j][i];
            }
        SincTail[k] = SincTable[k][0][kSincTaps - 1];
    }
}

thread_local Smoothing t_smoothing;

void FillPowers(double c, double* out) {
    out[0] = 1.0;
    for (int i = 1; i <= kBlockFrames; ++i) out[i] = out[i - 1] * c;
}

}  // namespace

const Smoothing& SmoothingFor(double sampleRate) {
    Smoothing& s = t_smoothing;
    if (s.sampleRate != sampleRate) {
        s.glide = SmoothingCoefficient(kGlideSeconds, sampleRate);
        s.attack = SmoothingCoefficient(kAttackSeconds, sampleRate);
        s.sustain = SmoothingCoefficient(kSustainSeconds, sampleRate);
        s.release = SmoothingCoefficient(kReleaseSeconds, sampleRate);
        FillPowers(s.glide, s.glidePow);
        FillPowers(s.attack, s.attackPow);
        FillPowers(s.sustain, s.sustainPow);
        FillPowers(s.release, s.releasePow);
        s.sampleRate = sampleRate;
    }
    return s;
}

double VoiceVolumeTarget(const TrackSettings& ts) {
    const ChannelState& c = ts.channel;
    const double mixer = ts.mixerVolume;
    const double channel = c.volume + c.tremoloDepth * SineTable[c.tremoloPosition & 63] / 128.0;
    return ClampValue(channel, 0.0, 64.0) / 64.0 * (mixer * mixer / 4096.0);
}

double AimVoiceRate(Voice& v, const Sample& s, const TrackSettings& ts, double sampleRate) {
    const ChannelState& c = ts.channel;
    const double pitch = c.vibratoDepth * SineTable[c.vibratoPosition & 63] / 3825.0 + c.arpeggioOffset +
                         s.coarseTune + s.fineTune * 0.01 - s.baseNote + v.transpose + v.pitch;
    // The pitch seldom moves between chunks: its power of 2 is kept with it
    // (a ratio of 0 marks none kept).
    if (pitch != v.pitchOfRatio || !(v.pitchRatio > 0.0)) {
        v.pitchOfRatio = pitch;
        v.pitchRatio = std::pow(2.0, pitch / 12.0);
    }
    double rateTarget = v.pitchRatio * s.sampleRate / sampleRate;
    if (!(rateTarget > 0.0)) rateTarget = 0.0;
    if (rateTarget > kMaxVoiceRate) rateTarget = kMaxVoiceRate;
    if (v.snapRate) v.rate = rateTarget;
    v.snapRate = 0;
    return rateTarget;
}

VoiceLoop LoopOf(const Sample& s, int64_t frames) {
    VoiceLoop loop;
    loop.start = std::clamp<int64_t>(s.loopStart, 0, frames);
    loop.length = std::clamp<int64_t>(s.loopLength, 0, frames - loop.start);
    loop.end = loop.start + loop.length;
    loop.mode = (s.loopMode == 1 || s.loopMode == 2) ? s.loopMode : 0;
    return loop;
}

namespace {

// The moving parts of a voice while a chunk renders, and what stays fixed.
struct VoiceRun {
    int64_t pos;  // signed 32.32
    double rate, volume, pan, env;
    int32_t stage;
    uint64_t step;
    int32_t wrapped, backward;
};

struct RunParams {
    const double* dataL;
    const double* dataR;
    int64_t frames, loopStart, loopLength, loopEnd;
    double rateTarget, volumeTarget, panTarget;
    double glide;
    const double *glidePow, *attackPow, *sustainPow, *releasePow;
};

// How a voice's frames reach the buffers it renders into.
enum MixMode { kMixAdd, kMixAssign, kMixAddPeaks };

// The frame loop, built once for every processor, once more for those with
// AVX2 and FMA and once for those that also have AVX-512 (its four-frame reads
// take 512-bit steps); the choice is made when the tables are built.
// ZELMORA_FRAMES_AVX2 picks the 256-bit code inside the loop: the target
// pragma does not define __AVX2__ and __FMA__ for the preprocessor, so testing
// those left the AVX2 build of the loop running the 128-bit code (found by
// profiling).
#define ZELMORA_FRAMES_AVX2 0
#define ZELMORA_FRAMES_AVX512 0
namespace base {
#include "engine/mixer_frames.inc"
}  // namespace base
#undef ZELMORA_FRAMES_AVX512
#undef ZELMORA_FRAMES_AVX2
#if ZELMORA_WIDE_MIXER
#define ZELMORA_FRAMES_AVX2 1
#define ZELMORA_FRAMES_AVX512 0
#pragma GCC push_options
#pragma GCC target("avx2,fma")
namespace wide {
#include "engine/mixer_frames.inc"
}  // namespace wide
#pragma GCC pop_options
#undef ZELMORA_FRAMES_AVX512
#define ZELMORA_FRAMES_AVX512 1
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx2,fma")
// GCC 12's 512-bit shuffles and extracts start from an undefined register,
// which its uninitialised-value warning reports inside its own headers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
namespace widest {
#include "engine/mixer_frames.inc"
}  // namespace widest
#pragma GCC diagnostic pop
#pragma GCC pop_options
#undef ZELMORA_FRAMES_AVX512
#undef ZELMORA_FRAMES_AVX2
#endif

template <int kMode, bool kStereo>
void RunFrames(VoiceRun& r, const RunParams& p, double* left, double* right, int n, MixMode mode, double* peaks) {
#if ZELMORA_WIDE_MIXER
    if (g_widestMixer) return widest::RunFrames<kMode, kStereo>(r, p, left, right, n, mode, peaks);
    if (g_wideMixer) return wide::RunFrames<kMode, kStereo>(r, p, left, right, n, mode, peaks);
#endif
    base::RunFrames<kMode, kStereo>(r, p, left, right, n, mode, peaks);
}

void AddTrack(const double* sl, const double* sr, double* outL, double* outR, int n, double& peakL,
              double& peakR) {
#if ZELMORA_WIDE_MIXER
    if (g_wideMixer) return wide::AddTrack(sl, sr, outL, outR, n, peakL, peakR);
#endif
    base::AddTrack(sl, sr, outL, outR, n, peakL, peakR);
}

}  // namespace

void BuildEngineTables() { std::call_once(g_tablesBuilt, FillTables); }

bool SetWideMixer(bool wanted) {
    BuildEngineTables();
#if ZELMORA_WIDE_MIXER
    g_wideMixer = wanted && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    g_widestMixer = g_wideMixer && g_widestAllowed && HasAvx512();
#else
    (void)wanted;
#endif
    return g_wideMixer;
}

bool SetWidestMixer(bool wanted) {
    BuildEngineTables();
    g_widestAllowed = wanted;
    g_widestMixer = g_wideMixer && g_widestAllowed && HasAvx512();
    return g_widestMixer;
}

double SmoothingCoefficient(double seconds, double sampleRate) {
    return std::exp(-6.907755278982137 / (seconds * sampleRate));
}

double InterpolateFrame(const double* w, int k, uint32_t fraction) {
    const uint32_t j = fraction >> 24;
    const double t = (fraction & 0xFFFFFFu) * (1.0 / 16777216.0);
    const double* t0 = SincTable[k & 31][j];
    double y0 = 0.0, y1 = 0.0;
    for (int i = 0; i < kSincTaps; ++i) y0 += w[i] * t0[i];
    if (j < 255) {
        const double* t1 = SincTable[k & 31][j + 1];
        for (int i = 0; i < kSincTaps; ++i) y1 += w[i] * t1[i];
    } else {
        const double* t1 = SincTable[k & 31][0];
        for (int i = 0; i < kSincTaps; ++i) y1 += w[i + 1] * t1[i];
    }
    return y0 + (y1 - y0) * t;
}

void StartVoice(AppState& app, Voice& v, int track, int instrument, int slot, int note, int transpose,
                int32_t startOffset, double gain) {
    const Sample& s = app.song.instruments[instrument & 255].samples[slot & 255];
    const TrackSettings& ts = app.song.tracks[track & 31];
    int64_t position = startOffset;
    if (startOffset < 0) {
        const double p = -static_cast<double>(startOffset);
        position = static_cast<int64_t>(p / 256.0 * s.frames);
    }
    // SANITY: offsets beyond any real sample are held at a bound that keeps the
    // 32.32 position arithmetic inside its range; they still play silence.
    if (position < 0) position = 0;
    if (position > kMaxStartOffset) position = kMaxStartOffset;
    v.track = track & 31;
    v.instrument = instrument & 255;
    v.sampleSlot = slot & 255;
    v.note = note;
    v.transpose = transpose;
    v.snapRate = 1;
    v.pingPongBackward = 0;
    v.loopWrapped = 0;
    v.position = static_cast<int32_t>(position);
    v.positionFraction = 0;
    v.pitch = note;
    const double mixer = ts.mixerVolume;
    v.gain = gain;
    v.volume = mixer * mixer / 4096.0 * (ts.channel.volume / 64.0) * gain;
    v.pan = ts.channel.pan / 256.0;
    v.envelopeValue = 0.0;
    v.envelopeStage = kStageAttack;
}

void ReleaseVoice(Voice& v) {
    if (v.envelopeStage == kStageAttack || v.envelopeStage == kStageSustain) v.envelopeStage = kStageRelease;
}

void SilenceAllVoices(AppState& app) {
    for (Voice& v : app.voices) {
        v.envelopeValue = 0.0;
        v.envelopeStage = kStageOff;
    }
}

void ReleaseTrackVoices(AppState& app, int track) {
    for (Voice& v : app.voices)
        if (v.envelopeStage > kStageOff && v.track == track) ReleaseVoice(v);
}

int StartNoteVoices(AppState& app, int track, int instrument, int note, int transpose, int velocity,
                    int32_t startOffset, double gain) {
    if (instrument <= 0 || instrument >= kMaxInstruments || track < 0 || track >= kMaxTracks) return 0;
    const Instrument& ins = app.song.instruments[instrument];
    int started = 0;
    int nextFree = 0;
    for (int slot = 0; slot < kMaxSampleSlots; ++slot) {
        const Sample& s = ins.samples[slot];
        if (UsableFrames(s) == 0) continue;
        if (note < s.keyLow || note > s.keyHigh || velocity < s.velocityLow || velocity > s.velocityHigh) continue;
        while (nextFree < kVoiceCount && app.voices[nextFree].envelopeStage != kStageOff) ++nextFree;
        if (nextFree == kVoiceCount) break;  // no voice left for this or any later slot
        StartVoice(app, app.voices[nextFree], track, instrument, slot, note, transpose, startOffset, gain);
        ++started;
    }
    return started;
}

namespace {

// RenderVoice, with the frames added, replacing what left and right hold
// (silence where the voice does not sound), or added with their peaks taken.
void MixVoice(Voice& v, double* left, double* right, int n, Song& song, double sampleRate, MixMode how,
              double* peaks = nullptr) {
    if constexpr (profile::kLinearVoices) {
        if (how == kMixAssign) {
            std::memset(left, 0, sizeof(double) * n);
            std::memset(right, 0, sizeof(double) * n);
        }
        return RenderVoiceLinear(v, left, right, n, song, sampleRate);
    }
    Sample& s = song.instruments[v.instrument & 255].samples[v.sampleSlot & 255];
    const int32_t frames = UsableFrames(s);
    if (frames == 0) {
        v.envelopeStage = kStageOff;
        if (how == kMixAssign) {
            std::memset(left, 0, sizeof(double) * n);
            std::memset(right, 0, sizeof(double) * n);
        }
        return;
    }
    const TrackSettings& ts = song.tracks[v.track & 31];
    const Smoothing& sm = SmoothingFor(sampleRate);
    const double volumeTarget = VoiceVolumeTarget(ts) * v.gain;
    const double panTarget = ClampValue((ts.channel.pan + s.pan - 128) / 256.0, 0.0, 1.0);
    const double rateTarget = AimVoiceRate(v, s, ts, sampleRate);

    const bool stereo = s.channels >= 2;
    const double* dataL = s.audio[0] + kSampleGuard;
    const double* dataR = s.audio[stereo ? 1 : 0] + kSampleGuard;

    const VoiceLoop loop = LoopOf(s, frames);
    const int64_t loopStart = loop.start, loopLength = loop.length, loopEnd = loop.end;
    const int mode = loop.mode;

    VoiceRun run;
    run.pos = static_cast<int64_t>(v.position) * 4294967296LL + v.positionFraction;
    run.rate = v.rate;
    run.volume = v.volume;
    run.pan = v.pan;
    run.env = v.envelopeValue;
    run.stage = v.envelopeStage;
    run.step = v.step;
    run.wrapped = v.loopWrapped;
    run.backward = v.pingPongBackward;
    const RunParams p{dataL,       dataR,        frames,        loopStart,    loopLength,
                      loopEnd,     rateTarget,   volumeTarget,  panTarget,    sm.glide,
                      sm.glidePow, sm.attackPow, sm.sustainPow, sm.releasePow};
    switch (mode * 2 + (stereo ? 1 : 0)) {
        case 0: RunFrames<0, false>(run, p, left, right, n, how, peaks); break;
        case 1: RunFrames<0, true>(run, p, left, right, n, how, peaks); break;
        case 2: RunFrames<1, false>(run, p, left, right, n, how, peaks); break;
        case 3: RunFrames<1, true>(run, p, left, right, n, how, peaks); break;
        case 4: RunFrames<2, false>(run, p, left, right, n, how, peaks); break;
        default: RunFrames<2, true>(run, p, left, right, n, how, peaks); break;
    }
    v.rate = run.rate;
    v.volume = run.volume;
    v.pan = run.pan;
    v.envelopeValue = run.env;
    v.envelopeStage = run.stage;
    v.step = run.step;
    v.loopWrapped = run.wrapped;
    v.pingPongBackward = run.backward;
    v.position = static_cast<int32_t>(run.pos >> 32);
    v.positionFraction = static_cast<uint32_t>(run.pos);
}

}  // namespace

void RenderVoice(Voice& v, double* left, double* right, int n, Song& song, double sampleRate) {
    MixVoice(v, left, right, n, song, sampleRate, kMixAdd);
}

void MixChunk(AppState& app, int offset, int n, double sampleRate) {
    if (n <= 0) return;
    Song& song = app.song;
    // SANITY: a track count above the capacity mixes the 32 tracks there are.
    const int tracks = song.trackCount > kMaxTracks ? kMaxTracks : song.trackCount;
    // One pass over the voices lists each track's busy ones in index order, so
    // a track does not scan all 128 voices again (32 x 128 tests per chunk).
    uint8_t listed[kVoiceCount];
    int firstOf[kMaxTracks + 1];
    int countOf[kMaxTracks] = {};
    for (const Voice& v : app.voices)
        if (v.envelopeStage > kStageOff && v.track >= 0 && v.track < tracks) ++countOf[v.track];
    firstOf[0] = 0;
    for (int t = 0; t < kMaxTracks; ++t) firstOf[t + 1] = firstOf[t] + countOf[t];
    int fill[kMaxTracks];
    for (int t = 0; t < kMaxTracks; ++t) fill[t] = firstOf[t];
    for (int i = 0; i < kVoiceCount; ++i) {
        const Voice& v = app.voices[i];
        if (v.envelopeStage > kStageOff && v.track >= 0 && v.track < tracks)
            listed[fill[v.track]++] = static_cast<uint8_t>(i);
    }
    double* sl = app.trackScratchLeft;
    double* sr = app.trackScratchRight;
    // Tracks the editor mutes (or leaves out of a solo) play on unheard.
    const uint32_t silenced = app.silencedTracks.load(std::memory_order_relaxed);
    for (int t = 0; t < tracks; ++t) {
        // A track without a busy voice adds silence and cannot raise its meters.
        if (countOf[t] == 0) continue;
        double peaks[2] = {0.0, 0.0};
        if (silenced >> t & 1u) {
            for (int k = firstOf[t]; k < firstOf[t + 1]; ++k)
                MixVoice(app.voices[listed[k]], sl, sr, n, song, sampleRate, kMixAssign);
            continue;
        }
        if (countOf[t] == 1 && !profile::kLinearVoices) {
            // One voice goes straight into the mix.
            MixVoice(app.voices[listed[firstOf[t]]], app.mixLeft + offset, app.mixRight + offset, n, song,
                     sampleRate, kMixAddPeaks, peaks);
        } else {
            // The first voice fills the scratch buffers, the others add to them.
            for (int k = firstOf[t]; k < firstOf[t + 1]; ++k)
                MixVoice(app.voices[listed[k]], sl, sr, n, song, sampleRate, k == firstOf[t] ? kMixAssign : kMixAdd);
            AddTrack(sl, sr, app.mixLeft + offset, app.mixRight + offset, n, peaks[0], peaks[1]);
        }
        const double peakL = peaks[0], peakR = peaks[1];
        ChannelState& c = song.tracks[t].channel;
        if (peakL > c.peakLeft.load(std::memory_order_relaxed)) c.peakLeft.store(peakL, std::memory_order_relaxed);
        if (peakR > c.peakRight.load(std::memory_order_relaxed)) c.peakRight.store(peakR, std::memory_order_relaxed);
    }
}

int BusyVoiceCount(const AppState& app) {
    int count = 0;
    for (const Voice& v : app.voices) count += v.envelopeStage > kStageOff;
    return count;
}

}  // namespace zelmora
