// The earlier build's voice: each output value is a straight line between the
// two frames around the read position, and the track's pan switch sends a
// fixed share of the signal to either side. Envelope, glides and loops work as
// in the sinc voice, with the glide time and sustain level of the profile.
#include <cmath>

#include "app/app_state.h"
#include "engine/mixer.h"

namespace zelmora {

void RenderVoiceLinear(Voice& v, double* left, double* right, int n, Song& song, double sampleRate) {
    Sample& s = song.instruments[v.instrument & 255].samples[v.sampleSlot & 255];
    const int64_t frames = UsableFrames(s);
    if (frames == 0) {
        v.envelopeStage = kStageOff;
        return;
    }
    const TrackSettings& ts = song.tracks[v.track & 31];
    const ChannelState& c = ts.channel;

    const double glide = SmoothingCoefficient(kGlideSeconds, sampleRate);
    const double attack = SmoothingCoefficient(kAttackSeconds, sampleRate);
    const double sustain = SmoothingCoefficient(kSustainSeconds, sampleRate);
    const double release = SmoothingCoefficient(kReleaseSeconds, sampleRate);

    const double mixer = ts.mixerVolume;
    const double volumeTarget =
        ClampValue(c.volume + c.tremoloDepth * SineTable[c.tremoloPosition & 63] / 128.0, 0.0, 64.0) / 64.0 *
        (mixer * mixer / 4096.0);
    const double pitch = c.vibratoDepth * SineTable[c.vibratoPosition & 63] / 3825.0 + c.arpeggioOffset +
                         s.coarseTune + s.fineTune * 0.01 - s.baseNote + v.transpose + v.pitch;
    double rateTarget = std::pow(2.0, pitch / 12.0) * s.sampleRate / sampleRate;
    // SANITY: as in the sinc voice, a damaged source rate plays nothing and no
    // voice outruns kMaxVoiceRate, so the 32.32 arithmetic stays in range.
    if (!(rateTarget > 0.0)) rateTarget = 0.0;
    if (rateTarget > kMaxVoiceRate) rateTarget = kMaxVoiceRate;
    if (v.snapRate) v.rate = rateTarget;
    v.snapRate = 0;

    // The pan switch replaces the pan law: the channel's and the sample's pan
    // bytes have no say here.
    const bool toRight = ts.reserved2 != kPanSwitchLeft;
    const double gainLeft = toRight ? profile::kPanFar : profile::kPanNear;
    const double gainRight = toRight ? profile::kPanNear : profile::kPanFar;

    const bool stereo = s.channels >= 2;
    const double* dataL = s.audio[0] + kSampleGuard;
    const double* dataR = s.audio[stereo ? 1 : 0] + kSampleGuard;

    // SANITY: a loop that does not lie inside the sample is cut to fit.
    int64_t loopStart = s.loopStart < 0 ? 0 : s.loopStart;
    if (loopStart > frames) loopStart = frames;
    int64_t loopLength = s.loopLength < 0 ? 0 : s.loopLength;
    if (loopLength > frames - loopStart) loopLength = frames - loopStart;
    const int64_t loopEnd = loopStart + loopLength;
    const int mode = (s.loopMode == 1 || s.loopMode == 2) ? s.loopMode : 0;

    int64_t pos = static_cast<int64_t>(v.position) * 4294967296LL + v.positionFraction;
    for (int i = 0; i < n; ++i) {
        v.step = static_cast<uint64_t>(static_cast<int64_t>(v.rate * 4294967296.0));
        if (v.rate != rateTarget) v.rate = FlushGlide((v.rate - rateTarget) * glide + rateTarget);
        const int64_t ip = pos >> 32;
        const double t = static_cast<uint32_t>(pos) * (1.0 / 4294967296.0);
        // The frame at the read position and its right-hand neighbour. The
        // guard frames after the end read as silence; a forward loop's last
        // frame leads back to its first.
        int64_t a = ip, b = ip + 1;
        bool audible = ip >= 0 && ip < frames;
        if (mode == 1) {
            a = ip >= loopEnd ? WrapIntoLoop(ip, loopStart, loopLength) : ip;
            b = a + 1 >= loopEnd ? loopStart : a + 1;
            audible = a >= 0 && a < frames;
        }
        double xl = 0.0, xr = 0.0;
        if (audible) {
            xl = dataL[a] + (dataL[b] - dataL[a]) * t;
            xr = stereo ? dataR[a] + (dataR[b] - dataR[a]) * t : xl;
        }

        if (mode == 0) {
            pos += static_cast<int64_t>(v.step);
            if ((pos >> 32) >= frames) {
                pos = frames * 4294967296LL;
                ReleaseVoice(v);
            }
        } else if (mode == 1) {
            pos += static_cast<int64_t>(v.step);
            const int64_t np = pos >> 32;
            if (np >= loopEnd) {
                v.loopWrapped = 1;
                pos = WrapIntoLoop(np, loopStart, loopLength) * 4294967296LL + static_cast<uint32_t>(pos);
            }
        } else if (!v.pingPongBackward) {
            pos += static_cast<int64_t>(v.step);
            if ((pos >> 32) >= loopEnd) {
                pos = 2 * loopEnd * 4294967296LL - pos;
                v.pingPongBackward = 1;
            }
        } else {
            pos -= static_cast<int64_t>(v.step);
            if ((pos >> 32) <= loopStart) {
                pos = 2 * loopStart * 4294967296LL - pos;
                v.pingPongBackward = 0;
            }
        }

        double e = 0.0;
        if (v.envelopeStage == kStageAttack) {
            v.envelopeValue = (v.envelopeValue - 1.0) * attack + 1.0;
            if (v.envelopeValue >= kAttackDone) v.envelopeStage = kStageSustain;
            e = v.envelopeValue;
        } else if (v.envelopeStage == kStageSustain) {
            v.envelopeValue = (v.envelopeValue - kSustainLevel) * sustain + kSustainLevel;
            e = v.envelopeValue;
        } else if (v.envelopeStage == kStageRelease) {
            v.envelopeValue *= release;
            if (v.envelopeValue <= kReleaseDone) {
                v.envelopeValue = 0.0;
                v.envelopeStage = kStageOff;
            }
            e = v.envelopeValue;
        }
        const double gain = e * v.volume;
        left[i] += xl * gain * gainLeft;
        right[i] += xr * gain * gainRight;
        if (v.envelopeStage < kStageRelease && v.volume != volumeTarget)
            v.volume = FlushGlide((v.volume - volumeTarget) * glide + volumeTarget);
        if (v.envelopeStage == kStageOff) break;
    }
    v.position = static_cast<int32_t>(pos >> 32);
    v.positionFraction = static_cast<uint32_t>(pos);
}

}  // namespace zelmora
