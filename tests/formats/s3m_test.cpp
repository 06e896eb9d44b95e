#include <gtest/gtest.h>

#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

TEST(ImportS3m, OrdersInstrumentsAndPatterns) {
    if constexpr (profile::kCellTiming) GTEST_SKIP() << "the earlier build opens no such files";
    S3mSpec spec;
    spec.orders = {0, 1, 254, 2, 255, 255};
    spec.channelSettings = {0, 9, 16 + 128, 255, 15};  // the rest 0 (left)
    spec.instruments = {{"looped", 1, 3, 1, 22050, {0, 128, 255, 64}}, {"stereo", 0, 0, 2, 8363, {200, 100}}};
    const std::vector<S3mEntry> first = {{0, 0, 0x40, 1, 33}, {0, 1, 0x3B, 2}, {1, 1, 254},
                                         {1, 2, 255, 0, 64},  {2, 3},          {2, 4},
                                         {2, 5, 0x50, 1}};
    spec.patterns = {first, {{0, 0, -1, 0, 9}, {0, 1}, {0, 2}, {0, 3}, {1, 8, 0x40, 1}}, {}};
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    const Song& song = app->song;
    EXPECT_STREQ(app->statusLine, "ScreamTracker Module Loaded (3 Patterns).");
    EXPECT_EQ(std::make_tuple(song.lastOrder, song.orders[2]), std::make_tuple(2, 2));
    const Sample& s = song.instruments[1].samples[0];
    EXPECT_EQ(std::make_tuple(s.frames, s.channels, s.sampleRate, s.loopStart, s.loopLength, s.loopMode),
              std::make_tuple(4, 1, 22050.0, 1, 2, 1));
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 2), FrameAt(s, 3)),
              std::make_tuple(-1.0, 127 / 128.0, -0.5));
    const Sample& st = song.instruments[2].samples[0];  // stereo: the second channel stays silent
    EXPECT_EQ(std::make_tuple(st.channels, FrameAt(st, 0, 1)), std::make_tuple(2, 0.0));

    // Panning goes into effect 3 of every entry of a left or right channel.
    EXPECT_EQ(CellBytes(*app, 0, 0, 0), (Cells{61, 1, 12, 33, 0, 0, 8, 0x10}));
    EXPECT_EQ(CellBytes(*app, 0, 0, 1), (Cells{60, 2, 0, 0, 0, 0, 8, 0xF0}));
    EXPECT_EQ(CellBytes(*app, 0, 1, 1), (Cells{kNoteOff, 0, 0, 0, 0, 0, 8, 0xF0}));
    EXPECT_EQ(CellBytes(*app, 0, 1, 2), (Cells{0, 0, 12, 64, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 2, 5), (Cells{73, 1, 0, 0, 0, 0, 8, 0x10}));
    const char* names[] = {"Channel L0", "Channel R1", "Channel A0", "---", "Channel R7"};
    for (int t = 0; t < 5; ++t) EXPECT_STREQ(song.tracks[t].name, names[t]);
    // Pattern 1 names channels 0..3 and 8 only: the count does not jump the gap.
    EXPECT_EQ(song.trackCount, 6);
    EXPECT_EQ(CellBytes(*app, 1, 1, 8), (Cells{61, 1, 0, 0, 0, 0, 8, 0x10}));

    // The song ends at its first 255: what follows was never played.
    spec.orders = {1, 254, 0, 255, 255, 2, 255};
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    EXPECT_EQ(std::make_tuple(song.lastOrder, song.orders[0], song.orders[1]), std::make_tuple(1, 1, 0));
}

TEST(ImportS3m, EffectTranslationAndSlideMemory) {
    struct Case {
        int command;
        uint8_t info, out, parameter;
    };
    // One case per channel, so each slide memory starts at zero.
    const Case cases[] = {
        {1, 0x00, 15, 1},     {1, 0x40, 15, 31},    {3, 0x12, 13, 12},    {4, 0xF3, 14, 0xB3},
        {4, 0x20, 10, 0x20},  {4, 0x3F, 14, 0xA3},  {4, 0x0F, 14, 0xA0},  {5, 0xF2, 0, 0},
        {5, 0x20, 2, 0x20},   {6, 0x10, 1, 0x10},   {10, 0x37, 0, 0x37},  {15, 0x80, 9, 0x80},
        {17, 0x13, 14, 0x93}, {19, 0xC3, 14, 0xC3}, {19, 0xE4, 14, 0xE4}, {19, 0xB3, 14, 0x63},
        {19, 0x81, 0, 0},     {20, 0x90, 15, 0x90}, {22, 0x30, 16, 0x30}, {9, 0x11, 0, 0},
    };
    S3mSpec spec;
    spec.patterns.resize(2);
    for (int c = 0; c < static_cast<int>(std::size(cases)); ++c)
        spec.patterns[0].push_back({0, c, -1, 0, -1, cases[c].command, cases[c].info});
    // D00 repeats the channel's last slide, also in the next pattern.
    spec.patterns[0].push_back({1, 6, -1, 0, -1, 4, 0});
    spec.patterns[1] = {{0, 4, -1, 0, -1, 4, 0}, {0, 20, -1, 0, -1, 4, 0}};
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    // Read in the importers' layout: the earlier build never refits S3M cells.
    for (int c = 0; c < static_cast<int>(std::size(cases)); ++c) {
        EXPECT_EQ(ImportedCommand(CellAt(*app, 0, 0, c), 1), cases[c].out) << c;
        EXPECT_EQ(ImportedParameter(CellAt(*app, 0, 0, c), 1), cases[c].parameter) << c;
    }
    EXPECT_EQ(ImportedParameter(CellAt(*app, 0, 1, 6), 1), 0xA0);
    EXPECT_EQ(ImportedParameter(CellAt(*app, 1, 0, 4), 1), 0x20);
    const PatternCell& released = CellAt(*app, 1, 0, 20);
    EXPECT_EQ(std::make_tuple(ImportedCommand(released, 1), ImportedParameter(released, 1)),
              std::make_tuple(10, 0));
}

