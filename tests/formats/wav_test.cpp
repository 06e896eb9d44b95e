#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

Bytes Values16(std::initializer_list<int16_t> values) {
    Bytes out;
    for (int16_t v : values) AppendU16LE(out, static_cast<uint16_t>(v));
    return out;
}

const Sample& Current(const AppState& app) {
    return app.song.instruments[app.currentInstrument].samples[app.currentSample];
}

double At(const AppState& app, int channel, int frame) { return Current(app).audio[channel][kSampleGuard + frame]; }

void Load(AppState& app, std::initializer_list<Bytes> chunks, const char* name = "x.wav") {
    ImportWavData(app, ByteReader(WriteWav(chunks)), name);
}

TEST(ImportWav, DepthsChannelsAndMessages) {
    auto app = MakeTestApp();
    Load(*app, {WavFmtChunk(1, 2, 48000, 16), RiffChunk("data", Values16({-32768, 16384, 0, 32767}))});
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (48000 Hz, Stereo, 16 Bits).");
    EXPECT_EQ(Current(*app).channels, 2);
    EXPECT_EQ(Current(*app).frames, 2);
    EXPECT_EQ(Current(*app).sampleRate, 48000.0);
    EXPECT_EQ(At(*app, 0, 0), -1.0);
    EXPECT_EQ(At(*app, 1, 0), 0.5);  // frame by frame, channel by channel
    EXPECT_EQ(At(*app, 1, 1), 32767 / 32768.0);

    Load(*app, {WavFmtChunk(1, 1, 22050, 8), RiffChunk("data", {128, 0, 255})});
    EXPECT_EQ(At(*app, 0, 0), 0.0);
    EXPECT_EQ(At(*app, 0, 1), -1.0);
    Load(*app, {WavFmtChunk(1, 1, 8000, 24), RiffChunk("data", {0x00, 0x00, 0x80, 0x00, 0x00, 0x40})});
    EXPECT_EQ(At(*app, 0, 0), -1.0);
    EXPECT_EQ(At(*app, 0, 1), 0.5);
    Load(*app, {WavFmtChunk(1, 6, 44100, 32, 4), RiffChunk("data", {0, 0, 0, 0x80})});
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (44100 Hz, 6 Channels, 32 Bits).");

    Bytes f32(4), f64(8);
    const float a = -1.5f;  // kept as it is, not limited
    const double b = 0.125;
    std::memcpy(f32.data(), &a, 4);
    std::memcpy(f64.data(), &b, 8);
    Load(*app, {WavFmtChunk(3, 1, 44100, 32), RiffChunk("data", f32)});
    EXPECT_STREQ(app->statusLine, "Floating Point Wave Loaded (44100 Hz, Mono, 32 Bits).");
    EXPECT_EQ(At(*app, 0, 0), -1.5);
    Load(*app, {WavFmtChunk(3, 1, 96000, 64), RiffChunk("data", f64)});
    EXPECT_EQ(At(*app, 0, 0), 0.125);
}

TEST(ImportWav, SamplerInstrumentAndOddChunks) {
    auto app = MakeTestApp();
    app->currentInstrument = 5;
    app->currentSample = 2;
    Load(*app, {WavSmplChunk(72, {{100, 199}, {5, 10}}), WavFmtChunk(1, 1, 22050, 8), RiffChunk("data", Bytes(400, 1))});
    EXPECT_EQ(Current(*app).baseNote, 72);
    EXPECT_EQ(Current(*app).loopStart, 100);
    EXPECT_EQ(Current(*app).loopLength, 100);
    EXPECT_EQ(Current(*app).loopMode, 1);
    EXPECT_EQ(Current(*app).keyHigh, 127);

    // An odd-sized chunk is not padded: the next identifier follows its bytes.
    Load(*app, {WavFmtChunk(1, 1, 22050, 8), WavInstChunk(50, -20, 40, 70, 10, 100), RiffChunk("odd ", {1, 2, 3}),
                RiffChunk("data", {255})});
    const Sample& s = Current(*app);
    EXPECT_EQ(s.baseNote, 50);
    EXPECT_EQ(s.fineTune, -20);
    EXPECT_EQ(s.keyLow, 40);
    EXPECT_EQ(s.keyHigh, 70);
    EXPECT_EQ(s.velocityLow, 10);
    EXPECT_EQ(s.velocityHigh, 100);
    EXPECT_EQ(s.loopMode, 0);  // the slot was cleared first
    EXPECT_EQ(s.frames, 1);
}

