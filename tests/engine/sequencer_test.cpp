// The sequencer stepped tick by tick on small songs built in code: its
// commands, the earlier build's timing byte, breaks, orders and the pattern loop.
#include <vector>

#include "engine_fixture.h"

namespace zelmora {
namespace {

using SequencerTest = EngineTest;

// Renders exactly `frames` frames in buffers of at most `chunk`, appending the left output.
void RenderExactly(AppState& app, int frames, int chunk, std::vector<double>& out) {
    for (; frames > 0; frames -= app.asioHost.preferredSize) {
        app.asioHost.preferredSize = std::min(frames, chunk);
        RenderBuffer(app);
        out.insert(out.end(), app.mixLeft, app.mixLeft + app.asioHost.preferredSize);
    }
}

TEST_F(SequencerTest, TickTimingDoesNotDependOnTheBufferLength) {
    Put(*app, 0, 0, {kC5, 1, 4, 0x48});
    Put(*app, 1, 1, {kC5 + 5, 1, 14, 0xD2, 0, 0x37});
    Put(*app, 2, 0, {kC5 + 7, 1, 3, 0x20});
    Put(*app, 3, 2, {kC5 - 12, 1, 192, 7, 7, 0x84});
    app->song.eqOn = 1;
    app->song.eqGains[8] = 20;
    std::vector<std::vector<double>> outputs;
    for (int chunk : {64, 256, 1000}) {
        for (double* state : app->masterEq) std::fill(state, state + 5, 0.0);
        Play();
        std::vector<double>& out = outputs.emplace_back();
        RenderExactly(*app, 5291, chunk, out);  // a row at speed 6 is 5292 frames
        EXPECT_EQ(app->transport.row, 0) << chunk;
        RenderExactly(*app, 1, chunk, out);
        EXPECT_EQ(app->transport.row, 1) << chunk;
        RenderExactly(*app, 20000, chunk, out);
    }
    // The noise added against subnormals lies far below this tolerance.
    for (size_t i = 0; i < outputs[0].size(); ++i) {
        ASSERT_NEAR(outputs[0][i], outputs[1][i], 1e-18) << i;
        ASSERT_NEAR(outputs[0][i], outputs[2][i], 1e-18) << i;
    }
}

TEST_F(SequencerTest, PortamentoNoteDelayRetriggerAndPatternDelay) {
    Put(*app, 0, 0, {kC5, 1});
    Put(*app, 1, 0, {kC5 + 12, 0, 3, 10});  // toward 72 at 0.7 a tick, no new note
    for (int row = 2; row < 5; ++row) Put(*app, row, 0, {0, 0, 5, 0});
    Play();
    // ticks rendered in addition, pitch after them
    for (auto [ticks, pitch] : {std::pair{7, 60.7}, {11, 68.4}, {12, 72.0}}) {
        RenderTick(*app, ticks);
        ASSERT_EQ(BusyOn(0), 1);
        EXPECT_NEAR(app->voices[0].pitch, pitch, 1e-9) << ticks;  // command 5 goes on
    }
    Put(*app, 0, 0, {kC5, 1, 14, 0xD3});
    Put(*app, 1, 0, {kC5, 1, 14, 0xD9});
    Put(*app, 2, 0, {kC5, 1, 14, 0x92});
    SilenceAllVoices(*app);
    Play();
    RenderTick(*app, 3);
    EXPECT_EQ(BusyOn(0), 0);
    RenderTick(*app);
    EXPECT_EQ(BusyOn(0), 1);  // tick 3
    SilenceAllVoices(*app);
    RenderTick(*app, 8);
    EXPECT_EQ(BusyOn(0), 0);                // tick 9 never comes at speed 6
    const int busy[] = {1, 1, 2, 2, 3, 3};  // starts at 0, 2, 4; each releases the last
    for (int t = 0; t < 6; ++t) {
        RenderTick(*app);
        EXPECT_EQ(BusyOn(0), busy[t]) << t;
    }
    EXPECT_EQ(app->voices[1].envelopeStage, kStageRelease);
    EXPECT_NE(app->voices[2].envelopeStage, kStageRelease);

    // E1 makes the row 12 ticks long (7 in the earlier build); its slide runs on all of them.
    const int ticks = profile::kDelayAddsTicks ? 7 : 12;
    Put(*app, 0, 0, {kC5, 1, 14, 0xE1, 10, 0x01});
    Play();
    RenderTick(*app, ticks - 1);
    EXPECT_EQ(app->transport.row, 0);
    RenderTick(*app);
    EXPECT_EQ(app->transport.row, 1);
    EXPECT_EQ(Channel().volume, 64 - (ticks - 1));
}

TEST_F(SequencerTest, BreaksOrdersAndRestart) {
    Song& song = app->song;
    song.lastOrder = 2;
    song.restartOrder = 1;
    for (int i = 0; i < 3; ++i) song.orders[i] = static_cast<uint8_t>(i);
    Put(*app, 0, 0, {0, 0, 13, 5});
    Put(*app, 0, 2, {0, 0, 13, 9});  // the later track wins
    Play();
    RenderTick(*app, 6);
    EXPECT_EQ(app->transport.row, 9);
    EXPECT_EQ(song.orderPosition, 1);
    song.patterns[1].lastRow = song.patterns[2].lastRow = 0;
    app->transport.row = 0;
    const uint32_t wraps = app->songWrapCount.load();
    RenderTick(*app, 6);
    EXPECT_EQ(song.orderPosition, 2);
    RenderTick(*app, 6);  // past the last order: the restart position, row 0
    EXPECT_EQ(song.orderPosition, 1);
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_EQ(app->songWrapCount.load(), wraps + 1);
    Play(true);  // pattern mode repeats the pattern until a break moves on (the earlier build at its end)
    RenderTick(*app, 6);
    EXPECT_EQ(song.orderPosition, profile::kPatternEndAdvancesOrder ? 2 : 1);
    RenderTick(*app, 6);
    EXPECT_EQ(song.orderPosition, 1);
    Put(*app, 0, 1, {0, 0, 13, 0}, 1);
    RenderTick(*app, 6);
    EXPECT_EQ(song.orderPosition, 2);
}

TEST_F(SequencerTest, SongAndChannelCommands) {
    if constexpr (!profile::kExtraCommands) GTEST_SKIP() << "three effect columns, commands 8 and 16";
    Put(*app, 0, 0, {kC5, 1, 15, 31, 12, 80});
    Play();
    RenderTick(*app);
    EXPECT_EQ(app->song.speed, 31);
    EXPECT_EQ(Channel().volume, 64);
    Put(*app, 0, 0, {0, 0, 12, 0, 10, 0xF0, 15, 250});
    Play();
    app->asioHost.preferredSize = 441;  // the new tempo already rules this tick
    for (int volume : {0, 15, 30}) {
        RenderBuffer(*app);
        EXPECT_EQ(Channel().volume, volume);
    }
    EXPECT_EQ(app->transport.tick, 3);
    Put(*app, 0, 0, {0, 0, 15, 32, 16, 80});
    Play();
    RenderTick(*app);
    EXPECT_EQ(app->song.tempo, 32);
    EXPECT_EQ(app->song.masterVolume, 64);
    Put(*app, 0, 0, {0, 0, 14, 0xB5, 14, 0xA2, 14, 0xC2});  // fine slides on tick 0, cut at 2
    Play();
    for (int volume : {61, 61, 0}) {
        RenderTick(*app);
        EXPECT_EQ(Channel().volume, volume);
    }
    // An instrument alone sets volume and pan from its defaults, starting nothing.
    app->song.instruments[1].volume = 40;
    app->song.instruments[1].pan = 30;
    Put(*app, 0, 0, {0, 1, 8, 200});
    Play();
    RenderTick(*app);
    EXPECT_EQ(Channel().volume, 40);
    EXPECT_EQ(Channel().pan, 200);
    EXPECT_EQ(BusyOn(0), 0);
}

TEST_F(SequencerTest, ChordsOffsetsAndPitchCommands) {
    if constexpr (profile::kExtraCommands) {  // chords and fractional offsets
        Put(*app, 0, 0, {kC5, 1, 192, 7, 9, 2});
        Play();
        RenderTick(*app);
        ASSERT_EQ(BusyOn(0), 2);
        EXPECT_EQ(app->voices[1].transpose, 7);
        EXPECT_EQ(app->voices[0].position, 512 + TickFrames(*app));
        Put(*app, 0, 0, {kC5, 1, 9, 1, 24, 128});  // the last offset wins: half the length
        Play();
        RenderTick(*app);
        EXPECT_EQ(app->voices[0].position, 100000 + TickFrames(*app));
    } else {  // the earlier build ignores the commands it lacks
        for (const auto& [command, parameter] : {std::pair{8, 0}, {16, 10}, {24, 128}, {192, 7}}) {
            SilenceAllVoices(*app);
            Put(*app, 0, 0, {kC5, 1, command, parameter, command, parameter});
            Play();
            RenderTick(*app);
            EXPECT_EQ(BusyOn(0), 1) << command;                   // no chord voices
            EXPECT_LT(app->voices[0].position, 2000) << command;  // no offset of half the sample
            EXPECT_EQ(Channel().pan, 128) << command;
            EXPECT_EQ(app->song.masterVolume, 64) << command;
        }
    }

    // command, parameter, pitch after two ticks
    const double cases[][3] = {{1, 10, 61.2},  {2, 10, 58.8}, {17, 2, 64},      {18, 2, 56},
                               {19, 2, 62},    {20, 2, 58},   {14, 0x15, 60.3}, {14, 0x25, 59.7},
                               {17, 100, 127}, {18, 100, 0}};
    for (const auto& [cmd, par, pitch] : cases) {
        Put(*app, 0, 0, {kC5, 1, static_cast<int>(cmd), static_cast<int>(par)});
        Play();
        RenderTick(*app, 2);
        EXPECT_NEAR(app->voices[0].pitch, pitch, 1e-9) << cmd << " " << par;
    }
    Put(*app, 0, 0, {kC5, 1, 0, 0x47});  // arpeggio 0, x, y
    Play();
    for (int expected : {0, 4, 7, 0}) {
        RenderTick(*app);
        EXPECT_EQ(Channel().arpeggioOffset, expected);
    }
    Put(*app, 0, 0, {kC5, 1, 4, 0x48, 7, 0x33});  // phases move while used, 0 after
    Put(*app, 1, 0, {0, 0, 6, 0});
    Play();
    RenderTick(*app, 7);
    EXPECT_EQ(Channel().vibratoPosition, 28);
    EXPECT_EQ(Channel().tremoloPosition, 0);
}

TEST_F(SequencerTest, NoteOffStopFromInsideTheRenderAndDamagedValues) {
    Put(*app, 0, 0, {kC5, 1});
    Put(*app, 1, 0, {kNoteOff, 0});
    Play();
    RenderTick(*app, 7);
    EXPECT_EQ(app->voices[0].envelopeStage, kStageRelease);
    Put(*app, 0, 1, {0, 0, 15, 0});
    Put(*app, 0, 2, {kC5, 1});  // later tracks still run in the stopping tick
    Play();
    app->asioHost.preferredSize = 2000;
    RenderBuffer(*app);
    EXPECT_EQ(app->transport.playMode, kStopped);
    EXPECT_STREQ(app->statusLine, "Player Stopped.");
    EXPECT_EQ(BusyOn(0), 0);
    EXPECT_EQ(BusyOn(2), 1);
    EXPECT_EQ(app->transport.tick, 0);

    // None of these may hang or read out of bounds.
    Put(*app, 0, 1, {});
    app->song.tempo = 0;
    app->song.speed = 0;
    app->song.trackCount = 200;
    Play();
    for (double rate : {0.0, std::nan(""), 1e12}) {
        app->settings.sampleRate = rate;
        app->asioHost.preferredSize = 100000;
        RenderBuffer(*app);
    }
    app->transport.row = 9999;
    app->asioHost.preferredSize = 0;
    RenderBuffer(*app);
    EXPECT_EQ(app->transport.playMode, kPlaySong);
}

TEST_F(SequencerTest, TheEarlierTimingByteDelaysAndCutsTheNote) {
    if constexpr (!profile::kCellTiming) GTEST_SKIP() << "the earlier build's timing byte";
    // Delay 2 and cut 4 on track 0; on track 1 the slot's note delay still plays.
    app->song.patterns[0].cells[0][0] = RawCell({kC5, 1, 0x42});
    app->song.patterns[0].cells[0][1] = RawCell({kC5, 1, 0x00, 14, 0xD3});
    Play();
    const int busy[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}};
    for (const auto& [tick, voices] : busy) {
        RenderTick(*app);
        EXPECT_EQ(BusyVoiceCount(*app), voices) << tick;
    }
    EXPECT_EQ(Channel().volume, 0);  // cut at tick 4
    EXPECT_EQ(app->song.tracks[1].channel.volume, 64);
}

// Plays in song mode and returns 100 x order position + row for each row
// started, until the order position wraps or `limit` rows.
std::vector<int> RowsPlayed(AppState& app, int limit = 200) {
    std::vector<int> rows;
    PlayTransport(app, false, true);
    app.song.speed = 1;
    const uint64_t wraps = app.songWrapCount.load();
    while (static_cast<int>(rows.size()) < limit && app.songWrapCount.load() == wraps) {
        rows.push_back(100 * app.song.orderPosition + app.transport.row);
        RenderTick(app);
    }
    return rows;
}

// Command 14 with 6y: loop counts, a nested pair on two tracks, a loop on
// its own start row, and no loop back into an earlier pattern.
TEST_F(SequencerTest, PatternLoops) {
    app->song.patterns[0].lastRow = 7;
    // Track 0: rows 1..2 three times in all.
    Put(*app, 1, 0, {0, 0, 14, 0x60});
    Put(*app, 2, 0, {0, 0, 14, 0x62});
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 3, 4, 5, 6, 7}));

    // Track 1 (outer, from row 0 on, twice) around track 0 (inner, row 1..2, once more):
    // each track counts on its own, so the inner loop runs again on each outer pass.
    Put(*app, 2, 0, {0, 0, 14, 0x61});
    Put(*app, 3, 1, {0, 0, 0, 0, 14, 0x61});
    Put(*app, 0, 1, {0, 0, 0, 0, 14, 0x60});
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 2, 1, 2, 3, 0, 1, 2, 1, 2, 3, 4, 5, 6, 7}));

    // A jump back to a start in an earlier pattern is not taken: a new pattern starts without one.
    app->song.patterns[0] = Pattern{};
    app->song.lastOrder = 1;
    app->song.orders[1] = 1;
    app->song.patterns[0].lastRow = 1;
    app->song.patterns[1].lastRow = 1;
    Put(*app, 1, 0, {0, 0, 14, 0x60});
    Put(*app, 1, 0, {0, 0, 14, 0x61}, 1);  // jumps to row 0 of pattern 1, once
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 100, 101, 100, 101}));

    // A loop start on the same row as its jump repeats that row; the loop takes
    // the third effect column too (the earlier build's cell has two).
    if constexpr (kCellEffects < 3) return;
    app->song.lastOrder = 0;
    app->song.patterns[0] = Pattern{};
    app->song.patterns[0].lastRow = 3;
    Put(*app, 1, 2, {0, 0, 0, 0, 14, 0x60, 14, 0x63});
    app->song.trackCount = 4;
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 1, 1, 1, 2, 3}));
}

}  // namespace
}  // namespace zelmora
