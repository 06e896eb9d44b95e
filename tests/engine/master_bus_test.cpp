// The master bus: equaliser response, master volume, meters and clip.
#include <algorithm>
#include <cstring>
#include <numbers>

#include "engine_fixture.h"

namespace zelmora {
namespace {

void FillSine(AppState& app, int frames, double hz, double amplitude, long& phase) {
    for (int i = 0; i < frames; ++i, ++phase)
        app.mixLeft[i] = app.mixRight[i] =
            amplitude * std::sin(2.0 * std::numbers::pi * hz * phase / 44100.0);
}

TEST(MasterBus, VolumeMetersAndClip) {
    if constexpr (!profile::kMasterSection) GTEST_SKIP() << "the earlier build has no master section";
    auto app = MakeEngineApp();
    const SongMeters& m = app->song.meters;
    // master volume, left input (the right gets its negative), output, peak after the buffer;
    // peaks are taken before the clip and only raised
    const double cases[][4] = {{0, 0.5, 0, 0},
                               {64, -0.25, -0.25, 0.25},
                               {32, 0.5, 0.125, 0.25},
                               {64, 1.5, 1, 1.5},
                               {64, 0.1, 0.1, 1.5}};
    for (const auto& [volume, in, out, peak] : cases) {
        app->song.masterVolume = static_cast<uint8_t>(volume);
        app->mixLeft[0] = in;
        app->mixRight[0] = -in;
        RunMasterBus(*app, 1, 44100.0);
        EXPECT_EQ(app->mixLeft[0], out) << volume << " " << in;
        EXPECT_EQ(app->mixRight[0], -out) << volume << " " << in;
        EXPECT_EQ(m.peakLeft.load(), peak);
        EXPECT_EQ(m.peakRight.load(), peak);
    }
}

TEST(MasterBus, EqualiserRespondsAtItsBand) {
    if constexpr (!profile::kMasterSection) GTEST_SKIP() << "the earlier build has no master section";
    auto app = MakeEngineApp();
    app->song.eqOn = 1;
    // gain steps of the 1000 Hz band, test tone, expected amplitude gain
    const double cases[][3] = {
        {32, 1000, std::pow(10.0, 0.6)}, {32, 25, 1}, {32, 16000, 1}, {-32, 1000, std::pow(10.0, -0.6)}};
    for (const auto& [steps, hz, gain] : cases) {
        app->song.eqGains[8] = static_cast<int8_t>(steps);
        for (double* state : app->masterEq) std::fill(state, state + 5, 0.0);
        long phase = 0;
        double peak = 0.0;
        for (int b = 0; b < 20; ++b) {
            FillSine(*app, 4410, hz, 0.1, phase);
            RunMasterBus(*app, 4410, 44100.0);
            for (int i = 0; b >= 10 && i < 4410; ++i) peak = std::max(peak, std::fabs(app->mixLeft[i]));
        }
        EXPECT_NEAR(peak / 0.1, gain, 0.02) << steps << " " << hz;
    }
    // Bands at or above half a low output rate pass the signal by.
    long phase = 0;
    FillSine(*app, 1000, 440.0, 0.5, phase);
    RunMasterBus(*app, 1000, 8000.0);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(std::isfinite(app->mixLeft[i])) << i;
}

TEST(MasterBus, CascadeMatchesBandAfterBand) {
    if constexpr (!profile::kMasterSection) GTEST_SKIP() << "the earlier build has no master section";
    auto app = MakeEngineApp();
    app->song.eqOn = 1;
    for (int b = 0; b < kEqBands; ++b) app->song.eqGains[b] = static_cast<int8_t>(b * 4 - 28);
    double reference[kEqSections][5] = {};
    long phase = 0;
    for (int buffer = 0; buffer < 3; ++buffer) {
        FillSine(*app, 300, 700.0 + 900.0 * buffer, 0.4, phase);
        std::vector<double> l(app->mixLeft, app->mixLeft + 300), r(app->mixRight, app->mixRight + 300);
        for (int b = 0; b < kEqBands; ++b) {
            const BiquadCoeffs c = PeakingEqCoefficients(44100.0, kEqCentres[b], app->song.eqGains[b] * 0.375,
                                                         kEqBandwidthOctaves);
            for (double& x : l) x = BiquadStep(reference[2 * b], c, x);
            for (double& x : r) x = BiquadStep(reference[2 * b + 1], c, x);
        }
        RunMasterBus(*app, 300, 44100.0);
        for (int i = 0; i < 300; ++i) {
            ASSERT_NEAR(app->mixLeft[i], std::clamp(l[i], -1.0, 1.0), 1e-12) << i;
            ASSERT_NEAR(app->mixRight[i], std::clamp(r[i], -1.0, 1.0), 1e-12) << i;
        }
    }
    // The filter history waits while the equaliser is off, and survives play and a new song.
    double saved[kEqSections][5];
    std::memcpy(saved, app->masterEq, sizeof saved);
    app->song.eqOn = 0;
    RunMasterBus(*app, 300, 44100.0);
    PlayTransport(*app, false, true);
    app->NewSong();
    EXPECT_EQ(std::memcmp(saved, app->masterEq, sizeof saved), 0);
}

TEST(MasterBus, NotANumberBecomesZero) {
    auto app = MakeEngineApp();
    const double nan = std::nan("");
    const double values[] = {nan, -nan, HUGE_VAL, 0.5}, want[] = {0.0, 0.0, 1.0, 0.5};
    for (int i = 0; i < 4; ++i) app->mixLeft[i] = app->mixRight[i] = values[i];
    RunMasterBus(*app, 4, 44100.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(app->mixLeft[i], want[i]) << i;
        EXPECT_EQ(app->mixRight[i], want[i]) << i;
    }
    app->song.eqOn = 1;  // through the equaliser too
    std::fill(app->mixLeft, app->mixLeft + 4, nan);
    std::fill(app->mixRight, app->mixRight + 4, nan);
    RunMasterBus(*app, 4, 44100.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(app->mixLeft[i] + app->mixRight[i], 0.0) << i;
}

// The earlier build has no master section: the mix passes at gain 1, without
// equaliser or meters, and the play status shows the load and the voices.
TEST(MasterBus, TheEarlierBuildHasNone) {
    if constexpr (profile::kMasterSection) GTEST_SKIP() << "the earlier build only";
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 200000, 1, [](int, int) { return 0.25; });
    Put(*app, 0, 0, {kC5, 1});
    app->song.masterVolume = 8;
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

}  // namespace
}  // namespace zelmora
