// Files read from disk: every third-party file of the imported formats loads
// without an error and with the counts and lengths the corpus list gives for
// it, every song among them renders its first seconds, and inputs that once broke a loader (kept next to the fuzz targets) load
// and play safely.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "formats/importers.h"
#include "render/render_run.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

namespace fs = std::filesystem;

// The "- Header:" line the corpus list gives for a file, or "" when it gives none.
std::string HeaderLine(const std::string& sources, const std::string& file) {
    const std::size_t section = sources.find("### " + file + "\n");
    if (section == std::string::npos) return "";
    const std::size_t line = sources.find("- Header: ", section);
    if (line == std::string::npos || line > sources.find("\n### ", section + 4)) return "";
    return sources.substr(line, sources.find('\n', line) - line);
}

// Samples whose rate is the XM one, leaving out the copies the key map makes
// of a sample named in separate key spans: a copy repeats an earlier
// slot of its instrument, name, length and audio alike.
int CountXmSampleHeaders(const Song& song) {
    int n = 0;
    for (const Instrument& instrument : song.instruments)
        for (int j = 0; j < kMaxSampleSlots; ++j) {
            const Sample& s = instrument.samples[j];
            if (s.sampleRate != 16726.0) continue;
            bool copy = false;
            for (int k = 0; k < j && !copy; ++k) {
                const Sample& e = instrument.samples[k];
                copy =
                    UsableFrames(s) != 0 && e.frames == s.frames && e.channels == s.channels &&
                    UsableFrames(e) && std::memcmp(e.name, s.name, sizeof s.name) == 0 &&
                    std::memcmp(e.audio[0], s.audio[0], sizeof(double) * (s.frames + 2 * kSampleGuard)) == 0;
            }
            n += !copy;
        }
    return n;
}

