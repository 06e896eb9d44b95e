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

double At(const Sample& s, int frame) { return s.audio[0][kSampleGuard + frame]; }

bool StartsWith(const char* text, const char* prefix) { return std::string(text).rfind(prefix, 0) == 0; }

TEST(ImportXm, HeaderAndMessage) {
    XmSpec spec;
    spec.name = "xm header";
    spec.tracker = "TwentyCharTrackerABC";  // fills its field: no terminator in the file
    spec.version = 0x0104;
    spec.songLength = 3;
    spec.restart = 1;
    spec.channels = 6;
    spec.speed = 3;
    spec.bpm = 150;
    spec.orders = {2, 0, 1};
    spec.patterns.resize(3);
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    EXPECT_STREQ(app->statusLine, "'TwentyCharTrackerABC' Module Loaded (0x0104).");
    EXPECT_STREQ(app->song.name, "xm header");
    EXPECT_EQ(app->song.lastOrder, 2);
    EXPECT_EQ(app->song.restartOrder, 1);
    EXPECT_EQ(app->song.trackCount, 6);
    EXPECT_EQ(app->song.speed, 3);
    EXPECT_EQ(app->song.tempo, 150);
    EXPECT_EQ(app->song.orders[0], 2);
    EXPECT_EQ(app->song.orders[2], 1);

    spec.tracker = "FastTracker v2.00";
    spec.version = 0x0211;
    ImportXmData(*app, ByteReader(WriteXm(spec)));
    EXPECT_STREQ(app->statusLine, "'FastTracker v2.00' Module Loaded (0x0211).");
}

TEST(ImportXm, CellsAndVolumeColumn) {
    struct Case {
        uint8_t volume, command, parameter;
    };
    const Case cases[] = {
        {0x10, 12, 0x00}, {0x40, 12, 0x30}, {0x50, 12, 0x40}, {0x51, 0, 0},    {0x63, 10, 0x03}, {0x7A, 10, 0xA0},
        {0x84, 14, 0xB4}, {0x93, 14, 0xA3}, {0xA5, 0, 0},     {0xB5, 0, 0},    {0xC8, 8, 0x80},  {0xD3, 0, 0},
        {0xE3, 0, 0},     {0xF7, 3, 0x07},  {0x05, 0, 0},     {0x00, 0, 0},
    };
    XmSpec spec;
    spec.channels = 2;
    XmPatternSpec p;
    p.rows = 128;
    p.cells = {{0, 0, 97, 0, 0, 0x0F, 0x7D}, {0, 1, 49, 3, 0x40, 0x0E, 0xC3}, {127, 1, 1, 1}};
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) p.cells.push_back({1 + i, 0, 0, 0, cases[i].volume});
    XmPatternSpec plain;  // bit 7 clear: every part present
    plain.rows = 2;
    plain.unpacked = true;
    plain.cells = {{1, 1, 25, 2, 0x20, 0x01, 0x05}};
    XmPatternSpec empty;
    empty.rows = 16;
    empty.noData = true;
    spec.patterns = {p, plain, empty};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));

    EXPECT_EQ(app->song.patterns[0].lastRow, 127);
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, kNoteOff);
    EXPECT_EQ(Cell(*app, 0, 0, 0).command2, 0x0F);
    EXPECT_EQ(Cell(*app, 0, 0, 0).parameter2, 0x7D);
    EXPECT_EQ(Cell(*app, 0, 0, 1).note, 49);
    EXPECT_EQ(Cell(*app, 0, 0, 1).instrument, 3);
    EXPECT_EQ(Cell(*app, 0, 0, 1).command1, 12);
    EXPECT_EQ(Cell(*app, 0, 0, 1).parameter1, 0x30);
    EXPECT_EQ(Cell(*app, 0, 127, 1).note, 1);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        EXPECT_EQ(Cell(*app, 0, 1 + i, 0).command1, cases[i].command) << "volume " << int(cases[i].volume);
        EXPECT_EQ(Cell(*app, 0, 1 + i, 0).parameter1, cases[i].parameter) << "volume " << int(cases[i].volume);
    }

    EXPECT_EQ(app->song.patterns[1].lastRow, 1);
    EXPECT_EQ(Cell(*app, 1, 1, 1).note, 25);
    EXPECT_EQ(Cell(*app, 1, 1, 1).instrument, 2);
    EXPECT_EQ(Cell(*app, 1, 1, 1).command1, 12);
    EXPECT_EQ(Cell(*app, 1, 1, 1).parameter1, 0x10);
    EXPECT_EQ(Cell(*app, 1, 1, 1).command2, 1);
    EXPECT_EQ(Cell(*app, 1, 1, 1).parameter2, 5);

    EXPECT_EQ(app->song.patterns[2].lastRow, 15);  // no packed data: empty, rows still set
    EXPECT_EQ(Cell(*app, 2, 0, 0).note, 0);
}

