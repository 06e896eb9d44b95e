// zelmora-render: loads a song file the way the tracker does and renders it
// offline to a WAV file, or prints what was loaded as JSON.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/app_state.h"
#include "formats/importers.h"
#include "render/render_options.h"
#include "render/render_run.h"
#include "render/song_json.h"
#include "render/wav_writer.h"
#include "ui/canvas.h"
#include "ui/screen.h"

namespace {

using namespace zelmora;
using namespace zelmora::render;

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// A one-line bar, redrawn at most ten times a second.
class ProgressBar : public RenderProgress {
public:
    explicit ProgressBar(bool byTime) : byTime_(byTime) {}

    void Update(uint64_t done, uint64_t total, int position, int lastOrder) override {
        const auto now = std::chrono::steady_clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        shown_ = true;
        double fraction = byTime_ ? static_cast<double>(done) / static_cast<double>(total)
                                  : static_cast<double>(position) / (lastOrder + 1.0);
        if (fraction > 1.0) fraction = 1.0;
        constexpr int kWidth = 40;
        char bar[kWidth + 1];
        const int filled = static_cast<int>(fraction * kWidth);
        for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
        bar[kWidth] = '\0';
        if (byTime_)
            std::fprintf(stderr, "\r[%s] %3d%%", bar, static_cast<int>(fraction * 100.0));
        else
            std::fprintf(stderr, "\r[%s] order %3d of %3d", bar, position, lastOrder + 1);
        std::fflush(stderr);
    }

    void Finish() {
        if (shown_) std::fprintf(stderr, "\r%60s\r", "");
    }

private:
    bool byTime_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// A new state with INPUT opened in it (nothing opened for an empty INPUT),
// the import's status line printed on stderr; null when there is no memory
// for the state. failed tells whether the import reported an error.
std::unique_ptr<AppState> OpenSong(const std::string& input, bool& failed) {
    failed = false;
    AppState::Options stateOptions;
    stateOptions.measureCycleRate = false;
    std::unique_ptr<AppState> app = AppState::Create(stateOptions);
    if (!app) {
        std::fprintf(stderr, "zelmora-render: not enough memory for the song\n");
        return app;
    }
    if (input.empty()) return app;
    // The dispatch lower-cases the path in place, so it gets a copy.
    std::vector<char> path(input.begin(), input.end());
    path.push_back('\0');
    ImportFile(*app, path.data());
    std::fprintf(stderr, "%.*s\n", static_cast<int>(NameLength(app->statusLine, kStatusLength)), app->statusLine);
    failed = std::strncmp(app->statusLine, "Error: ", 7) == 0;
    return app;
}

void PrintDecibels(double peak) {
    if (peak <= 0.0)
        std::fprintf(stderr, "-inf");
    else
        std::fprintf(stderr, "%.1f", 20.0 * std::log10(peak));
}

// --skin and --screen: pictures instead of sound.
int WritePictures(const RenderOptions& options) {
    const Skin& skin = BuiltInSkin();
    if (!options.skinOutput.empty()) {
        if (!WriteBmp(options.skinOutput.c_str(), skin.pixels.data(), skin.width, skin.width, skin.height)) {
            std::fprintf(stderr, "zelmora-render: cannot write %s\n", options.skinOutput.c_str());
            return 2;
        }
        return 0;
    }
    bool failed = false;
    std::unique_ptr<AppState> app = OpenSong(options.input, failed);
    if (!app) return 1;
    if (options.seconds > 0.0 && !failed) {
        RenderResult result;
        if (!RenderSong(*app, options, nullptr, result)) {
            std::fprintf(stderr, "zelmora-render: %s\n", result.error.c_str());
            return 2;
        }
    }
    if (options.page >= 0) app->screenPage = options.page;
    const int w = options.screenWidth, h = options.screenHeight, n = options.screenScale;
    std::unique_ptr<Canvas> back;
    FitBackBuffer(back, w / n, h / n, skin);
    ComposeScreen(*app, *back, w / n, h / n);
    // The window shows the frame n times larger; what lies beyond the back
    // buffer (the earlier build's stops at 2048) and the last few columns and
    // rows a scale leaves over are black.
    std::vector<uint32_t> picture(static_cast<size_t>(w) * h, 0);
    ScaleUp(*back, w / n, h / n, n, picture.data(), w);
    if (!WriteBmp(options.screenOutput.c_str(), picture.data(), w, w, h)) {
        std::fprintf(stderr, "zelmora-render: cannot write %s\n", options.screenOutput.c_str());
        return 2;
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "zelmora-render: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(HelpText(), stdout);
        return 0;
    }

    if (!options.skinOutput.empty() || !options.screenOutput.empty()) return WritePictures(options);

    bool failed = false;
    std::unique_ptr<AppState> app = OpenSong(options.input, failed);
    if (!app) return 1;

    if (options.info) {
        std::string json;
        AppendSongJson(*app, json);
        json += '\n';
        std::fwrite(json.data(), 1, json.size(), stdout);
        return failed ? 1 : 0;
    }
    if (failed) return 1;

    WavWriter writer;
    const bool toFile = !options.output.empty();
    if (toFile && !writer.Open(options.output, static_cast<uint32_t>(options.rate), options.format)) {
        std::fprintf(stderr, "zelmora-render: %s: %s\n", writer.error().c_str(), options.output.c_str());
        return 2;
    }

    ProgressBar bar(options.seconds > 0.0);
    RenderResult result;
    bool ok =
        RenderSong(*app, options, toFile ? &writer : nullptr, result, StderrIsTerminal() ? &bar : nullptr);
    bar.Finish();
    if (toFile && !writer.Close() && ok) {
        result.error = writer.error();
        ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "zelmora-render: %s\n", result.error.c_str());
        // An unfinished file would pass for a whole render; it is removed.
        if (toFile) std::remove(options.output.c_str());
        return 2;
    }

    const double seconds = static_cast<double>(result.frames) / options.rate;
    const double factor = result.wallSeconds > 0.0 ? seconds / result.wallSeconds : 0.0;
    std::fprintf(stderr, "%.3f s rendered in %.3f s (%.1fx real time), peak L ", seconds, result.wallSeconds,
                 factor);
    PrintDecibels(result.peak[0]);
    std::fprintf(stderr, " dBFS R ");
    PrintDecibels(result.peak[1]);
    std::fprintf(stderr, " dBFS, %llu clipped samples\n",
                 static_cast<unsigned long long>(result.clippedSamples));
    return 0;
}