// Per folder: the loader, the facts taken from a file's header line, their
// check, and whether the files are songs to render.
const struct {
    const char* folder;
    void (*load)(AppState&, const std::string&);
    const char* facts;
    void (*check)(const AppState&, const std::smatch&);
    bool song = true;
} kCorpus[] = {
    {"mod", ImportMod, "", [](const AppState&, const std::smatch&) {}},
    {"s3m", ImportS3m, R"((\d+) patterns)",
     [](const AppState& app, const std::smatch& m) {
         EXPECT_EQ(std::string(app.statusLine), "ScreamTracker Module Loaded (" + m[1].str() + " Patterns).");
         int usable = 0;
         for (const Instrument& instrument : app.song.instruments)
             for (const Sample& s : instrument.samples) usable += UsableFrames(s) > 0;
         EXPECT_GT(usable, 0);
     }},
    {"xm", ImportXm, R"#(tracker string "([^"]*)", (\d+) channels, .*?(\d+) samples)#",
     [](const AppState& app, const std::smatch& m) {
         EXPECT_TRUE(app.statusLine[0] == '\'' && StartsWith(app.statusLine + 1, m[1].str())) << app.statusLine;
         EXPECT_NE(std::string(app.statusLine).find(profile::kEarlierBuild ? "' Module Loaded (0x0104)"
                                                                           : "' Module Loaded (0x0104)."),
                   std::string::npos);
         EXPECT_EQ(app.song.trackCount, std::stoi(m[2]));
         // Every sample header read sets the rate.
         EXPECT_EQ(CountXmSampleHeaders(app.song), std::stoi(m[3]));
     }},
    {"mid", ImportMidi, R"(division (\d+) PPQN)",
     [](const AppState& app, const std::smatch& m) {
         EXPECT_EQ(std::string(app.statusLine), "Midi File Loaded. (" + m[1].str() + ")");
         int notes = 0;
         for (int p = 0; p <= app.song.lastOrder; ++p)
             for (const auto& row : app.song.patterns[p].cells)
                 for (const PatternCell& cell : row) notes += cell.note != 0;
         EXPECT_GT(notes, 0);
     }},
    {"sf2", ImportSoundFont, "",
     [](const AppState& app, const std::smatch&) {
         EXPECT_STREQ(app.statusLine, "SoundFont2 Bank Loaded (2).");
         EXPECT_GT(UsableFrames(app.song.instruments[1].samples[0]), 0);
     },
     false},
    {"wav", ImportWav,
     R"(RIFF container, format (?:PCM|IEEE-float), \d+-bit, (\d+) channel\(s\), (\d+) Hz, .*?, (\d+) frames)",
     [](const AppState& app, const std::smatch& m) {
         const Sample& s = app.song.instruments[app.currentInstrument].samples[app.currentSample];
         EXPECT_EQ(std::make_tuple(s.channels, s.sampleRate, s.frames),
                   std::make_tuple(std::stoi(m[1]), std::stod(m[2]), std::stoi(m[3])));
     },
     false},
};

TEST(ImportCorpus, FilesLoadWithTheListedFacts) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    std::stringstream sources;
    sources << std::ifstream(corpus + "/SOURCES.md").rdbuf();
    auto app = MakeTestApp();
    for (const auto& format : kCorpus) {
        int checked = 0;
        for (const auto& entry : fs::directory_iterator(corpus + "/" + format.folder)) {
            const std::string file = std::string(format.folder) + "/" + entry.path().filename().string();
            format.load(*app, entry.path().string());
            EXPECT_FALSE(StartsWith(app->statusLine, "Error: ")) << file;
            const std::string header = HeaderLine(sources.str(), file);
            std::smatch facts;
            if (!header.empty() && std::regex_search(header, facts, std::regex(format.facts))) {
                SCOPED_TRACE(file);
                format.check(*app, facts);
                ++checked;
            }
            if (!format.song) continue;
            render::RenderOptions options;
            options.bufferFrames = 1024;
            options.seconds = 2.0;
            render::RenderResult result;
            EXPECT_TRUE(render::RenderSong(*app, options, nullptr, result)) << file;
            EXPECT_TRUE(std::isfinite(app->mixLeft[0] + app->mixRight[1023])) << file;
        }
        EXPECT_GT(checked, 0) << format.folder;
    }
}

void LoadWav(AppState& app, ByteReader in) {
    ImportWavData(app, in, "regression.wav");
}

const struct {
    const char* folder;
    void (*load)(AppState&, ByteReader);
} kTargets[] = {{"zmo", LoadModuleData},      {"mod", ImportModData}, {"s3m", ImportS3mData},
                {"xm", ImportXmData},         {"okt", ImportOktData}, {"mid", ImportMidiData},
                {"sf2", ImportSoundFontData}, {"wav", LoadWav}};

TEST(ImportRegressions, KeptInputsLoadSafely) {
    const fs::path root = fs::path(__FILE__).parent_path().parent_path() / "fuzz" / "regressions";
    auto app = MakeTestApp();
    int replayed = 0;
    for (const auto& target : kTargets) {
        if (!fs::is_directory(root / target.folder)) continue;
        for (const auto& entry : fs::directory_iterator(root / target.folder)) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(ReadWholeFile(entry.path().string(), bytes)) << entry.path();
            app->NewSong();
            target.load(*app, ByteReader(bytes));
            EXPECT_GE(app->song.trackCount, 1) << entry.path();
            EXPECT_LE(app->song.trackCount, kMaxTracks) << entry.path();
            // Played as the fuzz targets play it.
            PatternCell& cell = app->song.patterns[0].cells[0][0];
            cell.note = 61;
            cell.instrument = static_cast<uint8_t>(app->currentInstrument);
            PlayTransport(*app, false, true);
            for (int i = 0; i < 4; ++i) RenderBuffer(*app);
            StopPlayer(*app);
            ++replayed;
        }
    }
    if (replayed == 0) GTEST_SKIP() << "no regression inputs kept";
}

}  // namespace
}  // namespace zelmora
