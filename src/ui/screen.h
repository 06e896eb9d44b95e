// Composing the tracker's screen into a canvas, and the drawing half of the
// 16 ms tick. Everything here runs on the main thread.
#pragma once

#include "ui/canvas.h"

namespace zelmora {

struct AppState;

inline constexpr int kBackBufferSize = 2048;
inline constexpr int kMinClientWidth = 590;
inline constexpr int kMinClientHeight = 600;

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
