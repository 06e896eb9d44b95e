// Mixer and render costs, each reported in ns per voice-frame by the
// "ns_per_frame" counter (the equaliser's share is the "eq" argument's
// difference), and the cost of composing one whole frame of the screen.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "engine/master_bus.h"
#include "engine/mixer.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "ui/screen.h"

namespace zelmora {
namespace {

constexpr int kFrames = 256;
constexpr double kRate = 48000.0;

// 32 tracks at 48 kHz with the EQ gains set; instrument 1 holds a looped sample
// whose source rate gives `rate` at note 60.
std::unique_ptr<AppState> MakeBenchApp(int channels, double rate) {
    AppState::Options options;
    options.measureCycleRate = false;
    auto app = AppState::Create(options);
    app->settings.sampleRate = kRate;
    app->asioHost.preferredSize = kFrames;
    app->song.masterVolume = 64;
    app->song.trackCount = 32;
    for (int b = 0; b < kEqBands; ++b) app->song.eqGains[b] = static_cast<int8_t>(b * 4 - 28);
    Sample& s = app->song.instruments[1].samples[0];
    s.frames = 96000;
    s.channels = channels;
    s.loopMode = 1;
    s.loopStart = 1000;
    s.loopLength = 90000;
    s.sampleRate = kRate * rate;
    app->AllocateSampleAudio(s);
    for (int c = 0; c < channels; ++c)
        for (int f = 0; f < s.frames; ++f) s.audio[c][kSampleGuard + f] = std::sin(f * 0.013 + c) * 0.5;
    return app;
}

void SetFrameCounter(benchmark::State& state, double framesPerIteration) {
    state.counters["ns_per_frame"] =
        benchmark::Counter(framesPerIteration * 1e-9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Picks the frame loop: 0 plain, 1 AVX2, 2 AVX-512; false where the processor lacks it.
bool UseFrameLoop(int64_t level) {
    return SetWideMixer(level >= 1) == (level >= 1) && SetWidestMixer(level >= 2) == (level >= 2);
}

// args: channels, rate x 10, frame loop
void BM_RenderVoice(benchmark::State& state) {
    if (!UseFrameLoop(state.range(2))) return state.SkipWithError("no such frame loop here");
    auto app = MakeBenchApp(static_cast<int>(state.range(0)), state.range(1) / 10.0);
    Voice& v = app->voices[0];
    StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
    std::vector<double> l(kFrames), r(kFrames);
    for (auto _ : state) {
        RenderVoice(v, l.data(), r.data(), kFrames, app->song, kRate);
        benchmark::DoNotOptimize(l.data());
        benchmark::DoNotOptimize(r.data());
    }
    SetFrameCounter(state, kFrames);
}
BENCHMARK(BM_RenderVoice)
    ->ArgsProduct({{1, 2}, {10, 15, 30}, {0, 1, 2}})
    ->ArgNames({"channels", "rate_x10", "loop"});

// args: busy voices, EQ on, frame loop
void BM_RenderBuffer(benchmark::State& state) {
    if (!UseFrameLoop(state.range(2))) return state.SkipWithError("no such frame loop here");
    const int voices = static_cast<int>(state.range(0));
    auto app = MakeBenchApp(2, 1.5);
    app->song.eqOn = state.range(1) != 0;
    for (int i = 0; i < voices; ++i) PreviewNoteOn(*app, i % 32, 1, 60, 0, 127, i * 97);
    for (auto _ : state) {
        RenderBuffer(*app);
        benchmark::DoNotOptimize(app->mixLeft);
    }
    if (BusyVoiceCount(*app) != voices) state.SkipWithError("voices stopped");
    SetFrameCounter(state, static_cast<double>(kFrames) * voices);
}
BENCHMARK(BM_RenderBuffer)->ArgsProduct({{1, 32, 128}, {0, 1}, {0, 1, 2}})->ArgNames({"voices", "eq", "loop"});

// One whole frame with 32 busy tracks of notes and effects in view.
void ComposeFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    Skin skin;
    skin.width = skin::kSkinWidth;
    skin.height = skin::kSkinHeight;
    skin.pixels.assign(static_cast<size_t>(skin.width) * skin.height, 0x405060);
    AppState::Options options;
    options.measureCycleRate = false;
    auto app = AppState::Create(options);
    app->song.trackCount = 32;
    for (int r = 0; r < 64; ++r)
        for (int t = 0; t < 32; ++t) {
            PatternCell& cell = app->song.patterns[0].cells[r][t];
            cell = PatternCell{49, 1, {}};
            for (int k = 0; k < kCellEffects; ++k) {
                CellCommand(cell, k) = k == 0 ? 10 : 4;
                CellParameter(cell, k) = k == 0 ? 0x20 : 0x88;
            }
        }
    app->screenPage = static_cast<int>(state.range(2));
    std::unique_ptr<Canvas> canvas;
    FitBackBuffer(canvas, width, height, skin);
    for (auto _ : state) {
        ComposeScreen(*app, *canvas, width, height);
        benchmark::DoNotOptimize(canvas->Pixels());
    }
}
BENCHMARK(ComposeFrame)
    ->Args({3840, 2160, 1})
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 4})
    ->Args({1024, 768, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zelmora
