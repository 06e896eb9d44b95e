// End to end on Windows: the test driver in the registry is found by the
// driver list, created through COM, made to play a song and stopped; its
// recording equals the engine's render of the same frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "audio/fake_drivers.h"
#include "drivers/recording_check.h"

namespace zelmora {
namespace {

TEST(WineAsio, TestDriverPlaysASongThroughCom) {
    auto app = MakeTestApp();
    const std::vector<std::string> names = testing::DriverNames(app->driverList);
    // The registered entry whose library is missing is left out.
    EXPECT_EQ(std::count(names.begin(), names.end(), "Zelmora Missing Driver"), 0);
    const int32_t id =
        static_cast<int32_t>(std::find(names.begin(), names.end(), "Zelmora Test Driver") - names.begin());
    ASSERT_LT(id, app->driverList.DriverCount()) << "the test driver is not registered";
    app->settings.driverIndex = static_cast<uint8_t>(id);
    const std::string running = testing::RecordAndCompare(*app, "zelmora-test-driver.wav", 60);
    EXPECT_EQ(running, "ASIO Running (0 Ins, 2 Outs, 32:8192:256:1 Samples, 1 Po)");
    // The record lets go of the object once stopped, and it can be had again.
    EXPECT_EQ(app->driverList.Find(id)->driver, nullptr);
    StartAudio(*app, nullptr);
    EXPECT_EQ(std::string(app->asioHost.statusText).rfind("ASIO Running", 0), 0u) << app->asioHost.statusText;
    StopAudio(*app);
}

}  // namespace
}  // namespace zelmora