TEST(ImportS3m, DamagedFilesStayInBounds) {
    // More row ends than a pattern has rows, 300 instruments, 400 patterns
    // (all but the first pointing outside the file), an instrument pointing
    // outside it, and samples longer than the file.
    S3mSpec spec;
    spec.patterns = {{{255, 0, 0x40, 1}, {256, 0, 0x50, 1}, {299, 1, 0x50, 1}}};
    spec.patternCount = 400;
    S3mInstrumentSpec outside{"outside", 0, 0, 0, 8363, {9}, -1, 0xFFFF};
    S3mInstrumentSpec longer{"longer", 2, 2000000, 1, 8363, {1, 2, 3}, 1000000};
    spec.instruments = {outside, longer};
    spec.instruments.resize(300, longer);
    Bytes file = WriteS3m(spec);
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(file));
    EXPECT_STREQ(app->statusLine, "ScreamTracker Module Loaded (256 Patterns).");
    EXPECT_EQ(CellAt(*app, 0, 255, 0).note, 61);
    EXPECT_EQ(CellAt(*app, 1, 0, 0).note, 0);
    EXPECT_STREQ(app->song.instruments[1].name, "---");
    EXPECT_STREQ(app->song.instruments[255].name, "longer");
    const Sample& cut = app->song.instruments[255].samples[0];  // cut to the file, its loop to the sample
    EXPECT_LT(cut.frames, static_cast<int>(file.size()));
    EXPECT_EQ(std::make_tuple(cut.loopStart, cut.loopLength, cut.loopMode),
              std::make_tuple(2, cut.frames - 2, 1));

    spec.instruments.resize(2);
    spec.patternCount = -1;
    file = WriteS3m(spec);
    for (std::size_t size = 0; size <= file.size(); size += 3) {
        ImportS3mData(*app, ByteReader(file.data(), size));
        ASSERT_TRUE(StartsWith(app->statusLine, "ScreamTracker Module Loaded (")) << size;
    }
}

// 16-bit data (flag bit 2) as 16-bit values, signed data (sample
// format 1 in the header) as signed values.
TEST(ImportS3m, SixteenBitAndSignedSampleData) {
    S3mSpec spec;
    spec.patterns = {{}};
    const Bytes wide = {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40};  // 16-bit little-endian: 0x8000, 0x7FFF, 0x4000
    spec.instruments = {{"wide", 0, 0, 4, 8363, wide, 3}, {"narrow", 0, 0, 0, 8363, {0x80, 0x7F, 0x40}}};
    // sample format, and the values each instrument holds under it
    const struct {
        int format;
        double wide[3], narrow[3];
    } cases[] = {{2, {0.0, -1 / 32768.0, -0.5}, {0.0, -1 / 128.0, -0.5}},
                 {1, {-1.0, 32767 / 32768.0, 0.5}, {-1.0, 127 / 128.0, 0.5}}};
    for (const auto& c : cases) {
        Bytes file = WriteS3m(spec);
        file[0x2A] = static_cast<uint8_t>(c.format);
        auto app = MakeTestApp();
        ImportS3mData(*app, ByteReader(file));
        const Sample& w = app->song.instruments[1].samples[0];
        const Sample& n = app->song.instruments[2].samples[0];
        EXPECT_EQ(std::make_tuple(w.frames, n.frames), std::make_tuple(3, 3));
        for (int f = 0; f < 3; ++f) {
            EXPECT_EQ(FrameAt(w, f), c.wide[f]) << c.format << " " << f;
            EXPECT_EQ(FrameAt(n, f), c.narrow[f]) << c.format << " " << f;
        }
    }
    // A 16-bit sample longer than its data is cut to the whole values there are.
    spec.instruments = {{"cut", 0, 0, 4, 8363, {1, 2, 3}, 10}};
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    EXPECT_EQ(app->song.instruments[1].samples[0].frames, 1);
}

}  // namespace
}  // namespace zelmora
