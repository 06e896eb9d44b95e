// Replays inputs that once broke a loader or that probe its bounds (kept next
// to the fuzz targets) through the same loaders and a short render, so a fault
// that comes back fails here, in the ordinary and in the sanitizer builds.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_state.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "formats/importers.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

void LoadWav(AppState& app, ByteReader in) { ImportWavData(app, in, "regression.wav"); }

const struct {
    const char* folder;
    void (*load)(AppState&, ByteReader);
} kTargets[] = {{"zmo", LoadModuleData}, {"mod", ImportModData}, {"s3m", ImportS3mData},
                {"xm", ImportXmData},    {"okt", ImportOktData}, {"mid", ImportMidiData},
                {"sf2", ImportSoundFontData}, {"wav", LoadWav}};

TEST(ImportRegressions, KeptInputsLoadSafely) {
    const std::filesystem::path root = std::filesystem::path(__FILE__).parent_path().parent_path() / "fuzz" / "regressions";
    if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no regression inputs";
    auto app = MakeTestApp();
    int replayed = 0;
    for (const auto& target : kTargets) {
        const std::filesystem::path folder = root / target.folder;
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(ReadWholeFile(entry.path().string(), bytes)) << entry.path();
            app->NewSong();
            SetStatus(*app, "unchanged");
            target.load(*app, ByteReader(bytes));
            EXPECT_LE(app->song.trackCount, kMaxTracks) << entry.path();
            EXPECT_GE(app->song.trackCount, 1) << entry.path();
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
