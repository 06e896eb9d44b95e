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

double At(const Sample& s, int channel, int frame) { return s.audio[channel][kSampleGuard + frame]; }

TEST(ImportWav, IntegerDepthsAndChannelOrder) {
    auto app = MakeTestApp();
    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(1, 2, 48000, 16),
                                       RiffChunk("data", Values16({-32768, 16384, 0, 32767}))})),
                  "stereo.wav");
    const Sample& s = Current(*app);
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (48000 Hz, Stereo, 16 Bits).");
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.frames, 2);
    EXPECT_EQ(s.sampleRate, 48000.0);
    EXPECT_EQ(At(s, 0, 0), -1.0);
    EXPECT_EQ(At(s, 1, 0), 0.5);
    EXPECT_EQ(At(s, 0, 1), 0.0);
    EXPECT_EQ(At(s, 1, 1), 32767 / 32768.0);
    EXPECT_EQ(s.audio[0][kSampleGuard + 2], 0.0);  // guard stays silent

    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(1, 1, 22050, 8), RiffChunk("data", {128, 0, 255})})),
                  "u8.wav");
    EXPECT_EQ(At(Current(*app), 0, 0), 0.0);
    EXPECT_EQ(At(Current(*app), 0, 1), -1.0);
    EXPECT_EQ(At(Current(*app), 0, 2), 127 / 128.0);

    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(1, 1, 8000, 24),
                                       RiffChunk("data", {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x40})})),
                  "s24.wav");
    EXPECT_EQ(At(Current(*app), 0, 0), -1.0);
    EXPECT_EQ(At(Current(*app), 0, 1), 8388607 / 8388608.0);
    EXPECT_EQ(At(Current(*app), 0, 2), 0.5);

    Bytes s32;
    AppendU32LE(s32, 0x80000000u);
    AppendU32LE(s32, 0x40000000u);
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(1, 6, 44100, 32, 4), RiffChunk("data", s32)})), "six.wav");
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (44100 Hz, 6 Channels, 32 Bits).");
}

TEST(ImportWav, FloatingPoint) {
    Bytes f32, f64;
    const float a = 0.25f, b = -1.5f;
    const double c = 0.125;
    uint32_t bits32;
    uint64_t bits64;
    std::memcpy(&bits32, &a, 4);
    AppendU32LE(f32, bits32);
    std::memcpy(&bits32, &b, 4);
    AppendU32LE(f32, bits32);
    std::memcpy(&bits64, &c, 8);
    AppendU32LE(f64, static_cast<uint32_t>(bits64));
    AppendU32LE(f64, static_cast<uint32_t>(bits64 >> 32));

    auto app = MakeTestApp();
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(3, 1, 44100, 32), RiffChunk("data", f32)})), "f.wav");
    EXPECT_STREQ(app->statusLine, "Floating Point Wave Loaded (44100 Hz, Mono, 32 Bits).");
    EXPECT_EQ(At(Current(*app), 0, 0), 0.25);
    EXPECT_EQ(At(Current(*app), 0, 1), -1.5);  // kept as it is, not limited
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(3, 1, 96000, 64), RiffChunk("data", f64)})), "d.wav");
    EXPECT_EQ(Current(*app).frames, 1);
    EXPECT_EQ(At(Current(*app), 0, 0), 0.125);
}

TEST(ImportWav, SamplerAndInstrumentChunks) {
    auto app = MakeTestApp();
    app->currentInstrument = 5;
    app->currentSample = 2;
    const Bytes data(400, 0x80);
    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(1, 1, 22050, 8), RiffChunk("data", data),
                                       WavSmplChunk(72, {{100, 199}, {5, 10}})})),
                  "loop.wav");
    const Sample& s = Current(*app);
    EXPECT_EQ(s.baseNote, 72);
    EXPECT_EQ(s.loopStart, 100);
    EXPECT_EQ(s.loopLength, 100);
    EXPECT_EQ(s.loopMode, 1);
    EXPECT_EQ(s.keyLow, 0);
    EXPECT_EQ(s.keyHigh, 127);

    // The instrument chunk, then an odd-sized chunk without padding before the
    // audio: the next identifier follows right after its bytes.
    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(1, 1, 22050, 8), WavInstChunk(50, -20, 40, 70, 10, 100),
                                       RiffChunk("odd ", {1, 2, 3}), RiffChunk("data", {255})})),
                  "inst.wav");
    EXPECT_EQ(s.baseNote, 50);
    EXPECT_EQ(s.fineTune, -20);
    EXPECT_EQ(s.keyLow, 40);
    EXPECT_EQ(s.keyHigh, 70);
    EXPECT_EQ(s.velocityLow, 10);
    EXPECT_EQ(s.velocityHigh, 100);
    EXPECT_EQ(s.loopMode, 0);  // the slot was cleared first
    EXPECT_EQ(s.frames, 1);
}

TEST(ImportWav, TitleAndSlotZero) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/Kick Drum.v2.WAV";
    WriteFile(path, WriteWav({WavFmtChunk(1, 1, 44100, 16), RiffChunk("data", Values16({1000}))}));
    auto app = MakeTestApp();
    app->currentInstrument = 3;
    app->currentSample = 0;
    ImportWav(*app, path);
    EXPECT_STREQ(Current(*app).name, "kick drum.v2");
    EXPECT_STREQ(app->song.instruments[3].name, "kick drum.v2");

    app->currentSample = 3;
    SetName(app->song.instruments[3].name, "kept");
    ImportWav(*app, path);
    EXPECT_STREQ(Current(*app).name, "kick drum.v2");
    EXPECT_STREQ(app->song.instruments[3].name, "kept");

    SetStatus(*app, "before");
    ImportWav(*app, dir + "/absent.wav");
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_EQ(Current(*app).frames, 1);  // unchanged
}

