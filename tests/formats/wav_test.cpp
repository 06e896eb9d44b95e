#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

Bytes Values16(std::initializer_list<int16_t> values) {
    ByteWriter out;
    for (int16_t v : values) out.U16(static_cast<uint16_t>(v));
    return out.bytes;
}

const Sample& Current(const AppState& app) {
    return app.song.instruments[app.currentInstrument].samples[app.currentSample];
}

void Load(AppState& app, std::initializer_list<Bytes> chunks, const char* name = "x.wav") {
    ImportWavData(app, ByteReader(WriteWav(chunks)), name);
}

TEST(ImportWav, DepthsChannelsAndMessages) {
    auto app = MakeTestApp();
    const Sample& s = Current(*app);
    Load(*app, {WavFmtChunk(1, 2, 48000, 16), RiffChunk("data", Values16({-32768, 16384, 0, 32767}))});
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (48000 Hz, Stereo, 16 Bits).");
    EXPECT_EQ(std::make_tuple(s.channels, s.frames, s.sampleRate), std::make_tuple(2, 2, 48000.0));
    // Frame by frame, channel by channel.
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 0, 1), FrameAt(s, 1, 1)),
              std::make_tuple(-1.0, 0.5, 32767 / 32768.0));
    Load(*app, {WavFmtChunk(1, 1, 22050, 8), RiffChunk("data", {128, 0, 255})});
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1)), std::make_tuple(0.0, -1.0));
    Load(*app, {WavFmtChunk(1, 1, 8000, 24), RiffChunk("data", {0x00, 0x00, 0x80, 0x00, 0x00, 0x40})});
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1)), std::make_tuple(-1.0, 0.5));
    Bytes six(24, 0);
    six[3] = 0x80;
    Load(*app, {WavFmtChunk(1, 6, 44100, 32), RiffChunk("data", six)});
    EXPECT_STREQ(app->statusLine, "PCM Wave Loaded (44100 Hz, 6 Channels, 32 Bits).");
    EXPECT_EQ(std::make_tuple(s.channels, FrameAt(s, 0)), std::make_tuple(6, -1.0));

    Bytes f32(4), f64(8);
    const float a = -1.5f;  // kept as it is, not limited
    const double b = 0.125;
    std::memcpy(f32.data(), &a, 4);
    std::memcpy(f64.data(), &b, 8);
    Load(*app, {WavFmtChunk(3, 1, 44100, 32), RiffChunk("data", f32)});
    EXPECT_STREQ(app->statusLine, "Floating Point Wave Loaded (44100 Hz, Mono, 32 Bits).");
    EXPECT_EQ(FrameAt(s, 0), -1.5);
    Load(*app, {WavFmtChunk(3, 1, 96000, 64), RiffChunk("data", f64)});
    EXPECT_EQ(FrameAt(s, 0), 0.125);
}

TEST(ImportWav, SamplerInstrumentAndOddChunks) {
    auto app = MakeTestApp();
    app->currentInstrument = 5;
    app->currentSample = 2;
    Load(*app, {WavSmplChunk(72, {{100, 199}, {5, 10}}), WavFmtChunk(1, 1, 22050, 8),
                RiffChunk("data", Bytes(400, 1))});
    const Sample& s = Current(*app);
    EXPECT_EQ(std::make_tuple(s.baseNote, s.loopStart, s.loopLength, s.loopMode, s.keyHigh),
              std::make_tuple(72, 100, 100, 1, 127));

    // An odd-sized chunk is not padded: the next identifier follows its bytes.
    // The instrument chunk has seven bytes and its pad byte.
    Bytes inst = RiffChunk("inst", {50, static_cast<uint8_t>(-20), 0, 40, 70, 10, 100});
    inst.push_back(0);
    Load(*app, {WavFmtChunk(1, 1, 22050, 8), inst, RiffChunk("odd ", {1, 2, 3}), RiffChunk("data", {255})});
    EXPECT_EQ(std::make_tuple(s.baseNote, s.fineTune, s.keyLow, s.keyHigh, s.velocityLow, s.velocityHigh),
              std::make_tuple(50, -20, 40, 70, 10, 100));
    EXPECT_EQ(std::make_tuple(s.loopMode, s.frames), std::make_tuple(0, 1));  // the slot was cleared first
}

TEST(ImportWav, TitleSlotZeroAndUnusableFiles) {
    const std::string dir = MakeTempDir();
    WriteFile(dir + "/Kick Drum.v2.WAV",
              WriteWav({WavFmtChunk(1, 1, 44100, 16), RiffChunk("data", Values16({9}))}));
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
    EXPECT_STREQ(app->statusLine, profile::kFailedToOpen);
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
    EXPECT_EQ(FrameAt(Current(*app), 2), 300 / 32768.0);

    // An odd depth is silent but takes its bytes; one under 8 bits loads nothing.
    Load(*app, {WavFmtChunk(1, 1, 8000, 12, 2), RiffChunk("data", Values16({5, 6}))});
    EXPECT_EQ(Current(*app).frames, 2);
    EXPECT_EQ(FrameAt(Current(*app), 1), 0.0);
    Load(*app, {WavFmtChunk(1, 1, 8000, 4, 1), RiffChunk("data", Bytes(64, 1))});
    EXPECT_EQ(UsableFrames(Current(*app)), 0);

    // A second data chunk does not replace the first; loops stay inside the audio.
    Load(*app, {WavFmtChunk(1, 1, 8000, 8), RiffChunk("data", Bytes(50, 0)), RiffChunk("data", {1, 2}),
                WavSmplChunk(60, {{40, 99}})});
    EXPECT_EQ(std::make_tuple(Current(*app).frames, Current(*app).loopLength), std::make_tuple(50, 10));
    Load(*app,
         {WavSmplChunk(60, {{0xFFFFFFF0u, 3}}), WavFmtChunk(1, 1, 8000, 8), RiffChunk("data", Bytes(50, 1))});
    EXPECT_EQ(Current(*app).loopMode, 0);
    ImportWavData(*app, ByteReader(), "empty.wav");
    EXPECT_STREQ(Current(*app).name, "empty");
}

}  // namespace
}  // namespace zelmora
