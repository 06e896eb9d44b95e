#include "audio/asio_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/app_state.h"
#include "fake_drivers.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

using testing::MemoryRegistry;
using testing::ScriptedDriver;
using testing::ScriptedFactory;

class AsioHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.AddDriver("Scripted", "{12345678-1234-1234-1234-123456789abc}", "Scripted Driver", "s.dll");
        registry.AddDriver("Second", "{12345678-1234-1234-1234-123456789abd}", "Second Driver", "s.dll");
        registry.files = {"s.dll"};
        factory.drivers = {&driver, &second};
        app = MakeTestApp();
        ASSERT_TRUE(app);
        app->driverList.Rebuild(&registry, factory);
    }
    std::string Status() const { return app->asioHost.statusText; }

    MemoryRegistry registry;
    ScriptedFactory factory;
    ScriptedDriver driver, second;
    std::unique_ptr<AppState> app;
};

TEST_F(AsioHostTest, StartsAndStops) {
    driver.outputReadyResult = ASE_NotPresent;
    app->settings.sampleRate = 48000.0;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "ASIO Running (2 Ins, 4 Outs, 64:4096:256:64 Samples, 0 Po)");
    EXPECT_EQ(driver.rateAsked, 48000.0);
    EXPECT_EQ(driver.createdChannels, 6);
    EXPECT_EQ(driver.createdSize, 256);
    ASSERT_NE(driver.callbacks, nullptr);
    EXPECT_EQ(driver.callbacks, &app->asioHost.callbacks);
    // Inputs first, then outputs, each numbered from 0.
    const AsioHost& h = app->asioHost;
    EXPECT_EQ(h.bufferInfos[1].isInput, ASIOTrue);
    EXPECT_EQ(h.bufferInfos[1].channelNum, 1);
    EXPECT_EQ(h.bufferInfos[2].isInput, ASIOFalse);
    EXPECT_EQ(h.bufferInfos[2].channelNum, 0);
    EXPECT_STREQ(h.channelInfos[5].name, "Out 4");
    EXPECT_EQ(h.channelInfos[5].channel, 3);

    // No outputReady after a refusal at start.
    const int calls = driver.outputReadyCalls;
    driver.callbacks->bufferSwitch(0, ASIOTrue);
    EXPECT_EQ(driver.outputReadyCalls, calls);

    StopAudio(*app);
    EXPECT_EQ(Status(), "ASIO Stopped");
    EXPECT_EQ(driver.references, 1);
    EXPECT_EQ(app->asioHost.driver, nullptr);
    StopAudio(*app);
    EXPECT_EQ(Status(), "Error: ASIO Driver Not Present");
}

TEST_F(AsioHostTest, OutputReadyFollowsEveryHalfBufferWhenAccepted) {
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "ASIO Running (2 Ins, 4 Outs, 64:4096:256:64 Samples, 1 Po)");
    const int calls = driver.outputReadyCalls;
    driver.callbacks->bufferSwitch(0, ASIOTrue);
    EXPECT_EQ(driver.callbacks->bufferSwitchTimeInfo(nullptr, 1, ASIOTrue), nullptr);
    driver.callbacks->bufferSwitch(2, ASIOTrue);  // names no half: ignored
    EXPECT_EQ(driver.outputReadyCalls, calls + 2);
    EXPECT_EQ(app->asioHost.halfBuffers.load(), 2u);
}

TEST_F(AsioHostTest, EachFailingStepReportsAndStops) {
    struct Case {
        const char* message;
        void (*breakIt)(ScriptedDriver&);
        bool buffersCreated;
    };
    const Case cases[] = {
        {"Error: asio_driver->getChannels() Failed", [](ScriptedDriver& d) { d.channelsResult = ASE_HWMalfunction; }, false},
        {"Error: asio_driver->getBufferSize() Failed", [](ScriptedDriver& d) { d.bufferSizeResult = ASE_NotPresent; }, false},
        {"Error: asio_driver->createBuffers() Failed", [](ScriptedDriver& d) { d.createResult = ASE_NoMemory; }, false},
        // The first output of a driver with two inputs is channel 2.
        {"Error: asio_driver->getChannelInfo(2) Failed", [](ScriptedDriver& d) { d.failChannelInfoAt = 2; }, true},
        {"Error: asio_driver->start() Failed", [](ScriptedDriver& d) { d.startResult = ASE_HWMalfunction; }, true},
    };
    for (const Case& c : cases) {
        ScriptedDriver d;
        c.breakIt(d);
        factory.drivers = {&d};
        app->driverList.Rebuild(&registry, factory);
        StartAudio(*app, nullptr);
        EXPECT_EQ(Status(), c.message);
        // The driver stays open where the start stopped.
        EXPECT_EQ(app->asioHost.driver, &d) << c.message;
        EXPECT_EQ(d.started, false);
        EXPECT_EQ(d.storage.empty(), !c.buffersCreated) << c.message;
        app->driverList.Rebuild(&registry, factory);  // releases it
        EXPECT_EQ(d.references, 1);
    }
}

