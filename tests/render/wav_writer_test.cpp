#include "render/wav_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <tuple>
#include <vector>

#include "formats/byte_reader.h"
#include "support/test_support.h"

namespace zelmora::render {
namespace {

// The little-endian value of `size` bytes at `at`, sign-extended.
int64_t Le(const std::vector<uint8_t>& b, int64_t at, int64_t size) {
    uint64_t v = 0;
    for (int64_t k = size - 1; k >= 0; --k) v = v << 8 | b[at + k];
    return static_cast<int64_t>(v << (64 - 8 * size)) >> (64 - 8 * size);
}

const double kLeft[] = {0.5, -0.5, 1.0, -1.0, 0.99999, 0.0};
const double kRight[] = {-0.000001, 0.25, -1.0, 1.0, 1e-9, -0.75};
constexpr int64_t kFrames = 6;

TEST(WavWriter, EachFormatHoldsTheDriverConversionOrTheFloat) {
    // format, header bytes, bytes per sample, format code, full scale of the truncation (0: float)
    const std::tuple<WavFormat, int64_t, int64_t, int64_t, double> rows[] = {
        {WavFormat::kInt16, 44, 2, 1, 32767.0},
        {WavFormat::kInt24, 44, 3, 1, 8388607.0},
        {WavFormat::kInt32, 44, 4, 1, 2147483647.0},
        {WavFormat::kFloat32, 56, 4, 3, 0.0}};
    const std::string path = MakeTempDir() + "/out.wav";
    for (const auto& [format, header, bytes, code, scale] : rows) {
        WavWriter writer;
        ASSERT_TRUE(writer.Open(path, 48000, format));
        ASSERT_TRUE(writer.Write(kLeft, kRight, 4));
        ASSERT_TRUE(writer.Write(kLeft + 4, kRight + 4, 2));
        ASSERT_TRUE(writer.Close());
        std::vector<uint8_t> b;
        ASSERT_TRUE(ReadWholeFile(path, b));
        const int64_t size = static_cast<int64_t>(b.size());
        ASSERT_EQ(size, header + kFrames * 2 * bytes) << code;
        EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
        // RIFF size, format code, channels, rate, byte rate, frame bytes, bits and data size:
        // their offsets, sizes and values
        const int64_t at[] = {4, 20, 22, 24, 28, 32, 34, header - 4}, n[] = {4, 2, 2, 4, 4, 2, 2, 4};
        const int64_t want[] = {size - 8,      code,      2,         48000,
                                96000 * bytes, 2 * bytes, 8 * bytes, kFrames * 2 * bytes};
        for (int k = 0; k < 8; ++k) EXPECT_EQ(Le(b, at[k], n[k]), want[k]) << code << " at " << at[k];
        if (scale == 0.0) {
            EXPECT_EQ(Le(b, 44, 4), kFrames);  // the fact chunk's frame count
        }
        for (int64_t i = 0; i < 2 * kFrames; ++i) {
            const double x = i % 2 ? kRight[i / 2] : kLeft[i / 2];
            const int64_t want = scale != 0.0 ? int64_t(x * scale) : std::bit_cast<int32_t>(float(x));
            EXPECT_EQ(Le(b, header + i * bytes, bytes), want) << code << " " << i;
        }
    }
}

TEST(WavWriter, RefusesWhatItCannotWrite) {
    WavWriter writer;
    EXPECT_FALSE(writer.Open(MakeTempDir() + "/missing/out.wav", 44100, WavFormat::kInt16));
    EXPECT_FALSE(writer.error().empty());
    EXPECT_FALSE(writer.Write(kLeft, kRight, 1));

    // The 32-bit RIFF size must hold the header and all the data, and not one frame more.
    for (WavFormat format : {WavFormat::kInt16, WavFormat::kInt24, WavFormat::kInt32, WavFormat::kFloat32}) {
        const uint64_t frameBytes = 2ull * BytesPerSample(format);
        const uint64_t riff = format == WavFormat::kFloat32 ? 48 : 36;
        EXPECT_LE(riff + WavWriter::MaxFrames(format) * frameBytes, 0xFFFFFFFFull);
        EXPECT_GT(riff + (WavWriter::MaxFrames(format) + 1) * frameBytes, 0xFFFFFFFFull);
    }
}

}  // namespace
}  // namespace zelmora::render
