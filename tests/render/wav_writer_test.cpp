#include "render/wav_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/sample_convert.h"
#include "support/test_support.h"

namespace zelmora::render {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

uint32_t U32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

const double kLeft[] = {0.5, -0.5, 1.0, -1.0, 0.99999, 0.0};
const double kRight[] = {-0.000001, 0.25, -1.0, 1.0, 1e-9, -0.75};
constexpr int kFrames = 6;

std::vector<uint8_t> WriteSample(WavFormat format, const std::string& dir) {
    const std::string path = dir + "/out.wav";
    WavWriter writer;
    EXPECT_TRUE(writer.Open(path, 48000, format));
    EXPECT_TRUE(writer.Write(kLeft, kRight, 4));
    EXPECT_TRUE(writer.Write(kLeft + 4, kRight + 4, 2));
    EXPECT_TRUE(writer.Close());
    return ReadAll(path);
}

TEST(WavWriter, EachFormatHoldsTheDriverConversionOrTheFloat) {
    const std::string dir = MakeTempDir();
    const auto b16 = WriteSample(WavFormat::kInt16, dir);
    ASSERT_EQ(b16.size(), 44u + kFrames * 4);
    EXPECT_EQ(std::memcmp(b16.data(), "RIFF", 4), 0);
    EXPECT_EQ(U32(b16, 4), b16.size() - 8);
    EXPECT_EQ(U16(b16, 20), 1);  // PCM, stereo, 48000 Hz, 4-byte frames of 16 bits
    EXPECT_EQ(U16(b16, 22), 2);
    EXPECT_EQ(U32(b16, 28), 48000u * 4);
    EXPECT_EQ(U16(b16, 32), 4);
    EXPECT_EQ(U32(b16, 40), kFrames * 4u);
    for (int i = 0; i < kFrames; ++i) {
        EXPECT_EQ(static_cast<int16_t>(U16(b16, 44 + 4 * i)), ConvertToInt16(kLeft[i]));
        EXPECT_EQ(static_cast<int16_t>(U16(b16, 46 + 4 * i)), ConvertToInt16(kRight[i]));
    }
    EXPECT_EQ(static_cast<int16_t>(U16(b16, 44)), 16383);  // truncated, not rounded

    const auto b32 = WriteSample(WavFormat::kInt32, dir);
    ASSERT_EQ(b32.size(), 44u + kFrames * 8);
    for (int i = 0; i < kFrames; ++i)
        EXPECT_EQ(static_cast<int32_t>(U32(b32, 48 + 8 * i)), ConvertToInt32(kRight[i]));

    const auto b24 = WriteSample(WavFormat::kInt24, dir);
    ASSERT_EQ(b24.size(), 44u + kFrames * 6);
    EXPECT_EQ(U16(b24, 34), 24);
    auto s24 = [&](std::size_t at) {
        return static_cast<int32_t>(U32({0, b24[at], b24[at + 1], b24[at + 2]}, 0)) >> 8;
    };
    EXPECT_EQ(s24(44), 4194303);        // 0.5
    EXPECT_EQ(s24(44 + 15), -8388607);  // right channel, -1.0

    const auto bf = WriteSample(WavFormat::kFloat32, dir);
    ASSERT_EQ(bf.size(), 56u + kFrames * 8);
    EXPECT_EQ(U16(bf, 20), 3);
    EXPECT_EQ(std::memcmp(bf.data() + 36, "fact", 4), 0);
    EXPECT_EQ(U32(bf, 44), static_cast<uint32_t>(kFrames));
    EXPECT_EQ(U32(bf, 4), bf.size() - 8);
    float f;
    const uint32_t bits = U32(bf, 56 + 8 * 5 + 4);
    std::memcpy(&f, &bits, sizeof f);
    EXPECT_EQ(f, -0.75f);
}

TEST(WavWriter, RefusesWhatItCannotWrite) {
    WavWriter writer;
    EXPECT_FALSE(writer.Open(MakeTempDir() + "/missing/out.wav", 44100, WavFormat::kInt16));
    EXPECT_FALSE(writer.error().empty());
    EXPECT_FALSE(writer.Write(kLeft, kRight, 1));

    // The 32-bit RIFF size must hold the header and all the data.
    for (WavFormat format : {WavFormat::kInt16, WavFormat::kInt24, WavFormat::kInt32, WavFormat::kFloat32}) {
        const uint64_t frameBytes = 2ull * BytesPerSample(format);
        const uint64_t header = format == WavFormat::kFloat32 ? 56 : 44;
        EXPECT_LE(header - 8 + WavWriter::MaxFrames(format) * frameBytes, 0xFFFFFFFFull);
        EXPECT_GT(header - 8 + (WavWriter::MaxFrames(format) + 1) * frameBytes, 0xFFFFFFFFull);
    }
}

}  // namespace
}  // namespace zelmora::render
