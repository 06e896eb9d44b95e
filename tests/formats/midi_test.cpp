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

TEST(ImportMidi, PositionsVelocitiesAndSongSetup) {
    MidiTrack track;
    track.Event(48, {0x90, 60, 127})  // tick 48 at division 96: row 4
        .Event(3024, {0x90, 62, 1})   // tick 3072: pattern 4, row 0
        .Event(5, {0x90, 70, 100})    // same eighth: the later note wins
        .Event(0, {0x90, 72, 50})
        .EndOfTrack(96 * 8 * 2);      // a late meta event lengthens the song to pattern 6
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {track})));
    const Song& s = app->song;
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (96)");
    EXPECT_EQ(s.trackCount, 32);
    EXPECT_EQ(s.tempo, 120);
    EXPECT_EQ(s.speed, 3);
    EXPECT_EQ(s.orders[200], 200);
    EXPECT_EQ(s.lastOrder, 6);
    const PatternCell& a = Cell(*app, 0, 4, 0);
    EXPECT_EQ(a.note, 61);
    EXPECT_EQ(a.instrument, 1);
    EXPECT_EQ(a.command1, 12);
    EXPECT_EQ(a.parameter1, 64);
    EXPECT_EQ(Cell(*app, 4, 0, 0).note, 73);
    EXPECT_EQ(Cell(*app, 4, 0, 0).parameter1, 26);
}

TEST(ImportMidi, ProgramsPercussionRunningStatusAndSkippedEvents) {
    MidiTrack first, second;
    first.Event(0, {0xC0, 0})       // channel 0: instrument 3
        .Event(0, {0xC9, 40})       // ignored on the percussion channel
        .Event(0, {0x90, 60, 100})
        .Event(0, {0x99, 36, 100})  // instrument 204
        .Event(12, {0x93, 40, 0})   // velocity 0 writes nothing
        .Event(0, {0x83, 40, 0})
        .Event(0, {0xB3, 7, 100})
        .Event(0, {0xD3, 5})        // one data byte
        .SysEx(0, {1, 2, 3, 0xF7})
        .Meta(0, 0x01, {'t', 'e', 'x', 't'})
        .Event(0, {0x92, 45, 90})   // never programmed: instrument 1
        .Event(12, {47, 80});       // running status
    second.Event(48, {50, 70});     // still running in the next track, whose time starts at 0
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {first, second})));
    EXPECT_EQ(Cell(*app, 0, 0, 0).instrument, 3);
    EXPECT_EQ(Cell(*app, 0, 0, 9).instrument, 204);
    EXPECT_EQ(Cell(*app, 0, 1, 3).note, 0);
    EXPECT_EQ(Cell(*app, 0, 1, 2).note, 46);
    EXPECT_EQ(Cell(*app, 0, 1, 2).instrument, 1);
    EXPECT_EQ(Cell(*app, 0, 2, 2).note, 48);
    EXPECT_EQ(Cell(*app, 0, 2, 2).parameter1, 41);
    EXPECT_EQ(Cell(*app, 0, 4, 2).note, 51);
    EXPECT_EQ(Cell(*app, 0, 4, 2).parameter1, 36);
}

TEST(ImportMidi, DamagedFilesStayInBounds) {
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(0, {MidiTrack().Event(3, {0x90, 60, 100})})));
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (0)");
    EXPECT_EQ(Cell(*app, 0, 24, 0).note, 61);  // division 0 read as 1

    // Events past pattern 255 are dropped and the song ends at order 255.
    MidiTrack far;
    far.Event(0, {0x90, 60, 100}).Event(64 * 256 * 12, {0x90, 61, 100}).EndOfTrack(1000000);
    ImportMidiData(*app, ByteReader(WriteMidi(96, {far})));
    EXPECT_EQ(app->song.lastOrder, 255);
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 61);

    // More tracks than the file holds, a track longer than the file, and data
    // bytes with their high bit set.
    Bytes bytes = WriteMidi(96, {MidiTrack().Event(0, {0x90, 0xFF, 100}).Event(0, {0xC1, 0xFF})});
    bytes[10] = 0x40;
    bytes[18] = 0x7F;
    ImportMidiData(*app, ByteReader(bytes));
    EXPECT_EQ(Cell(*app, 0, 0, 0).note, 128);
    ImportMidiData(*app, ByteReader());
    EXPECT_EQ(app->song.lastOrder, 0);
}

TEST(ImportMidi, FilesFromDisk) {
    auto app = MakeTestApp();
    app->song.tempo = 99;
    SetStatus(*app, "before");
    ImportMidi(*app, MakeTempDir() + "/missing.mid");
    EXPECT_STREQ(app->statusLine, "before");
    EXPECT_EQ(app->song.tempo, 99);

    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    const std::pair<const char*, int> divisions[] = {
        {"freedink-data__dance.mid", 120}, {"freedink-data__12.mid", 480}, {"freedink-data__13.mid", 480},
        {"playmidi__bach-invention-01.mid", 384}, {"playmidi__gmstriving.mid", 480},
        {"kobodeluxe-data__trance1.mid", 120}, {"liquidwar-data__colossus.mid", 120},
        {"planetblupi-music-midi__music002.mid", 120}};
    int loaded = 0;
    for (const auto& [file, division] : divisions) {
        if (!std::filesystem::exists(corpus + "/mid/" + file)) continue;
        ImportMidi(*app, corpus + "/mid/" + file);
        EXPECT_EQ(std::string(app->statusLine), "Midi File Loaded. (" + std::to_string(division) + ")") << file;
        int notes = 0;
        for (int p = 0; p <= app->song.lastOrder; ++p)
            for (const auto& row : app->song.patterns[p].cells)
                for (const PatternCell& cell : row) notes += cell.note != 0;
        EXPECT_GT(notes, 0) << file;
        ++loaded;
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace zelmora
