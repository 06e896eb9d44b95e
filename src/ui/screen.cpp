// One frame of the screen, composed from the skin, and the live meters.
#include "ui/screen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/profile.h"
#include "ui/draw.h"

namespace zelmora {

using skin::PieceId;

int MeterHeight(double level) {
    // Also keeps a level that is not a number from reaching the conversion.
    if (!(level > 0.0)) return 0;
    const double h = std::clamp(29.0 * std::log10(level) + 87.0, 0.0, 87.0);
    return static_cast<int>(h);
}

namespace {

// Peak hold: follows the highest lit height, drops to the present one every
// 64 ticks, and stays one pixel below the top.
void DrawHold(Canvas& canvas, int x, int y, int h, int32_t& hold, uint32_t tick, PieceId line) {
    hold = std::max(hold, h);
    if (tick % 64 == 0) hold = h;
    hold = std::clamp(hold, 0, skin::kMeterHeight - 1);
    canvas.Blit(x, y + skin::kMeterHeight - 1 - hold, line);
}

void DrawMeterColumn(Canvas& canvas, int x, int y, std::atomic<double>& level, int32_t& hold, uint32_t tick,
                     bool background, PieceId unlit, PieceId unlitClip) {
    const double value = level.load(std::memory_order_relaxed);
    const int h = MeterHeight(value);
    if (background) {
        canvas.BlitPart(x, y, unlit, 0, 0, 5, skin::kMeterHeight - h);
        canvas.Blit(x, y - 5, unlitClip);
    }
    canvas.BlitPart(x, y + skin::kMeterHeight - h, PieceId::StereoMeterLit, 0, skin::kMeterHeight - h, 5, h);
    if (value > 1.0) canvas.Blit(x, y - 5, PieceId::ClipLit);
    DrawHold(canvas, x, y, h, hold, tick, PieceId::StereoHoldLine);
    level.store(std::isfinite(value) ? value * 0.75 : 0.0, std::memory_order_relaxed);
}

}  // namespace

void DrawStereoMeter(Canvas& canvas, int x, int y, std::atomic<double>& left, std::atomic<double>& right,
                     int32_t& holdLeft, int32_t& holdRight, uint32_t tick, bool background) {
    DrawMeterColumn(canvas, x, y, left, holdLeft, tick, background, PieceId::MeterUnlitLeft, PieceId::ClipUnlitLeft);
    DrawMeterColumn(canvas, x + 6, y, right, holdRight, tick, background, PieceId::MeterUnlitRight,
                    PieceId::ClipUnlitRight);
}

void DrawLoadMeter(Canvas& canvas, int x, int y, std::atomic<double>& value, int32_t& hold, uint32_t tick,
                   bool background) {
    const double v = value.load(std::memory_order_relaxed);
    const int h = std::isfinite(v) ? static_cast<int>(std::clamp(v * 87.0, 0.0, 87.0)) : 0;
    if (background) canvas.BlitPart(x, y, PieceId::MeterUnlitLeft, 0, 0, 5, skin::kMeterHeight - h);
    canvas.BlitPart(x, y + skin::kMeterHeight - h, PieceId::LoadMeterLit, 0, skin::kMeterHeight - h, 5, h);
    DrawHold(canvas, x, y, h, hold, tick, PieceId::LoadHoldLine);
    value.store(std::isfinite(v) ? std::clamp(v - 0.01, 0.0, 1.0) : 0.0, std::memory_order_relaxed);
}

int ChooseScale(int desktopWidth, int desktopHeight, const char* setting) {
    if constexpr (!profile::kIntegerScaling) return 1;
    int scale = 0;
    if (setting && *setting) {
        char* end = nullptr;
        const long asked = std::strtol(setting, &end, 10);
        if (end != setting && *end == '\0') scale = static_cast<int>(std::clamp<long>(asked, 1, kMaxScale));
    }
    if (scale == 0) {
        scale = 1;
        for (int n = kMaxScale; n > 1 && scale == 1; --n)
            if (desktopWidth / n >= kScaledWidth && desktopHeight / n >= kScaledHeight) scale = n;
    }
    while (scale > 1 && (desktopWidth / scale < kMinClientWidth || desktopHeight / scale < kMinClientHeight))
        --scale;
    return scale;
}

bool FitBackBuffer(std::unique_ptr<Canvas>& canvas, int width, int height, const Skin& skin, int limit) {
    if constexpr (!profile::kGrowingBackBuffer) {
        if (canvas) return false;
        canvas = std::make_unique<Canvas>(kBackBufferSize, kBackBufferSize, skin);
        return true;
    }
    limit = std::clamp(limit, 1, kMaxBackBufferSide);
    const int w = std::clamp(width, 1, limit), h = std::clamp(height, 1, limit);
    if (canvas && canvas->Width() >= w && canvas->Height() >= h) return false;
    const int newW = canvas ? std::max(canvas->Width(), w) : w;
    const int newH = canvas ? std::max(canvas->Height(), h) : h;
    canvas = std::make_unique<Canvas>(newW, newH, skin);
    return true;
}

void ScaleUp(const Canvas& from, int width, int height, int n, uint32_t* to, int toStride) {
    n = std::clamp(n, 1, kMaxScale);
    const int shownW = std::clamp(width, 0, from.Width()), shownH = std::clamp(height, 0, from.Height());
    for (int y = 0; y < height; ++y) {
        uint32_t* row = to + static_cast<std::size_t>(y) * n * toStride;
        if (y < shownH) {
            const uint32_t* source = from.Pixels() + static_cast<std::size_t>(y) * from.Width();
            for (int x = 0; x < shownW; ++x)
                for (int k = 0; k < n; ++k) row[x * n + k] = source[x];
        }
        const int filled = y < shownH ? shownW * n : 0;
        std::fill(row + filled, row + static_cast<std::size_t>(width) * n, 0u);
        for (int k = 1; k < n; ++k)
            std::memcpy(row + static_cast<std::size_t>(k) * toStride, row, sizeof(uint32_t) * width * n);
    }
}

void ComposeScreen(AppState& app, Canvas& canvas, int width, int height) {
    // The mouse's pattern view tests follow the frame last composed.
    app.screenWidth = width;
    app.screenHeight = height;
    canvas.SetClip(Rect{0, 0, width, height});
    DrawPlaylist(app, canvas);
    DrawSequencer(app, canvas);
    DrawLists(app, canvas);
    DrawToolbar(app, canvas);
    DrawPage(app, canvas);
    if (width > 1024) {
        canvas.Blit(1024, 0, PieceId::FillerLeftEdge);
        for (int x = 1030; x < width; x += 64) canvas.Blit(x, 0, PieceId::FillerTile);
        canvas.Blit(width - 1, 0, PieceId::FillerRightEdge);
    }
    DrawPatternEditor(app, canvas, width, height);
    if (app.textEditTarget)
        canvas.Invert(app.textEdit.x + 7 * app.textEdit.caret - 1, app.textEdit.y - 2, 8, 12);
    canvas.ResetClip();
}

Rect DrawLiveMeters(AppState& app, Canvas& canvas, int width, int height) {
    const uint32_t tick = app.tickCounter.load(std::memory_order_relaxed);
    const int W = width, H = height;
    const Rect band{0, H - 120, W, 92};
    canvas.SetClip(Rect{0, 0, std::min(W - 29, W), H});
    const int slots = TrackSlotCount(W);
    const int trackCount = std::clamp<int>(app.song.trackCount, 1, kMaxTracks);
    for (int i = 0; i < slots; ++i) {
        const int track = app.firstShownTrack + i;
        if (track < 0 || track >= trackCount) continue;
        ChannelState& channel = app.song.tracks[track].channel;
        DrawStereoMeter(canvas, 57 + 126 * i, H - 115, channel.peakLeft, channel.peakRight, app.trackHolds[track][0],
                        app.trackHolds[track][1], tick, true);
    }
    canvas.SetClip(Rect{0, 0, W, H});
    if constexpr (profile::kMasterSection) {
        DrawStereoMeter(canvas, 8, H - 115, app.song.meters.peakLeft, app.song.meters.peakRight, app.masterHolds[0],
                        app.masterHolds[1], tick, true);
        DrawLoadMeter(canvas, W - 25, H - 115, app.song.meters.cpuLoad, app.loadHold, tick, true);
    }
    canvas.ResetClip();
    return band;
}

}  // namespace zelmora
