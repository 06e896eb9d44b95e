#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

const PatternCell& Cell(const AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

double At(const Sample& s, int frame) { return s.audio[0][kSampleGuard + frame]; }

bool StartsWith(const char* text, const std::string& prefix) { return std::string(text).rfind(prefix, 0) == 0; }

TEST(ImportXm, HeaderPatternsAndVolumeColumn) {
    const uint8_t volumes[][3] = {{0x10, 12, 0x00}, {0x40, 12, 0x30}, {0x50, 12, 0x40}, {0x51, 0, 0},   {0x63, 10, 0x03},
                                  {0x7A, 10, 0xA0}, {0x84, 14, 0xB4}, {0x93, 14, 0xA3}, {0xA5, 0, 0},   {0xC8, 8, 0x80},
                                  {0xD3, 0, 0},     {0xF7, 3, 0x07},  {0x05, 0, 0}};
    XmSpec spec;
    spec.tracker = "TwentyCharTrackerABC";  // fills its field: no terminator in the file
    spec.songLength = 3;
    spec.restart = 1;
    spec.channels = 2;
    spec.orders = {2, 0, 1};
    XmPatternSpec p{128, {{0, 0, 97, 0, 0, 0x0F, 0x7D}, {0, 1, 49, 3}, {127, 1, 1}}};
    for (int i = 0; i < static_cast<int>(std::size(volumes)); ++i) p.cells.push_back({1 + i, 0, 0, 0, volumes[i][0]});
    XmPatternSpec plain{2, {{1, 1, 25, 2, 0x20, 0x01, 0x05}}, true};  // bit 7 clear: all five bytes
    XmPatternSpec empty{16};
    empty.noData = true;
    spec.patterns = {p, plain, empty};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    EXPECT_STREQ(app->statusLine, "'TwentyCharTrackerABC' Module Loaded (0x0104).");
    EXPECT_EQ(app->song.lastOrder, 2);
    EXPECT_EQ(app->song.restartOrder, 1);

    EXPECT_EQ(app->song.patterns[0].lastRow, 127);
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, kNoteOff);
    EXPECT_EQ(Cell(*app, 0, 0, 0).command2, 0x0F);
    EXPECT_EQ(Cell(*app, 0, 0, 0).parameter2, 0x7D);
    EXPECT_EQ(Cell(*app, 0, 0, 1).note, 49);
    EXPECT_EQ(Cell(*app, 0, 0, 1).instrument, 3);
    EXPECT_EQ(Cell(*app, 0, 127, 1).note, 1);
    for (int i = 0; i < static_cast<int>(std::size(volumes)); ++i) {
        EXPECT_EQ(Cell(*app, 0, 1 + i, 0).command1, volumes[i][1]) << i;
        EXPECT_EQ(Cell(*app, 0, 1 + i, 0).parameter1, volumes[i][2]) << i;
    }
    const PatternCell& c = Cell(*app, 1, 1, 1);
    EXPECT_EQ(std::make_tuple(c.note, c.instrument, c.parameter1, c.command2, c.parameter2),
              std::make_tuple(25, 2, 0x10, 1, 5));
    EXPECT_EQ(app->song.patterns[2].lastRow, 15);  // no packed data: empty, rows still set
}

TEST(ImportXm, SamplesAndDeltaData) {
    XmSampleSpec wide{"sixteen", std::vector<int>(1000), 200, 1000, 40, -16, 0x11, 10, 12};
    wide.values[0] = -32768;
    wide.values[1] = 32767;  // the delta wraps
    XmSampleSpec narrow{"eight", {127, -128, 64}, 0, 2, 64, -128, 2, 200};  // 127 -> -128 wraps the running byte
    XmSampleSpec noLoop{"", {1}, 0, 0, 64, 127, 1};
    XmSpec spec;
    spec.instruments = {{"kit", {wide, narrow, noLoop}}, {"none"}, {"after", {{"", {5}}}}};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    const Instrument& kit = app->song.instruments[1];
    EXPECT_EQ(kit.volume, 64);  // the last sample's volume and pan remain
    EXPECT_EQ(kit.pan, 128);
    const Sample& w = kit.samples[0];
    EXPECT_EQ(std::make_tuple(w.frames, w.loopStart, w.loopLength, w.loopMode, w.fineTune, w.coarseTune, w.sampleRate),
              std::make_tuple(1000, 100, 500, 1, int8_t{-12}, int8_t{12}, 16726.0));
    EXPECT_EQ(std::make_tuple(At(w, 0), At(w, 1)), std::make_tuple(-1.0, 32767 / 32768.0));
    const Sample& n = kit.samples[1];
    EXPECT_EQ(std::make_tuple(n.loopMode, n.fineTune), std::make_tuple(2, int8_t{-100}));
    EXPECT_EQ(std::make_tuple(At(n, 0), At(n, 1), At(n, 2)), std::make_tuple(127 / 256.0, -0.5, 0.25));
    // A loop type without a loop length gives no loop.
    EXPECT_EQ(std::make_tuple(kit.samples[2].loopMode, kit.samples[2].fineTune), std::make_tuple(0, int8_t{99}));
    EXPECT_EQ(At(app->song.instruments[3].samples[0], 0), 5 / 256.0);
}

