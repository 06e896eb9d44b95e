// The earlier build's voice: each output value is a straight line between the
// two frames around the read position, and the track's pan switch sends a
// fixed share of the signal to either side. The targets, the envelope, the
// glides and the loop bounds are the sinc voice's own helpers (mixer.h), with
// the glide time and sustain level of the profile.
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
    const Smoothing& sm = SmoothingFor(sampleRate);
    const double volumeTarget = VoiceVolumeTarget(ts);
    const double rateTarget = AimVoiceRate(v, s, ts, sampleRate);

    // The pan switch replaces the pan law: the channel's and the sample's pan
    // bytes have no say here.
    const bool toRight = ts.reserved2 != kPanSwitchLeft;
    const double gainLeft = toRight ? profile::kPanFar : profile::kPanNear;
    const double gainRight = toRight ? profile::kPanNear : profile::kPanFar;

    const bool stereo = s.channels >= 2;
    const double* dataL = s.audio[0] + kSampleGuard;
    const double* dataR = s.audio[stereo ? 1 : 0] + kSampleGuard;

    const VoiceLoop loop = LoopOf(s, frames);
    const int64_t loopStart = loop.start, loopLength = loop.length, loopEnd = loop.end;
    const int mode = loop.mode;

    int64_t pos = static_cast<int64_t>(v.position) * 4294967296LL + v.positionFraction;
    for (int i = 0; i < n; ++i) {
        v.step = static_cast<uint64_t>(static_cast<int64_t>(v.rate * 4294967296.0));
        if (v.rate != rateTarget) v.rate = GlideToward(v.rate, rateTarget, sm.glide);
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

        const double e = StepEnvelope(v.envelopeStage, v.envelopeValue, sm);
        const double gain = e * v.volume;
        left[i] += xl * gain * gainLeft;
        right[i] += xr * gain * gainRight;
        if (v.envelopeStage < kStageRelease && v.volume != volumeTarget)
            v.volume = GlideToward(v.volume, volumeTarget, sm.glide);
        if (v.envelopeStage == kStageOff) break;
    }
    v.position = static_cast<int32_t>(pos >> 32);
    v.positionFraction = static_cast<uint32_t>(pos);
}

}  // namespace zelmora
