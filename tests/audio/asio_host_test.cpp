// The driver list over a registry in memory, the ASIO host over scripted
// drivers, and the drivers that stand in for ASIO on other systems: the WAV
// recorder end to end, its file bit for bit the engine's render of the same
// frames, and the SDL outputs under SDL's silent "dummy" driver.
#include "audio/asio_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "audio/sample_convert.h"
#include "drivers/recording_check.h"
#include "fake_drivers.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

using testing::DriverNames;
using testing::MemoryRegistry;
using testing::ScriptedDriver;
using testing::ScriptedFactory;
using Strings = std::vector<std::string>;

const char* kClassA = "{11111111-2222-3333-4444-555555555555}";

TEST(DriverList, WalksTheRegistry) {
    MemoryRegistry registry;
    ScriptedFactory factory;
    {  // No ASIO key: an empty list, and no object runtime.
        DriverList list(&registry, factory);
        EXPECT_EQ(list.DriverCount(), 0);
        IAsioDriver* d = nullptr;
        EXPECT_EQ(list.OpenDriver(0, &d), kDriverNoRecord);
    }
    EXPECT_EQ(factory.initialised + factory.uninitialised + registry.openKeys, 0);

    registry.AddDriver("First", kClassA, "First Driver", "first.dll");
    registry.AddDriver("Second", "{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}", "Second",
                       "C:\\missing\\second.dll");
    // Upper case on both sides, and no description: the key's own name.
    registry.AddDriver("Third", "{0F0E0D0C-0B0A-0908-0706-050403020100}", nullptr, "third.dll");
    // The class key in lower case, the driver's text in upper case.
    registry.Add(MemoryRegistry::kLocalMachine, "software\\asio\\Loud")["clsid"] =
        "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEF}";
    registry.Add(MemoryRegistry::kClassesRoot,
                 "clsid\\{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeef}\\InprocServer32")[""] = "loud.dll";
    registry.AddDriver("Long", "{11111111-2222-3333-4444-555555555556}", std::string(200, 'd').c_str(),
                       "l.dll");
    registry.AddDriver("Odd", "not-a-guid", "Odd", "odd.dll");
    // Without a clsid value, and with a class that is not registered.
    registry.Add(MemoryRegistry::kLocalMachine, "software\\asio\\Broken")["description"] = "x";
    registry.Add(MemoryRegistry::kLocalMachine, "software\\asio\\Orphan")["clsid"] =
        "{99999999-9999-9999-9999-999999999999}";
    registry.files = {"first.dll", "third.dll", "loud.dll", "l.dll", "odd.dll"};
    {
        DriverList list(&registry, factory);
        // In key order, ids dense: the missing library leaves no gap.
        ASSERT_EQ(DriverNames(list),
                  (Strings{"First Driver", std::string(127, 'd'), "Loud", "Odd", "Third"}));
        for (int32_t id = 0; id < 5; ++id) EXPECT_EQ(list.Find(id)->id, id);
        const AsioGuid third = {0x0F0E0D0C, 0x0B0A, 0x0908, {7, 6, 5, 4, 3, 2, 1, 0}}, none = {};
        EXPECT_EQ(std::memcmp(&list.Find(4)->classId, &third, sizeof third), 0);
        EXPECT_EQ(list.Find(2)->classId.data1, 0xAAAAAAAAu);
        EXPECT_EQ(std::memcmp(&list.Find(3)->classId, &none, sizeof none), 0);  // does not parse: all zero
        EXPECT_EQ(factory.initialised, 1);
    }
    EXPECT_EQ(factory.uninitialised, 1);
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(DriverList, OpenCloseAndNamesFollowTheResultCodes) {
    MemoryRegistry registry;
    registry.AddDriver("One", kClassA, "Twelve Chars", "one.dll");
    registry.files = {"one.dll"};
    ScriptedFactory factory;
    ScriptedDriver driver;
    factory.drivers = {&driver};
    {
        DriverList list(&registry, factory);
        IAsioDriver* d = nullptr;
        EXPECT_EQ(list.OpenDriver(0, nullptr), kDriverMissingPointer);
        EXPECT_EQ(list.OpenDriver(1, &d), kDriverNoRecord);
        ASSERT_EQ(list.OpenDriver(0, &d), 0);
        EXPECT_EQ(d, &driver);
        EXPECT_EQ(factory.asked.back().data1, 0x11111111u);  // created with the record's own identifier
        IAsioDriver* again = nullptr;
        EXPECT_EQ(list.OpenDriver(0, &again), kDriverAlreadyOpen);
        EXPECT_EQ(again, nullptr);
        EXPECT_EQ(driver.references, 2);
        for (int32_t id : {0, 0, 7}) EXPECT_EQ(list.CloseDriver(id), 0);  // closed or unknown: nothing
        EXPECT_EQ(driver.references, 1);

        factory.failure = static_cast<int32_t>(0x80040154u);  // passed through as it is
        EXPECT_EQ(list.OpenDriver(0, &d), factory.failure);
        EXPECT_EQ(list.Find(0)->driver, nullptr);
        factory.failure = 0;
        ASSERT_EQ(list.OpenDriver(0, &d), 0);

        // {buffer size, text}: exactly `size` bytes written, a name that does not fit ends in dots.
        const std::pair<int32_t, const char*> shortened[] = {
            {13, "Twelve Chars"}, {12, "Twelve C..."}, {8, "Twel..."}, {3, ".."}, {0, ""}};
        for (const auto& [size, text] : shortened) {
            char buffer[16];
            std::memset(buffer, 'x', sizeof buffer);
            ASSERT_EQ(list.DriverName(0, buffer, size), 0);
            EXPECT_EQ(std::string(buffer, std::size_t(size)), size ? std::string(text) + '\0' : "") << size;
            EXPECT_EQ(buffer[size], 'x') << size;
        }
        char buffer[8];
        EXPECT_EQ(list.DriverName(0, nullptr, 8), kDriverMissingPointer);
        EXPECT_EQ(list.DriverName(5, buffer, 8), kDriverNoRecord);
    }
    EXPECT_EQ(driver.references, 1);  // the list releases the driver left open
}

// Windows without ASIO still plays: the other outputs and the recorder come
// after the registry's drivers, under identifiers that name their place in
// the substitute list, and the object runtime is started for them too.
TEST(DriverList, SubstitutesFollowTheRegistryWhereTheFactoryAsks) {
    ResetSubstituteDrivers();
    AddSubstituteDriver(
        "WASAPI: Speakers", [](int32_t) -> IAsioDriver* { return nullptr; }, 0);
    MemoryRegistry registry;
    ScriptedFactory factory;
    factory.substitutesFollow = true;
    {
        DriverList list(&registry, factory);
        ASSERT_EQ(DriverNames(list), (Strings{"WASAPI: Speakers", "WAV Recorder"}));
        EXPECT_TRUE(IsSubstituteClassId(list.Find(1)->classId));
        EXPECT_EQ(list.Find(1)->classId.data1, 1u);
    }
    EXPECT_EQ(factory.initialised, 1);
    registry.AddDriver("First", kClassA, "First Driver", "first.dll");
    registry.files = {"first.dll"};
    {
        DriverList list(&registry, factory);
        ASSERT_EQ(DriverNames(list), (Strings{"First Driver", "WASAPI: Speakers", "WAV Recorder"}));
        EXPECT_FALSE(IsSubstituteClassId(list.Find(0)->classId));
    }
#ifndef _WIN32
    // Without a registry the substitutes are the list; one that cannot be
    // made reports a failure, not an empty success.
    {
        DriverList posix;
        ASSERT_EQ(DriverNames(posix), (Strings{"WASAPI: Speakers", "WAV Recorder"}));
        IAsioDriver* d = nullptr;
        EXPECT_NE(posix.OpenDriver(0, &d), 0);
        ASSERT_EQ(posix.OpenDriver(1, &d), 0);
        ASSERT_NE(d, nullptr);
    }
    ResetSubstituteDrivers();
    EXPECT_EQ(DriverNames(DriverList()), Strings{"WAV Recorder"});
#endif
    ResetSubstituteDrivers();
}

constexpr const char* kRunning = "ASIO Running (2 Ins, 4 Outs, 64:4096:256:64 Samples, 1 Po)";

class AsioHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.AddDriver("Scripted", "{12345678-1234-1234-1234-123456789abc}", "Scripted Driver", "s.dll");
        registry.AddDriver("Second", "{12345678-1234-1234-1234-123456789abd}", "Second Driver", "s.dll");
        registry.files = {"s.dll"};
        Use({&driver, &second});
    }
    // A new driver list over the same registry with these drivers.
    void Use(std::vector<IAsioDriver*> drivers) {
        factory.drivers = std::move(drivers);
        app->driverList.Rebuild(&registry, factory);
    }
    std::string Status() const { return app->asioHost.statusText; }

    MemoryRegistry registry;
    ScriptedFactory factory;
    ScriptedDriver driver, second;
    std::unique_ptr<AppState> app = MakeTestApp();
};

