// The narrow interface the portable core asks of the operating system. Each
// platform folder implements it; nothing else in the core includes an OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zelmora {

// The separator used to join a folder and a file name.
char PathSeparator();

// Whether c separates folders in a path: '/' everywhere, and '\\' on Windows
// only (elsewhere it is an ordinary character of a file name).
bool IsPathSeparator(char c);

// The user's own folder (the home folder, the profile on Windows), or empty
// when the system names none.
std::string HomeFolder();

// Writes the process's current directory (NUL-terminated, cut to fit).
void CurrentDirectory(char* buffer, std::size_t size);

// The full path of the running executable, or empty when it cannot be had.
std::string ExecutablePath();

// Where the settings file lives on this system.
std::string SettingsFilePath();

// The folder autosaves go to (not created here); empty when the system names
// no place for it.
std::string AutosaveFolder();

// One entry of a folder listing.
struct DirectoryEntry {
    std::string name;
    bool directory = false;
    uint64_t size = 0;
};

// Lists every entry of folder except "." and ".." into entries (cleared
// first); false when the folder cannot be searched. Windows gives the file
// system's order; POSIX systems sort by name, ignoring case.
bool ListDirectory(const char* folder, std::vector<DirectoryEntry>& entries);

// A block for one very large, long-lived object (the program state, some
// 23 MB of fixed song tables), or null when the system cannot supply it. Where
// the system offers huge pages it asks for them, so clearing the block costs a
// dozen page faults instead of thousands. Released with FreeLarge.
void* AllocateLarge(std::size_t size);
void FreeLarge(void* block, std::size_t size);

// Replaces `to` with `from`, also when `to` exists; false when that fails.
bool RenameOver(const std::string& from, const std::string& to);

// Length of the name (without its folder) of the temporary file WriteFileSafely
// makes beside its destination: "." or "~", "zm", then six random characters.
inline constexpr std::size_t kTemporaryNameLength = 9;

// Writes the file at `path` so that no failure loses what was there: `write`
// fills a new temporary file in the same folder (created exclusively, under a
// name no other writer holds), which is flushed to the disk and then renamed
// over the destination. A destination that is a symbolic link stays one: the
// file it leads to is replaced, and the replaced file's permission bits are
// kept. On any failure (also `write` returning false) the previous file is
// untouched, the temporary file is removed and false is returned.
bool WriteFileSafely(const std::string& path, const std::function<bool(std::FILE*)>& write);

// The middle of WriteFileSafely on every system: `write` fills the stream (an
// exception from it counts as a failure), and the stream is flushed.
inline bool FillStream(std::FILE* file, const std::function<bool(std::FILE*)>& write) {
    bool ok = false;
    try {
        ok = write(file);
    } catch (...) {
        ok = false;
    }
    return ok && std::fflush(file) == 0 && !std::ferror(file);
}

}  // namespace zelmora
