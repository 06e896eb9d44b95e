// What the input handlers ask of the window shell. The shell fills these in
// at start-up; left empty (as in tests and zelmora-render) they do nothing.
#pragma once

#include <cstddef>

namespace zelmora {

enum class CursorShape { kArrow, kControl, kHourglass };

struct ShellServices {
    // The main window's handle, handed to the audio driver on a start.
    void* window = nullptr;
    void (*captureMouse)(bool capture) = nullptr;
    void (*setCursor)(CursorShape shape) = nullptr;
    // Shows the system's folder chooser starting at folder; true with the chosen
    // folder's full path in folder (size bytes), false when cancelled or when
    // there is none (then status holds why, or is empty for a cancel).
    bool (*chooseFolder)(char* folder, std::size_t size, char* status, std::size_t statusSize) = nullptr;
    // Closes and opens the MIDI inputs again, finding devices added since.
    void (*reopenMidi)() = nullptr;
};

ShellServices& Shell();

void ShellCaptureMouse(bool capture);
void ShellSetCursor(CursorShape shape);

}  // namespace zelmora
