#include <gtest/gtest.h>

#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

TEST(ImportMidi, PositionsVelocitiesAndSongSetup) {
    if constexpr (profile::kCellTiming) GTEST_SKIP() << "the earlier build opens no such files";
    MidiTrack track;
    track
        .Event(48, {0x90, 60, 127})  // tick 48 at division 96: row 4
        .Event(3024, {0x90, 62, 1})  // tick 3072: pattern 4, row 0
        .Event(5, {0x90, 70, 100})   // same eighth: the later note wins
        .Event(0, {0x90, 72, 50})
        .Event(96 * 8 * 2, {0xFF, 0x2F, 0});  // a late end of track lengthens the song to pattern 6
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {track})));
    const Song& s = app->song;
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (96)");
    EXPECT_EQ(std::make_tuple(s.trackCount, s.tempo, s.speed, s.orders[200], s.lastOrder),
              std::make_tuple(32, 120, 3, 200, 6));
    EXPECT_EQ(CellBytes(*app, 0, 4, 0), (Cells{61, 1, 12, 64, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 4, 0, 0), (Cells{73, 1, 12, 26, 0, 0, 0, 0}));
}

TEST(ImportMidi, ProgramsPercussionRunningStatusAndSkippedEvents) {
    if constexpr (profile::kCellTiming) GTEST_SKIP() << "the earlier build opens no such files";
    MidiTrack first, second;
    first
        .Event(0, {0xC0, 0})   // channel 0: instrument 3
        .Event(0, {0xC9, 40})  // ignored on the percussion channel
        .Event(0, {0x90, 60, 100})
        .Event(0, {0x99, 36, 100})  // instrument 204
        .Event(12, {0x93, 40, 0})   // velocity 0 writes nothing
        .Event(0, {0x83, 40, 0})
        .Event(0, {0xB3, 7, 100})
        .Event(0, {0xD3, 5})                            // one data byte
        .Event(0, {0xF0, 4, 1, 2, 3, 0xF7})             // system exclusive
        .Event(0, {0xFF, 0x01, 4, 't', 'e', 'x', 't'})  // meta
        .Event(0, {0x92, 45, 90})                       // never programmed: instrument 1
        .Event(12, {47, 80});                           // running status
    second.Event(48, {50, 70});  // still running in the next track, whose time starts at 0
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {first, second})));
    EXPECT_EQ(CellAt(*app, 0, 0, 0).instrument, 3);
    EXPECT_EQ(CellAt(*app, 0, 0, 9).instrument, 204);
    EXPECT_EQ(CellAt(*app, 0, 1, 3).note, 0);
    EXPECT_EQ(CellBytes(*app, 0, 1, 2), (Cells{46, 1, 12, 46, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 2, 2), (Cells{48, 1, 12, 41, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 4, 2), (Cells{51, 1, 12, 36, 0, 0, 0, 0}));
}

TEST(ImportMidi, DamagedFilesStayInBounds) {
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(0, {MidiTrack().Event(3, {0x90, 60, 100})})));
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (0)");
    EXPECT_EQ(CellAt(*app, 0, 24, 0).note, 61);  // division 0 read as 1

    // Events past pattern 255 are dropped and the song ends at order 255.
    MidiTrack far;
    far.Event(0, {0x90, 60, 100}).Event(64 * 256 * 12, {0x90, 61, 100}).Event(1000000, {0xFF, 0x2F, 0});
    ImportMidiData(*app, ByteReader(WriteMidi(96, {far})));
    EXPECT_EQ(app->song.lastOrder, 255);
    EXPECT_EQ(CellAt(*app, 0, 0, 0).note, 61);

    // More tracks than the file holds, a track longer than the file, and data
    // bytes with their high bit set.
    Bytes bytes = WriteMidi(96, {MidiTrack().Event(0, {0x90, 0xFF, 100}).Event(0, {0xC1, 0xFF})});
    bytes[10] = 0x40;
    bytes[18] = 0x7F;
    ImportMidiData(*app, ByteReader(bytes));
    EXPECT_EQ(CellAt(*app, 0, 0, 0).note, 128);
    ImportMidiData(*app, ByteReader());
    EXPECT_EQ(app->song.lastOrder, 0);

    // A file that cannot be opened changes nothing.
    app->song.tempo = 99;
    SetStatus(*app, "before");
    ImportMidi(*app, MakeTempDir() + "/missing.mid");
    EXPECT_STREQ(app->statusLine, "before");
    EXPECT_EQ(app->song.tempo, 99);
}

}  // namespace
}  // namespace zelmora
