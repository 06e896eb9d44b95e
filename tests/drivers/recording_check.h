// Shared by the recording tests: a small looping song, the engine's own render
// of it, and the check of a recorded file against the render of the same frames.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include "app/app_state.h"
#include "audio/asio_host.h"
#include "audio/sample_convert.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora::testing {

// Imports and plays four channels of a looping saw wave at different pitches
// and volumes, so the left and right mixes differ and never fall silent.
inline void PlayRecordingSong(AppState& app) {
    ModSpec spec;
    spec.samples = {{"saw", 64, 0, 64, 0, 64}};
    std::vector<int8_t> saw(128);
    for (int i = 0; i < 128; ++i) saw[std::size_t(i)] = static_cast<int8_t>(i * 2 - 128);
    spec.sampleData = {saw};
    spec.cells = {{0, 0, 0, 428, 1, 0, 0}, {0, 2, 1, 320, 1, 0xC, 40}, {0, 4, 2, 254, 1, 0xC, 30},
                  {0, 6, 3, 214, 1, 0, 0}, {0, 16, 0, 404, 1, 0, 0},   {0, 24, 1, 360, 1, 0xC, 64}};
    const std::vector<uint8_t> bytes = WriteMod(spec);
    ImportModData(app, ByteReader(bytes));
    PlayTransport(app, false, true);
}

// Index of the first differing sample, or -1 when `recorded` equals the start of `reference`.
template <typename T>
long FirstDifference(const std::vector<T>& recorded, const std::vector<T>& reference) {
    if (recorded.size() > reference.size()) return static_cast<long>(reference.size());
    const auto at = std::mismatch(recorded.begin(), recorded.end(), reference.begin()).first;
    return at == recorded.end() ? -1 : static_cast<long>(at - recorded.begin());
}

// The engine's own render of the song, `halves` buffers of `frames` at `rate`,
// interleaved, in the drivers' one conversion: to 32-bit integers, or to
// floats from those.
template <typename T = int32_t>
std::vector<T> ReferenceRender(double rate, int frames, uint32_t halves) {
    auto reference = MakeTestApp();
    reference->settings.sampleRate = rate;
    reference->asioHost.preferredSize = frames;
    PlayRecordingSong(*reference);
    std::vector<T> expected;
    for (uint32_t half = 0; half < halves; ++half) {
        RenderBuffer(*reference);
        for (int i = 0; i < 2 * frames; ++i) {
            const double* mix = i % 2 ? reference->mixRight : reference->mixLeft;
            const int32_t v = ConvertToInt32(mix[i / 2]);
            expected.push_back(std::is_same_v<T, float>
                                   ? static_cast<T>(static_cast<float>(v) * (1.0f / 2147483648.0f))
                                   : static_cast<T>(v));
        }
    }
    EXPECT_NE(std::count(expected.begin(), expected.end(), T{}), static_cast<long>(expected.size()))
        << "silent";
    return expected;
}

// Plays the song through the driver of the settings until `halfBuffers` half
// buffers were answered, stops, and compares `file` with the engine's render
// of the same frames at 32 bits. Returns the status text right after the start.
inline std::string RecordAndCompare(AppState& app, const std::string& file, uint32_t halfBuffers) {
    PlayRecordingSong(app);
    StartAudio(app, nullptr);
    const std::string running = app.asioHost.statusText;
    EXPECT_EQ(running.rfind("ASIO Running", 0), 0u) << running;
    if (running.rfind("ASIO Running", 0) != 0) return running;
    WaitUntil([&] { return app.asioHost.halfBuffers.load() >= halfBuffers; }, 20);
    StopAudio(app);
    EXPECT_STREQ(app.asioHost.statusText, "ASIO Stopped");
    const uint32_t answered = app.asioHost.halfBuffers.load();
    EXPECT_GE(answered, halfBuffers);

    // The file: a canonical 32-bit stereo WAV file holding exactly the render
    // of every answered half buffer.
    const std::vector<int32_t> expected =
        ReferenceRender(app.settings.sampleRate, app.asioHost.preferredSize, answered);
    Bytes data(expected.size() * 4);
    std::memcpy(data.data(), expected.data(), data.size());
    const auto rate = static_cast<uint32_t>(app.settings.sampleRate + 0.5);
    const Bytes wanted = WriteWav({WavFmtChunk(1, 2, rate, 32), RiffChunk("data", data)});
    std::ifstream in(file, std::ios::binary);
    const Bytes recorded{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(recorded.size(), wanted.size());
    EXPECT_EQ(FirstDifference(recorded, wanted), -1) << "(the first differing byte)";
    return running;
}

}  // namespace zelmora::testing