TEST_F(AsioHostTest, StartsCallsBackAndStops) {
    app->settings.sampleRate = 48000.0;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), kRunning);
    EXPECT_EQ(driver.rateAsked, 48000.0);
    EXPECT_EQ(driver.createdChannels, 6);
    EXPECT_EQ(driver.createdSize, 256);
    // Inputs first, then outputs, each numbered from 0.
    const AsioHost& h = app->asioHost;
    for (int32_t k = 0; k < 6; ++k) {
        EXPECT_EQ(h.bufferInfos[k].isInput, k < 2 ? ASIOTrue : ASIOFalse);
        EXPECT_EQ(h.bufferInfos[k].channelNum, k < 2 ? k : k - 2);
    }
    EXPECT_STREQ(h.channelInfos[5].name, "Out 4");

    const int calls = driver.outputReadyCalls;
    driver.callbacks->bufferSwitch(0, ASIOTrue);
    EXPECT_EQ(driver.callbacks->bufferSwitchTimeInfo(nullptr, 1, ASIOTrue), nullptr);
    driver.callbacks->bufferSwitch(2, ASIOTrue);  // names no half: ignored
    EXPECT_EQ(driver.outputReadyCalls, calls + 2);
    EXPECT_EQ(h.halfBuffers.load(), 2u);
    OpenDriverControlPanel(*app);

    StopAudio(*app);
    EXPECT_EQ(Status(), "ASIO Stopped");
    EXPECT_EQ(driver.references, 1);
    StopAudio(*app);  // the released object is not called again
    OpenDriverControlPanel(*app);
    EXPECT_EQ(Status(), "Error: ASIO Driver Not Present");
    EXPECT_EQ(driver.controlPanelCalls, 1);

    // A driver refusing outputReady is not asked again after the start.
    driver.outputReadyResult = ASE_NotPresent;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "ASIO Running (2 Ins, 4 Outs, 64:4096:256:64 Samples, 0 Po)");
    const int asked = driver.outputReadyCalls;
    driver.callbacks->bufferSwitch(0, ASIOTrue);
    EXPECT_EQ(driver.outputReadyCalls, asked);
}

