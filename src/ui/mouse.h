// Mouse handling: one table of regions, the press, move, release and wheel
// handlers and the control actions the tick repeats. Main thread.
#pragma once

namespace zelmora {

struct AppState;

// x, y are client pixels of the event; button 0 left, 1 right.
void MouseDown(AppState& app, int x, int y, int button, bool doubleClick);
void MouseMove(AppState& app, int x, int y);
void MouseUp(AppState& app, int x, int y, int button);
void MouseWheel(AppState& app, int x, int y, int delta);

// The press-and-repeat action of a control id (also run by the autorepeat).
void PerformControlAction(AppState& app, int id);

// True when (x, y) lies over a control of the current screen.
bool OverControl(const AppState& app, int x, int y);

}  // namespace zelmora