TEST(ImportXm, InstrumentsSamplesAndDeltaData) {
    XmSpec spec;
    XmInstrumentSpec drums;
    drums.name = "drum kit";
    XmSampleSpec wide;
    wide.name = "sixteen";
    wide.type = 0x10 | 1;
    wide.loopStart = 200;
    wide.loopLength = 1000;
    wide.values.assign(1000, 0);
    wide.values[0] = -32768;
    wide.values[1] = 32767;  // the delta wraps
    wide.values[2] = 16384;
    wide.volume = 40;
    wide.pan = 10;
    wide.finetune = -16;
    wide.relativeNote = 12;
    XmSampleSpec narrow;
    narrow.name = "eight";
    narrow.type = 2;
    narrow.loopLength = 2;
    narrow.values = {127, -128, 64, -1};  // 127 -> -128 wraps the running byte
    narrow.volume = 64;
    narrow.pan = 200;
    narrow.finetune = -128;
    drums.samples = {wide, narrow};
    XmInstrumentSpec none;
    none.name = "no samples";
    XmInstrumentSpec loops;
    for (uint8_t type : {0, 1, 2, 3}) {
        XmSampleSpec s;
        s.type = type;
        s.values = {1, 2, 3, 4};
        s.loopLength = 2;
        loops.samples.push_back(s);
    }
    XmSampleSpec unlooped;
    unlooped.type = 1;
    unlooped.values = {1};
    unlooped.finetune = 127;
    loops.samples.push_back(unlooped);
    spec.instruments = {drums, none, loops};
    auto app = MakeTestApp();
    ImportXmData(*app, ByteReader(WriteXm(spec)));

    const Instrument& kit = app->song.instruments[1];
    EXPECT_STREQ(kit.name, "drum kit");
    EXPECT_EQ(kit.volume, 64);  // the last sample's volume and pan remain
    EXPECT_EQ(kit.pan, 200);
    const Sample& w = kit.samples[0];
    EXPECT_STREQ(w.name, "sixteen");
    EXPECT_EQ(w.frames, 1000);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.loopStart, 100);
    EXPECT_EQ(w.loopLength, 500);
    EXPECT_EQ(w.loopMode, 1);
    EXPECT_EQ(w.fineTune, -12);
    EXPECT_EQ(w.coarseTune, 12);
    EXPECT_EQ(w.sampleRate, 16726.0);
    EXPECT_EQ(w.baseNote, 60);
    EXPECT_EQ(w.keyLow, 0);
    EXPECT_EQ(w.keyHigh, 127);
    EXPECT_EQ(At(w, 0), -1.0);
    EXPECT_EQ(At(w, 1), 32767 / 32768.0);
    EXPECT_EQ(At(w, 2), 0.5);
    EXPECT_EQ(At(w, 3), 0.0);
    const Sample& n = kit.samples[1];
    EXPECT_EQ(n.frames, 4);
    EXPECT_EQ(n.loopMode, 2);
    EXPECT_EQ(n.fineTune, -100);
    EXPECT_EQ(At(n, 0), 127 / 256.0);
    EXPECT_EQ(At(n, 1), -0.5);
    EXPECT_EQ(At(n, 2), 0.25);
    EXPECT_EQ(At(n, 3), -1 / 256.0);
    EXPECT_EQ(UsableFrames(kit.samples[2]), 0);

    EXPECT_STREQ(app->song.instruments[2].name, "no samples");
    const Instrument& l = app->song.instruments[3];
    EXPECT_EQ(l.samples[0].loopMode, 0);
    EXPECT_EQ(l.samples[1].loopMode, 1);
    EXPECT_EQ(l.samples[2].loopMode, 2);
    EXPECT_EQ(l.samples[3].loopMode, 2);
    EXPECT_EQ(l.samples[4].loopMode, 0);  // loop type set but no loop length
    EXPECT_EQ(l.samples[4].fineTune, 99);
    EXPECT_EQ(At(l.samples[3], 3), 4 / 256.0);
    EXPECT_EQ(At(l.samples[4], 0), 1 / 256.0);
}

