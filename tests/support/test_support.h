// Helpers shared by the tests.
#pragma once

#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"

namespace zelmora {

// A state for tests: no one-second processor measurement.
std::unique_ptr<AppState> MakeTestApp();

// A fresh empty folder under the system's temporary folder.
std::string MakeTempDir();

// A fresh temporary folder as the working folder while it lives; the
// previous one back and the folder removed afterwards.
class InTempFolder {
public:
    InTempFolder();
    ~InTempFolder();

private:
    std::string previous_, folder_;
};

// Whether the whole file was written.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Points the file browser at `folder`.
void SetBrowserFolder(AppState& app, const std::string& folder);

// Fills slot `slot` of an instrument with fn(channel, frame).
Sample& AddSample(AppState& app, int instrument, int slot, int frames, int channels,
                  const std::function<double(int, int)>& fn, int loopMode = 0, int loopStart = 0,
                  int loopLength = 0);

// The folder of third-party files, or empty when it is absent.
std::string CorpusDir();

// A cell from its eight stored bytes (in this build's layout).
inline PatternCell RawCell(const std::array<uint8_t, 8>& bytes) {
    PatternCell cell{};
    std::memcpy(CellBytes(cell), bytes.data(), bytes.size());
    return cell;
}

// Polls `done` every 5 ms for up to `seconds`; whether it came true.
template <typename Done>
bool WaitUntil(Done done, int seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A file message as this build words it: the earlier build leaves out its full
// stop, at the end or before the counts in brackets.
std::string Worded(std::string message);

}  // namespace zelmora
