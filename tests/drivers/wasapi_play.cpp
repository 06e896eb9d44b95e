// The WASAPI driver for real (Windows, or Wine with a sound server): plays a
// song through the first WASAPI endpoint for some seconds and prints what the
// driver reported, for the recording test to check against the renderer.
//
//   zelmora_wasapi_play.exe SONG SECONDS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/asio_host.h"
#include "audio/fake_drivers.h"
#include "engine/transport.h"
#include "formats/importers.h"
#include "platform/win32/wasapi_driver.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
    using namespace zelmora;
    if (argc != 3) {
        std::fprintf(stderr, "usage: zelmora_wasapi_play SONG SECONDS\n");
        return 2;
    }
    if (!AddWasapiDrivers()) {
        std::printf("no WASAPI endpoint\n");
        return 1;
    }
    auto app = MakeTestApp();
    const std::vector<std::string> names = testing::DriverNames(app->driverList);
    for (std::size_t i = 0; i < names.size(); ++i)
        std::printf("driver %d: %s\n", static_cast<int>(i), names[i].c_str());
    // The first WASAPI driver is the default endpoint's (ASIO drivers, if any, come before).
    const auto first = std::find_if(names.begin(), names.end(),
                                    [](const std::string& n) { return n.rfind("WASAPI: ", 0) == 0; });
    app->settings.driverIndex = static_cast<uint8_t>(first - names.begin());
    ImportFile(*app, argv[1]);
    std::printf("song: %s\n", app->statusLine);
    PlayTransport(*app, false, true);
    StartAudio(*app, nullptr);
    std::printf("status: %s\nrate: %.0f\nperiod: %d\n", app->asioHost.statusText, app->settings.sampleRate,
                static_cast<int>(app->asioHost.preferredSize));
    if (!app->asioHost.driver) return 1;
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(std::atof(argv[2]) * 1000)));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint32_t halves = app->asioHost.halfBuffers.load();
    int32_t inputLatency = 0, outputLatency = 0;
    app->asioHost.driver->getLatencies(&inputLatency, &outputLatency);
    StopAudio(*app);
    std::printf("frames per second: %.0f\noutput latency: %d frames\nstatus: %s\n",
                halves * static_cast<double>(app->asioHost.preferredSize) / seconds,
                static_cast<int>(outputLatency), app->asioHost.statusText);
    return 0;
}