// Every call that can fail on the way to a running driver and the text it
// leaves. The driver is released (its buffers first, once made), so a
// restart meets the same failure, not a refused open, and another driver or
// the mended one starts.
TEST_F(AsioHostTest, EveryFailingCallLeavesItsMessageAndNothingHeld) {
    struct Case {
        const char* message;
        int32_t ScriptedDriver::*answer;
        int32_t value;
        bool buffersCreated;
    };
    const Case cases[] = {
        {"Scripted driver refused.", &ScriptedDriver::initResult, ASIOFalse, false},  // the driver's own text
        {"Error: asio_driver->getChannels() Failed", &ScriptedDriver::channelsResult, -999, false},
        {"Error: asio_driver->getBufferSize() Failed", &ScriptedDriver::sizeResult, -1000, false},
        {"Error: asio_driver->createBuffers() Failed", &ScriptedDriver::createResult, -994, false},
        // The first output of a driver with two inputs is channel 2.
        {"Error: asio_driver->getChannelInfo(2) Failed", &ScriptedDriver::failChannelInfoAt, 2, true},
        {"Error: asio_driver->start() Failed", &ScriptedDriver::startResult, -999, true},
    };
    for (const Case& c : cases) {
        ScriptedDriver d;
        const int32_t healthy = d.*c.answer;
        d.*c.answer = c.value;
        Use({&d, &second});
        app->settings.driverIndex = 0;
        StartAudio(*app, nullptr);
        EXPECT_EQ(Status(), c.message);
        EXPECT_EQ(app->asioHost.driver, nullptr) << c.message;
        EXPECT_EQ(d.references, 1) << c.message;
        EXPECT_EQ(d.disposeCalls, c.buffersCreated ? 1 : 0) << c.message;
        EXPECT_FALSE(d.started);

        d.channelInfoCalls = 0;
        RestartAudio(*app, nullptr);
        EXPECT_EQ(Status(), c.message);
        SelectDriver(*app, nullptr, 1);
        EXPECT_EQ(Status(), kRunning) << c.message;
        SelectDriver(*app, nullptr, -1);
        d.*c.answer = healthy;
        RestartAudio(*app, nullptr);
        EXPECT_EQ(Status(), kRunning) << c.message;
        StopAudio(*app);
        EXPECT_EQ(d.references, 1);
    }

    // A refused stop or dispose keeps the driver for the next stop.
    for (const auto& [answer, message] :
         {std::pair{&ScriptedDriver::stopResult, "Error: asio_driver->stop() Failed"},
          {&ScriptedDriver::disposeResult, "Error: asio_driver->disposeBuffers() Failed"}}) {
        Use({&driver});
        StartAudio(*app, nullptr);
        driver.*answer = ASE_HWMalfunction;
        StopAudio(*app);
        EXPECT_EQ(Status(), message);
        EXPECT_EQ(driver.references, 2);
        driver.*answer = ASE_OK;
        StopAudio(*app);
        EXPECT_EQ(Status(), "ASIO Stopped");
        EXPECT_EQ(driver.references, 1);
    }

    // Nothing to open: no such record, a failure of the object runtime, a record without an object.
    for (const auto& [index, failure] : {std::pair{9, 0}, std::pair{0, int32_t(0x80004005u)}}) {
        app->settings.driverIndex = static_cast<uint8_t>(index);
        factory.failure = failure;
        StartAudio(*app, nullptr);
        EXPECT_EQ(Status(), "Error: asioOpenDriver() Failed");
    }
    factory.failure = 0;
    Use({nullptr});
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "Error: ASIO Driver Not Present");
}

