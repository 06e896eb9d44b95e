#include "app/autosave.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/app_state.h"
#include "app/history.h"
#include "app/status_line.h"
#include "formats/importers.h"
#include "platform/platform.h"
#include "ui/browser.h"

namespace zelmora {

namespace {

namespace fs = std::filesystem;

constexpr int kKeptAutosaves = 10;
constexpr const char* kMarkerName = "running";
enum { kIdle, kWriting, kDone, kFailed };

std::string Join(const std::string& folder, const std::string& name) {
    return folder + PathSeparator() + name;
}

// The autosaves in the folder, newest first.
std::vector<fs::path> Autosaves(const std::string& folder) {
    std::vector<std::pair<fs::file_time_type, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error) || it->path().extension() != ".zmo") continue;
        found.emplace_back(it->last_write_time(error), it->path());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second.filename() > b.second.filename();
    });
    std::vector<fs::path> paths;
    for (auto& f : found) paths.push_back(std::move(f.second));
    return paths;
}

void Prune(const std::string& folder) {
    const std::vector<fs::path> saves = Autosaves(folder);
    std::error_code ignored;
    for (std::size_t i = kKeptAutosaves; i < saves.size(); ++i) fs::remove(saves[i], ignored);
}

void Join(Autosaver& saver) {
    if (saver.writer.joinable()) saver.writer.join();
}

// Shows the autosave folder in the browser with the newest autosave selected.
void ShowAutosaves(AppState& app, const std::string& folder) {
    const std::vector<fs::path> saves = Autosaves(folder);
    if (saves.empty() || folder.size() >= sizeof app.browserFolder) return;
    std::snprintf(app.browserFolder, sizeof app.browserFolder, "%s", folder.c_str());
    ListFolder(app);
    const std::string newest = saves.front().filename().string();
    for (int i = 0; i < app.browserCount; ++i)
        if (newest == app.browserList[static_cast<std::size_t>(i)].name) app.browserSelection = i;
    app.screenPage = 1;  // the Browser page
    SetStatus(app, "Autosave Kept: %s.", newest.c_str());
}

}  // namespace

Autosaver::~Autosaver() {
    if (writer.joinable()) writer.join();
}

std::string AutosaveFileName(const char* songName, std::size_t nameSize, std::time_t when) {
    std::string name;
    for (std::size_t i = 0; i < nameSize && songName[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(songName[i]);
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           c == ' ' || c == '-' || c == '_' || c == '.' || c == '(' || c == ')';
        name += plain ? static_cast<char>(c) : '_';
    }
    // No leading dots (hidden files) nor trailing dots and spaces (refused on Windows).
    name.erase(0, name.find_first_not_of(". "));
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) name = "Untitled";
    char stamp[32] = "00000000-000000";
    if (const std::tm* t = std::localtime(&when)) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", t);
    return name + "-" + stamp + ".zmo";
}

bool StartAutosave(AppState& app, const std::string& folder) {
    Autosaver& saver = app.autosaver;
    std::error_code error;
    if (folder.empty() || (fs::create_directories(folder, error), !fs::is_directory(folder, error))) return false;
    saver.folder = folder;
    if (const char* seconds = std::getenv("ZELMORA_AUTOSAVE_SECONDS")) {
        const long value = std::strtol(seconds, nullptr, 10);
        // SANITY: a value that is not a positive number keeps the default.
        if (value > 0 && value <= 86400) saver.interval = std::chrono::seconds(value);
    }
    saver.last = std::chrono::steady_clock::now();
    saver.writtenVersion = SongVersion(app);
    const std::string marker = Join(folder, kMarkerName);
    if (fs::exists(marker, error)) ShowAutosaves(app, folder);
    if (FILE* f = std::fopen(marker.c_str(), "wb")) std::fclose(f);
    return true;
}

void StopAutosave(AppState& app) {
    Autosaver& saver = app.autosaver;
    Join(saver);
    if (saver.folder.empty()) return;
    std::error_code ignored;
    fs::remove(Join(saver.folder, kMarkerName), ignored);
    saver.folder.clear();
}

std::string AutosaveNow(AppState& app) {
    Autosaver& saver = app.autosaver;
    if (saver.folder.empty()) return {};
    Join(saver);  // one write at a time; the one before is nearly always done
    const std::string name = AutosaveFileName(app.song.name, sizeof app.song.name, std::time(nullptr));
    std::vector<uint8_t> bytes;
    try {
        bytes = EncodeModule(app.song);
    } catch (const std::bad_alloc&) {
        return {};
    }
    saver.last = std::chrono::steady_clock::now();
    saver.writtenVersion = SongVersion(app);
    saver.state.store(kWriting);
    saver.writer = std::thread([&saver, path = Join(saver.folder, name), bytes = std::move(bytes)] {
        const bool written = WriteFileSafely(path, [&bytes](FILE* f) {
            return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        });
        if (written) Prune(fs::path(path).parent_path().string());
        saver.state.store(written ? kDone : kFailed);
    });
    return name;
}

void AutosaveTick(AppState& app) {
    Autosaver& saver = app.autosaver;
    if (saver.folder.empty()) return;
    const int state = saver.state.load();
    if (state == kFailed) {
        SetStatus(app, "Error: Autosave Failed.");
        saver.writtenVersion = 0;  // tried again after the interval
    }
    if (state == kDone || state == kFailed) {
        Join(saver);
        saver.state.store(kIdle);
    }
    if (saver.state.load() != kIdle || !SongUnsaved(app) || SongVersion(app) == saver.writtenVersion) return;
    if (std::chrono::steady_clock::now() - saver.last < saver.interval) return;
    AutosaveNow(app);
}

}  // namespace zelmora
