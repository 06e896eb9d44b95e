// The sequencer stepped tick by tick on small songs built in code.
#include "engine_fixture.h"

namespace zelmora {
namespace {

constexpr int kC5 = 61;  // cell byte of note 60

struct SequencerTest : ::testing::Test {
    std::unique_ptr<AppState> app = MakeEngineApp();
    void SetUp() override { AddConstantSample(*app, 1, 0.25, 200000); }
    PatternCell& At(int row, int track = 0, int pattern = 0) { return Cell(*app, pattern, row, track); }
    void Play(bool patternMode = false) { PlayTransport(*app, patternMode, true); }
    int BusyOn(int track) {
        int n = 0;
        for (const Voice& v : app->voices) n += v.envelopeStage > kStageOff && v.track == track;
        return n;
    }
    ChannelState& Channel(int track = 0) { return app->song.tracks[track].channel; }
};

// Renders exactly `frames` frames in buffers of at most `chunk`.
void RenderExactly(AppState& app, int frames, int chunk) {
    while (frames > 0) {
        app.asioHost.preferredSize = frames < chunk ? frames : chunk;
        frames -= app.asioHost.preferredSize;
        RenderBuffer(app);
    }
}

TEST_F(SequencerTest, RowsLastTheSameWhateverTheBufferLength) {
    for (int chunk : {64, 256, 1000}) {
        Play();
        RenderExactly(*app, 5291, chunk);
        EXPECT_EQ(app->transport.row, 0) << chunk;
        RenderExactly(*app, 1, chunk);
        EXPECT_EQ(app->transport.row, 1) << chunk;
        EXPECT_EQ(app->transport.tick, 0);
    }
    // 882 = 3 x 256 + 114: the second tick starts inside the fourth buffer.
    Play();
    app->asioHost.preferredSize = 256;
    for (int i = 0; i < 3; ++i) RenderBuffer(*app);
    EXPECT_EQ(app->transport.tick, 0);
    EXPECT_EQ(app->transport.samplesInTick, 768);
    RenderBuffer(*app);
    EXPECT_EQ(app->transport.tick, 1);
    EXPECT_EQ(app->transport.samplesInTick, 142);
}

TEST_F(SequencerTest, OutputDoesNotDependOnTheBufferLength) {
    SetCell(At(0), kC5, 1, 4, 0x48);
    SetCell(At(1, 1), kC5 + 5, 1, 14, 0xD2, 0, 0x37);
    SetCell(At(2), kC5 + 7, 1, 3, 0x20);
    SetCell(At(3, 2), kC5 - 12, 1, 192, 7, 7, 0x84);
    SetCell(At(4), kNoteOff, 0, 10, 0x03);
    app->song.eqOn = 1;
    app->song.eqGains[8] = 20;
    std::vector<std::vector<double>> outputs;
    for (int chunk : {64, 256, 1000}) {
        for (double* state : app->masterEq) std::fill(state, state + 5, 0.0);
        Play();
        app->asioHost.preferredSize = chunk;
        std::vector<double> right;
        outputs.push_back(RenderFrames(*app, 30000, &right));
        outputs.back().insert(outputs.back().end(), right.begin(), right.end());
        StopPlayer(*app);
    }
    // The noise added against subnormals differs per run; it lies far below this.
    for (size_t i = 0; i < outputs[0].size(); ++i) {
        ASSERT_NEAR(outputs[0][i], outputs[1][i], 1e-18) << i;
        ASSERT_NEAR(outputs[0][i], outputs[2][i], 1e-18) << i;
    }
    double energy = 0.0;
    for (double x : outputs[0]) energy += x * x;
    EXPECT_GT(energy, 1.0);
}

TEST_F(SequencerTest, PortamentoGlidesWithoutRestarting) {
    SetCell(At(0), kC5, 1);
    SetCell(At(1), kC5 + 12, 0, 3, 10);  // target note 60 + 12 at 0.7 per tick
    SetCell(At(2), 0, 0, 5, 0);
    SetCell(At(3), 0, 0, 5, 0);
    SetCell(At(4), 0, 0, 5, 0);
    Play();
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(BusyOn(0), 1);
    RenderTick(*app);
    EXPECT_EQ(BusyOn(0), 1);
    EXPECT_NEAR(FirstBusyVoice(*app)->pitch, 60.7, 1e-9);
    EXPECT_EQ(Channel().portamentoTarget, 72);
    for (int t = 0; t < 5; ++t) RenderTick(*app);
    EXPECT_NEAR(FirstBusyVoice(*app)->pitch, 64.2, 1e-9);
    for (int t = 0; t < 6; ++t) RenderTick(*app);  // command 5 keeps going
    EXPECT_NEAR(FirstBusyVoice(*app)->pitch, 68.4, 1e-9);
    for (int t = 0; t < 12; ++t) RenderTick(*app);
    EXPECT_NEAR(FirstBusyVoice(*app)->pitch, 72.0, 1e-9);  // stops at the target
}

TEST_F(SequencerTest, NoteDelayAndRetrigger) {
    SetCell(At(0), kC5, 1, 14, 0xD3);
    SetCell(At(1), kC5, 1, 14, 0xD9);
    SetCell(At(2), kC5, 1, 14, 0x92);
    Play();
    for (int t = 0; t < 3; ++t) {
        RenderTick(*app);
        EXPECT_EQ(BusyOn(0), 0) << t;
    }
    RenderTick(*app);
    EXPECT_EQ(BusyOn(0), 1);
    for (int t = 0; t < 2; ++t) RenderTick(*app);
    StopPlayer(*app);
    PlayTransport(*app, false, false);
    EXPECT_EQ(app->transport.row, 1);
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(BusyOn(0), 0);  // tick 9 never comes at speed 6
    // Retrigger every 2 ticks: starts at 0, 2 and 4, each releasing the last.
    int started[6];
    for (int t = 0; t < 6; ++t) {
        RenderTick(*app);
        started[t] = 0;
        for (const Voice& v : app->voices) started[t] += v.envelopeStage > kStageOff;
    }
    EXPECT_EQ(started[0], 1);
    EXPECT_EQ(started[1], 1);
    EXPECT_EQ(started[2], 2);
    EXPECT_EQ(started[4], 3);
    EXPECT_EQ(app->voices[0].envelopeStage, kStageRelease);
    EXPECT_EQ(app->voices[1].envelopeStage, kStageRelease);
    EXPECT_NE(app->voices[2].envelopeStage, kStageRelease);
}

TEST_F(SequencerTest, PatternDelayKeepsEffectsRunning) {
    SetCell(At(0), kC5, 1, 14, 0xE1, 10, 0x01);
    Play();
    for (int t = 0; t < 11; ++t) RenderTick(*app);
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_EQ(app->transport.tick, 11);
    RenderTick(*app);
    EXPECT_EQ(app->transport.row, 1);
    EXPECT_EQ(Channel().volume, 64 - 11);
}

TEST_F(SequencerTest, BreaksAndOrderAdvance) {
    app->song.lastOrder = 2;
    app->song.orders[0] = 0;
    app->song.orders[1] = 1;
    app->song.orders[2] = 2;
    app->song.restartOrder = 1;
    SetCell(At(0, 0), 0, 0, 13, 5);
    SetCell(At(0, 2), 0, 0, 13, 9);  // the later track wins
    Play();
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(app->transport.row, 9);
    EXPECT_EQ(app->song.orderPosition, 1);

    // Song mode: the end of a pattern moves on; after the last order the restart.
    for (int p = 1; p <= 2; ++p) app->song.patterns[p].lastRow = 0;
    app->transport.row = 0;
    const uint32_t wraps = app->songWrapCount.load();
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(app->song.orderPosition, 2);
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(app->song.orderPosition, 1);
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_EQ(app->songWrapCount.load(), wraps + 1);

    // Pattern mode repeats the pattern unless a break moves on.
    Play(true);
    for (int t = 0; t < 12; ++t) RenderTick(*app);
    EXPECT_EQ(app->song.orderPosition, 1);
    SetCell(At(0, 1, 1), 0, 0, 13, 0);
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(app->song.orderPosition, 2);
}

TEST_F(SequencerTest, SpeedTempoAndVolumeCommands) {
    SetCell(At(0), kC5, 1, 15, 31, 12, 80, 10, 0xF0);
    Play();
    RenderTick(*app);
    EXPECT_EQ(app->song.speed, 31);
    EXPECT_EQ(Channel().volume, 64);
    SetCell(At(0), 0, 0, 12, 0, 10, 0xF0, 15, 250);
    Play();
    app->asioHost.preferredSize = 441;  // the new tempo rules the same tick
    RenderBuffer(*app);
    EXPECT_EQ(app->song.tempo, 250);
    EXPECT_EQ(app->transport.tick, 1);
    EXPECT_EQ(Channel().volume, 0);
    RenderBuffer(*app);
    EXPECT_EQ(Channel().volume, 15);
    RenderBuffer(*app);
    EXPECT_EQ(Channel().volume, 30);
    SetCell(At(0), 0, 0, 15, 32, 16, 80);
    Play();
    RenderTick(*app);
    EXPECT_EQ(app->song.tempo, 32);
    EXPECT_EQ(app->song.masterVolume, 64);

    // Fine volume on tick 0 only; note cut at its tick.
    SetCell(At(0), 0, 0, 14, 0xB5, 14, 0xA2, 14, 0xC2);
    Play();
    RenderTick(*app);
    EXPECT_EQ(Channel().volume, 61);
    RenderTick(*app);
    EXPECT_EQ(Channel().volume, 61);
    RenderTick(*app);
    EXPECT_EQ(Channel().volume, 0);
}

TEST_F(SequencerTest, InstrumentAloneResetsTheChannel) {
    Instrument& ins = app->song.instruments[1];
    ins.volume = 40;
    ins.pan = 30;
    SetCell(At(0), 0, 1, 8, 200);  // the pan command comes after the instrument
    SetCell(At(1), 0, 1);
    Play();
    RenderTick(*app);
    EXPECT_EQ(Channel().instrument, 1);
    EXPECT_EQ(Channel().volume, 40);
    EXPECT_EQ(Channel().pan, 200);
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(Channel().pan, 30);
    EXPECT_EQ(BusyOn(0), 0);
}

TEST_F(SequencerTest, ChordsAndStartOffsets) {
    SetCell(At(0), kC5, 1, 192, 7, 9, 2);
    Play();
    RenderTick(*app);
    ASSERT_EQ(BusyOn(0), 2);
    EXPECT_EQ(app->voices[0].transpose, 0);
    EXPECT_EQ(app->voices[1].transpose, 7);
    EXPECT_EQ(app->voices[1].note, 60);
    // Both started at frame 512 and moved on by one tick, the fifth faster.
    EXPECT_EQ(app->voices[0].position, 512 + TickFrames(*app));
    EXPECT_GT(app->voices[1].position, app->voices[0].position);
    SetCell(At(0), kC5, 1, 9, 1, 24, 128);  // the last offset wins: half the length
    Play();
    RenderTick(*app);
    EXPECT_EQ(app->voices[0].position, 100000 + TickFrames(*app));
    // A note on a track without an instrument starts nothing.
    SetCell(At(0, 1), kC5, 0);
    Play();
    RenderTick(*app);
    EXPECT_EQ(BusyOn(1), 0);
}

TEST_F(SequencerTest, PitchCommandsPerTick) {
    struct Case {
        int cmd, par;
        double afterTwoTicks;
    } cases[] = {
        {1, 10, 61.2},  {2, 10, 58.8},  {17, 2, 64.0},  {18, 2, 56.0},
        {19, 2, 62.0},  {20, 2, 58.0},  {14, 0x15, 60.3}, {14, 0x25, 59.7},
        {17, 100, 127.0}, {18, 100, 0.0},
    };
    for (const Case& k : cases) {
        SetCell(At(0), kC5, 1, k.cmd, k.par);
        Play();
        RenderTick(*app);
        RenderTick(*app);
        ASSERT_NE(FirstBusyVoice(*app), nullptr);
        EXPECT_NEAR(FirstBusyVoice(*app)->pitch, k.afterTwoTicks, 1e-9) << k.cmd << " " << k.par;
    }
    // Arpeggio walks 0, x, y.
    SetCell(At(0), kC5, 1, 0, 0x47);
    Play();
    const int expected[] = {0, 4, 7, 0, 4, 7};
    for (int t = 0; t < 6; ++t) {
        RenderTick(*app);
        EXPECT_EQ(Channel().arpeggioOffset, expected[t]) << t;
    }
    // Vibrato and tremolo phases move while used and return to 0 after.
    SetCell(At(0), kC5, 1, 4, 0x48, 7, 0x33);
    SetCell(At(1), 0, 0, 6, 0);
    Play();
    for (int t = 0; t < 6; ++t) RenderTick(*app);
    EXPECT_EQ(Channel().vibratoPosition, 24);
    EXPECT_EQ(Channel().tremoloPosition, 18);
    RenderTick(*app);
    EXPECT_EQ(Channel().vibratoPosition, 28);
    EXPECT_EQ(Channel().tremoloPosition, 0);
}

TEST_F(SequencerTest, NoteOffAndStopFromInsideTheRender) {
    SetCell(At(0), kC5, 1);
    SetCell(At(1), kNoteOff, 0);
    Play();
    for (int t = 0; t < 7; ++t) RenderTick(*app);
    EXPECT_EQ(app->voices[0].envelopeStage, kStageRelease);

    SetCell(At(0, 0), kC5, 1);
    SetCell(At(0, 1), 0, 0, 15, 0);
    SetCell(At(0, 2), kC5, 1);  // later tracks still run in the stopping tick
    Play();
    app->asioHost.preferredSize = 2000;
    RenderBuffer(*app);
    EXPECT_EQ(app->transport.playMode, kStopped);
    EXPECT_STREQ(app->statusLine, "Player Stopped.");
    EXPECT_EQ(BusyOn(0), 0);
    EXPECT_EQ(BusyOn(2), 1);
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_EQ(app->transport.tick, 0);
}

TEST_F(SequencerTest, DamagedSongValuesDoNotHang) {
    SetCell(At(0), kC5, 1);
    app->song.tempo = 0;
    app->song.speed = 0;
    app->song.trackCount = 200;
    app->transport.row = 0;
    Play();
    app->settings.sampleRate = 0.0;
    RenderBuffer(*app);
    app->settings.sampleRate = std::nan("");
    app->asioHost.preferredSize = 100000;
    RenderBuffer(*app);
    app->transport.row = 9999;
    app->asioHost.preferredSize = 0;
    RenderBuffer(*app);
    EXPECT_EQ(app->transport.playMode, kPlaySong);
}

}  // namespace
}  // namespace zelmora
