#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/profile.h"

namespace zelmora {

std::unique_ptr<AppState> MakeTestApp() {
    AppState::Options options;
    options.measureCycleRate = false;
    options.cycleRate = 1e9;
    return AppState::Create(options);
}

std::string MakeTempDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("zelmora-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    return dir.string();
}

InTempFolder::InTempFolder() : previous_(std::filesystem::current_path().string()), folder_(MakeTempDir()) {
    std::filesystem::current_path(folder_);
}

InTempFolder::~InTempFolder() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && whole;
}

void SetBrowserFolder(AppState& app, const std::string& folder) {
    std::snprintf(app.browserFolder, sizeof app.browserFolder, "%s", folder.c_str());
}

Sample& AddSample(AppState& app, int instrument, int slot, int frames, int channels,
                  const std::function<double(int, int)>& fn, int loopMode, int loopStart, int loopLength) {
    Sample& s = app.song.instruments[instrument].samples[slot];
    app.ClearSample(s);
    s.frames = frames;
    s.channels = channels;
    s.loopMode = loopMode;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    EXPECT_TRUE(app.AllocateSampleAudio(s));
    for (int c = 0; c < channels; ++c)
        for (int f = 0; f < frames; ++f) s.audio[c][kSampleGuard + f] = fn(c, f);
    return s;
}

std::string CorpusDir() {
    const char* env = std::getenv("ZELMORA_CORPUS");
    std::filesystem::path dir = env && *env ? env : ZELMORA_CORPUS_DIR;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir.string() : std::string();
}

std::string Worded(std::string message) {
    if (!profile::kEarlierBuild) return message;
    if (!message.empty() && message.back() == '.')
        message.pop_back();
    else if (const std::size_t at = message.find(". ("); at != std::string::npos)
        message.erase(at, 1);
    return message;
}

}  // namespace zelmora
