// Composing the tracker's screen into a canvas, and the drawing half of the
// 16 ms tick. Everything here runs on the main thread.
#pragma once

#include <memory>

#include "ui/canvas.h"

namespace zelmora {

struct AppState;

// The earlier build's fixed back buffer; the full build's grows with the
// client up to kMaxBackBufferSide on each side.
inline constexpr int kBackBufferSize = 2048;
inline constexpr int kMaxBackBufferSide = 8192;
inline constexpr int kMinClientWidth = 590;
inline constexpr int kMinClientHeight = 600;

// Integer scaling: a usable desktop of at least N x (1600 x 900) pixels is
// drawn N times larger, N at most kMaxScale.
inline constexpr int kMaxScale = 4;
inline constexpr int kScaledWidth = 1600, kScaledHeight = 900;

// The scale for a usable desktop of width x height pixels: `setting` (the
// ZELMORA_SCALE environment variable, may be null) when it is a number, held
// to 1..4, else the largest N of 1..4 with the desktop / N at least 1600 x 900.
// SANITY: never so large that the desktop / N is below the smallest window
// (590 x 600), which the layout needs. Always 1 in the earlier build.
int ChooseScale(int desktopWidth, int desktopHeight, const char* setting);

// Makes the back buffer large enough for a frame composed at width x height
// (the client / scale): the earlier build's is 2048 x 2048 from the start and
// never changes; the full build's grows (never shrinks) to the frame, at most
// limit x limit (kMaxBackBufferSide, or less where the shell can show no more).
// Returns true when it made a new canvas.
bool FitBackBuffer(std::unique_ptr<Canvas>& canvas, int width, int height, const Skin& skin,
                   int limit = kMaxBackBufferSide);

// The frame as the window shows it at scale n: the top-left width x height of
// the canvas, each pixel an n x n block (nearest neighbour), written to `to`
// (toStride pixels a row, at least n x width x n x height in all). Parts
// beyond the canvas are black.
void ScaleUp(const Canvas& from, int width, int height, int n, uint32_t* to, int toStride);

// Draws one whole frame for a client of width x height (only the part that
// lies inside the canvas shows).
void ComposeScreen(AppState& app, Canvas& canvas, int width, int height);

// The live meters of the tick: track meters (clipped to x < width - 29), the
// master meter and the load meter, with their backgrounds. Returns the
// rectangle that changed, for the shell to present.
Rect DrawLiveMeters(AppState& app, Canvas& canvas, int width, int height);

// The tick's work that is not drawing, in its order: the autorepeat of a held
// control, then (after the shell drew the meters) the redraw request and the
// tick counter. TickAutorepeat before the meters, TickFinish after them;
// TickFinish returns true when the whole screen must be composed again.
void TickAutorepeat(AppState& app);
bool TickFinish(AppState& app);

}  // namespace zelmora
