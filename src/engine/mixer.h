// Voices and the mixer: the amplitude envelope, the windowed-sinc resampler,
// voice start, release and selection, and the mixing of one chunk track by
// track. Everything here is called with the state lock held.
#pragma once

#include <cstdint>

#include "app/profile.h"
#include "engine/voice.h"

namespace zelmora {

struct AppState;
struct Song;
struct Sample;
struct TrackSettings;

// Glide and envelope times in seconds, and the level the sustain settles to.
inline constexpr double kGlideSeconds = profile::kGlideSeconds;
inline constexpr double kAttackSeconds = 0.001;
inline constexpr double kSustainSeconds = 0.1;
inline constexpr double kReleaseSeconds = 0.1;
inline constexpr double kSustainLevel = profile::kSustainLevel;
inline constexpr double kAttackDone = 0.999;
inline constexpr double kReleaseDone = 0.001;
// Added to and taken from every glide result so none lingers in subnormals.
inline constexpr double kGlideFlush = 1e-25;

// Helpers shared by the sinc and the linear voices.
inline double ClampValue(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Adding and removing the flush value sends denormal glide remainders to 0.
inline double FlushGlide(double v) {
    v += kGlideFlush;
    return v - kGlideFlush;
}

// One glide step toward the target by a smoothing factor (or by its n-th
// power for n steps).
inline double GlideToward(double value, double target, double factor) {
    return FlushGlide((value - target) * factor + target);
}

// Frames the sinc voice renders at a time; the smoothing powers cover one block.
inline constexpr int kBlockFrames = 128;

// The smoothing factors of one output rate and their powers 0..kBlockFrames.
struct Smoothing {
    double sampleRate = 0.0;
    double glide, attack, sustain, release;
    double glidePow[kBlockFrames + 1], attackPow[kBlockFrames + 1], sustainPow[kBlockFrames + 1],
        releasePow[kBlockFrames + 1];
};

// The factors of this output rate, kept per thread for the rate last used
// (worked out again only when the rate changes; no allocation).
const Smoothing& SmoothingFor(double sampleRate);

// The level the envelope heads for in a stage: 1 while it attacks, the
// sustain level after that, 0 while it releases.
inline double EnvelopeGoal(int32_t stage) {
    return stage == kStageRelease ? 0.0 : (stage == kStageSustain ? kSustainLevel : 1.0);
}

// One frame of the envelope: the value moves toward its stage's goal, the
// attack turns into the sustain at kAttackDone and the release ends at
// kReleaseDone. Returns the envelope gain of the frame.
inline double StepEnvelope(int32_t& stage, double& value, const Smoothing& s) {
    if (stage == kStageOff) return 0.0;
    const double factor = stage == kStageAttack ? s.attack : (stage == kStageSustain ? s.sustain : s.release);
    const double goal = EnvelopeGoal(stage);
    value = (value - goal) * factor + goal;
    if (stage == kStageAttack && value >= kAttackDone) stage = kStageSustain;
    if (stage == kStageRelease && value <= kReleaseDone) {
        value = 0.0;
        stage = kStageOff;
    }
    return value;
}

// The gain a voice of the track glides to: the channel's volume moved by the
// tremolo, times the track's mixer volume.
double VoiceVolumeTarget(const TrackSettings& track);

// The rate (source frames per output frame) the voice glides to, from its
// pitch, the channel's vibrato and arpeggio and the sample's tuning; a voice
// just started takes it at once. SANITY: a damaged source rate (zero,
// negative, not a number) plays nothing, and no voice runs faster than
// kMaxVoiceRate, so the 32.32 step and the positions stay inside their ranges.
double AimVoiceRate(Voice& voice, const Sample& sample, const TrackSettings& track, double sampleRate);

// A sample's loop as the voices play it. SANITY: a loop that does not lie
// inside the sample is cut to fit, so no read leaves the channel buffers and
// their guards, and an unknown loop mode plays as no loop.
struct VoiceLoop {
    int64_t start, length, end;
    int mode;  // 0 none, 1 forward, 2 ping-pong
};
VoiceLoop LoopOf(const Sample& sample, int64_t frames);

// Maps a frame into a forward loop.
inline int64_t WrapIntoLoop(int64_t p, int64_t loopStart, int64_t loopLength) {
    if (loopLength < 1) return loopStart;
    int64_t r = (p - loopStart) % loopLength;
    if (r < 0) r += loopLength;
    return loopStart + r;
}

inline constexpr int kSincCutoffs = 32;
inline constexpr int kSincPhases = 256;
inline constexpr int kSincTaps = 16;
// The interpolator reads this many frames before the read position and as
// many after it.
inline constexpr int kSincReach = 8;

// Fastest playback rate a voice may reach, in source frames per output frame.
inline constexpr double kMaxVoiceRate = 65536.0;
// Largest start offset in frames that a voice accepts.
inline constexpr int32_t kMaxStartOffset = 1 << 30;

// Weight of tap i for phase j under cutoff set k: SincTable[k][j][i]; made
// and filled once by BuildEngineTables.
extern double (*SincTable)[kSincPhases][kSincTaps];
// One period of a sine scaled to 255, truncated toward zero.
extern int32_t SineTable[64];

// Builds the sinc and sine tables; only the first call does any work. It also
// picks the AVX2 frame loop where the processor has AVX2 and FMA.
void BuildEngineTables();

// Main thread, player stopped. Turns the AVX2 frame loop on (where available)
// or off; returns whether it is in use. Where the processor has AVX-512 too,
// its build of the loop runs in place of the AVX2 one.
bool SetWideMixer(bool wanted);

// Main thread, player stopped. Allows (the default) or forbids the AVX-512
// build of the frame loop; returns whether it is in use.
bool SetWidestMixer(bool wanted);

// exp(-ln(1000) / (seconds x sampleRate)): the one-pole factor that covers 60 dB
// of its distance in the given time.
double SmoothingCoefficient(double seconds, double sampleRate);

// One interpolated value. window points at the frame 8 before the integer read
// position and must have 17 readable frames.
double InterpolateFrame(const double* window, int cutoffSet, uint32_t fraction);

// Starts one voice on one sample slot. startOffset >= 0 is a frame; -p means
// p/256 of the sample's length. `gain` scales the voice's volume (a preview
// played from a MIDI keyboard, by its velocity).
void StartVoice(AppState& app, Voice& voice, int track, int instrument, int slot, int note,
                int transpose, int32_t startOffset, double gain = 1.0);

// Attack and Sustain become Release; Off and Release are left alone.
void ReleaseVoice(Voice& voice);

// Every voice Off at once, without a release.
void SilenceAllVoices(AppState& app);

// Releases every busy voice of the track.
void ReleaseTrackVoices(AppState& app, int track);

// Starts one voice per playable slot of the instrument whose key and velocity
// ranges hold the note, each on the lowest free voice; slots without a free
// voice are skipped. Returns the number of voices started.
int StartNoteVoices(AppState& app, int track, int instrument, int note, int transpose,
                    int velocity, int32_t startOffset, double gain = 1.0);

// Adds n frames of the voice into left and right.
void RenderVoice(Voice& voice, double* left, double* right, int n, Song& song, double sampleRate);

// The earlier build's voice: linear interpolation between neighbouring frames
// and the track's two-way pan switch; otherwise as RenderVoice.
void RenderVoiceLinear(Voice& voice, double* left, double* right, int n, Song& song, double sampleRate);

// Mixes every busy voice, track by track, into mixLeft/mixRight[offset..offset+n)
// and raises the track meters.
void MixChunk(AppState& app, int offset, int n, double sampleRate);

// Number of busy voices.
int BusyVoiceCount(const AppState& app);

}  // namespace zelmora
