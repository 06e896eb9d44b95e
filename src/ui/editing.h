// Everyday editing beyond the pattern editor's own keys: the block selection
// and its clipboard, the pattern view under the mouse (cells, mute and solo
// lights, the mixer faders). Every change goes through the edit history. Main
// thread; the full build only.
#pragma once

#include <cstdint>

namespace zelmora {

struct AppState;

// The selection's rows r0..r1 and tracks t0..t1 in the current pattern,
// clipped to the pattern and the track count; false when there is none there.
bool SelectionBounds(const AppState& app, int& r0, int& r1, int& t0, int& t1);

// A Shift+cursor key: the selection begins where the cursor was (row, track)
// when none is shown, and reaches to where the cursor is now.
void ExtendSelection(AppState& app, int fromRow, int fromTrack);
void SelectAll(AppState& app);

// Ctrl+C / Ctrl+X, Ctrl+V (top-left at the cursor, clipped to the pattern and
// the tracks), Delete on a selection, Ctrl(+Shift)+F1/F2.
void CopyBlock(AppState& app, bool cut);
void PasteBlock(AppState& app);
void ClearBlock(AppState& app);
void TransposeBlock(AppState& app, int semitones);

// The cell of the pattern view under a client point: its track, column and
// row (the row may be outside the pattern). False off the cells.
bool PatternCellAt(const AppState& app, int x, int y, int& track, int& column, int& row);

// The pattern view under the mouse: a press on a cell, a light or a fader
// (true when it took the press), the drag that follows, the release.
bool PatternViewPress(AppState& app, int x, int y, int button, bool doubleClick);
void PatternViewDrag(AppState& app, int x, int y, int dy);
void PatternViewRelease(AppState& app);

// Mute and solo are the editor's, not the song's: they decide which tracks
// the mixer silences.
void ToggleMute(AppState& app, int track);
void ToggleSolo(AppState& app, int track);

}  // namespace zelmora

namespace zelmora {

// The Sample page. The detail view's span (first frame, frames per column) for
// the current slot: the whole sample unless the wheel zoomed it.
struct SampleSpan {
    int64_t first, perColumn;
};
SampleSpan DetailSpan(const AppState& app);
SampleSpan OverviewSpan(const AppState& app);

// The wheel over the detail view zooms around the mouse (n notches, up is in).
void ZoomSampleView(AppState& app, int x, int notches);

// A press on a loop marker of either view, its drag and release; the loop
// label switches the loop mode (none, forward, ping-pong).
bool LoopMarkerPress(AppState& app, int x, int y);
void LoopMarkerDrag(AppState& app, int x);
void SwitchLoopMode(AppState& app);

}  // namespace zelmora
