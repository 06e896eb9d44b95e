// Platform services for Windows.
#include <windows.h>

#include <cstring>

#include "app/settings.h"
#include "platform/platform.h"

namespace zelmora {

char PathSeparator() { return '\\'; }

void CurrentDirectory(char* buffer, std::size_t size) {
    if (size == 0) return;
    const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    if (n == 0 || n >= size) buffer[0] = '\0';
    buffer[size - 1] = '\0';
}

std::string ExecutablePath() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return path;
}

std::string SettingsFilePath() { return SettingsPathFromExecutable(ExecutablePath()); }

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace zelmora
