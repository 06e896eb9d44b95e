// The pattern editor's keyboard: key down and key up with Windows
// virtual-key codes, and the one text field. Main thread.
#pragma once

#include <cstdint>

namespace zelmora {

struct AppState;

// Virtual-key codes the handlers know.
namespace vk {
inline constexpr int kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11;
inline constexpr int kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
inline constexpr int kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kDelete = 0x2E;
inline constexpr int kF1 = 0x70;  // F1..F12 are kF1 + 0..11
inline constexpr int kOemComma = 0xBC, kOemMinus = 0xBD, kOemPeriod = 0xBE;
}  // namespace vk

struct KeyModifiers {
    bool shift = false;
    bool ctrl = false;
};

void KeyDown(AppState& app, int virtualKey, bool repeat, KeyModifiers modifiers);
void KeyUp(AppState& app, int virtualKey);
// The window lost the keyboard: every note a key still holds is released (the
// key's own release will not arrive) and HeldNotes is cleared.
void ReleaseHeldNotes(AppState& app);

// The note keys' steps, for the other note sources (MIDI keyboards): the
// cursor brought back onto the pattern, the cell under it, one edit step
// down, and the held notes written into the cell as a chord.
struct PatternCell;
void KeepCursorOnPattern(AppState& app);
PatternCell& CellUnderCursor(AppState& app);
void StepCursorRow(AppState& app);
void EnterHeldChord(AppState& app);

// Opens a text field over target (size bytes) at screen position x, y with the
// caret under the last stored mouse position.
void OpenTextField(AppState& app, char* target, int x, int y, int size);
void CloseTextField(AppState& app);

}  // namespace zelmora
