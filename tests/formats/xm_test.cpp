#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "engine/mixer.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

constexpr double k8Bit = profile::kXm8BitScale;  // 128 in the earlier build

TEST(ImportXm, HeaderPatternsAndVolumeColumn) {
    const uint8_t volumes[][3] = {{0x10, 12, 0x00}, {0x40, 12, 0x30}, {0x50, 12, 0x40}, {0x51, 0, 0},
                                  {0x63, 10, 0x03}, {0x7A, 10, 0xA0}, {0x84, 14, 0xB4}, {0x93, 14, 0xA3},
                                  {0xA5, 0, 0},     {0xC8, 8, 0x80},  {0xD3, 0, 0},     {0xF7, 3, 0x07},
                                  {0x05, 0, 0}};
    XmSpec spec;
    spec.tracker = "TwentyCharTrackerABC";  // fills its field: no terminator in the file
    spec.songLength = 3;
    spec.restart = 1;
    spec.channels = 2;
    XmPatternSpec p{128, {{0, 0, 97, 0, 0, 0x0F, 0x7D}, {0, 1, 49, 3}, {127, 1, 1}}};
    for (int i = 0; i < static_cast<int>(std::size(volumes)); ++i)
        p.cells.push_back({1 + i, 0, 0, 0, volumes[i][0]});
    // Three empty packed cells, then one with bit 7 clear: all five bytes follow.
    XmPatternSpec plain{2, {}, Bytes{0x80, 0x80, 0x80, 25, 2, 0x20, 0x01, 0x05}};
    spec.patterns = {p, plain, {16, {}, Bytes{}}};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    char loaded[96];
    std::snprintf(loaded, sizeof loaded, profile::kXmLoadedFormat, "TwentyCharTrackerABC", 1, 4);
    EXPECT_STREQ(app->statusLine, loaded);
    EXPECT_EQ(std::make_tuple(app->song.lastOrder, app->song.restartOrder), std::make_tuple(2, 1));

    EXPECT_EQ(app->song.patterns[0].lastRow, 127);
    EXPECT_EQ(CellBytes(*app, 0, 0, 0), (Cells{kNoteOff, 0, 0, 0, 0x0F, 0x7D, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 0, 1), (Cells{49, 3, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(CellAt(*app, 0, 127, 1).note, 1);
    for (int i = 0; i < static_cast<int>(std::size(volumes)); ++i) {
        // The earlier build drops the pan command.
        const bool kept = profile::kExtraCommands || volumes[i][1] != 8;
        EXPECT_EQ(CellBytes(*app, 0, 1 + i, 0)[2], kept ? volumes[i][1] : 0) << i;
        EXPECT_EQ(CellBytes(*app, 0, 1 + i, 0)[3], kept ? volumes[i][2] : 0) << i;
    }
    EXPECT_EQ(CellBytes(*app, 1, 1, 1), (Cells{25, 2, 12, 0x10, 1, 5, 0, 0}));
    EXPECT_EQ(app->song.patterns[2].lastRow, 15);  // no packed data: empty, rows still set
}

TEST(ImportXm, SamplesAndDeltaData) {
    XmSampleSpec wide{std::vector<int>(1000), 200, 1000, -16, 0x11, 12, 40, 10};
    wide.values[0] = -32768;
    wide.values[1] = 32767;                                           // the delta wraps
    XmSampleSpec narrow{{127, -128, 64}, 0, 2, -128, 2, 0, 64, 200};  // 127 -> -128 wraps the running byte
    XmSampleSpec noLoop{{1}, 0, 0, 127, 1};
    XmSpec spec;
    spec.instruments = {{wide, narrow, noLoop}, {}, {XmSampleSpec{{5}}}};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    const Instrument& kit = app->song.instruments[1];
    EXPECT_EQ(std::make_tuple(kit.volume, kit.pan), std::make_tuple(64, 128));  // the last sample's remain
    const Sample& w = kit.samples[0];
    EXPECT_EQ(std::make_tuple(w.frames, w.loopStart, w.loopLength, w.loopMode, w.fineTune, w.coarseTune,
                              w.sampleRate),
              std::make_tuple(1000, 100, 500, 1, int8_t{-12}, int8_t{12}, 16726.0));
    EXPECT_EQ(std::make_tuple(FrameAt(w, 0), FrameAt(w, 1)), std::make_tuple(-1.0, 32767 / 32768.0));
    const Sample& n = kit.samples[1];
    EXPECT_EQ(std::make_tuple(n.loopMode, n.fineTune), std::make_tuple(2, int8_t{-100}));
    EXPECT_EQ(std::make_tuple(FrameAt(n, 0), FrameAt(n, 1), FrameAt(n, 2)),
              std::make_tuple(127 / k8Bit, -128 / k8Bit, 64 / k8Bit));
    // A loop type without a loop length gives no loop.
    EXPECT_EQ(std::make_tuple(kit.samples[2].loopMode, kit.samples[2].fineTune),
              std::make_tuple(0, int8_t{99}));
    EXPECT_EQ(FrameAt(app->song.instruments[3].samples[0], 0), 5 / k8Bit);
}

// The key map picks the one sample a note plays.
TEST(ImportXm, KeyMapPicksOneSamplePerNote) {
    XmSpec spec;
    spec.instruments = {{XmSampleSpec{{10}}, XmSampleSpec{{20}}, XmSampleSpec{{30}}}};
    // Keys 0..23 and 72..95 sample 0, 24..71 sample 1; sample 2 is never named.
    Bytes keys(96, 0);
    for (int k = 24; k < 72; ++k) keys[k] = 1;
    spec.keyMaps = {keys};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    Instrument& in = app->song.instruments[1];
    auto range = [&](int slot) {
        return std::make_pair(int{in.samples[slot].keyLow}, int{in.samples[slot].keyHigh});
    };
    EXPECT_EQ(range(0), std::make_pair(0, 23));
    EXPECT_EQ(range(1), std::make_pair(24, 71));
    EXPECT_GT(range(2).first, range(2).second);  // never plays
    // Sample 0's second span (keys 72..95, and 96..127 after key 95) is a copy in the first unused slot.
    EXPECT_EQ(range(3), std::make_pair(72, 127));
    EXPECT_EQ(FrameAt(in.samples[3], 0), 10 / k8Bit);
    EXPECT_EQ(UsableFrames(in.samples[4]), 0);
    // One voice per note, on the slot the map names.
    const int notes[][2] = {{0, 0}, {23, 0}, {24, 1}, {71, 1}, {72, 3}, {100, 3}};
    for (const auto& [note, slot] : notes) {
        SilenceAllVoices(*app);
        EXPECT_EQ(StartNoteVoices(*app, 0, 1, note, 0, 127, 0), 1) << note;
        EXPECT_EQ(app->voices[0].sampleSlot, slot) << note;
    }
}

TEST(ImportXm, CountsAndLengthsAboveCapacityAreCut) {
    // 40 channels, 300 rows, 0 rows, packed data that ends early, 300
    // patterns and instruments, 260 samples in one instrument, a sample longer
    // than the file: all cut, and everything behind them still found.
    XmSpec spec;
    spec.channels = 40;
    spec.patterns = {{300, {{0, 31, 10}, {0, 35, 11}, {299, 39, 12}, {255, 0, 13}}},
                     {0, {}, Bytes{0x81, 9}},
                     {64, {}, Bytes{0x81, 14}}};
    spec.patterns.resize(300, {1, {{0, 2, 15}}});
    std::vector<XmSampleSpec> big;
    for (int j = 0; j < 260; ++j) big.push_back({{j % 100}});
    spec.instruments = {big};
    spec.instruments.resize(300, {XmSampleSpec{{-7, 1}}});
    spec.instruments[254][0] = {{-7, 1}, 1, 0x7FFFFF00, 0, 1, 0, 64, 128, 0x7FFFFFF0};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    EXPECT_EQ(
        std::make_tuple(app->song.trackCount, app->song.patterns[0].lastRow, app->song.patterns[1].lastRow),
        std::make_tuple(32, 255, 0));
    // Pattern, row, track, and the note there.
    const int notes[][4] = {{0, 0, 31, 10}, {0, 255, 0, 13}, {1, 0, 0, 9},
                            {2, 0, 0, 14},  {2, 1, 0, 0},    {255, 0, 2, 15}};
    for (const auto& n : notes) EXPECT_EQ(CellAt(*app, n[0], n[1], n[2]).note, n[3]) << n[0] << ", " << n[1];
    EXPECT_EQ(FrameAt(app->song.instruments[1].samples[255], 0), 55 / k8Bit);
    EXPECT_EQ(FrameAt(app->song.instruments[2].samples[0], 0), -7 / k8Bit);
    const Sample& cut = app->song.instruments[255].samples[0];  // the rest of the file, its loop inside
    EXPECT_EQ(std::make_tuple(cut.frames, cut.loopStart, cut.loopLength),
              std::make_tuple(2 + 45 * 305, 1, 1 + 45 * 305));

    spec.channels = 0;
    spec.patterns.resize(3);
    spec.patterns.erase(spec.patterns.begin());
    spec.instruments.resize(2);
    spec.instruments[0].resize(2);
    spec.instruments[1][0].type = 0x10;
    const Bytes file = WriteXm(spec);
    ImportXmData(*app, ByteReader(file));
    EXPECT_EQ(app->song.trackCount, 1);
    for (std::size_t size = 0; size <= file.size(); size += 7) {
        ImportXmData(*app, ByteReader(file.data(), size));
        ASSERT_TRUE(StartsWith(app->statusLine, "'")) << size;
    }
}

}  // namespace
}  // namespace zelmora
