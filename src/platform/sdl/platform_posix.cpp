// Platform services for POSIX systems (the SDL shell's side of the core).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace zelmora
