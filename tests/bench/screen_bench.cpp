// Cost of composing one whole frame of the screen, with 32 busy tracks of
// notes and effects in view.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/app_state.h"
#include "ui/screen.h"

namespace zelmora {
namespace {

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
