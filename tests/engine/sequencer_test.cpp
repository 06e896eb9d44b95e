// The sequencer stepped tick by tick on small songs built in code.
#include <vector>

#include "engine_fixture.h"

namespace zelmora {
namespace {

constexpr int kC5 = 61;  // cell byte of note 60

struct SequencerTest : ::testing::Test {
    std::unique_ptr<AppState> app = MakeEngineApp();
    void SetUp() override {
        AddSample(*app, 1, 0, 200000, 1, [](int, int) { return 0.25; });
    }
    void Play(bool patternMode = false) { PlayTransport(*app, patternMode, true); }
    ChannelState& Channel() { return app->song.tracks[0].channel; }
    int BusyOn(int track) {
        int n = 0;
        for (const Voice& v : app->voices) n += v.envelopeStage > kStageOff && v.track == track;
        return n;
    }
    // Renders exactly `frames` frames in buffers of at most `chunk`, appending the left output.
    void RenderExactly(int frames, int chunk, std::vector<double>& out) {
        for (; frames > 0; frames -= app->asioHost.preferredSize) {
            app->asioHost.preferredSize = std::min(frames, chunk);
            RenderBuffer(*app);
            out.insert(out.end(), app->mixLeft, app->mixLeft + app->asioHost.preferredSize);
        }
    }
};

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
        RenderExactly(5291, chunk, out);  // a row at speed 6 is 5292 frames
        EXPECT_EQ(app->transport.row, 0) << chunk;
        RenderExactly(1, chunk, out);
        EXPECT_EQ(app->transport.row, 1) << chunk;
        RenderExactly(20000, chunk, out);
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
    Play(true);  // pattern mode repeats the pattern until a break moves on
    RenderTick(*app, 12);
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

}  // namespace
}  // namespace zelmora
