// The file browser's folder operations: listing BrowserFolder, walking up and
// down the folder tree, the system's folder chooser and opening a file.
#include "ui/browser.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/autosave.h"
#include "app/history.h"
#include "app/status_line.h"
#include "formats/importers.h"
#include "platform/platform.h"
#include "ui/shell_services.h"

namespace zelmora {

namespace {

constexpr const char* kPathTooLong = "Error: Path Too Long.";

// The folder and a name joined with the platform's separator (none is added
// after a folder that already ends in one, such as a root).
std::string JoinPath(const char* folder, const char* name) {
    std::string path(folder);
    if (path.empty() || !IsPathSeparator(path.back())) path += PathSeparator();
    return path + name;
}

// As the edit history names the load of a WAV or a SoundFont bank.
const char* ImportTargetName(const std::string& path) {
    const std::size_t n = path.size();
    const bool bank = n >= 3 && (path[n - 3] | 0x20) == 's' && (path[n - 2] | 0x20) == 'f' && path[n - 1] == '2';
    return bank ? "Load SoundFont" : "Load Sample";
}

}  // namespace

void ListFolder(AppState& app) {
    ShellSetCursor(CursorShape::kHourglass);
    app.browserList.clear();
    app.browserCount = 0;
    app.browserSelection = -1;
    app.browserScroll = 0;

    std::vector<DirectoryEntry> found;
    if (!ListDirectory(app.browserFolder, found)) return;
    app.browserList.reserve(found.size());
    for (const DirectoryEntry& d : found) {
        if (d.name.empty() || d.name[0] == '.') continue;
        // SANITY: a name that would not fit the entry is left out rather than
        // cut into the name of another file.
        if (d.name.size() >= sizeof BrowserEntry::name) continue;
        BrowserEntry entry;
        entry.directory = d.directory;
        entry.sizeLow = static_cast<uint32_t>(d.size);
        std::memcpy(entry.name, d.name.c_str(), d.name.size() + 1);
        app.browserList.push_back(entry);
    }
    // Folders first, each group in the order of the search: the order that
    // passes of adjacent swaps reach, in one stable pass instead of up to one
    // pass per entry (a folder of many thousand entries lists at once).
    std::stable_partition(app.browserList.begin(), app.browserList.end(),
                          [](const BrowserEntry& e) { return e.directory; });
    app.browserCount = static_cast<int32_t>(app.browserList.size());
}

void ParentFolder(AppState& app) {
    char* folder = app.browserFolder;
    folder[sizeof app.browserFolder - 1] = '\0';
    const std::size_t length = std::strlen(folder);
    std::size_t cut = length;
    for (std::size_t i = length; i > 0; --i)
        if (IsPathSeparator(folder[i - 1])) {
            cut = i - 1;
            break;
        }
    if (cut < length) {
        // SANITY: a separator at the very start is the root of the tree ("/"),
        // which keeps it; "/home" goes to "/" rather than staying where it was.
        // A drive ("C:\Music" to "C:") is cut as before.
        if (cut == 0) cut = 1;
        folder[cut] = '\0';
    }
    ListFolder(app);
}

void ChooseFolder(AppState& app) {
    if (!Shell().chooseFolder) {
        SetStatus(app, "Error: No Folder Chooser Available.");
        return;
    }
    char folder[kPathLength];
    std::memcpy(folder, app.browserFolder, sizeof folder);
    folder[sizeof folder - 1] = '\0';
    char status[kStatusLength] = {};
    if (!Shell().chooseFolder(folder, sizeof folder, status, sizeof status)) {
        if (status[0] != '\0') SetStatus(app, "%s", status);
        return;
    }
    folder[sizeof folder - 1] = '\0';
    std::memcpy(app.browserFolder, folder, sizeof folder);
    ListFolder(app);
}

void OpenBrowserEntry(AppState& app, int index) {
    if (index < 0 || index >= app.browserCount || index >= static_cast<int>(app.browserList.size())) return;
    const BrowserEntry& entry = app.browserList[static_cast<std::size_t>(index)];
    const std::string path = JoinPath(app.browserFolder, entry.name);
    // SANITY: a path that would pass the 260 characters of the folder and the
    // import path is refused with a message instead of being cut (a cut path
    // names another folder or file).
    if (path.size() >= kPathLength) {
        SetStatus(app, "%s", kPathTooLong);
        return;
    }
    if (entry.directory) {
        std::memcpy(app.browserFolder, path.c_str(), path.size() + 1);
        ListFolder(app);
        return;
    }
    char file[kPathLength];
    std::memcpy(file, path.c_str(), path.size() + 1);
    ShellSetCursor(CursorShape::kHourglass);
    const ImportTarget target = ImportTargetOf(path);
    // A song about to be replaced keeps its unsaved changes in an autosave.
    std::string autosaved;
    if (target == ImportTarget::kSong && SongUnsaved(app)) autosaved = AutosaveNow(app);
    const uint32_t generation = app.songGeneration;
    if (target == ImportTarget::kInstrument) {
        WillReplaceInstrument(app, ImportTargetName(path), app.currentInstrument);
        ImportFile(app, file);
        EndStep(app);  // the load is a step of its own
    } else {
        ImportFile(app, file);
    }
    // A song made new starts a new history, saved as it stands.
    if (app.songGeneration != generation) ClearHistory(app);
    if (!autosaved.empty()) AppendStatus(app, "Autosave Kept: %s.", autosaved.c_str());
}

}  // namespace zelmora
