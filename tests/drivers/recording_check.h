// Shared by the recording tests: a small looping song, the reading of a
// recorded 32-bit stereo WAV file, and the reference render of the same
// frames straight from the engine.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "audio/asio_host.h"
#include "audio/sample_convert.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_mod.h"

namespace zelmora::testing {

// Four channels of a looping saw wave at different pitches and volumes, so
// the left and right mixes differ and never fall silent.
inline std::vector<uint8_t> RecordingSongBytes() {
    ModSpec spec;
    ModSampleSpec saw;
    saw.name = "saw";
    saw.lengthWords = 64;
    saw.loopStartWords = 0;
    saw.loopLengthWords = 64;
    spec.samples = {saw};
    std::vector<int8_t> data(128);
    for (int i = 0; i < 128; ++i) data[static_cast<std::size_t>(i)] = static_cast<int8_t>(i * 2 - 128);
    spec.sampleData = {data};
    spec.cells = {{0, 0, 0, 428, 1, 0, 0},
                  {0, 2, 1, 320, 1, 0xC, 40},
                  {0, 4, 2, 254, 1, 0xC, 30},
                  {0, 6, 3, 214, 1, 0, 0},
                  {0, 16, 0, 404, 1, 0, 0},
                  {0, 24, 1, 360, 1, 0xC, 64}};
    return WriteMod(spec);
}

inline void LoadRecordingSong(AppState& app) {
    const std::vector<uint8_t> bytes = RecordingSongBytes();
    ImportModData(app, ByteReader(bytes));
}

// The interleaved samples of a 32-bit integer stereo WAV file; empty when
// the file is missing or not of that kind.
inline std::vector<int32_t> ReadStereo32(const std::string& path, uint32_t* rate = nullptr) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t block[65536];
        std::size_t n;
        while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
        std::fclose(f);
    }
    ByteReader r(bytes);
    char tag[4];
    r.Read(tag, 4);
    if (std::memcmp(tag, "RIFF", 4) != 0) return {};
    r.U32LE();
    r.Read(tag, 4);
    if (std::memcmp(tag, "WAVE", 4) != 0) return {};
    r.Read(tag, 4);
    if (std::memcmp(tag, "fmt ", 4) != 0 || r.U32LE() != 16) return {};
    const uint16_t format = r.U16LE(), channels = r.U16LE();
    const uint32_t sampleRate = r.U32LE();
    r.U32LE();
    r.U16LE();
    const uint16_t bits = r.U16LE();
    r.Read(tag, 4);
    const uint32_t size = r.U32LE();
    if (format != 1 || channels != 2 || bits != 32 || std::memcmp(tag, "data", 4) != 0) return {};
    if (rate) *rate = sampleRate;
    std::vector<int32_t> samples(size / 4);
    for (auto& s : samples) s = r.I32LE();
    if (r.Truncated()) return {};
    return samples;
}

// `buffers` buffers of `frames` frames of the song played from the top, as
// the driver's 32-bit channels would carry them, interleaved.
inline std::vector<int32_t> ReferenceRender(int buffers, int frames, double sampleRate) {
    auto app = MakeTestApp();
    app->settings.sampleRate = sampleRate;
    app->asioHost.preferredSize = frames;
    LoadRecordingSong(*app);
    PlayTransport(*app, false, true);
    std::vector<int32_t> out;
    out.reserve(static_cast<std::size_t>(buffers) * static_cast<std::size_t>(frames) * 2);
    for (int b = 0; b < buffers; ++b) {
        RenderBuffer(*app);
        for (int i = 0; i < frames; ++i) {
            out.push_back(ConvertToInt32(app->mixLeft[i]));
            out.push_back(ConvertToInt32(app->mixRight[i]));
        }
    }
    return out;
}

// Index of the first differing sample, or -1 when `recorded` equals the start of `reference`.
inline long FirstDifference(const std::vector<int32_t>& recorded, const std::vector<int32_t>& reference) {
    if (recorded.size() > reference.size()) return static_cast<long>(reference.size());
    for (std::size_t i = 0; i < recorded.size(); ++i)
        if (recorded[i] != reference[i]) return static_cast<long>(i);
    return -1;
}

inline bool HasSound(const std::vector<int32_t>& samples) {
    for (int32_t s : samples)
        if (s != 0) return true;
    return false;
}

}  // namespace zelmora::testing

namespace zelmora::testing {

// Plays the song through the open driver setting until `halfBuffers` half
// buffers were answered, stops, and compares `file` with the reference.
// Returns the status text right after the start.
inline std::string RecordAndCompare(AppState& app, const std::string& file, uint32_t halfBuffers) {
    LoadRecordingSong(app);
    PlayTransport(app, false, true);
    StartAudio(app, nullptr);
    const std::string running = app.asioHost.statusText;
    EXPECT_EQ(running.rfind("ASIO Running", 0), 0u) << running;
    if (running.rfind("ASIO Running", 0) != 0) return running;
    const int frames = app.asioHost.preferredSize;
    const double rate = app.settings.sampleRate;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (app.asioHost.halfBuffers.load() < halfBuffers && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    StopAudio(app);
    EXPECT_STREQ(app.asioHost.statusText, "ASIO Stopped");
    const uint32_t answered = app.asioHost.halfBuffers.load();
    EXPECT_GE(answered, halfBuffers);

    uint32_t fileRate = 0;
    const std::vector<int32_t> recorded = ReadStereo32(file, &fileRate);
    EXPECT_EQ(fileRate, static_cast<uint32_t>(rate + 0.5));
    // Every answered half buffer is in the file, whole.
    EXPECT_EQ(recorded.size(), static_cast<std::size_t>(answered) * static_cast<std::size_t>(frames) * 2);
    const std::vector<int32_t> reference = ReferenceRender(static_cast<int>(answered), frames, rate);
    EXPECT_TRUE(HasSound(reference));
    EXPECT_EQ(FirstDifference(recorded, reference), -1);
    return running;
}

}  // namespace zelmora::testing