TEST_F(AsioHostTest, RefusedInitShowsTheDriversTextAndReleasesIt) {
    driver.initResult = ASIOFalse;
    driver.errorText = "No hardware found.";
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "No hardware found.");
    EXPECT_EQ(app->asioHost.driver, nullptr);
    EXPECT_EQ(driver.references, 1);
    driver.initResult = ASIOTrue;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status().rfind("ASIO Running", 0), 0u);
}

TEST_F(AsioHostTest, OpenFailuresAndMissingObjects) {
    app->settings.driverIndex = 9;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "Error: asioOpenDriver() Failed");
    app->settings.driverIndex = 0;
    factory.failure = static_cast<int32_t>(0x80004005u);
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "Error: asioOpenDriver() Failed");
    factory.failure = 0;
    factory.drivers = {nullptr};
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "Error: ASIO Driver Not Present");
}

TEST_F(AsioHostTest, FailedStopOrDisposeKeepsTheDriver) {
    StartAudio(*app, nullptr);
    driver.stopResult = ASE_HWMalfunction;
    StopAudio(*app);
    EXPECT_EQ(Status(), "Error: asio_driver->stop() Failed");
    EXPECT_EQ(driver.references, 2);
    driver.stopResult = ASE_OK;
    driver.disposeResult = ASE_InvalidMode;
    StopAudio(*app);
    EXPECT_EQ(Status(), "Error: asio_driver->disposeBuffers() Failed");
    EXPECT_EQ(app->asioHost.driver, &driver);
    driver.disposeResult = ASE_OK;
    StopAudio(*app);
    EXPECT_EQ(Status(), "ASIO Stopped");
    EXPECT_EQ(driver.references, 1);
}

TEST_F(AsioHostTest, ChannelsBeyondTheTablesAreNotCreated) {
    driver.inputs = 40;
    driver.outputs = 40;
    driver.sizes[2] = 20000;
    driver.sizes[1] = 32768;
    StartAudio(*app, nullptr);
    EXPECT_EQ(driver.createdChannels, 64);
    EXPECT_EQ(driver.createdSize, kMaxBufferFrames);
    EXPECT_EQ(Status(), "ASIO Running (24 Ins, 40 Outs, 64:32768:16384:64 Samples, 1 Po)");
    EXPECT_EQ(app->asioHost.bufferInfos[63].channelNum, 39);
    EXPECT_EQ(app->asioHost.bufferInfos[63].isInput, ASIOFalse);
    StopAudio(*app);

    ScriptedDriver wide;
    wide.inputs = 8;
    wide.outputs = 100;
    factory.drivers = {&wide};
    app->driverList.Rebuild(&registry, factory);
    StartAudio(*app, nullptr);
    EXPECT_EQ(wide.createdChannels, 64);
    EXPECT_EQ(app->asioHost.inputs, 0);
    EXPECT_EQ(app->asioHost.outputs, 64);
    StopAudio(*app);
}

// Fills the master buffers with a ramp of known values.
void FillMix(AppState& app, int32_t frames) {
    const double left[] = {1.0, -1.0, 0.5, -0.5, 0.25, 0.999999, 0.0, -0.00001};
    for (int32_t i = 0; i < frames; ++i) {
        app.mixLeft[i] = left[i % 8];
        app.mixRight[i] = -left[i % 8] * 0.75;
    }
}

TEST_F(AsioHostTest, SixteenBitOutputsAreTruncatedAndRouted) {
    driver.type = ASIOSTInt16LSB;
    StartAudio(*app, nullptr);
    app->settings.outputLeft = 0;
    app->settings.outputRight = 2;
    FillMix(*app, 256);
    WriteHalfBuffer(*app, 1);
    // Table entries 2..5 are outputs 0..3.
    const int16_t expected[] = {32767, -32767, 16383, -16383, 8191, 32766, 0, 0};
    for (int32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(driver.Sample<int16_t>(2, 1, i), expected[i % 8]) << i;
        ASSERT_EQ(driver.Sample<int16_t>(4, 1, i), static_cast<int16_t>(app->mixRight[i] * 32767.0)) << i;
        ASSERT_EQ(driver.Sample<int16_t>(3, 1, i), 0);
        ASSERT_EQ(driver.Sample<int16_t>(5, 1, i), 0);
    }
    EXPECT_EQ(driver.Sample<int16_t>(4, 1, 0), -24575);  // -0.75 * 32767 = -24575.25
    // The other half and the inputs are left alone.
    EXPECT_EQ(driver.Sample<uint16_t>(2, 0, 0), 0xABAB);
    EXPECT_EQ(driver.Sample<uint16_t>(0, 1, 0), 0xABAB);
}

