// The system's folder choosers, in the shape of ShellServices::chooseFolder:
// folder holds the start folder and receives the chosen one (size bytes);
// true when a folder was chosen, false on a cancel (status empty) or when no
// chooser could be shown or its answer cannot be used (status says why).
#pragma once

#include <cstddef>

namespace zelmora {

// Linux and other POSIX desktops: zenity, else kdialog, run as a child process.
bool ChooseFolderPosix(char* folder, std::size_t size, char* status, std::size_t statusSize);

// Windows: the shell's folder dialog.
bool ChooseFolderWin32(char* folder, std::size_t size, char* status, std::size_t statusSize);

}  // namespace zelmora
