// Autosaves and the recovery of a run that did not end. While the song has
// changes no save holds, it is written every ZELMORA_AUTOSAVE_SECONDS seconds
// (60 by default) into the autosave folder as "<song name>-<YYYYMMDD-HHMMSS>.zmo";
// the newest ten are kept. The song is encoded on the main thread (a copy in
// memory, in milliseconds) and written to the disk by a helper thread through
// the safe writer, so neither the screen nor the sound waits for the disk.
//
// A marker file in the folder says a run is going on; a normal exit removes
// it. A start that finds it left behind lists the autosave folder.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <thread>

namespace zelmora {

struct AppState;

struct Autosaver {
    std::string folder;  // empty: autosaving is off
    std::chrono::steady_clock::duration interval = std::chrono::seconds(60);
    std::chrono::steady_clock::time_point last{};
    uint64_t writtenVersion = 0;  // the song version the newest autosave holds
    std::thread writer;
    std::atomic<int> state{0};  // 0 idle, 1 writing, 2 done, 3 failed

    Autosaver() = default;
    Autosaver(const Autosaver&) = delete;
    Autosaver& operator=(const Autosaver&) = delete;
    ~Autosaver();
};

// "<song name>-<YYYYMMDD-HHMMSS>.zmo": the name with every character a file
// system might refuse replaced by "_" ("Untitled" for a name with nothing left).
std::string AutosaveFileName(const char* songName, std::size_t nameSize, std::time_t when);

// Turns autosaving on into folder (created when needed), and decides the start:
// a marker left by a run that did not end lists the folder in the browser
// with the newest autosave selected. Places the marker. False when the folder
// cannot be made (autosaving stays off).
bool StartAutosave(AppState& app, const std::string& folder);

// Waits for a write still going on and removes the marker: the run ended in order.
void StopAutosave(AppState& app);

// The tick's part: writes an autosave when the song has unsaved changes no
// autosave holds and the interval has passed.
void AutosaveTick(AppState& app);

// Writes an autosave of the song now (the disk write goes on behind); returns
// its file name, or empty when autosaving is off or it could not be started.
std::string AutosaveNow(AppState& app);

}  // namespace zelmora