TEST_F(AsioHostTest, ThirtyTwoBitOutputsUseFullScaleMinusOneStep) {
    StartAudio(*app, nullptr);
    FillMix(*app, 256);
    WriteHalfBuffer(*app, 0);
    const int32_t expected[] = {2147483647, -2147483647, 1073741823, -1073741823, 536870911, 2147481499, 0, -21474};
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(driver.Sample<int32_t>(2, 0, i), expected[i % 8]) << i;
    EXPECT_EQ(driver.Sample<int32_t>(3, 0, 0), -1610612735);  // -0.75 full scale, truncated
    // Unrouted outputs carry silence.
    EXPECT_EQ(driver.Sample<int32_t>(4, 0, 100), 0);
    EXPECT_EQ(driver.Sample<int32_t>(5, 0, 255), 0);
}

TEST_F(AsioHostTest, SameChannelCarriesTheRightMixAndMissingChannelsNothing) {
    StartAudio(*app, nullptr);
    FillMix(*app, 256);
    app->settings.outputLeft = 3;
    app->settings.outputRight = 3;
    WriteHalfBuffer(*app, 0);
    for (int32_t k = 2; k < 5; ++k) EXPECT_EQ(driver.Sample<int32_t>(k, 0, 0), 0) << k;
    EXPECT_EQ(driver.Sample<int32_t>(5, 0, 0), -1610612735);

    // Routing beyond the driver's four outputs: nothing carries the left mix.
    app->settings.outputLeft = 9;
    app->settings.outputRight = 1;
    WriteHalfBuffer(*app, 1);
    EXPECT_EQ(driver.Sample<int32_t>(2, 1, 0), 0);
    EXPECT_EQ(driver.Sample<int32_t>(3, 1, 0), -1610612735);
    EXPECT_EQ(driver.Sample<int32_t>(4, 1, 0), 0);
    EXPECT_EQ(driver.Sample<int32_t>(5, 1, 0), 0);
}

TEST_F(AsioHostTest, FloatDriverRunsSilentlyWithItsBuffersUntouched) {
    driver.type = ASIOSTFloat32LSB;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "ASIO Running (2 Ins, 4 Outs, 64:4096:256:64 Samples, 1 Po)");
    FillMix(*app, 256);
    driver.callbacks->bufferSwitch(0, ASIOFalse);
    WriteHalfBuffer(*app, 1);
    for (const auto& half : driver.storage)
        for (uint8_t b : half) ASSERT_EQ(b, 0xAB);
}

TEST(AsioHostRates, StepsThroughTheFourRates) {
    EXPECT_EQ(NextSampleRate(44100.0, 1), 48000.0);
    EXPECT_EQ(NextSampleRate(48000.0, 1), 96000.0);
    EXPECT_EQ(NextSampleRate(96000.0, 1), 192000.0);
    EXPECT_EQ(NextSampleRate(192000.0, 1), 44100.0);
    EXPECT_EQ(NextSampleRate(192000.0, -1), 96000.0);
    EXPECT_EQ(NextSampleRate(96000.0, -1), 48000.0);
    EXPECT_EQ(NextSampleRate(48000.0, -1), 44100.0);
    EXPECT_EQ(NextSampleRate(44100.0, -1), 44100.0);
    // A driver's rate just below a step still counts as that step.
    EXPECT_EQ(NextSampleRate(47999.95, 1), 96000.0);
    EXPECT_EQ(NextSampleRate(22050.0, 1), 44100.0);
    EXPECT_EQ(NextSampleRate(22050.0, -1), 44100.0);
    EXPECT_EQ(NextSampleRate(22050.0, 0), 22050.0);
    EXPECT_EQ(NextSampleRate(std::nan(""), 1), 44100.0);
    EXPECT_EQ(NextSampleRate(1e300, -1), 44100.0);
    EXPECT_EQ(NextSampleRate(-5.0, 1), 44100.0);
}

