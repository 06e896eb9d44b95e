// Loaders: values that are not finite numbers stored as
// 0, and module file size checks that cannot overflow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "app/app_state.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

template <typename T>
Bytes LittleEndian(std::initializer_list<T> values) {
    Bytes out;
    for (T v : values) {
        uint8_t raw[sizeof(T)];
        std::memcpy(raw, &v, sizeof v);
        for (uint8_t b : raw) out.push_back(b);
    }
    return out;
}

TEST(Issue12Loaders, NonFiniteWavValuesAreStoredAsZero) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    auto app = MakeTestApp();
    const Sample& s = app->song.instruments[app->currentInstrument].samples[app->currentSample];
    ImportWavData(
        *app,
        ByteReader(WriteWav({WavFmtChunk(3, 1, 44100, 32),
                             RiffChunk("data", LittleEndian<float>({0.5f, NAN, INFINITY, -INFINITY}))})),
        "f.wav");
    ASSERT_EQ(s.frames, 4);
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1), FrameAt(s, 2), FrameAt(s, 3)),
              std::make_tuple(0.5, 0.0, 0.0, 0.0));
    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(3, 1, 44100, 64),
                                       RiffChunk("data", LittleEndian<double>({kNan, -0.25, -kInf}))})),
                  "d.wav");
    ASSERT_EQ(s.frames, 3);
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1), FrameAt(s, 2)), std::make_tuple(0.0, -0.25, 0.0));
}

// A module file with one sample of 4 frames and 1 channel, saved and read back.
struct ModuleFileTest : ::testing::Test {
    std::unique_ptr<AppState> app = MakeTestApp();
    std::vector<uint8_t> good;
    // Layout as the module file tests have it: the header, 256 empty patterns,
    // instrument 0, then instrument 1 with its sample.
    static constexpr std::size_t kInstrument1 = 300 + 256 * 36 + 36;
    static constexpr std::size_t kSample0 = kInstrument1 + 36 + 12 + 64;
    static constexpr std::size_t kAudio = kSample0 + 32 + 4 + 4 + 8 + 4 * 4 + 12;
    void SetUp() override {
        const std::string folder = MakeTempDir();
        std::snprintf(app->browserFolder, sizeof app->browserFolder, "%s", folder.c_str());
        Sample& s = app->song.instruments[1].samples[0];
        s.frames = 4;
        s.channels = 1;
        ASSERT_TRUE(app->AllocateSampleAudio(s));
        for (int f = 0; f < 4; ++f) s.audio[0][kSampleGuard + f] = 0.125 * (f + 1);
        SaveModule(*app);
        ASSERT_TRUE(ReadWholeFile(folder + "/Untitled.zmo", good));
        double first;
        ASSERT_GT(good.size(), kAudio + 8);
        std::memcpy(&first, good.data() + kAudio, 8);
        ASSERT_EQ(first, 0.125);
    }
    void Patch(std::vector<uint8_t>& file, std::size_t at, const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), file.begin() + at);
    }
};

TEST_F(ModuleFileTest, HugeCountsCannotOverflowTheSizeCheck) {
    // frames x channels x 8 wraps to a small number in 64 bits for these pairs.
    const int32_t pairs[][2] = {{0x7FFFFFFF, 0x7FFFFFFF}, {0x40000000, 0x40000000}, {0x20000000, 0x40000001}};
    for (const auto& [frames, channels] : pairs) {
        std::vector<uint8_t> file = good;
        Patch(file, kSample0 + 32, LittleEndian<int32_t>({frames, channels}));
        LoadModuleData(*app, ByteReader(file));
        EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.") << frames << " x " << channels;
    }
    LoadModuleData(*app, ByteReader(good));
    EXPECT_STREQ(app->statusLine, "Zelmora Module Loaded.");
}

TEST_F(ModuleFileTest, NonFiniteStoredValuesLoadAsZero) {
    std::vector<uint8_t> file = good;
    Patch(file, kAudio, LittleEndian<double>({std::nan(""), -std::numeric_limits<double>::infinity()}));
    LoadModuleData(*app, ByteReader(file));
    EXPECT_STREQ(app->statusLine, "Zelmora Module Loaded.");
    const Sample& s = app->song.instruments[1].samples[0];
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1), FrameAt(s, 2), FrameAt(s, 3)),
              std::make_tuple(0.0, 0.0, 0.375, 0.5));
}

}  // namespace
}  // namespace zelmora
