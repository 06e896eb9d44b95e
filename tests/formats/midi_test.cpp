#include <gtest/gtest.h>

#include <filesystem>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

const PatternCell& Cell(const AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

TEST(ImportMidi, SongSetupAndPositions) {
    MidiTrack track;
    track.Event(48, {0x90, 60, 127})  // tick 48 at division 96: row 4
        .Event(3024, {0x90, 62, 1})   // tick 3072: pattern 4, row 0
        .EndOfTrack();
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {track})));
    const Song& s = app->song;

    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (96)");
    EXPECT_EQ(s.trackCount, 32);
    EXPECT_EQ(s.tempo, 120);
    EXPECT_EQ(s.speed, 3);
    EXPECT_EQ(s.orders[200], 200);
    EXPECT_EQ(s.lastOrder, 4);

    const PatternCell& a = Cell(*app, 0, 4, 0);
    EXPECT_EQ(a.note, 61);
    EXPECT_EQ(a.instrument, 1);
    EXPECT_EQ(a.command1, 12);
    EXPECT_EQ(a.parameter1, 64);
    const PatternCell& b = Cell(*app, 4, 0, 0);
    EXPECT_EQ(b.note, 63);
    EXPECT_EQ(b.parameter1, 1);
}

TEST(ImportMidi, ProgramsPercussionAndDroppedEvents) {
    MidiTrack track;
    track.Event(0, {0xC0, 0})          // channel 0: instrument 3
        .Event(0, {0xC9, 40})          // ignored on the percussion channel
        .Event(0, {0x90, 60, 100})     // channel 0
        .Event(0, {0x99, 36, 100})     // channel 9: instrument 204
        .Event(0, {0x92, 50, 64})      // channel 2, never programmed: instrument 1
        .Event(12, {0x93, 40, 0})      // velocity 0 writes nothing
        .Event(0, {0x83, 40, 0})       // note off, dropped
        .Event(0, {0xB3, 7, 100})      // controller, dropped
        .Event(0, {0xE3, 0, 64})       // pitch bend, dropped
        .Event(0, {0xD3, 5})           // channel pressure (one data byte), dropped
        .SysEx(0, {1, 2, 3, 0xF7})
        .Meta(0, 0x01, {'t', 'e', 'x', 't'})
        .Event(0, {0x93, 45, 90})      // still in step after all of the above
        .EndOfTrack();
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {track})));

    EXPECT_EQ(Cell(*app, 0, 0, 0).instrument, 3);
    EXPECT_EQ(Cell(*app, 0, 0, 9).instrument, 204);
    EXPECT_EQ(Cell(*app, 0, 0, 9).note, 37);
    EXPECT_EQ(Cell(*app, 0, 0, 2).instrument, 1);
    const PatternCell& late = Cell(*app, 0, 1, 3);
    EXPECT_EQ(late.note, 46);
    EXPECT_EQ(late.parameter1, 46);
    EXPECT_EQ(late.instrument, 1);
}

TEST(ImportMidi, RunningStatusAcrossEventsAndTracks) {
    MidiTrack first, second;
    first.Event(0, {0x91, 60, 100}).Event(96, {64, 80});  // running status inside a track
    second.Event(192, {67, 70});                           // and into the next track
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {first, second})));

    EXPECT_EQ(Cell(*app, 0, 0, 1).note, 61);
    EXPECT_EQ(Cell(*app, 0, 8, 1).note, 65);
    EXPECT_EQ(Cell(*app, 0, 8, 1).parameter1, 41);
    EXPECT_EQ(Cell(*app, 0, 16, 1).note, 68);  // the second track's time starts at 0
}

TEST(ImportMidi, LaterNoteInTheSameRowWins) {
    MidiTrack track;
    track.Event(0, {0x90, 60, 100}).Event(5, {0x90, 72, 50});  // both within the first eighth
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {track})));
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 73);
    EXPECT_EQ(Cell(*app, 0, 0, 0).parameter1, 26);
}

