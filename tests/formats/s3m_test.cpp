#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

const PatternCell& Cell(const AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

TEST(ImportS3m, HeaderOrdersAndMessage) {
    S3mSpec spec;
    spec.name = "Twenty-eight characters long";
    spec.speed = 5;
    spec.tempo = 140;
    spec.orders = {0, 1, 254, 2, 255, 255};
    spec.patterns.resize(3);
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    EXPECT_STREQ(app->statusLine, "ScreamTracker Module Loaded (3 Patterns).");
    EXPECT_STREQ(app->song.name, "Twenty-eight characters long");
    EXPECT_EQ(app->song.speed, 5);
    EXPECT_EQ(app->song.tempo, 140);
    EXPECT_EQ(app->song.masterVolume, 32);
    EXPECT_EQ(app->song.trackCount, 4);
    EXPECT_EQ(app->song.lastOrder, 2);
    EXPECT_EQ(app->song.orders[0], 0);
    EXPECT_EQ(app->song.orders[1], 1);
    EXPECT_EQ(app->song.orders[2], 2);
    EXPECT_EQ(app->song.orders[3], 0);
    EXPECT_EQ(app->song.patterns[0].lastRow, 63);
}

TEST(ImportS3m, InstrumentsAndUnsignedData) {
    S3mSpec spec;
    S3mInstrumentSpec looped;
    looped.fileName = "KICK.SMP";
    looped.name = "kick drum";
    looped.data = {0, 128, 255, 64};
    looped.loopBegin = 1;
    looped.loopEnd = 3;
    looped.flags = 1;
    looped.volume = 48;
    looped.c2Speed = 22050;
    S3mInstrumentSpec stereo;
    stereo.data = {200, 100};
    stereo.flags = 2;
    S3mInstrumentSpec wide;  // 16-bit data is read as bytes
    wide.data = {0, 0x80, 0xFF, 0x7F};
    wide.flags = 4;
    S3mInstrumentSpec empty;
    spec.instruments = {looped, stereo, wide, empty};
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));

    const Instrument& kick = app->song.instruments[1];
    const Sample& s = kick.samples[0];
    EXPECT_STREQ(kick.name, "kick drum");
    EXPECT_STREQ(s.name, "KICK.SMP");
    EXPECT_EQ(kick.volume, 48);
    EXPECT_EQ(s.frames, 4);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.sampleRate, 22050.0);
    EXPECT_EQ(s.baseNote, 60);
    EXPECT_EQ(s.loopStart, 1);
    EXPECT_EQ(s.loopLength, 2);
    EXPECT_EQ(s.loopMode, 1);
    EXPECT_EQ(s.audio[0][kSampleGuard + 0], -1.0);
    EXPECT_EQ(s.audio[0][kSampleGuard + 1], 0.0);
    EXPECT_EQ(s.audio[0][kSampleGuard + 2], 127 / 128.0);
    EXPECT_EQ(s.audio[0][kSampleGuard + 3], -0.5);
    EXPECT_EQ(s.audio[0][kSampleGuard + 4], 0.0);  // guard

    const Sample& st = app->song.instruments[2].samples[0];
    EXPECT_EQ(st.channels, 2);
    EXPECT_EQ(st.loopMode, 0);
    EXPECT_EQ(st.audio[0][kSampleGuard], 200 / 128.0 - 1.0);
    EXPECT_EQ(st.audio[1][kSampleGuard], 0.0);
    EXPECT_EQ(st.audio[1][kSampleGuard + 1], 0.0);

    const Sample& w = app->song.instruments[3].samples[0];
    EXPECT_EQ(w.frames, 4);
    EXPECT_EQ(w.audio[0][kSampleGuard + 1], 0.0);

    EXPECT_EQ(UsableFrames(app->song.instruments[4].samples[0]), 0);
    EXPECT_EQ(UsableFrames(app->song.instruments[5].samples[0]), 0);
}