TEST_F(AsioHostTest, ChannelsAndSizeAreBoundedBeforeCreation) {
    driver.inputs = driver.outputs = 40;
    driver.sizes[1] = 32768;
    driver.sizes[2] = 20000;
    StartAudio(*app, nullptr);
    EXPECT_EQ(driver.createdChannels, 64);
    EXPECT_EQ(driver.createdSize, kMaxBufferFrames);
    EXPECT_EQ(Status(), "ASIO Running (24 Ins, 40 Outs, 64:32768:16384:64 Samples, 1 Po)");
    EXPECT_EQ(app->asioHost.bufferInfos[63].channelNum, 39);
    StopAudio(*app);

    ScriptedDriver wide;
    wide.inputs = 8;
    wide.outputs = 100;
    Use({&wide});
    StartAudio(*app, nullptr);
    EXPECT_EQ(wide.createdChannels, 64);
    EXPECT_EQ(app->asioHost.inputs, 0);
    EXPECT_EQ(app->asioHost.outputs, 64);
    StopAudio(*app);
}

// The mix in the driver's integer format, full scale less one step and
// truncated, on the outputs the settings route it to (the right where both
// name the same), zeros on the others: for every routing, outputs beyond the
// driver's too. The other half and the inputs are left alone.
TEST_F(AsioHostTest, OutputsTakeTheMixInTheDriversFormatWhereRouted) {
    const double mix[8] = {1.0, -1.0, 0.5, -0.5, 0.25, 0.999999, 0.0, -0.00001};
    const int32_t mix32[8] = {2147483647, -2147483647, 1073741823, -1073741823,
                              536870911,  2147481499,  0,          -21474};
    const int16_t mix16[8] = {32767, -32767, 16383, -16383, 8191, 32766, 0, 0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ConvertToInt32(mix[i]), mix32[i]) << i;
        EXPECT_EQ(ConvertToInt16(mix[i]), mix16[i]) << i;
    }
    for (int32_t i = 0; i < 256; ++i) {  // the right is -0.75 of the left
        app->mixLeft[i] = mix[i % 8];
        app->mixRight[i] = -0.75 * mix[i % 8];
    }
    for (const ASIOSampleType type : {ASIOSTInt32LSB, ASIOSTInt16LSB}) {
        const bool narrow = type == ASIOSTInt16LSB;
        driver.type = type;
        StartAudio(*app, nullptr);
        for (int left = 0; left < 6; ++left)
            for (int right = 0; right < 6; ++right) {
                app->settings.outputLeft = static_cast<uint8_t>(left);
                app->settings.outputRight = static_cast<uint8_t>(right);
                WriteHalfBuffer(*app, 1);
                for (int o = 0; o < 4; ++o)
                    for (int i = 0; i < 256; ++i) {
                        const double x = o == right ? app->mixRight[i] : (o == left ? app->mixLeft[i] : 0.0);
                        ASSERT_EQ(narrow ? driver.Sample<int16_t>(2 + o, 1, i)
                                         : driver.Sample<int32_t>(2 + o, 1, i),
                                  narrow ? ConvertToInt16(x) : ConvertToInt32(x))
                            << left << right << o << " " << i;
                    }
            }
        EXPECT_EQ(driver.Sample<uint16_t>(2, 0, 0), 0xABAB);
        EXPECT_EQ(driver.Sample<uint16_t>(0, 1, 0), 0xABAB);
        StopAudio(*app);
    }

    // A float driver runs silently with its buffers untouched.
    driver.type = ASIOSTFloat32LSB;
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), kRunning);
    driver.callbacks->bufferSwitch(0, ASIOFalse);
    WriteHalfBuffer(*app, 1);
    for (const auto& half : driver.storage)
        for (uint8_t b : half) ASSERT_EQ(b, 0xAB);
}

