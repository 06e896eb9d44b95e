// The earlier build's engine: the timing byte and two effect slots, the
// commands it lacks, its pattern delay and pattern end, the linear voice with
// its pan switch, glide and sustain, the bus without a master section and the
// play status. Every test here is skipped in the full build.
#include <cstring>
#include <vector>

#include "app/profile.h"
#include "engine_fixture.h"

namespace zelmora {
namespace {

constexpr int kC5 = 61;

struct EarlierEngine : ::testing::Test {
    std::unique_ptr<AppState> app = MakeEngineApp();
    void SetUp() override {
        if constexpr (!profile::kEarlierBuild) GTEST_SKIP() << "the earlier build only";
        AddSample(*app, 1, 0, 200000, 1, [](int, int) { return 0.25; });
    }
    // note, instrument, timing, command 1, parameter 1, command 2, parameter 2
    void Cell(int row, int track, std::initializer_list<int> bytes) { PutRaw(*app, row, track, bytes); }
    int Busy() { return BusyVoiceCount(*app); }
};

TEST_F(EarlierEngine, TimingByteDelaysAndCutsTheNote) {
    Cell(0, 0, {kC5, 1, 0x42});            // delay 2, cut 4
    Cell(0, 1, {kC5, 1, 0x00, 14, 0xD3});  // the slot's note delay still plays
    PlayTransport(*app, false, true);
    const int busy[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}};
    for (const auto& [tick, voices] : busy) {
        RenderTick(*app);
        EXPECT_EQ(Busy(), voices) << tick;
    }
    EXPECT_EQ(app->song.tracks[0].channel.volume, 0);  // cut at tick 4
    EXPECT_EQ(app->song.tracks[1].channel.volume, 64);
}

TEST_F(EarlierEngine, CommandsOfTheFullBuildAreIgnored) {
    struct {
        int command, parameter;
    } cases[] = {{8, 0}, {16, 10}, {24, 128}, {192, 7}};
    for (const auto& [command, parameter] : cases) {
        app->NewSong();
        AddSample(*app, 1, 0, 200000, 1, [](int, int) { return 0.25; });
        Cell(0, 0, {kC5, 1, 0, command, parameter, command, parameter});
        PlayTransport(*app, false, true);
        RenderTick(*app);
        EXPECT_EQ(Busy(), 1) << command;                      // no chord voices
        EXPECT_LT(app->voices[0].position, 2000) << command;  // no offset of half the sample
        EXPECT_EQ(app->song.tracks[0].channel.pan, 128) << command;
        EXPECT_EQ(app->song.masterVolume, 32) << command;
    }
}

TEST_F(EarlierEngine, PatternDelayAddsTicksAndPatternEndAdvances) {
    Cell(0, 0, {0, 0, 0, 14, 0xE2});
    app->song.patterns[0].lastRow = 1;
    app->song.lastOrder = 1;
    app->song.orders[1] = 1;
    PlayTransport(*app, true, true);  // pattern mode
    RenderTick(*app, 7);
    EXPECT_EQ(app->transport.row, 0);  // speed 6 + 2 ticks, not 18
    RenderTick(*app);
    EXPECT_EQ(app->transport.row, 1);
    RenderTick(*app, 6);
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_EQ(app->song.orderPosition, 1);  // the end of the pattern moved on in pattern mode
}

struct EarlierVoice : EarlierEngine {
    std::vector<double> left, right;
    void Render(Voice& v, int frames) { RenderAlone(*app, v, frames, left, right); }
};

TEST_F(EarlierVoice, LinearInterpolationAndThePanSwitch) {
    // Frames 0, 1, 4, 9, ...; half rate reads the midpoints; a forward loop
    // over the last 4 frames leads from its end back to its start.
    Sample& s = AddSample(
        *app, 1, 0, 8, 1, [](int, int f) { return 0.01 * f * f; }, 1, 4, 4);
    s.sampleRate = 22050.0;
    EXPECT_EQ(app->song.tracks[0].reserved2, kPanSwitchLeft);
    struct {
        int track;
        double gainLeft, gainRight;
    } cases[] = {{0, 0.66, 0.33}, {1, 0.33, 0.66}, {2, 0.33, 0.66}, {3, 0.66, 0.33}, {4, 0.66, 0.33}};
    for (const auto& [track, gainLeft, gainRight] : cases) {
        Voice& v = app->voices[0];
        StartVoice(*app, v, track, 1, 0, 60, 0, 0);
        v.envelopeStage = kStageSustain;
        v.envelopeValue = kSustainLevel;
        Render(v, 20);
        const double expected[] = {0.0,  0.005, 0.01, 0.025, 0.04, 0.065, 0.09, 0.125,
                                   0.16, 0.205, 0.25, 0.305, 0.36, 0.425, 0.49, 0.325};
        for (int i = 0; i < 16; ++i) {
            ASSERT_NEAR(left[i], expected[i] * 0.8 * gainLeft, 1e-12) << track << " " << i;
            ASSERT_NEAR(right[i], expected[i] * 0.8 * gainRight, 1e-12) << track << " " << i;
        }
    }
    app->song.tracks[0].reserved2 = kPanSwitchRight;  // the switch, not the pan bytes, decides
    app->song.tracks[0].channel.pan = 0;
    Voice& v = app->voices[0];
    StartVoice(*app, v, 0, 1, 0, 60, 0, 2);
    v.envelopeStage = kStageSustain;
    v.envelopeValue = kSustainLevel;
    Render(v, 1);
    EXPECT_NEAR(right[0] / left[0], 2.0, 1e-12);
}

TEST_F(EarlierVoice, GlideOfTenMillisecondsAndSustainOfPointEight) {
    Voice& v = app->voices[0];
    StartVoice(*app, v, 0, 1, 0, 60, 0, 0);
    app->song.tracks[0].channel.volume = 0;  // the volume glides toward 0
    Render(v, 441);                          // 10 ms: 60 dB of the way
    EXPECT_NEAR(v.volume, 0.001, 1e-9);
    app->song.tracks[0].channel.volume = 64;
    Render(v, 44100);
    EXPECT_EQ(v.envelopeStage, kStageSustain);
    EXPECT_NEAR(v.envelopeValue, 0.8, 1e-9);
}

TEST_F(EarlierEngine, NoMasterSectionAndThePlayStatus) {
    Cell(0, 0, {kC5, 1});
    app->song.masterVolume = 8;  // no effect: the mix passes at gain 1
    app->song.eqOn = 1;
    app->song.eqGains[3] = 40;
    EXPECT_EQ(EnvelopeTimeTable[128], 0.0);  // never filled
    RenderTick(*app);
    EXPECT_STREQ(app->statusLine, "Welcome To Zelmora");  // stopped: no status
    PlayTransport(*app, false, true);
    app->asioHost.preferredSize = 256;
    RenderBuffer(*app);
    // Near 0.25 x 0.66 once the 1 ms attack is over; master volume 8 would give 1/64 of it.
    EXPECT_GT(app->mixLeft[255], 0.12);
    EXPECT_NEAR(app->mixRight[255] / app->mixLeft[255], 0.5, 1e-9);
    EXPECT_EQ(app->song.meters.peakLeft.load(), 0.0);
    EXPECT_EQ(app->song.meters.cpuLoad.load(), 0.0);
    EXPECT_TRUE(std::strncmp(app->statusLine, "Cpu ", 4) == 0) << app->statusLine;
    EXPECT_NE(std::strstr(app->statusLine, "%   Voices 001/128"), nullptr) << app->statusLine;
}

TEST_F(EarlierEngine, PlayStatusDigits) {
    struct {
        double load;
        int voices;
        const char* text;
    } cases[] = {{0.0, 0, "Cpu 000%   Voices 000/128"},          {0.123, 7, "Cpu 012%   Voices 007/128"},
                 {12.5, 128, "Cpu 1250%   Voices 128/128"},      {-1.0, 5, "Cpu 000%   Voices 005/128"},
                 {std::nan(""), 5, "Cpu 000%   Voices 005/128"}, {1e300, 5, "Cpu 999999%   Voices 005/128"}};
    for (const auto& [load, voices, text] : cases) {
        std::memset(app->statusLine, 'x', sizeof app->statusLine);
        WritePlayStatus(*app, load, voices, kVoiceCount);
        EXPECT_STREQ(app->statusLine, text);
    }
}

}  // namespace
}  // namespace zelmora
