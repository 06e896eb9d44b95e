// The tracker module importers: ProTracker, ScreamTracker 3, FastTracker 2 and Oktalyzer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "engine/mixer.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"
#include "support/writers_tracker.h"

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

// The earlier build's files: the timing byte and two slots the importers fill.
// Note, instrument, timing, then both slots.
Cells Laid(const PatternCell& c) {
    return {c.note,
            c.instrument,
            CellTiming(c),
            CellCommand(c, 0),
            CellParameter(c, 0),
            CellCommand(c, 1),
            CellParameter(c, 1)};
}

struct EarlierFiles : ::testing::Test {
    std::unique_ptr<AppState> app = MakeTestApp();
    void SetUp() override {
        if constexpr (!profile::kEarlierBuild) GTEST_SKIP() << "the earlier build only";
    }
};

TEST_F(EarlierFiles, CellsGetTheTimingByteAndTwoSlots) {
    // ProTracker: the channel pans are dropped; delay and cut with a tick move
    // into the timing byte, a tick of 0 stays a command.
    ModSpec spec;
    spec.cells = {{0, 0, 0, 428, 1, 0xE, 0xD3},
                  {0, 1, 1, 428, 1, 0xE, 0xC5},
                  {0, 2, 2, 428, 1, 0xE, 0xD0},
                  {0, 3, 3, 0, 0, 0xC, 0x20}};
    ImportModData(*app, ByteReader(WriteMod(spec)));
    const Song& song = app->song;
    EXPECT_EQ(Laid(song.patterns[0].cells[0][0]), (Cells{49, 1, 0x03, 0, 0, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[1][1]), (Cells{49, 1, 0x50, 0, 0, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[2][2]), (Cells{49, 1, 0, 14, 0xD0, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[3][3]), (Cells{0, 0, 0, 12, 0x20, 0, 0}));
    EXPECT_EQ(CellBytes(song.patterns[0].cells[3][3])[7], 0);  // the unused byte

    // FastTracker 2: the volume column in slot 1, the effect in slot 2; a
    // volume-column pan is dropped; delay and cut of either move.
    XmSpec xm;
    xm.patterns = {{4,
                    {{0, 0, 49, 1, 0x30, 0x0E, 0xC2},
                     {1, 0, 49, 1, 0xC8, 0x0F, 0x06},
                     {2, 0, 49, 1, 0x00, 0x0E, 0xD4}}}};
    ImportXmData(*app, ByteReader(WriteXm(xm)));
    EXPECT_EQ(Laid(song.patterns[0].cells[0][0]), (Cells{49, 1, 0x20, 12, 0x20, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[1][0]), (Cells{49, 1, 0, 0, 0, 15, 0x06}));
    EXPECT_EQ(Laid(song.patterns[0].cells[2][0]), (Cells{49, 1, 0x04, 0, 0, 0, 0}));

    // Oktalyzer: no pair pans, its effect in slot 1; the pan switch takes the
    // side of each track's pair, split pairs included.
    OktSpec okt;
    okt.pairFlags = {1, 0, 0, 1};
    okt.patterns = {{1, {{1, 0, 1, 0x12}}}};
    ImportOktData(*app, ByteReader(WriteOkt(okt)));
    EXPECT_EQ(Laid(song.patterns[0].cells[0][0]), (Cells{37, 1, 0, 1, 0x12, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[0][1]), (Cells{0, 0, 0, 0, 0, 0, 0}));
    const uint8_t sides[6] = {kPanSwitchLeft, kPanSwitchLeft, kPanSwitchRight, kPanSwitchRight,
                              kPanSwitchLeft, kPanSwitchLeft};
    for (int t = 0; t < 6; ++t) EXPECT_EQ(song.tracks[t].reserved2, sides[t]) << t;
}

}  // namespace
}  // namespace zelmora