TEST_F(AsioHostTest, SampleRateStepsTakeTheDriversRate) {
    // rate, direction, next: the four rates in a ring upward, down to 44100;
    // any other rate, a damaged setting too, starts again from 44100.
    const double steps[][3] = {{192000, 1, 44100},       {47999.95, 1, 96000}, {22050, 1, 44100},
                               {96000, -1, 48000},       {44100, -1, 44100},   {22050, 0, 22050},
                               {std::nan(""), 1, 44100}, {1e300, -1, 44100}};
    for (const auto& [rate, direction, next] : steps)
        EXPECT_EQ(NextSampleRate(rate, static_cast<int>(direction)), next) << rate << " " << direction;

    StartAudio(*app, nullptr);
    StepSampleRate(*app, nullptr, 1);
    EXPECT_EQ(app->settings.sampleRate, 48000.0);
    EXPECT_EQ(Status(), kRunning);
    driver.acceptsRate = false;  // keeps its own rate, which the settings take
    StepSampleRate(*app, nullptr, 1);
    EXPECT_EQ(driver.rateAsked, 96000.0);
    EXPECT_EQ(app->settings.sampleRate, 48000.0);
    // A rate change from the driver is only stored.
    driver.callbacks->sampleRateDidChange(88200.0);
    EXPECT_EQ(app->settings.sampleRate, 88200.0);
    EXPECT_EQ(Status(), kRunning);
    // A rate the engine cannot work with is not taken from the driver.
    driver.callbacks->sampleRateDidChange(0.0);
    EXPECT_EQ(app->settings.sampleRate, 88200.0);
    StopAudio(*app);
    driver.rate = std::nan("");
    StartAudio(*app, nullptr);
    EXPECT_EQ(app->settings.sampleRate, 88200.0);
}

