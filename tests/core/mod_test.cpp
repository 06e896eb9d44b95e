#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"
#include "support/writers_mod.h"

namespace zelmora {
namespace {

TEST(ImportMod, HeaderSamplesAndCells) {
    ModSpec spec;
    spec.title = "twenty characters!!!";
    spec.songLength = 3;
    spec.orders = {0, 5, 2};
    spec.samples.resize(3);
    spec.samples[0] = {"first sample", 100, 0x0F, 48, 4, 1};  // loop of 2 frames: no loop
    spec.samples[1] = {"second", 8, 0x07, 64, 2, 2};          // loop of 4 frames: forward
    spec.samples[2] = {"third", 4, 0x08, 10, 0, 1};
    spec.cells = {{0, 0, 0, 428, 1, 0, 0},
                  {0, 1, 1, 214, 2, 0xD, 0x12},
                  {5, 63, 3, 856, 3, 0xC, 0x20},
                  {2, 10, 2, 427, 17, 0xF, 6}};
    spec.sampleData = {std::vector<int8_t>(200, 64),
                       {-128, 127, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
                       std::vector<int8_t>(8, -64)};
    auto app = MakeTestApp();
    ImportModData(*app, ByteReader(WriteMod(spec)));
    const Song& s = app->song;

    EXPECT_STREQ(app->statusLine, Worded("Protracker Module Loaded. (3 Orders, 6 Patterns)").c_str());
    EXPECT_EQ(std::string(s.name, 21), std::string("twenty characters!!!") + '\0');
    EXPECT_EQ(std::make_tuple(s.lastOrder, s.orders[1], s.trackCount, s.tempo),
              std::make_tuple(2, 5, 4, 125));
    EXPECT_STREQ(s.tracks[3].name, "Channel 03");

    const Instrument& i1 = s.instruments[1];
    const Sample& a = i1.samples[0];
    EXPECT_STREQ(i1.name, "first sample");
    EXPECT_STREQ(a.name, "---");
    EXPECT_EQ(std::make_tuple(i1.volume, a.frames, a.fineTune, a.loopMode, FrameAt(a, 0)),
              std::make_tuple(48, 200, -12, 0, 0.5));
    EXPECT_DOUBLE_EQ(a.sampleRate, 16574.28);
    const Sample& b = s.instruments[2].samples[0];
    EXPECT_EQ(
        std::make_tuple(b.fineTune, b.loopMode, b.loopStart, b.loopLength, FrameAt(b, 0), FrameAt(b, 1)),
        std::make_tuple(87, 1, 4, 4, -1.0, 127 / 128.0));
    const Sample& c = s.instruments[3].samples[0];
    EXPECT_EQ(std::make_tuple(c.fineTune, FrameAt(c, 7)), std::make_tuple(-100, -0.5));
    EXPECT_EQ(UsableFrames(s.instruments[4].samples[0]), 0);

    // Pattern breaks name their row in decimal; 427 is no period of the table.
    EXPECT_EQ(CellBytes(*app, 0, 0, 0), (Cells{49, 1, 0, 0, 8, 0x40, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 1, 1), (Cells{61, 2, 13, 12, 8, 0xC0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 5, 63, 3), (Cells{37, 3, 12, 0x20, 8, 0x40, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 2, 10, 2), (Cells{0, 17, 15, 6, 8, 0xC0, 0, 0}));
    // Every cell of every imported pattern carries its channel's panning; pattern 6 was never read.
    int unpanned = 0;
    for (int p : {0, 3, 5})
        for (int r : {0, 31, 63})
            for (int t = 0; t < 4; ++t)
                unpanned += CellAt(*app, p, r, t).command2 != 8 ||
                            CellAt(*app, p, r, t).parameter2 != ((t == 0 || t == 3) ? 0x40 : 0xC0);
    EXPECT_EQ(unpanned, 0);
    EXPECT_EQ(CellAt(*app, 6, 0, 0).command2, 0);
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
        EXPECT_STREQ(app->statusLine, Worded("Protracker Module Loaded. (256 Orders, 1 Patterns)").c_str());
        if (c.tracks == 8) {
            const uint8_t pans[8] = {0x40, 0xC0, 0xC0, 0x40, 0x40, 0xC0, 0xC0, 0x40};
            for (int t = 0; t < 8; ++t) EXPECT_EQ(app->song.patterns[0].cells[17][t].parameter2, pans[t]);
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
    EXPECT_STREQ(app->statusLine, Worded("Protracker Module Loaded. (2 Orders, 10 Patterns)").c_str());
    EXPECT_EQ(app->song.patterns[0].cells[0][0].command2, 8);
    EXPECT_EQ(app->song.patterns[1].cells[0][0].command2, 0);
    const Sample& s = app->song.instruments[1].samples[0];
    ASSERT_EQ(UsableFrames(s), 100000);
    EXPECT_EQ(s.audio[0][kSampleGuard + 99999], 0.0);

    // Every prefix of a file imports without reading outside it.
    bytes.resize(1200);
    for (std::size_t n = 0; n <= bytes.size(); n += 37) ImportModData(*app, ByteReader(bytes.data(), n));
}

TEST(ImportMod, CorpusFilesLoad) {
    const std::string dir = CorpusDir();
    if (dir.empty()) GTEST_SKIP() << "no corpus";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir + "/mod")) {
        auto app = MakeTestApp();
        std::string path = entry.path().string();
        ImportFile(*app, path.data());
        EXPECT_TRUE(StartsWith(app->statusLine, Worded("Protracker Module Loaded."))) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace zelmora
