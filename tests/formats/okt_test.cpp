#include <gtest/gtest.h>

#include <string>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

const PatternCell& Cell(const AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

double At(const Sample& s, int frame) { return s.audio[0][kSampleGuard + frame]; }

TEST(ImportOkt, ChannelPairsPanningAndMessage) {
    OktSpec spec;
    spec.pairFlags = {0, 1, 1, 0};
    spec.samples.resize(7);
    spec.speed = 4;
    spec.songLength = 3;
    spec.orders = {1, 0, 1};
    OktPatternSpec p;
    p.rows = 32;
    p.cells = {{1, 0, 0, 0}, {25, 2, 0, 0}, {0, 5, 0, 0}, {}, {}, {36, 0, 0, 0}};
    spec.patterns = {p, OktPatternSpec{}};
    auto app = MakeTestApp();
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    EXPECT_STREQ(app->statusLine, "Oktalyzer Module Loaded. (6 Ch, 2 Patterns, 7 Samples)");
    EXPECT_STREQ(app->song.name, "Untitled");
    EXPECT_EQ(app->song.tempo, 125);
    EXPECT_EQ(app->song.speed, 4);
    EXPECT_EQ(app->song.trackCount, 6);
    EXPECT_EQ(app->song.lastOrder, 2);
    EXPECT_EQ(app->song.orders[0], 1);
    EXPECT_EQ(app->song.orders[2], 1);
    EXPECT_EQ(app->song.patterns[0].lastRow, 31);
    EXPECT_EQ(app->song.patterns[1].lastRow, 63);

    const uint8_t pans[6] = {0x40, 0xC0, 0xC0, 0xC0, 0xC0, 0x40};
    for (int t = 0; t < 6; ++t) {
        EXPECT_EQ(Cell(*app, 0, 0, t).command2, 8) << t;
        EXPECT_EQ(Cell(*app, 0, 0, t).parameter2, pans[t]) << t;
        EXPECT_EQ(Cell(*app, 1, 63, t).parameter2, pans[t]) << t;
    }
    EXPECT_EQ(Cell(*app, 0, 0, 6).command2, 0);
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 37);
    EXPECT_EQ(Cell(*app, 0, 0, 0).instrument, 1);
    EXPECT_EQ(Cell(*app, 0, 0, 1).note, 61);
    EXPECT_EQ(Cell(*app, 0, 0, 1).instrument, 3);
    EXPECT_EQ(Cell(*app, 0, 0, 2).instrument, 0);  // no note: the sample is not named
    EXPECT_EQ(Cell(*app, 0, 0, 5).note, 72);

    spec.pairFlags = {1, 1, 1, 1};
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    EXPECT_EQ(app->song.trackCount, 8);
    spec.pairFlags = {0, 0, 0, 2};  // only a flag of 1 splits
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    EXPECT_EQ(app->song.trackCount, 4);
}

TEST(ImportOkt, EffectTranslation) {
    struct Case {
        uint8_t command, data, out, parameter;
    };
    const Case cases[] = {
        {1, 0x12, 1, 0x12},  {2, 0x34, 2, 0x34},  {3, 0x47, 0, 0x47},  {4, 0x11, 0, 0x11},  {5, 0x22, 0, 0x22},
        {17, 0x05, 19, 0x05}, {21, 0x06, 20, 0x06}, {28, 0x03, 15, 0x03}, {31, 0x30, 12, 0x30}, {31, 0x40, 12, 0x40},
        {31, 0x45, 10, 0x05}, {31, 0x50, 10, 0x10}, {31, 0x52, 10, 0x20}, {31, 0x60, 10, 0x00}, {31, 0x63, 14, 0xB3},
        {31, 0x70, 14, 0xC0}, {31, 0x72, 14, 0xA2}, {31, 0x80, 14, 0xB0}, {31, 0x81, 0, 0},    {10, 0x11, 0, 0},
        {0, 0x00, 0, 0},
    };
    OktSpec spec;
    OktPatternSpec p;
    for (const Case& c : cases) p.cells.push_back({0, 0, c.command, c.data});
    spec.patterns = {p};
    auto app = MakeTestApp();
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const PatternCell& cell = Cell(*app, 0, i / 4, i % 4);
        EXPECT_EQ(cell.command1, cases[i].out) << int(cases[i].command) << " " << int(cases[i].data);
        EXPECT_EQ(cell.parameter1, cases[i].parameter) << int(cases[i].command) << " " << int(cases[i].data);
    }
}

