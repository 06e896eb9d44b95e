#include "app/export.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/status_line.h"
#include "formats/importers.h"
#include "platform/platform.h"
#include "render/render_run.h"
#include "ui/browser.h"

namespace zelmora {

namespace {

enum { kIdle, kRunning, kDone, kFailed };

// What a song file does not hold but the musician hears: the faders, the
// master volume and the equaliser, and which tracks are silenced.
struct Levels {
    uint8_t mixerVolumes[kMaxTracks];
    uint8_t masterVolume;
    int8_t eqGains[16];
    uint8_t eqOn;
    uint32_t silenced;
};

struct PercentOfOrders : render::RenderProgress {
    std::atomic<int>& percent;
    explicit PercentOfOrders(std::atomic<int>& p) : percent(p) {}
    void Update(uint64_t, uint64_t, int position, int lastOrder) override {
        percent.store(std::clamp(position * 100 / (lastOrder + 1), 0, 99), std::memory_order_relaxed);
    }
};

// The song's name as a file name: characters a file system may refuse become "_".
std::string WavName(const Song& song) {
    std::string name;
    for (std::size_t i = 0; i < NameLength(song.name, sizeof song.name); ++i) {
        const unsigned char c = static_cast<unsigned char>(song.name[i]);
        name += c < 0x20 || c == 0x7F || std::strchr("/\\<>:\"|?*", c) ? '_' : static_cast<char>(c);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    return (name.empty() ? std::string("Untitled") : name) + ".wav";
}

void Render(Exporter& ex, std::string path, std::vector<uint8_t> song, Levels levels,
            std::unique_ptr<AppState> engine) {
    LoadModuleData(*engine, ByteReader(song));
    std::vector<uint8_t>().swap(song);
    for (int t = 0; t < kMaxTracks; ++t) engine->song.tracks[t].mixerVolume = levels.mixerVolumes[t];
    engine->song.masterVolume = levels.masterVolume;
    std::memcpy(engine->song.eqGains, levels.eqGains, sizeof levels.eqGains);
    engine->song.eqOn = levels.eqOn;
    engine->silencedTracks.store(levels.silenced, std::memory_order_relaxed);
    const render::RenderOptions defaults;  // as zelmora-render SONG OUT.wav
    PercentOfOrders progress(ex.percent);
    const bool ok = WriteFileSafely(path, [&](FILE* file) {
        render::WavWriter writer;
        render::RenderResult result;
        if (!writer.Attach(file, static_cast<uint32_t>(defaults.rate), defaults.format)) return false;
        const bool rendered = render::RenderSong(*engine, defaults, &writer, result, &progress);
        return writer.Detach() && rendered;
    });
    ex.state.store(ok ? kDone : kFailed);
}

}  // namespace

Exporter::~Exporter() {
    if (worker.joinable()) worker.join();
}

void StartExport(AppState& app) {
    Exporter& ex = app.exporter;
    if (ex.state.load() == kRunning) {
        SetStatus(app, "Export Already Running.");
        return;
    }
    if (ex.worker.joinable()) ex.worker.join();
    ex.state.store(kIdle);
    std::string folder(app.browserFolder);
    if (folder.empty()) {
        SetStatus(app, "Error: Export Failed.");
        return;
    }
    if (!IsPathSeparator(folder.back())) folder += PathSeparator();
    const std::string name = WavName(app.song);
    // SANITY: as for saves, a path the program's paths cannot hold is refused.
    if (std::max(folder.size() + name.size(), folder.size() + kTemporaryNameLength) >= kPathLength) {
        SetStatus(app, "Error: Path Too Long.");
        return;
    }
    Levels levels;
    for (int t = 0; t < kMaxTracks; ++t) levels.mixerVolumes[t] = app.song.tracks[t].mixerVolume;
    levels.masterVolume = app.song.masterVolume;
    std::memcpy(levels.eqGains, app.song.eqGains, sizeof levels.eqGains);
    levels.eqOn = app.song.eqOn;
    levels.silenced = app.silencedTracks.load(std::memory_order_relaxed);
    std::vector<uint8_t> song;
    try {
        song = EncodeModule(app.song);  // the copy: the song as it stands now
    } catch (const std::bad_alloc&) {
        SetStatus(app, "Error: Out Of Memory.");
        return;
    }
    // The engine state is made here, where the shell's services may be used
    // (its construction lists the current folder); the helper only renders.
    AppState::Options options;
    options.measureCycleRate = false;
    std::unique_ptr<AppState> engine = AppState::Create(options);
    if (!engine) {
        SetStatus(app, "Error: Out Of Memory.");
        return;
    }
    ex.fileName = name;
    ex.percent.store(0);
    ex.shownPercent = -1;
    ex.state.store(kRunning);
    ex.worker = std::thread(Render, std::ref(ex), folder + name, std::move(song), levels, std::move(engine));
    ExportTick(app);
}

void ExportTick(AppState& app) {
    Exporter& ex = app.exporter;
    switch (ex.state.load()) {
        case kRunning: {
            const int percent = ex.percent.load(std::memory_order_relaxed);
            if (percent != ex.shownPercent) SetStatus(app, "Exporting %d%%...", percent);
            ex.shownPercent = percent;
            return;
        }
        case kDone:
            if (ex.worker.joinable()) ex.worker.join();
            ex.state.store(kIdle);
            SetStatus(app, "Exported %s.", ex.fileName.c_str());
            ListFolder(app);  // the new file shows in the browser at once
            break;
        case kFailed:
            if (ex.worker.joinable()) ex.worker.join();
            ex.state.store(kIdle);
            SetStatus(app, "Error: Export Failed.");
            break;
        default: return;
    }
    app.redrawRequest.store(1, std::memory_order_relaxed);
}

void FinishExport(AppState& app) {
    if (app.exporter.worker.joinable()) app.exporter.worker.join();
    ExportTick(app);
}

}  // namespace zelmora
