#include <gtest/gtest.h>

#include <cstdio>

#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

std::string Loaded(int tracks, int patterns, int samples) {
    char text[96];
    std::snprintf(text, sizeof text, profile::kOktLoadedFormat, tracks, patterns, samples);
    return text;
}

TEST(ImportOkt, PairsSamplesPatternsAndBodies) {
    OktSpec spec;
    spec.pairFlags = {0, 1, 1, 0};
    spec.songLength = 3;
    spec.samples = {{4, 100, 1, 40}, {}, {6, 1, 2}, {2}, {}, {}, {}};
    spec.bodies = {
        {0x80, 64, 127}, {10, 20, 30, 40, 50, 60}, {5, 6, 7, 8}};  // the first runs short, the last long
    spec.patterns = {{32, {{1, 0}, {25, 2}, {0, 5}, {}, {}, {36, 0}}}, {}};
    auto app = MakeTestApp();
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    const Song& song = app->song;
    EXPECT_EQ(app->statusLine, Loaded(6, 2, 7));
    EXPECT_EQ(std::make_tuple(song.lastOrder, song.patterns[0].lastRow), std::make_tuple(2, 31));

    // Every cell carries its pair's pan; the earlier build drops it for its pan switch.
    constexpr int pan = profile::kExtraCommands ? 8 : 0;
    const int pans[6] = {0x40, 0xC0, 0xC0, 0xC0, 0xC0, 0x40};
    for (int t = 0; t < 6; ++t) EXPECT_EQ(CellBytes(*app, 1, 63, t)[5], pan ? pans[t] : 0) << t;
    EXPECT_EQ(CellBytes(*app, 0, 0, 6)[4], 0);
    EXPECT_EQ(CellBytes(*app, 0, 0, 0), (Cells{37, 1, 0, 0, pan, pan ? 0x40 : 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 0, 1), (Cells{61, 3, 0, 0, pan, pan ? 0xC0 : 0, 0, 0}));
    EXPECT_EQ(CellAt(*app, 0, 0, 2).instrument, 0);  // no note: the sample is not named
    EXPECT_EQ(CellAt(*app, 0, 0, 5).note, 72);

    const Instrument& a = song.instruments[1];
    const Sample& as = a.samples[0];
    // A repeat of one word is no loop; repeats are in words, so doubled.
    EXPECT_EQ(std::make_tuple(a.volume, as.sampleRate, as.loopMode), std::make_tuple(40, 16574.28, 0));
    EXPECT_EQ(std::make_tuple(FrameAt(as, 0), FrameAt(as, 2), FrameAt(as, 3)),
              std::make_tuple(-1.0, 127 / 128.0, 0.0));
    EXPECT_EQ(UsableFrames(song.instruments[2].samples[0]), 0);
    const Sample& f = song.instruments[3].samples[0];
    EXPECT_EQ(std::make_tuple(f.loopMode, f.loopStart, f.loopLength, FrameAt(f, 2)),
              std::make_tuple(1, 2, 4, 30 / 128.0));
    EXPECT_EQ(FrameAt(song.instruments[4].samples[0], 1), 6 / 128.0);

    spec.pairFlags = {1, 1, 1, 2};  // only a flag of 1 splits
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    EXPECT_EQ(app->song.trackCount, 7);
}

TEST(ImportOkt, EffectTranslation) {
    const uint8_t cases[][4] = {
        {1, 0x12, 1, 0x12},   {2, 0x34, 2, 0x34},   {4, 0x11, 0, 0x11},   {17, 0x05, 19, 0x05},
        {21, 0x06, 20, 0x06}, {28, 0x03, 15, 0x03}, {31, 0x40, 12, 0x40}, {31, 0x45, 10, 0x05},
        {31, 0x52, 10, 0x20}, {31, 0x60, 10, 0x00}, {31, 0x63, 14, 0xB3}, {31, 0x70, 14, 0xC0},
        {31, 0x72, 14, 0xA2}, {31, 0x81, 0, 0},     {10, 0x11, 0, 0},
    };
    OktSpec spec;
    spec.patterns.resize(1);
    for (const auto& c : cases) spec.patterns[0].cells.push_back({0, 0, c[0], c[1]});
    auto app = MakeTestApp();
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        EXPECT_EQ(CellBytes(*app, 0, i / 4, i % 4)[2], cases[i][2]) << i;
        EXPECT_EQ(CellBytes(*app, 0, i / 4, i % 4)[3], cases[i][3]) << i;
    }
}

TEST(ImportOkt, DamagedCountsAndLengthsStayInBounds) {
    // 300 rows, 258 patterns, 300 sample entries and a sample longer than the
    // file: cut, with everything behind them still found.
    OktSpec spec;
    spec.samples.resize(300);
    spec.samples[0].length = 2;
    spec.samples[1] = {0xFFFFFFF0u, 1, 0xFFFF};
    spec.patterns = {{300}};
    spec.patterns[0].cells.resize(300 * 4);
    spec.patterns[0].cells[255 * 4] = {3, 0};
    spec.patterns.resize(258, {1, {{5, 0}}});
    spec.bodies = {{9, 9}, {1, 2, 3}};
    Bytes file = WriteOkt(spec);
    file[file.size() - 7] = 0x7F;  // the last body claims far more than the file holds
    auto app = MakeTestApp();
    ImportOktData(*app, ByteReader(file));
    EXPECT_EQ(app->statusLine, Loaded(4, 256, 255));
    EXPECT_EQ(app->song.patterns[0].lastRow, 255);
    EXPECT_EQ(CellAt(*app, 0, 255, 0).note, 39);
    EXPECT_EQ(CellAt(*app, 255, 0, 0).note, 41);
    EXPECT_EQ(FrameAt(app->song.instruments[1].samples[0], 1), 9 / 128.0);
    const Sample& cut = app->song.instruments[2].samples[0];  // cut to the file, its loop to the sample
    EXPECT_EQ(std::make_tuple(cut.frames, cut.loopStart, cut.loopLength, cut.loopMode),
              std::make_tuple(3, 2, 1, 1));

    spec.samples.erase(spec.samples.begin() + 2, spec.samples.end());
    spec.patterns.erase(spec.patterns.begin() + 2, spec.patterns.end());
    spec.patterns.erase(spec.patterns.begin());
    file = WriteOkt(spec);
    for (std::size_t size = 0; size <= file.size(); size += 5) {
        ImportOktData(*app, ByteReader(file.data(), size));
        ASSERT_TRUE(StartsWith(app->statusLine, Loaded(0, 0, 0).substr(0, 24))) << size;
    }
}

}  // namespace
}  // namespace zelmora