TEST(ImportOkt, SamplesAndBodies) {
    OktSpec spec;
    spec.samples = {{"short loop", 4, 100, 1, 40}, {"empty"}, {"forward", 3, 1, 2, 64}, {"long body", 2}};
    spec.patterns.resize(1);
    spec.bodies = {{0x80, 64, 127, 1}, {10, 20, 30}, {5, 6, 7, 8}};  // the third block is longer than its sample
    spec.bodyLengths = {-1, -1, -1};
    OktSpec tail = spec;
    auto app = MakeTestApp();
    ImportOktData(*app, ByteReader(WriteOkt(spec)));
    EXPECT_STREQ(app->statusLine, "Oktalyzer Module Loaded. (4 Ch, 1 Patterns, 4 Samples)");

    const Instrument& a = app->song.instruments[1];
    EXPECT_STREQ(a.name, "short loop");
    EXPECT_EQ(a.volume, 40);
    EXPECT_EQ(a.samples[0].sampleRate, 16574.28);
    EXPECT_EQ(a.samples[0].frames, 4);
    EXPECT_EQ(a.samples[0].loopStart, 200);
    EXPECT_EQ(a.samples[0].loopLength, 2);
    EXPECT_EQ(a.samples[0].loopMode, 0);
    EXPECT_EQ(At(a.samples[0], 0), -1.0);
    EXPECT_EQ(At(a.samples[0], 1), 0.5);
    EXPECT_EQ(At(a.samples[0], 2), 127 / 128.0);
    EXPECT_EQ(UsableFrames(app->song.instruments[2].samples[0]), 0);
    const Sample& f = app->song.instruments[3].samples[0];
    EXPECT_EQ(f.loopLength, 4);
    EXPECT_EQ(f.loopMode, 1);
    EXPECT_EQ(At(f, 2), 30 / 128.0);
    const Sample& l = app->song.instruments[4].samples[0];
    EXPECT_EQ(l.frames, 2);
    EXPECT_EQ(At(l, 1), 6 / 128.0);

    // A block shorter than its sample leaves the rest silent, and the excess
    // of a longer one is skipped so the next block is found.
    tail.samples = {{"a", 4}, {"b", 2}, {"c", 2}};
    tail.bodies = {{1, 2}, {3, 4, 5, 6}, {7, 8}};
    ImportOktData(*app, ByteReader(WriteOkt(tail)));
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 1), 2 / 128.0);
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 2), 0.0);
    EXPECT_EQ(At(app->song.instruments[2].samples[0], 1), 4 / 128.0);
    EXPECT_EQ(At(app->song.instruments[3].samples[0], 0), 7 / 128.0);
}

TEST(ImportOkt, DamagedCountsAndLengthsStayInBounds) {
    auto app = MakeTestApp();

    // 300 rows: 256 kept, the rest skipped so the sample body is still found.
    OktSpec rows;
    rows.samples = {{"s", 2}};
    OktPatternSpec tall;
    tall.rows = 300;
    tall.cells.resize(300 * 4);
    tall.cells[255 * 4] = {3, 0, 0, 0};
    tall.cells[299 * 4] = {4, 0, 0, 0};
    rows.patterns = {tall};
    rows.bodies = {{9, 9}};
    ImportOktData(*app, ByteReader(WriteOkt(rows)));
    EXPECT_EQ(app->song.patterns[0].lastRow, 255);
    EXPECT_EQ(Cell(*app, 0, 255, 0).note, 39);
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 0), 9 / 128.0);

    // 258 patterns and 300 sample entries: 256 and 255 are kept.
    OktSpec many;
    many.samples.resize(300);
    many.samples[0].length = 1;
    for (int i = 0; i < 258; ++i) many.patterns.push_back({1, {{static_cast<uint8_t>(1 + i % 36), 0, 0, 0}}});
    many.bodies = {{64}};
    many.speed = 3;
    ImportOktData(*app, ByteReader(WriteOkt(many)));
    EXPECT_STREQ(app->statusLine, "Oktalyzer Module Loaded. (4 Ch, 256 Patterns, 255 Samples)");
    EXPECT_EQ(app->song.speed, 3);
    EXPECT_EQ(Cell(*app, 255, 0, 0).note, 1 + 255 % 36 + 36);
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 0), 0.5);

    // A sample and a block longer than the file: cut to what is there.
    OktSpec longer;
    longer.samples = {{"big", 0xFFFFFFF0u}};
    longer.patterns.resize(1);
    longer.bodies = {{1, 2, 3}};
    longer.bodyLengths = {0x7FFFFFFF};
    ImportOktData(*app, ByteReader(WriteOkt(longer)));
    EXPECT_EQ(app->song.instruments[1].samples[0].frames, 3);
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 2), 3 / 128.0);

    // Every cut of a complete file loads without reading past its end.
    OktSpec full;
    full.pairFlags = {1, 0, 0, 1};
    full.samples = {{"a", 3}, {"b", 2}};
    full.patterns = {{2, {{1, 0, 31, 0x20}}}};
    full.bodies = {{1, 2, 3}, {4, 5}};
    const Bytes file = WriteOkt(full);
    for (std::size_t size = 0; size <= file.size(); ++size) {
        ImportOktData(*app, ByteReader(file.data(), size));
        ASSERT_EQ(std::string(app->statusLine).rfind("Oktalyzer Module Loaded. (", 0), 0u) << size;
    }
}

TEST(ImportOkt, PathEntryReportsOpenFailure) {
    auto app = MakeTestApp();
    SetName(app->song.name, "kept");
    ImportOkt(*app, MakeTempDir() + "/missing.okt");
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_STREQ(app->song.name, "kept");
}

}  // namespace
}  // namespace zelmora