TEST(ImportXm, CountsAboveCapacityAreCut) {
    auto app = MakeTestApp();

    // 40 channels: the song keeps 32, the rest are read and dropped, and the
    // next pattern is still found.
    XmSpec wide;
    wide.channels = 40;
    XmPatternSpec p;
    p.rows = 2;
    p.cells = {{0, 31, 10}, {0, 35, 11}, {1, 39, 12}, {1, 0, 13}};
    XmPatternSpec q;
    q.rows = 1;
    q.cells = {{0, 2, 14}};
    wide.patterns = {p, q};
    ImportXmData(*app, ByteReader(WriteXm(wide)));
    EXPECT_EQ(app->song.trackCount, 32);
    EXPECT_EQ(Cell(*app, 0, 0, 31).note, 10);
    EXPECT_EQ(Cell(*app, 0, 1, 0).note, 13);
    EXPECT_EQ(Cell(*app, 1, 0, 2).note, 14);

    XmSpec zero;
    zero.channels = 0;
    zero.patterns.resize(1);
    ImportXmData(*app, ByteReader(WriteXm(zero)));
    EXPECT_EQ(app->song.trackCount, 1);

    // 300 patterns and 300 instruments: 256 and 255 of them are kept, the
    // instruments behind the extra patterns are still found.
    XmSpec many;
    many.channels = 1;
    for (int i = 0; i < 300; ++i) {
        XmPatternSpec one;
        one.rows = 1;
        one.cells = {{0, 0, static_cast<uint8_t>(1 + i % 96)}};
        many.patterns.push_back(one);
        XmInstrumentSpec ins;
        ins.name = "instrument " + std::to_string(i + 1);
        if (i == 0) ins.samples = {XmSampleSpec{}};
        if (i == 0) ins.samples[0].values = {5};
        many.instruments.push_back(ins);
    }
    ImportXmData(*app, ByteReader(WriteXm(many)));
    EXPECT_EQ(Cell(*app, 255, 0, 0).note, 1 + 255 % 96);
    EXPECT_STREQ(app->song.instruments[1].name, "instrument 1");
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 0), 5 / 256.0);
    EXPECT_STREQ(app->song.instruments[255].name, "instrument 255");

    // 260 samples in one instrument: 256 slots filled, the rest of its data is
    // skipped so the next instrument reads right.
    XmSpec samples;
    XmInstrumentSpec big;
    for (int j = 0; j < 260; ++j) {
        XmSampleSpec s;
        s.values = {j % 100, 1};
        big.samples.push_back(s);
    }
    XmInstrumentSpec after;
    after.name = "after";
    after.samples = {XmSampleSpec{}};
    after.samples[0].values = {-7};
    samples.instruments = {big, after};
    ImportXmData(*app, ByteReader(WriteXm(samples)));
    EXPECT_EQ(At(app->song.instruments[1].samples[255], 0), 55 / 256.0);
    EXPECT_STREQ(app->song.instruments[2].name, "after");
    EXPECT_EQ(At(app->song.instruments[2].samples[0], 0), -7 / 256.0);
}

