// Platform services for POSIX systems (the SDL shell's side of the core).
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/settings.h"
#include "platform/platform.h"

namespace zelmora {

char PathSeparator() { return '/'; }

void CurrentDirectory(char* buffer, std::size_t size) {
    if (size == 0) return;
    if (!getcwd(buffer, size)) buffer[0] = '\0';
    buffer[size - 1] = '\0';
}

std::string ExecutablePath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return path;
}

std::string SettingsFilePath() {
    return SettingsPathFromConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool ListDirectory(const char* folder, std::vector<DirectoryEntry>& entries) {
    namespace fs = std::filesystem;
    entries.clear();
    std::error_code error;
    fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, error);
    if (error) return false;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error) break;
        DirectoryEntry entry;
        entry.name = it->path().filename().string();
        std::error_code ignored;
        entry.directory = it->is_directory(ignored);  // a link to a folder counts as one
        if (!entry.directory && it->is_regular_file(ignored)) {
            const auto size = it->file_size(ignored);
            entry.size = ignored ? 0 : static_cast<uint64_t>(size);
        }
        entries.push_back(std::move(entry));
    }
    // SANITY: the file system returns names in no particular order; sorted by
    // name, ignoring case (exact spelling breaks ties), the folders and files
    // groups read as they do on Windows once the folders are put first.
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
        const int order = strcasecmp(a.name.c_str(), b.name.c_str());
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return true;
}

void* AllocateLarge(std::size_t size) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* block = std::aligned_alloc(kHugePage, rounded);
#if defined(MADV_HUGEPAGE)
    if (block) madvise(block, rounded, MADV_HUGEPAGE);  // a hint: refused where huge pages are off
#endif
    return block;
}

void FreeLarge(void* block, std::size_t) { std::free(block); }

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace zelmora