TEST(ImportXm, CountsAndLengthsAboveCapacityAreCut) {
    auto app = MakeTestApp();
    // 40 channels, 300 rows, 0 rows, packed data that ends early, 300
    // patterns and instruments, 260 samples in one instrument, a sample longer
    // than the file: all cut, and everything behind them still found.
    XmSpec spec;
    spec.channels = 40;
    spec.patterns = {{300, {{0, 31, 10}, {0, 35, 11}, {299, 39, 12}, {255, 0, 13}}}, {0}, {64}};
    spec.patterns[1].raw = {0x81, 9};
    spec.patterns[2].raw = {0x81, 14};
    spec.patterns.resize(300, {1, {{0, 2, 15}}});
    XmInstrumentSpec big{"big"};
    for (int j = 0; j < 260; ++j) big.samples.push_back({"", {j % 100}});
    spec.instruments = {big};
    spec.instruments.resize(300, {"more", {{"", {-7, 1}}}});
    spec.instruments[254].samples[0] = {"", {-7, 1}, 1, 0x7FFFFF00, 64, 0, 1, 128, 0, 0x7FFFFFF0};
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    EXPECT_EQ(app->song.trackCount, 32);
    EXPECT_EQ(app->song.patterns[0].lastRow, 255);
    EXPECT_EQ(Cell(*app, 0, 0, 31).note, 10);
    EXPECT_EQ(Cell(*app, 0, 255, 0).note, 13);
    EXPECT_EQ(app->song.patterns[1].lastRow, 0);
    EXPECT_EQ(Cell(*app, 1, 0, 0).note, 9);
    EXPECT_EQ(Cell(*app, 2, 0, 0).note, 14);
    EXPECT_EQ(Cell(*app, 2, 1, 0).note, 0);
    EXPECT_EQ(Cell(*app, 255, 0, 2).note, 15);
    EXPECT_EQ(At(app->song.instruments[1].samples[255], 0), 55 / 256.0);
    EXPECT_EQ(At(app->song.instruments[2].samples[0], 0), -7 / 256.0);
    const Sample& cut = app->song.instruments[255].samples[0];  // the rest of the file, its loop inside
    EXPECT_EQ(std::make_tuple(cut.frames, cut.loopStart, cut.loopLength), std::make_tuple(2 + 45 * 305, 1, 1 + 45 * 305));

    spec.channels = 0;
    spec.patterns.resize(3);
    spec.patterns.erase(spec.patterns.begin());
    spec.instruments.resize(2);
    spec.instruments[0].samples.resize(2);
    spec.instruments[1].samples[0].type = 0x10;
    const Bytes file = WriteXm(spec);
    ImportXmData(*app, ByteReader(file));
    EXPECT_EQ(app->song.trackCount, 1);
    for (std::size_t size = 0; size <= file.size(); size += 7) {
        ImportXmData(*app, ByteReader(file.data(), size));
        ASSERT_TRUE(StartsWith(app->statusLine, "'")) << size;
    }
}

TEST(ImportXm, CorpusFilesLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    // Channels and sample headers as listed, and how many samples hold data.
    struct Known {
        const char *file, *tracker;
        int channels, samples, withData;
    };
    const Known known[] = {{"xm/libopenmpt__test.xm", "OpenMPT 1.21.01.15", 2, 3, 1},
                           {"xm/ballz-data__finalman-quickie.xm", "MilkyTracker", 8, 6, 6},
                           {"xm/njam-data__dali.xm", "rst's SoundTracker", 4, 5, 5},
                           {"xm/bomberclone-data__slice_me_nice.xm", "DigiBooster Pro 2.21", 8, 13, 13},
                           {"xm/ceferino-data__menu.xm", "Converted by MID2XM", 8, 12, 9},
                           {"xm/heroes-sound-tracks__heroes02.xm", "FastTracker v2.00", 10, 12, 12},
                           {"xm/powermanga-data__music_menu.zik", "FastTracker v2.00", 8, 11, 11},
                           {"xm/ri-li-data__jeu1.xm", "MadTracker 2.0", 26, 15, 14},
                           {"xm/rafkill-data__song5.xm", "FastTracker v2.00", 28, 33, 33},
                           {"mod/tecnoballz-data__area1-game2.mod", "rst's SoundTracker", 4, 7, 7}};
    auto app = MakeTestApp();
    int checked = 0;
    for (const Known& k : known) {
        const std::string path = corpus + "/" + k.file;
        if (!std::filesystem::exists(path)) continue;
        ImportXm(*app, path);
        EXPECT_TRUE(StartsWith(app->statusLine, std::string("'") + k.tracker)) << k.file << ": " << app->statusLine;
        EXPECT_NE(std::string(app->statusLine).find("Module Loaded (0x0104)."), std::string::npos) << k.file;
        EXPECT_EQ(app->song.trackCount, k.channels) << k.file;
        int slots = 0, usable = 0;
        for (int i = 1; i < kMaxInstruments; ++i) {
            for (const Sample& s : app->song.instruments[i].samples) {
                slots += s.sampleRate == 16726.0;  // every sample header read sets the rate
                usable += UsableFrames(s) > 0;
            }
        }
        EXPECT_EQ(slots, k.samples) << k.file;
        EXPECT_EQ(usable, k.withData) << k.file;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace zelmora
