// Platform services for POSIX systems (the SDL shell's side of the core).
#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/settings.h"
#include "platform/platform.h"

namespace zelmora {

char PathSeparator() { return '/'; }

bool IsPathSeparator(char c) { return c == '/'; }

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

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

std::string AutosaveFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/zelmora/autosave";
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/state/zelmora/autosave";
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

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names: symbolic links are followed (a bounded
// number of them, as the system does), also to a file that does not exist yet.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        char target[4096];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) return path;
        target[n] = '\0';
        path = target[0] == '/' ? std::string(target) : FolderOf(path) + "/" + target;
    }
    return path;
}

// A new file in folder under a random name, created exclusively; -1 when none
// can be made.
int CreateUniqueFile(const std::string& folder, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "/.zm";
        for (int i = 0; i < 6; ++i) candidate += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            name = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

void FlushFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

bool WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    const std::string destination = FollowLinks(path);
    const std::string folder = FolderOf(destination);
    std::string temporary;
    const int fd = CreateUniqueFile(folder, temporary);
    if (fd < 0) return false;
    struct stat previous;
    if (stat(destination.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
        fchmod(fd, previous.st_mode & 07777);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    bool ok = FillStream(file, write) && fsync(fileno(file)) == 0;
    ok = std::fclose(file) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), destination.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    FlushFolder(folder);
    return true;
}

}  // namespace zelmora