TEST(ImportXm, DamagedLengthsStayInBounds) {
    auto app = MakeTestApp();

    // Rows above 256 are cut; a row count of 0 gives one row; packed data that
    // ends early leaves the rest empty and the next pattern in place.
    XmSpec rows;
    rows.channels = 1;
    XmPatternSpec tall;
    tall.rows = 300;
    tall.cells = {{255, 0, 7}, {299, 0, 8}};
    XmPatternSpec none;
    none.rows = 0;
    none.raw = {0x81, 9};
    XmPatternSpec shortData;
    shortData.rows = 64;
    shortData.raw = {0x81, 10};
    XmPatternSpec last;
    last.rows = 1;
    last.cells = {{0, 0, 11}};
    rows.patterns = {tall, none, shortData, last};
    ImportXmData(*app, ByteReader(WriteXm(rows)));
    EXPECT_EQ(app->song.patterns[0].lastRow, 255);
    EXPECT_EQ(Cell(*app, 0, 255, 0).note, 7);
    EXPECT_EQ(app->song.patterns[1].lastRow, 0);
    EXPECT_EQ(Cell(*app, 1, 0, 0).note, 9);
    EXPECT_EQ(Cell(*app, 2, 0, 0).note, 10);
    EXPECT_EQ(Cell(*app, 2, 1, 0).note, 0);
    EXPECT_EQ(Cell(*app, 3, 0, 0).note, 11);

    // A sample that claims more data than the file holds keeps what is there.
    XmSpec longer;
    XmInstrumentSpec ins;
    XmSampleSpec s;
    s.values = {1, 2, 3};
    s.lengthBytes = 0x7FFFFFF0;
    ins.samples = {s};
    longer.instruments = {ins};
    ImportXmData(*app, ByteReader(WriteXm(longer)));
    EXPECT_EQ(app->song.instruments[1].samples[0].frames, 3);
    EXPECT_EQ(At(app->song.instruments[1].samples[0], 2), 3 / 256.0);

    // Every cut of a complete file loads without reading past its end.
    XmSpec full;
    full.channels = 2;
    full.patterns = {last};
    ins.samples[0].lengthBytes = -1;
    ins.samples[0].type = 0x10;
    full.instruments = {ins, ins};
    const Bytes file = WriteXm(full);
    for (std::size_t size = 0; size <= file.size(); ++size) {
        ImportXmData(*app, ByteReader(file.data(), size));
        ASSERT_TRUE(StartsWith(app->statusLine, "'")) << size;
    }
}

TEST(ImportXm, PathEntryReportsOpenFailure) {
    auto app = MakeTestApp();
    SetName(app->song.name, "kept");
    ImportXm(*app, MakeTempDir() + "/missing.xm");
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_STREQ(app->song.name, "kept");
}

TEST(ImportXm, CorpusFilesLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    // Sample headers as listed, and how many of them hold data.
    struct Known {
        const char* file;
        const char* tracker;
        int channels, instruments, samples, withData;
    };
    const Known known[] = {
        {"xm/libopenmpt__test.xm", "OpenMPT 1.21.01.15", 2, 1, 3, 1},
        {"xm/ballz-data__finalman-quickie.xm", "MilkyTracker", 8, 8, 6, 6},
        {"xm/njam-data__dali.xm", "rst's SoundTracker", 4, 19, 5, 5},
        {"xm/bomberclone-data__slice_me_nice.xm", "DigiBooster Pro 2.21", 8, 17, 13, 13},
        {"xm/ceferino-data__menu.xm", "Converted by MID2XM", 8, 3, 12, 9},
        {"xm/heroes-sound-tracks__heroes02.xm", "FastTracker v2.00", 10, 16, 12, 12},
        {"xm/powermanga-data__music_menu.zik", "FastTracker v2.00", 8, 18, 11, 11},
        {"xm/ri-li-data__jeu1.xm", "MadTracker 2.0", 26, 15, 15, 14},
        {"xm/rafkill-data__song5.xm", "FastTracker v2.00", 28, 128, 33, 33},
        {"mod/tecnoballz-data__area1-game2.mod", "rst's SoundTracker", 4, 30, 7, 7},
    };
    auto app = MakeTestApp();
    int checked = 0;
    for (const Known& k : known) {
        const std::string path = corpus + "/" + k.file;
        if (!std::filesystem::exists(path)) continue;
        ImportXm(*app, path);
        // Trackers pad their names with spaces or NULs; compare the start.
        char expected[128];
        std::snprintf(expected, sizeof expected, "'%s", k.tracker);
        EXPECT_TRUE(StartsWith(app->statusLine, expected)) << k.file << ": " << app->statusLine;
        EXPECT_NE(std::string(app->statusLine).find("Module Loaded (0x0104)."), std::string::npos) << k.file;
        EXPECT_EQ(app->song.trackCount, k.channels) << k.file;
        int named = 0, slots = 0, usable = 0;
        for (int i = 1; i < kMaxInstruments; ++i) {
            named += std::string(app->song.instruments[i].name) != "---";
            for (const Sample& s : app->song.instruments[i].samples) {
                slots += s.sampleRate == 16726.0;  // every sample header read sets the rate
                usable += UsableFrames(s) > 0;
            }
        }
        EXPECT_LE(named, k.instruments) << k.file;
        EXPECT_EQ(slots, k.samples) << k.file;
        EXPECT_EQ(usable, k.withData) << k.file;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace zelmora