TEST_F(AsioHostTest, SampleRateStepRestartsWithTheDriversRate) {
    StartAudio(*app, nullptr);
    StepSampleRate(*app, nullptr, 1);
    EXPECT_EQ(driver.rateAsked, 48000.0);
    EXPECT_EQ(app->settings.sampleRate, 48000.0);
    EXPECT_EQ(Status().rfind("ASIO Running", 0), 0u);
    // A driver that cannot change keeps its own rate, which the settings take.
    driver.acceptsRate = false;
    StepSampleRate(*app, nullptr, 1);
    EXPECT_EQ(driver.rateAsked, 96000.0);
    EXPECT_EQ(app->settings.sampleRate, 48000.0);
    StopAudio(*app);
}

TEST_F(AsioHostTest, SelectDriverStaysWithinTheList) {
    StartAudio(*app, nullptr);
    SelectDriver(*app, nullptr, 1);
    EXPECT_EQ(app->settings.driverIndex, 1);
    EXPECT_EQ(app->asioHost.driver, &second);
    EXPECT_EQ(driver.references, 1);
    SelectDriver(*app, nullptr, 1);
    EXPECT_EQ(app->settings.driverIndex, 1);
    SelectDriver(*app, nullptr, -1);
    SelectDriver(*app, nullptr, -1);
    EXPECT_EQ(app->settings.driverIndex, 0);
    StopAudio(*app);

    MemoryRegistry empty;
    app->driverList.Rebuild(&empty, factory);
    app->settings.driverIndex = 3;
    SelectDriver(*app, nullptr, -1);
    EXPECT_EQ(app->settings.driverIndex, 0);
    EXPECT_EQ(Status(), "Error: asioOpenDriver() Failed");
}

TEST_F(AsioHostTest, RoutingStepsStayWithinTheChannels) {
    // Before any driver: no channels, nothing moves.
    app->settings.outputLeft = 0;
    StepOutputLeft(*app, 1);
    StepInputRight(*app, -1);
    EXPECT_EQ(app->settings.outputLeft, 0);
    EXPECT_EQ(app->settings.inputRight, 1);

    StartAudio(*app, nullptr);
    for (int i = 0; i < 10; ++i) StepOutputRight(*app, 1);
    EXPECT_EQ(app->settings.outputRight, 3);
    for (int i = 0; i < 10; ++i) StepOutputLeft(*app, -1);
    EXPECT_EQ(app->settings.outputLeft, 0);
    StepInputLeft(*app, 1);
    StepInputLeft(*app, 1);
    EXPECT_EQ(app->settings.inputLeft, 1);
    // A stored channel beyond the driver's is brought back in range.
    app->settings.outputLeft = 60;
    StepOutputLeft(*app, -1);
    EXPECT_EQ(app->settings.outputLeft, 3);
    StopAudio(*app);
}

TEST_F(AsioHostTest, CallbacksAnswerTheMessageTableAndTakeRateChanges) {
    StartAudio(*app, nullptr);
    ASIOCallbacks& cb = *driver.callbacks;
    for (int32_t v = 0; v < 12; ++v) {
        const bool supported = v == 2 || v == 3 || v == 5 || v == 6 || v == 7 || v == 8 || v == 9;
        EXPECT_EQ(cb.asioMessage(kAsioSelectorSupported, v, nullptr, nullptr), supported ? 1 : 0) << v;
    }
    EXPECT_EQ(cb.asioMessage(kAsioEngineVersion, 0, nullptr, nullptr), 2);
    EXPECT_EQ(cb.asioMessage(kAsioResetRequest, 0, nullptr, nullptr), 1);
    EXPECT_EQ(cb.asioMessage(kAsioBufferSizeChange, 0, nullptr, nullptr), 0);
    EXPECT_EQ(cb.asioMessage(kAsioResyncRequest, 0, nullptr, nullptr), 1);
    EXPECT_EQ(cb.asioMessage(kAsioLatenciesChanged, 0, nullptr, nullptr), 1);
    EXPECT_EQ(cb.asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr), 1);
    EXPECT_EQ(cb.asioMessage(kAsioSupportsTimeCode, 0, nullptr, nullptr), 0);
    EXPECT_EQ(cb.asioMessage(99, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Status().rfind("ASIO Running", 0), 0u);  // a reset request changes nothing

    cb.sampleRateDidChange(88200.0);
    EXPECT_EQ(app->settings.sampleRate, 88200.0);

    OpenDriverControlPanel(*app);
    EXPECT_EQ(driver.controlPanelCalls, 1);
    StopAudio(*app);
    OpenDriverControlPanel(*app);
    EXPECT_EQ(driver.controlPanelCalls, 1);
}

}  // namespace
}  // namespace zelmora