TEST(ImportS3m, NotesVolumesChannelSettingsAndTrackCount) {
    S3mSpec spec;
    spec.channelSettings[0] = 0;
    spec.channelSettings[1] = 9;
    spec.channelSettings[2] = 16 + 128;  // the muted bit is ignored
    spec.channelSettings[4] = 15;
    S3mPatternSpec p;
    p.entries = {
        {0, 0, 0x40, 1, 33},
        {0, 1, 0x3B, 2},
        {1, 0, 255, 0, -1, 1, 3},
        {1, 1, 254},
        {2, 2, -1, 0, 64},
        {2, 3},
        {3, 4, 0x50, 1},
        {4, 5},
        {5, 8},
    };
    spec.patterns = {p};
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));

    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 61);
    EXPECT_EQ(Cell(*app, 0, 0, 0).instrument, 1);
    EXPECT_EQ(Cell(*app, 0, 0, 0).command1, 12);
    EXPECT_EQ(Cell(*app, 0, 0, 0).parameter1, 33);
    EXPECT_EQ(Cell(*app, 0, 0, 1).note, 60);
    EXPECT_EQ(Cell(*app, 0, 1, 0).note, 0);
    EXPECT_EQ(Cell(*app, 0, 1, 0).command2, 15);
    EXPECT_EQ(Cell(*app, 0, 1, 1).note, kNoteOff);
    EXPECT_EQ(Cell(*app, 0, 3, 4).note, 73);
    EXPECT_EQ(Cell(*app, 0, 2, 2).parameter1, 64);

    // Every entry of a left or right channel carries its panning in effect 3.
    EXPECT_EQ(Cell(*app, 0, 0, 0).command3, 8);
    EXPECT_EQ(Cell(*app, 0, 0, 0).parameter3, 0x10);
    EXPECT_EQ(Cell(*app, 0, 1, 0).parameter3, 0x10);
    EXPECT_EQ(Cell(*app, 0, 0, 1).parameter3, 0xF0);
    EXPECT_EQ(Cell(*app, 0, 3, 4).parameter3, 0xF0);
    EXPECT_EQ(Cell(*app, 0, 2, 2).command3, 0);
    EXPECT_EQ(Cell(*app, 0, 2, 0).command3, 0);  // no entry, no panning
    EXPECT_STREQ(app->song.tracks[0].name, "Channel L0");
    EXPECT_STREQ(app->song.tracks[1].name, "Channel R1");
    EXPECT_STREQ(app->song.tracks[2].name, "Channel A0");
    EXPECT_STREQ(app->song.tracks[3].name, "---");
    EXPECT_STREQ(app->song.tracks[4].name, "Channel R7");
    EXPECT_EQ(app->song.trackCount, 6);

    // Channels 0..3 and then 8: the count does not jump the gap.
    spec.patterns[0].entries = {{0, 0, -1, 0, 9}, {0, 1}, {0, 2}, {0, 3}, {1, 8, 0x40, 1}};
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    EXPECT_EQ(app->song.trackCount, 4);
    EXPECT_EQ(Cell(*app, 0, 1, 8).note, 61);
}

TEST(ImportS3m, EffectTranslation) {
    struct Case {
        int command;
        uint8_t info, out, parameter;
    };
    // Each case runs on its own channel so the slide memory starts at zero.
    const Case cases[] = {
        {1, 0x00, 15, 1},    {1, 0x40, 15, 31},   {1, 0x06, 15, 6},    {2, 0x07, 11, 7},    {3, 0x12, 13, 12},
        {4, 0xF3, 14, 0xB3}, {4, 0x20, 10, 0x20}, {4, 0x3F, 14, 0xA3}, {5, 0x20, 2, 0x20},  {5, 0xF2, 0, 0},
        {6, 0xE1, 0, 0},     {6, 0x10, 1, 0x10},  {7, 0x08, 3, 8},     {8, 0x44, 4, 0x44},  {10, 0x37, 0, 0x37},
        {11, 0x02, 6, 2},    {12, 0x20, 5, 0x20}, {15, 0x80, 9, 0x80}, {17, 0x13, 14, 0x93}, {18, 0x55, 7, 0x55},
        {19, 0xC3, 14, 0xC3}, {19, 0xD2, 14, 0xD2}, {19, 0xE4, 14, 0xE4}, {19, 0x81, 0, 0}, {20, 0x90, 15, 0x90},
        {22, 0x30, 16, 0x30}, {9, 0x11, 0, 0},    {26, 0x11, 0, 0},
    };
    S3mSpec spec;
    spec.patterns.resize(1);
    int channel = 0, row = 0;
    for (const Case& c : cases) {
        spec.patterns[0].entries.push_back({row, channel, -1, 0, -1, c.command, c.info});
        if (++channel == 32) channel = 0, ++row;
    }
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    channel = row = 0;
    for (const Case& c : cases) {
        const PatternCell& cell = Cell(*app, 0, row, channel);
        EXPECT_EQ(cell.command2, c.out) << "command " << c.command << " info " << int(c.info);
        EXPECT_EQ(cell.parameter2, c.parameter) << "command " << c.command << " info " << int(c.info);
        if (++channel == 32) channel = 0, ++row;
    }
}

