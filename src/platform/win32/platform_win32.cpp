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

bool ListDirectory(const char* folder, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    const std::size_t length = std::strlen(folder);
    const bool separated = length > 0 && (folder[length - 1] == '\\' || folder[length - 1] == '/');
    const std::string pattern = std::string(folder) + (separated ? "*.*" : "\\*.*");
    if (pattern.size() >= MAX_PATH) return false;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        DirectoryEntry entry;
        entry.name = found.cFileName;
        entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entries.push_back(std::move(entry));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

void* AllocateLarge(std::size_t size) {
    // Committed pages from VirtualAlloc arrive zeroed and are only backed when touched.
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLarge(void* block, std::size_t) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace zelmora
