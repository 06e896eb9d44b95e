// Export to WAV: the whole song rendered once, as zelmora-render renders a song
// with its defaults (44100 Hz, 16-bit stereo, played through once), into
// "<song name>.wav" in the browser's folder. It runs on a helper thread with
// an engine state of its own and a copy of the song, so playing and editing
// go on; the file is written through the safe writer, so an existing one is
// replaced only by a complete render. The tick shows the progress.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace zelmora {

struct AppState;

struct Exporter {
    std::thread worker;
    std::atomic<int> state{0};    // 0 idle, 1 running, 2 done, 3 failed
    std::atomic<int> percent{0};  // of the orders played so far
    int shownPercent = -1;
    std::string fileName;

    Exporter() = default;
    Exporter(const Exporter&) = delete;
    Exporter& operator=(const Exporter&) = delete;
    ~Exporter();
};

// Ctrl+E and the Export button. A second request while one runs says so.
void StartExport(AppState& app);

// The tick's part: "Exporting 42%...", then the result on the status line.
void ExportTick(AppState& app);

// Waits for an export still running (tests, and the program's end).
void FinishExport(AppState& app);

}  // namespace zelmora