TEST(ImportS3m, VolumeSlideMemoryIsPerChannel) {
    S3mSpec spec;
    spec.patterns.resize(1);
    spec.patterns[0].entries = {
        {0, 0, -1, 0, -1, 4, 0x0F}, {0, 1, -1, 0, -1, 4, 0x05}, {1, 0, -1, 0, -1, 4, 0x00},
        {1, 1, -1, 0, -1, 4, 0x00}, {2, 2, -1, 0, -1, 4, 0x00},
    };
    auto app = MakeTestApp();
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    EXPECT_EQ(Cell(*app, 0, 0, 0).command2, 14);
    EXPECT_EQ(Cell(*app, 0, 0, 0).parameter2, 0xA0);
    EXPECT_EQ(Cell(*app, 0, 1, 0).command2, 14);
    EXPECT_EQ(Cell(*app, 0, 1, 0).parameter2, 0xA0);
    EXPECT_EQ(Cell(*app, 0, 1, 1).command2, 10);
    EXPECT_EQ(Cell(*app, 0, 1, 1).parameter2, 0x05);
    EXPECT_EQ(Cell(*app, 0, 2, 2).command2, 10);  // no memory yet: a slide of 0
    EXPECT_EQ(Cell(*app, 0, 2, 2).parameter2, 0);

    // The memory carries over into the next pattern.
    spec.patterns.resize(2);
    spec.patterns[1].entries = {{0, 1, -1, 0, -1, 4, 0x00}};
    ImportS3mData(*app, ByteReader(WriteS3m(spec)));
    EXPECT_EQ(Cell(*app, 1, 0, 1).parameter2, 0x05);
}

TEST(ImportS3m, DamagedFilesStayInBounds) {
    auto app = MakeTestApp();

    // More row ends than a pattern has rows: nothing past row 255 is kept.
    S3mSpec rows;
    S3mPatternSpec many;
    many.rows = 300;
    many.entries = {{255, 0, 0x40, 1}, {256, 0, 0x50, 1}, {299, 1, 0x50, 1}};
    rows.patterns = {many};
    ImportS3mData(*app, ByteReader(WriteS3m(rows)));
    EXPECT_EQ(Cell(*app, 0, 255, 0).note, 61);
    EXPECT_EQ(app->song.patterns[1].cells[0][0].note, 0);

    // A sample longer than the file and one whose data lies past the end.
    S3mSpec samples;
    S3mInstrumentSpec longer;
    longer.data = {1, 2, 3};
    longer.length = 1000000;
    S3mInstrumentSpec outside;
    outside.data = {9};
    outside.parapointer = 0xFFFF;
    samples.instruments = {outside, longer};
    ImportS3mData(*app, ByteReader(WriteS3m(samples)));
    EXPECT_EQ(UsableFrames(app->song.instruments[1].samples[0]), 0);
    EXPECT_STREQ(app->song.instruments[1].name, "---");
    EXPECT_EQ(app->song.instruments[2].samples[0].frames, 3);

    // Counts above the song's capacity are cut, and patterns with pointers
    // outside the file stay empty.
    S3mSpec counts;
    counts.instruments.resize(300);
    counts.patternCount = 400;
    counts.patterns.resize(1);
    counts.patterns[0].entries = {{0, 0, 0x40, 1}};
    Bytes file = WriteS3m(counts);
    ImportS3mData(*app, ByteReader(file));
    EXPECT_STREQ(app->statusLine, "ScreamTracker Module Loaded (256 Patterns).");
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 61);
    EXPECT_STREQ(app->song.instruments[255].name, "instrument");

    // Every cut of a complete file loads without reading past its end.
    S3mSpec full;
    full.instruments = {longer};
    full.instruments[0].length = -1;
    full.patterns.resize(2);
    full.patterns[1].entries = {{0, 0, 0x40, 1, 20, 4, 0x12}};
    file = WriteS3m(full);
    for (std::size_t size = 0; size <= file.size(); ++size) {
        ImportS3mData(*app, ByteReader(file.data(), size));
        ASSERT_EQ(std::string(app->statusLine).rfind("ScreamTracker Module Loaded (", 0), 0u) << size;
    }
}

TEST(ImportS3m, PathEntryReportsOpenFailure) {
    auto app = MakeTestApp();
    SetName(app->song.name, "kept");
    ImportS3m(*app, MakeTempDir() + "/missing.s3m");
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_STREQ(app->song.name, "kept");
}

TEST(ImportS3m, CorpusFilesLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    struct Known {
        const char* file;
        int patterns;
    };
    const Known known[] = {{"libopenmpt__test.s3m", 2},      {"monsterz-data__music.s3m", 15},
                           {"njam-data__ritam.s3m", 10},      {"madbomber-data__fdn-arab.s3m", 26},
                           {"vectoroids__decision.s3m", 28},  {"gweled__autonom.s3m", 26},
                           {"pachi-data__stage2.stm", 22}};
    auto app = MakeTestApp();
    int checked = 0;
    for (const Known& k : known) {
        const std::string path = corpus + "/s3m/" + k.file;
        if (!std::filesystem::exists(path)) continue;
        ImportS3m(*app, path);
        char expected[128];
        std::snprintf(expected, sizeof expected, "ScreamTracker Module Loaded (%d Patterns).", k.patterns);
        EXPECT_STREQ(app->statusLine, expected) << k.file;
        int usable = 0;
        for (int i = 1; i < kMaxInstruments; ++i) usable += UsableFrames(app->song.instruments[i].samples[0]) > 0;
        EXPECT_GT(usable, 0) << k.file;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace zelmora