TEST(ImportWav, UnusableAudioLeavesANamedEmptySlot) {
    auto app = MakeTestApp();
    SetStatus(*app, "before");
    // Compressed format tag: no audio and no message.
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(2, 1, 8000, 4, 256), RiffChunk("data", Bytes(512, 7))})),
                  "adpcm.wav");
    EXPECT_STREQ(app->statusLine, "before");
    EXPECT_EQ(UsableFrames(Current(*app)), 0);
    EXPECT_STREQ(Current(*app).name, "adpcm");
    EXPECT_STREQ(app->song.instruments[1].name, "adpcm");

    // Audio before any format chunk is not loaded.
    ImportWavData(*app, ByteReader(WriteWav({RiffChunk("data", Values16({1, 2})), WavFmtChunk(1, 1, 8000, 16)})),
                  "late.wav");
    EXPECT_EQ(UsableFrames(Current(*app)), 0);
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (8000 Hz, Mono, 16 Bits).");
}

TEST(ImportWav, DamagedFormatAndSizesStayInBounds) {
    auto app = MakeTestApp();
    // Block align 0: one frame of values is taken as the block.
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(1, 2, 8000, 16, 0), RiffChunk("data", Values16({1, 2, 3, 4}))})),
                  "a.wav");
    EXPECT_EQ(Current(*app).frames, 2);

    // A data chunk that claims far more than the file holds gives what is there.
    Bytes shortData = WriteWav({WavFmtChunk(1, 1, 8000, 16), RiffChunk("data", Values16({100, 200, 300}))});
    shortData[shortData.size() - 10] = 0xFF;  // size field of the data chunk: 0xFF......
    shortData[shortData.size() - 8] = 0x7F;
    ImportWavData(*app, ByteReader(shortData), "short.wav");
    EXPECT_EQ(Current(*app).frames, 3);
    EXPECT_EQ(At(Current(*app), 0, 2), 300 / 32768.0);

    // An odd depth stays silent but takes its bytes; a depth under 8 bits takes
    // none and loads nothing.
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(1, 1, 8000, 12, 2), RiffChunk("data", Values16({5, 6}))})),
                  "b.wav");
    EXPECT_EQ(Current(*app).frames, 2);
    EXPECT_EQ(At(Current(*app), 0, 1), 0.0);
    ImportWavData(*app, ByteReader(WriteWav({WavFmtChunk(1, 1, 8000, 4, 1), RiffChunk("data", Bytes(64, 1))})),
                  "c.wav");
    EXPECT_EQ(UsableFrames(Current(*app)), 0);

    // Two data chunks: the second does not replace the first.
    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(1, 1, 8000, 8), RiffChunk("data", {0}), RiffChunk("data", {1, 2})})),
                  "d.wav");
    EXPECT_EQ(Current(*app).frames, 1);

    // Loops are kept inside the audio: one running past the end is cut, one
    // starting past it (here near the 32-bit limit) is switched off.
    ImportWavData(*app,
                  ByteReader(WriteWav({WavFmtChunk(1, 1, 8000, 8), RiffChunk("data", Bytes(50, 1)),
                                       WavSmplChunk(60, {{40, 99}})})),
                  "e.wav");
    EXPECT_EQ(Current(*app).loopStart, 40);
    EXPECT_EQ(Current(*app).loopLength, 10);
    EXPECT_EQ(Current(*app).loopMode, 1);
    ImportWavData(*app,
                  ByteReader(WriteWav({WavSmplChunk(60, {{0xFFFFFFF0u, 3}}), WavFmtChunk(1, 1, 8000, 8),
                                       RiffChunk("data", Bytes(50, 1))})),
                  "f.wav");
    EXPECT_EQ(Current(*app).loopLength, 0);
    EXPECT_EQ(Current(*app).loopMode, 0);

    ImportWavData(*app, ByteReader(), "empty.wav");
    EXPECT_STREQ(Current(*app).name, "empty");
}

// Frames, channels and rate of every PCM or float file that the corpus list
// describes, checked against what the importer builds.
TEST(ImportWav, CorpusFilesLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    std::ifstream list(corpus + "/SOURCES.md");
    std::stringstream text;
    text << list.rdbuf();
    const std::string sources = text.str();
    const std::regex header(R"(### wav/(\S+)\n(?:(?!###).*\n)*?- Header: RIFF container, format (PCM|IEEE-float), (\d+)-bit, )"
                            R"((\d+) channel\(s\), (\d+) Hz, [^\n]*?, (\d+) frames)");
    auto app = MakeTestApp();
    int checked = 0;
    for (auto it = std::sregex_iterator(sources.begin(), sources.end(), header); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        const std::string path = corpus + "/wav/" + m[1].str();
        if (!std::filesystem::exists(path)) continue;
        ImportWav(*app, path);
        const Sample& s = Current(*app);
        EXPECT_EQ(s.frames, std::stoi(m[6].str())) << m[1];
        EXPECT_EQ(s.channels, std::stoi(m[4].str())) << m[1];
        EXPECT_EQ(s.sampleRate, std::stod(m[5].str())) << m[1];
        ++checked;
    }
    EXPECT_GT(checked, 10);
    for (const auto& entry : std::filesystem::directory_iterator(corpus + "/wav")) {
        SetStatus(*app, "none");
        ImportWav(*app, entry.path().string());
        EXPECT_EQ(std::string(app->statusLine).rfind("Error: ", 0), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace zelmora
