// Platform services for Windows.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "app/settings.h"
#include "platform/platform.h"

namespace zelmora {

char PathSeparator() { return '\\'; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string HomeFolder() {
    if (const char* profile = std::getenv("USERPROFILE"); profile && *profile) return profile;
    const char* drive = std::getenv("HOMEDRIVE");
    const char* path = std::getenv("HOMEPATH");
    if (drive && path && *path) return std::string(drive) + path;
    return {};
}

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

std::string AutosaveFolder() {
    const char* local = std::getenv("LOCALAPPDATA");
    return local && *local ? std::string(local) + "\\Zelmora\\autosave" : std::string();
}

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

namespace {

// The file a path finally names when it is a symbolic link (or another
// reparse point leading to a file); the path itself otherwise.
std::string FollowLinks(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    const HANDLE target = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) return path;
    char final[MAX_PATH + 8] = {};
    const DWORD n = GetFinalPathNameByHandleA(target, final, MAX_PATH + 4, FILE_NAME_NORMALIZED);
    CloseHandle(target);
    if (n == 0 || n >= MAX_PATH + 4) return path;
    std::string resolved(final, n);
    if (resolved.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + resolved.substr(8);
    if (resolved.rfind("\\\\?\\", 0) == 0) return resolved.substr(4);
    return resolved;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return ".";
    return path.substr(0, cut == 0 || (cut == 2 && path[1] == ':') ? cut + 1 : cut);
}

}  // namespace

bool WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    const std::string destination = FollowLinks(path);
    std::string folder = FolderOf(destination);
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    std::string temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder + "~zm";
        for (int i = 0; i < 6; ++i) temporary += kLetters[random() % (sizeof kLetters - 1)];
        handle = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (handle == INVALID_HANDLE_VALUE) return false;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_WRONLY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileA(temporary.c_str());
        return false;
    }
    FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        DeleteFileA(temporary.c_str());
        return false;
    }
    bool ok = FillStream(file, write) && FlushFileBuffers(handle);
    ok = std::fclose(file) == 0 && ok;
    if (ok) ok = MoveFileExA(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zelmora
