// The window's keys and mouse as a musician uses them: presses, clicks, drags
// and held buttons, each sent through the handlers in the order the shell sends them.
#pragma once

#include "app/app_state.h"
#include "ui/keyboard.h"
#include "ui/mouse.h"
#include "ui/screen.h"

namespace zelmora {

inline constexpr KeyModifiers kNone{}, kShift{true, false}, kCtrl{false, true}, kCtrlShift{true, true};

// A key pressed and held (the note keys sound until KeyUp).
inline void Press(AppState& app, int key, KeyModifiers mods = kNone) { KeyDown(app, key, false, mods); }

// A key pressed and released.
inline void Key(AppState& app, int key, KeyModifiers mods = kNone) {
    KeyDown(app, key, false, mods);
    KeyUp(app, key);
}

inline void Click(AppState& app, int x, int y, int button = 0, bool doubleClick = false) {
    MouseDown(app, x, y, button, doubleClick);
    MouseUp(app, x, y, button);
}

// Pressed at (x, y), moved halfway and on to (toX, toY), released there.
inline void Drag(AppState& app, int x, int y, int toX, int toY, bool doubleClick = false) {
    MouseDown(app, x, y, 0, doubleClick);
    MouseMove(app, (x + toX) / 2, (y + toY) / 2);
    MouseMove(app, toX, toY);
    MouseUp(app, toX, toY, 0);
}

// A drag straight up (dy < 0) or down.
inline void DragBy(AppState& app, int x, int y, int dy, bool doubleClick = false) {
    Drag(app, x, y, x, y + dy, doubleClick);
}

// The button held over (x, y) for `ticks` ticks of 16 ms.
inline void Hold(AppState& app, int x, int y, int ticks) {
    MouseDown(app, x, y, 0, false);
    for (int t = 0; t < ticks; ++t) TickAutorepeat(app);
    MouseUp(app, x, y, 0);
}

}  // namespace zelmora
