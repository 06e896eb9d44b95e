#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"
#include "support/writers_mod.h"

namespace zelmora {
namespace {

std::string Loaded(int orders, int patterns) {
    char text[96];
    std::snprintf(text, sizeof text, profile::kModLoadedFormat, orders, patterns);
    return text;
}

// The pan command every cell carries for its channel; the earlier build's
// cells drop it (its tracks have the pan switch instead).
void ExpectChannelPan(const PatternCell& cell, int track) {
    if constexpr (profile::kCellTiming) {
        EXPECT_EQ(CellCommand(cell, 1), 0);
        EXPECT_EQ(CellParameter(cell, 1), 0);
    } else {
        EXPECT_EQ(CellCommand(cell, 1), 8);
        EXPECT_EQ(CellParameter(cell, 1), (track & 3) == 0 || (track & 3) == 3 ? 0x40 : 0xC0);
    }
}

TEST(ImportMod, HeaderSamplesAndCells) {
    ModSpec spec;
    spec.title = "twenty characters!!!";
    spec.songLength = 3;
    spec.orders = {0, 5, 2};
    spec.samples.resize(3);
    spec.samples[0] = {"first sample", 100, 0x0F, 48, 4, 1};  // loop of 2 frames: no loop
    spec.samples[1] = {"second", 8, 0x07, 64, 2, 2};          // loop of 4 frames: forward
    spec.samples[2] = {"third", 4, 0x08, 10, 0, 1};
    spec.cells = {{0, 0, 0, 428, 1, 0, 0},    {0, 1, 1, 214, 2, 0xD, 0x12}, {5, 63, 3, 856, 3, 0xC, 0x20},
                  {2, 10, 2, 427, 17, 0xF, 6}};
    spec.sampleData = {std::vector<int8_t>(200, 64), {-128, 127, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
                       std::vector<int8_t>(8, -64)};
    auto app = MakeTestApp();
    ImportModData(*app, ByteReader(WriteMod(spec)));
    const Song& s = app->song;

    EXPECT_EQ(app->statusLine, Loaded(3, 6));
    EXPECT_EQ(std::string(s.name, 21), std::string("twenty characters!!!") + '\0');
    EXPECT_EQ(std::make_tuple(s.lastOrder, s.orders[1], s.trackCount, s.tempo),
              std::make_tuple(2, 5, 4, 125));
    EXPECT_STREQ(s.tracks[3].name, "Channel 03");

    const Instrument& i1 = s.instruments[1];
    const Sample &s1 = i1.samples[0], &s2 = s.instruments[2].samples[0], &s3 = s.instruments[3].samples[0];
    EXPECT_STREQ(i1.name, "first sample");
    EXPECT_STREQ(s1.name, "---");
    EXPECT_EQ(std::make_tuple(i1.volume, s1.frames, s1.fineTune, s1.loopMode, FrameAt(s1, 0)),
              std::make_tuple(48, 200, -12, 0, 0.5));
    EXPECT_DOUBLE_EQ(s1.sampleRate, 16574.28);
    EXPECT_EQ(std::make_tuple(s2.fineTune, s2.loopMode, s2.loopStart, s2.loopLength, FrameAt(s2, 0),
                              FrameAt(s2, 1)),
              std::make_tuple(87, 1, 4, 4, -1.0, 127 / 128.0));
    EXPECT_EQ(std::make_tuple(s3.fineTune, FrameAt(s3, 7)), std::make_tuple(-100, -0.5));
    EXPECT_EQ(UsableFrames(s.instruments[4].samples[0]), 0);

    // pattern, row, track, then note, instrument, first command and parameter (427 is no table period)
    const int cells[][7] = {{0, 0, 0, 49, 1, 0, 0}, {0, 1, 1, 61, 2, 13, 12},
                            {5, 63, 3, 37, 3, 12, 0x20}, {2, 10, 2, 0, 17, 15, 6}};
    for (const auto& [p, r, t, note, instrument, command, parameter] : cells) {
        const PatternCell& c = s.patterns[p].cells[r][t];
        EXPECT_EQ(std::make_tuple(c.note, c.instrument, CellCommand(c, 0), CellParameter(c, 0)),
                  std::make_tuple(note, instrument, command, parameter)) << p << " " << r << " " << t;
    }
    // Every cell of every imported pattern carries its channel's panning.
    for (int p : {0, 3, 5})
        for (int r : {0, 31, 63})
            for (int t = 0; t < 4; ++t) ExpectChannelPan(s.patterns[p].cells[r][t], t);
    EXPECT_EQ(CellCommand(s.patterns[6].cells[0][0], 1), 0);
}

TEST(ImportMod, ChannelTagsAndSongLengthZero) {
    const struct {
        const char* tag;
        int tracks;
    } cases[] = {{"8CHN", 8}, {"OKTA", 8}, {"CD81", 8}, {"2CHN", 2}, {"32CH", 32}, {"M.K.", 4}, {"FLT4", 4}};
    for (const auto& c : cases) {
        ModSpec spec;
        spec.tag = c.tag;
        spec.channels = c.tracks;
        spec.songLength = 0;
        auto app = MakeTestApp();
        ImportModData(*app, ByteReader(WriteMod(spec)));
        EXPECT_EQ(app->song.trackCount, c.tracks) << c.tag;
        EXPECT_EQ(app->song.lastOrder, 255);
        EXPECT_EQ(app->statusLine, Loaded(256, 1));
        if (c.tracks == 8) {
            for (int t = 0; t < 8; ++t) ExpectChannelPan(app->song.patterns[0].cells[17][t], t);
            EXPECT_STREQ(app->song.tracks[7].name, "Channel 07");
        }
    }
}

TEST(ImportMod, MissingPatternsAndSampleDataStayEmpty) {
    ModSpec spec;
    spec.orders = {0, 9};
    spec.songLength = 2;
    spec.patternsWritten = 1;  // the file holds only pattern 0
    spec.samples = {{"s", 50000, 0, 64, 0, 1}};
    auto app = MakeTestApp();
    auto bytes = WriteMod(spec);
    ImportModData(*app, ByteReader(bytes));
    EXPECT_EQ(app->statusLine, Loaded(2, 10));
    ExpectChannelPan(app->song.patterns[0].cells[0][0], 0);
    EXPECT_EQ(CellCommand(app->song.patterns[1].cells[0][0], 1), 0);
    const Sample& s = app->song.instruments[1].samples[0];
    ASSERT_EQ(UsableFrames(s), 100000);
    EXPECT_EQ(s.audio[0][kSampleGuard + 99999], 0.0);

    // Every prefix of a file imports without reading outside it.
    bytes.resize(1200);
    for (std::size_t n = 0; n <= bytes.size(); n += 37) ImportModData(*app, ByteReader(bytes.data(), n));
}

}  // namespace
}  // namespace zelmora