TEST(ImportMidi, NoNotesAndMultiByteDeltas) {
    MidiTrack empty;
    empty.Meta(0, 0x03, {'n', 'a', 'm', 'e'}).EndOfTrack();
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(480, {empty})));
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (480)");
    EXPECT_EQ(app->song.lastOrder, 0);
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 0);

    // Multi-byte delta times: 15360 ticks at division 480 is row 256, pattern 4
    // row 0; the end of the track sixteen quarters later lengthens the song to 6.
    MidiTrack longDelta;
    longDelta.Event(15360, {0x90, 1, 2}).EndOfTrack(480 * 8 * 2);
    ImportMidiData(*app, ByteReader(WriteMidi(480, {longDelta})));
    EXPECT_EQ(Cell(*app, 4, 0, 0).note, 2);
    EXPECT_EQ(app->song.lastOrder, 6);
}

TEST(ImportMidi, DamagedFilesStayInBounds) {
    auto app = MakeTestApp();
    // Division 0 is read as one tick per quarter note.
    MidiTrack track;
    track.Event(3, {0x90, 60, 100});
    ImportMidiData(*app, ByteReader(WriteMidi(0, {track})));
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (0)");
    EXPECT_EQ(Cell(*app, 0, 24, 0).note, 61);

    // Events past pattern 255 are dropped; the song ends at order 255.
    MidiTrack far;
    far.Event(0, {0x90, 60, 100}).Event(64 * 256 * 12, {0x90, 61, 100}).EndOfTrack(1000000);
    ImportMidiData(*app, ByteReader(WriteMidi(96, {far})));
    EXPECT_EQ(app->song.lastOrder, 255);
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 61);

    // A track longer than the file, a track count above what is there, and
    // data bytes with their high bit set.
    Bytes bytes = WriteMidi(96, {MidiTrack().Event(0, {0x90, 60, 100}).Event(0, {0xC1, 0xFF})});
    bytes[10] = 0x40;  // 16385 tracks announced
    bytes[18] = 0x7F;  // the first track claims 2 GB
    ImportMidiData(*app, ByteReader(bytes));
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 61);
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (96)");

    ImportMidiData(*app, ByteReader());  // empty input
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (0)");
}

TEST(ImportMidi, UnreadableFileChangesNothing) {
    auto app = MakeTestApp();
    app->song.tempo = 99;
    SetStatus(*app, "before");
    ImportMidi(*app, MakeTempDir() + "/missing.mid");
    EXPECT_STREQ(app->statusLine, "before");
    EXPECT_EQ(app->song.tempo, 99);
}

TEST(ImportMidi, CorpusFilesLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    const struct {
        const char* file;
        int division;
    } expected[] = {{"freedink-data__dance.mid", 120},        {"freedink-data__12.mid", 480},
                    {"freedink-data__13.mid", 480},           {"playmidi__bach-invention-01.mid", 384},
                    {"playmidi__gmstriving.mid", 480},        {"kobodeluxe-data__trance1.mid", 120},
                    {"liquidwar-data__colossus.mid", 120},    {"planetblupi-music-midi__music002.mid", 120}};
    auto app = MakeTestApp();
    int loaded = 0;
    for (const auto& e : expected) {
        const std::string path = corpus + "/mid/" + e.file;
        if (!std::filesystem::exists(path)) continue;
        SetStatus(*app, "none");
        ImportMidi(*app, path);
        char want[64];
        std::snprintf(want, sizeof want, "Midi File Loaded. (%d)", e.division);
        EXPECT_STREQ(app->statusLine, want) << e.file;
        int notes = 0;
        for (int p = 0; p <= app->song.lastOrder; ++p)
            for (int r = 0; r < 64; ++r)
                for (int t = 0; t < 16; ++t) notes += app->song.patterns[p].cells[r][t].note != 0;
        EXPECT_GT(notes, 0) << e.file;
        ++loaded;
    }
    for (const auto& entry : std::filesystem::directory_iterator(corpus + "/mid")) {
        ImportMidi(*app, entry.path().string());
        EXPECT_EQ(std::string(app->statusLine).rfind("Error: ", 0), std::string::npos) << entry.path();
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace zelmora
