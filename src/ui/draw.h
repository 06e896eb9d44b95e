// Shared pieces of the screen's drawing: the display tables, number fields
// and the meters. Main thread (the meters also from the tick).
#pragma once

#include <atomic>
#include <cstdint>

#include "ui/canvas.h"

namespace zelmora {

struct AppState;

// "C-0" .. "G-A" for note bytes 1..128, "---" for 0, "Off", "Mid", "Res" for
// 129..131; anything above shows "???".
const char* NoteName(int noteByte);

// Two upper-case hexadecimal digits; 256 reads "!0". Values outside 0..256
// show their low byte.
void DrawHex(Canvas& canvas, int x, int y, int value, int style);

// A fixed text field: exactly count glyphs of it (zeros show as blank cells),
// never reading past size.
void DrawField(Canvas& canvas, int x, int y, const char* field, int size, int count, int style);

// Lit height of a peak level: 29 pixels a decade, 87 for full scale.
int MeterHeight(double level);

// One stereo meter at (x, y) (left column at x, right at x + 6, bottom at
// y + 87); lowers both levels by 0.75 after drawing.
void DrawStereoMeter(Canvas& canvas, int x, int y, std::atomic<double>& left, std::atomic<double>& right,
                     int32_t& holdLeft, int32_t& holdRight, uint32_t tick, bool background);

// The processor-load bar; lowers the value by 0.01 after drawing.
void DrawLoadMeter(Canvas& canvas, int x, int y, std::atomic<double>& value, int32_t& hold, uint32_t tick,
                   bool background);

// A fader knob at (x, y) over its shadow, blended 2 pixels lower right.
void DrawFader(Canvas& canvas, int x, int y);

// Panels of the top band and the pattern editor, in the order they are drawn.
void DrawPlaylist(AppState& app, Canvas& canvas);
void DrawSequencer(AppState& app, Canvas& canvas);
void DrawLists(AppState& app, Canvas& canvas);
void DrawToolbar(AppState& app, Canvas& canvas);
void DrawPage(AppState& app, Canvas& canvas);
void DrawPatternEditor(AppState& app, Canvas& canvas, int width, int height);

// The first track slot of the pattern view after following the cursor.
int FollowCursorTrack(AppState& app, int width);

// Track slot geometry of the pattern view.
inline int TrackSlotCount(int width) { return (width - 78) / 126 + 1; }
inline int CursorRowLine(int height) { return (height - 464) / 2 + 334; }

}  // namespace zelmora