TEST_F(AsioHostTest, DriverAndRoutingStepsStayInRange) {
    StepOutputLeft(*app, 1);  // no driver, no channels: nothing moves
    StepInputRight(*app, -1);
    EXPECT_EQ(app->settings.outputLeft, 0);
    EXPECT_EQ(app->settings.inputRight, 1);

    StartAudio(*app, nullptr);      // the steps within the channels are the Setup page's mouse tests
    app->settings.outputLeft = 60;  // from another driver's settings
    StepOutputLeft(*app, -1);
    EXPECT_EQ(app->settings.outputLeft, 3);

    SelectDriver(*app, nullptr, 1);
    EXPECT_EQ(app->asioHost.driver, &second);
    EXPECT_EQ(driver.references, 1);
    SelectDriver(*app, nullptr, 1);
    EXPECT_EQ(app->settings.driverIndex, 1);
    for (int i = 0; i < 2; ++i) SelectDriver(*app, nullptr, -1);
    EXPECT_EQ(app->settings.driverIndex, 0);
    StopAudio(*app);

    MemoryRegistry empty;
    app->driverList.Rebuild(&empty, factory);
    app->settings.driverIndex = 3;
    SelectDriver(*app, nullptr, -1);
    EXPECT_EQ(app->settings.driverIndex, 0);
    EXPECT_EQ(Status(), "Error: asioOpenDriver() Failed");
}

#ifndef _WIN32
class SubstituteDriverTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSubstituteDrivers(); }
    void TearDown() override { ResetSubstituteDrivers(); }
    std::string Status() const { return app->asioHost.statusText; }
    InTempFolder work;
    std::unique_ptr<AppState> app;
};

TEST_F(SubstituteDriverTest, RecordingEqualsTheRenderAndAnUnwritableFileFailsTheStart) {
    const char* running = "ASIO Running (0 Ins, 2 Outs, 32:8192:256:1 Samples, 1 Po)";
    app = MakeTestApp();
    ASSERT_EQ(app->driverList.DriverCount(), 1);
    EXPECT_EQ(testing::RecordAndCompare(*app, "zelmora-recording.wav", 60), running);

    std::filesystem::remove("zelmora-recording.wav");
    std::filesystem::create_directory("zelmora-recording.wav");  // a folder in the file's place
    StartAudio(*app, nullptr);
    EXPECT_EQ(Status(), "Error: asio_driver->start() Failed");
    EXPECT_EQ(app->asioHost.driver, nullptr);
    std::filesystem::remove("zelmora-recording.wav");
    RestartAudio(*app, nullptr);
    EXPECT_EQ(Status(), running);
    StopAudio(*app);
}

#ifdef ZELMORA_HAVE_SDL_AUDIO
TEST_F(SubstituteDriverTest, SdlDeliversCallbacksAndStopsCleanly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(AddSdlAudioDrivers());
    app = MakeTestApp();
    // The default output comes first, the recorder last.
    const std::vector<std::string> names = testing::DriverNames(app->driverList);
    EXPECT_EQ(names.front(), "SDL Default Output");
    EXPECT_EQ(names.back(), "WAV Recorder");

    app->settings.driverIndex = 0;
    app->settings.sampleRate = 48000.0;
    StartAudio(*app, nullptr);
    ASSERT_EQ(Status().rfind("ASIO Running (0 Ins, ", 0), 0u) << Status();
    EXPECT_GE(app->asioHost.outputs, 2);
    EXPECT_GT(app->settings.sampleRate, 0.0);
    EXPECT_TRUE(WaitUntil([&] { return app->asioHost.halfBuffers.load() >= 8; }, 5));

    StopAudio(*app);
    EXPECT_EQ(Status(), "ASIO Stopped");
    const uint32_t after = app->asioHost.halfBuffers.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(app->asioHost.halfBuffers.load(), after);  // nothing after stop

    StepSampleRate(*app, nullptr, 1);  // started again at another rate
    EXPECT_EQ(Status().rfind("ASIO Running", 0), 0u) << Status();
    StopAudio(*app);
}
#endif

#endif

}  // namespace
}  // namespace zelmora