TEST(ImportWav, TitleSlotZeroAndUnusableFiles) {
    const std::string dir = MakeTempDir();
    WriteFile(dir + "/Kick Drum.v2.WAV", WriteWav({WavFmtChunk(1, 1, 44100, 16), RiffChunk("data", Values16({9}))}));
    auto app = MakeTestApp();
    app->currentInstrument = 3;
    ImportWav(*app, dir + "/Kick Drum.v2.WAV");
    EXPECT_STREQ(Current(*app).name, "kick drum.v2");
    EXPECT_STREQ(app->song.instruments[3].name, "kick drum.v2");
    app->currentSample = 3;
    SetName(app->song.instruments[3].name, "kept");
    ImportWav(*app, dir + "/Kick Drum.v2.WAV");
    EXPECT_STREQ(app->song.instruments[3].name, "kept");
    ImportWav(*app, dir + "/absent.wav");
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_EQ(Current(*app).frames, 1);

    // A compressed format, or audio before the format: a named empty slot.
    SetStatus(*app, "before");
    Load(*app, {WavFmtChunk(2, 1, 8000, 4, 256), RiffChunk("data", Bytes(512, 7))}, "adpcm.wav");
    EXPECT_STREQ(app->statusLine, "before");
    EXPECT_STREQ(Current(*app).name, "adpcm");
    EXPECT_EQ(UsableFrames(Current(*app)), 0);
    Load(*app, {RiffChunk("data", Values16({1, 2})), WavFmtChunk(1, 1, 8000, 16)});
    EXPECT_EQ(UsableFrames(Current(*app)), 0);
}

TEST(ImportWav, DamagedFilesStayInBounds) {
    auto app = MakeTestApp();
    Load(*app, {WavFmtChunk(1, 2, 8000, 16, 0), RiffChunk("data", Values16({1, 2, 3, 4}))});
    EXPECT_EQ(Current(*app).frames, 2);  // block align 0: one frame of values

    Bytes claimsMore = WriteWav({WavFmtChunk(1, 1, 8000, 16), RiffChunk("data", Values16({100, 200, 300}))});
    claimsMore[claimsMore.size() - 8] = 0x7F;  // the data size field
    ImportWavData(*app, ByteReader(claimsMore), "x.wav");
    EXPECT_EQ(Current(*app).frames, 3);
    EXPECT_EQ(At(*app, 0, 2), 300 / 32768.0);

    // An odd depth is silent but takes its bytes; one under 8 bits loads nothing.
    Load(*app, {WavFmtChunk(1, 1, 8000, 12, 2), RiffChunk("data", Values16({5, 6}))});
    EXPECT_EQ(Current(*app).frames, 2);
    EXPECT_EQ(At(*app, 0, 1), 0.0);
    Load(*app, {WavFmtChunk(1, 1, 8000, 4, 1), RiffChunk("data", Bytes(64, 1))});
    EXPECT_EQ(UsableFrames(Current(*app)), 0);

    // A second data chunk does not replace the first; loops stay inside the audio.
    Load(*app, {WavFmtChunk(1, 1, 8000, 8), RiffChunk("data", Bytes(50, 0)), RiffChunk("data", {1, 2}),
                WavSmplChunk(60, {{40, 99}})});
    EXPECT_EQ(Current(*app).frames, 50);
    EXPECT_EQ(Current(*app).loopLength, 10);
    Load(*app, {WavSmplChunk(60, {{0xFFFFFFF0u, 3}}), WavFmtChunk(1, 1, 8000, 8), RiffChunk("data", Bytes(50, 1))});
    EXPECT_EQ(Current(*app).loopMode, 0);
    ImportWavData(*app, ByteReader(), "empty.wav");
    EXPECT_STREQ(Current(*app).name, "empty");
}

// Frames, channels and rate of every PCM or float file the corpus list describes.
TEST(ImportWav, CorpusFilesLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    std::stringstream text;
    text << std::ifstream(corpus + "/SOURCES.md").rdbuf();
    const std::string sources = text.str();
    const std::regex header(R"(### wav/(\S+)\n(?:(?!###).*\n)*?- Header: RIFF container, format (PCM|IEEE-float), )"
                            R"(\d+-bit, (\d+) channel\(s\), (\d+) Hz, [^\n]*?, (\d+) frames)");
    auto app = MakeTestApp();
    int checked = 0;
    for (auto it = std::sregex_iterator(sources.begin(), sources.end(), header); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        if (!std::filesystem::exists(corpus + "/wav/" + m[1].str())) continue;
        ImportWav(*app, corpus + "/wav/" + m[1].str());
        EXPECT_EQ(Current(*app).channels, std::stoi(m[3].str())) << m[1];
        EXPECT_EQ(Current(*app).sampleRate, std::stod(m[4].str())) << m[1];
        EXPECT_EQ(Current(*app).frames, std::stoi(m[5].str())) << m[1];
        ++checked;
    }
    EXPECT_GT(checked, 10);
    for (const auto& entry : std::filesystem::directory_iterator(corpus + "/wav")) {
        ImportWav(*app, entry.path().string());
        EXPECT_NE(std::string(app->statusLine).rfind("Error: ", 0), 0u) << entry.path();
    }
}

}  // namespace
}  // namespace zelmora
