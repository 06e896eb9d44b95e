// Standard MIDI files, SoundFont 2 banks and WAV files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

TEST(ImportMidi, PositionsVelocitiesAndSongSetup) {
    if constexpr (profile::kCellTiming) GTEST_SKIP() << "the earlier build opens no such files";
    MidiTrack track;
    track
        .Event(48, {0x90, 60, 127})  // tick 48 at division 96: row 4
        .Event(3024, {0x90, 62, 1})  // tick 3072: pattern 4, row 0
        .Event(5, {0x90, 70, 100})   // same eighth: the later note wins
        .Event(0, {0x90, 72, 50})
        .Event(96 * 8 * 2, {0xFF, 0x2F, 0});  // a late end of track lengthens the song to pattern 6
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {track})));
    const Song& s = app->song;
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (96)");
    EXPECT_EQ(std::make_tuple(s.trackCount, s.tempo, s.speed, s.orders[200], s.lastOrder),
              std::make_tuple(32, 120, 3, 200, 6));
    EXPECT_EQ(CellBytes(*app, 0, 4, 0), (Cells{61, 1, 12, 64, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 4, 0, 0), (Cells{73, 1, 12, 26, 0, 0, 0, 0}));
}

TEST(ImportMidi, ProgramsPercussionRunningStatusAndSkippedEvents) {
    if constexpr (profile::kCellTiming) GTEST_SKIP() << "the earlier build opens no such files";
    MidiTrack first, second;
    first
        .Event(0, {0xC0, 0})   // channel 0: instrument 3
        .Event(0, {0xC9, 40})  // ignored on the percussion channel
        .Event(0, {0x90, 60, 100})
        .Event(0, {0x99, 36, 100})  // instrument 204
        .Event(12, {0x93, 40, 0})   // velocity 0 writes nothing
        .Event(0, {0x83, 40, 0})
        .Event(0, {0xB3, 7, 100})
        .Event(0, {0xD3, 5})                            // one data byte
        .Event(0, {0xF0, 4, 1, 2, 3, 0xF7})             // system exclusive
        .Event(0, {0xFF, 0x01, 4, 't', 'e', 'x', 't'})  // meta
        .Event(0, {0x92, 45, 90})                       // never programmed: instrument 1
        .Event(12, {47, 80});                           // running status
    second.Event(48, {50, 70});  // still running in the next track, whose time starts at 0
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(96, {first, second})));
    EXPECT_EQ(CellAt(*app, 0, 0, 0).instrument, 3);
    EXPECT_EQ(CellAt(*app, 0, 0, 9).instrument, 204);
    EXPECT_EQ(CellAt(*app, 0, 1, 3).note, 0);
    EXPECT_EQ(CellBytes(*app, 0, 1, 2), (Cells{46, 1, 12, 46, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 2, 2), (Cells{48, 1, 12, 41, 0, 0, 0, 0}));
    EXPECT_EQ(CellBytes(*app, 0, 4, 2), (Cells{51, 1, 12, 36, 0, 0, 0, 0}));
}

TEST(ImportMidi, DamagedFilesStayInBounds) {
    auto app = MakeTestApp();
    ImportMidiData(*app, ByteReader(WriteMidi(0, {MidiTrack().Event(3, {0x90, 60, 100})})));
    EXPECT_STREQ(app->statusLine, "Midi File Loaded. (0)");
    EXPECT_EQ(CellAt(*app, 0, 24, 0).note, 61);  // division 0 read as 1

    // Events past pattern 255 are dropped and the song ends at order 255.
    MidiTrack far;
    far.Event(0, {0x90, 60, 100}).Event(64 * 256 * 12, {0x90, 61, 100}).Event(1000000, {0xFF, 0x2F, 0});
    ImportMidiData(*app, ByteReader(WriteMidi(96, {far})));
    EXPECT_EQ(app->song.lastOrder, 255);
    EXPECT_EQ(CellAt(*app, 0, 0, 0).note, 61);

    // More tracks than the file holds, a track longer than the file, and data
    // bytes with their high bit set.
    Bytes bytes = WriteMidi(96, {MidiTrack().Event(0, {0x90, 0xFF, 100}).Event(0, {0xC1, 0xFF})});
    bytes[10] = 0x40;
    bytes[18] = 0x7F;
    ImportMidiData(*app, ByteReader(bytes));
    EXPECT_EQ(CellAt(*app, 0, 0, 0).note, 128);
    ImportMidiData(*app, ByteReader());
    EXPECT_EQ(app->song.lastOrder, 0);

    // A file that cannot be opened changes nothing.
    app->song.tempo = 99;
    SetStatus(*app, "before");
    ImportMidi(*app, MakeTempDir() + "/missing.mid");
    EXPECT_STREQ(app->statusLine, "before");
    EXPECT_EQ(app->song.tempo, 99);
}

// Generator operators.
constexpr uint16_t kPan = 17, kKeys = 43, kVelocities = 44, kCoarse = 51, kFine = 52, kSampleId = 53,
                   kModes = 54, kScale = 56, kRootKey = 58;

// One preset over an instrument with the given zones; samples of 100 frames
// each over a ramp of sample data.
Sf2Bank OnePresetBank(std::vector<Sf2Zone> zones, uint32_t sampleCount = 3) {
    Sf2Bank bank{{{"Grand Piano"}}, std::move(zones)};
    for (uint32_t i = 0; i < sampleCount; ++i)
        bank.samples.push_back(
            {"sample " + std::to_string(i), 100 * i, 100 * i + 100, 100 * i + 20, 100 * i + 90, 22050 + i});
    for (uint32_t i = 0; i < 100 * sampleCount + 46; ++i)
        bank.data.push_back(static_cast<int16_t>(i * 64 - 16384));
    return bank;
}

TEST(ImportSoundFont, FirstPresetByBankAndNumberIntoTheCurrentInstrument) {
    auto app = MakeTestApp();
    app->currentInstrument = 7;
    Sample& old = app->song.instruments[7].samples[5];
    old.frames = 10;
    old.channels = 1;
    ASSERT_TRUE(app->AllocateSampleAudio(old));
    app->song.tempo = 77;
    Sf2Bank bank = OnePresetBank({{{kSampleId, 0}}});
    bank.presets = {{"Five", 5}, {"Zero", 0}};
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
    EXPECT_STREQ(app->song.instruments[7].name, "Zero");
    // The instrument is cleared first; the song is left alone.
    EXPECT_EQ(UsableFrames(app->song.instruments[7].samples[5]), 0);
    EXPECT_EQ(app->song.tempo, 77);
    bank.presets = {{"Drums", 0, 128}, {"Bank one", 3, 1}, {"Later", 4, 1}};
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    EXPECT_STREQ(app->song.instruments[7].name, "Bank one");
    app->currentInstrument = 256;  // outside the song: nothing is loaded
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
}

TEST(ImportSoundFont, ZonesHeadersAndGenerators) {
    const Sf2Zone global = {{kPan, 0}, {kKeys, 0x7F00}};  // no sample: skipped
    const Sf2Zone ranges = {{kKeys, 0x3C30}, {kVelocities, 0x6410}, {kPan, 0xFE0C}, {kSampleId, 0}};
    const Sf2Zone tuning = {{kRootKey, 72}, {kCoarse, 0xFFFE}, {kFine, 30},
                            {kScale, 50},   {kPan, 250},       {kSampleId, 1}};
    const Sf2Zone modes = {{kModes, 0}, {kSampleId, 2}, {kKeys, 0x1010}};  // after the id: unused
    auto bank = OnePresetBank({global, ranges, tuning, modes, {{kModes, 3}, {kSampleId, 1}}});
    bank.samples[0].originalPitch = 255;
    bank.samples[0].pitchCorrection = -7;
    bank.samples[1].originalPitch = 45;
    bank.samples[1].loopStart = bank.samples[1].start + 8;  // not above 8 frames: no loop
    bank.samples[1].loopEnd = bank.samples[1].start + 500;  // past the end: cut to the sample
    auto app = MakeTestApp();
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    const Instrument& in = app->song.instruments[1];
    EXPECT_STREQ(in.name, "Grand Piano");

    const Sample& a = in.samples[0];
    EXPECT_STREQ(a.name, "sample 0");
    EXPECT_EQ(std::make_tuple(a.frames, a.sampleRate, FrameAt(a, 0)), std::make_tuple(100, 22050.0, -0.5));
    EXPECT_EQ(std::make_tuple(a.keyLow, a.keyHigh, a.velocityLow, a.velocityHigh),
              std::make_tuple(48, 60, 16, 100));
    EXPECT_EQ(a.pan, 64);  // -500
    EXPECT_EQ(std::make_tuple(a.loopStart, a.loopLength, a.loopMode), std::make_tuple(20, 70, 1));
    // Original pitch 255: no scale tuning, the base note kept.
    EXPECT_EQ(std::make_tuple(a.scaleTuning, a.baseNote, a.fineTune), std::make_tuple(0, 60, -7));

    const Sample& b = in.samples[1];
    EXPECT_EQ(FrameAt(b, 0), (100 * 64 - 16384) / 32768.0);  // read from its own start
    // The zone's root key over the header's 45.
    EXPECT_EQ(std::make_tuple(b.baseNote, b.coarseTune, b.fineTune, b.scaleTuning, b.pan),
              std::make_tuple(72, -2, 30, 50, 160));
    EXPECT_EQ(std::make_tuple(b.loopMode, b.loopLength), std::make_tuple(0, 92));

    EXPECT_EQ(std::make_tuple(in.samples[2].loopLength, in.samples[2].keyLow),
              std::make_tuple(100, 0));    // modes 0
    EXPECT_EQ(in.samples[3].loopMode, 1);  // sample modes 3 loop whatever the header says
    EXPECT_EQ(UsableFrames(in.samples[4]), 0);
}

TEST(ImportSoundFont, DamagedBanksStayInBounds) {
    auto app = MakeTestApp();
    ImportSoundFontData(*app,
                        ByteReader(WriteSf2(OnePresetBank(std::vector<Sf2Zone>(300, {{kSampleId, 0}}), 1))));
    EXPECT_EQ(app->song.instruments[1].samples[255].frames, 100);  // 256 of 300 zones

    // A sample past the data, one ending before its start, and an id beyond
    // the headers (skipped, so the next zone takes slot 2).
    auto bank = OnePresetBank({{{kSampleId, 0}}, {{kSampleId, 1}}, {{kSampleId, 99}}, {{kSampleId, 2}}});
    bank.samples[0].end = 0x7FFFFFF0;
    bank.samples[1].end = 10;
    bank.samples[2].start = 0xFFFFFFF0;
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    const Instrument& in = app->song.instruments[1];
    EXPECT_EQ(in.samples[0].frames, 346);  // all the sample data there is
    EXPECT_EQ(UsableFrames(in.samples[1]), 0);
    EXPECT_STREQ(in.samples[2].name, "sample 2");
    EXPECT_EQ(UsableFrames(in.samples[2]), 0);

    bank.presets[0].instrument = 40;  // no such instrument
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    EXPECT_EQ(UsableFrames(in.samples[0]), 0);

    // Prefixes of a bank, and each byte of its tables set to 0xFF in turn.
    const Bytes whole = WriteSf2(OnePresetBank({{{kPan, 1}}, {{kSampleId, 0}}, {{kSampleId, 1}}}));
    for (std::size_t n = 0; n < whole.size(); n += 7) ImportSoundFontData(*app, ByteReader(whole.data(), n));
    Bytes damaged = whole;
    for (std::size_t i = whole.size() - 400; i < whole.size(); ++i) {
        damaged[i] = 0xFF;
        ImportSoundFontData(*app, ByteReader(damaged));
        damaged[i] = whole[i];
    }
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
}

// The values' bytes in the machine's order, little-endian on every supported target.
template <typename T>
Bytes Values(std::initializer_list<T> values) {
    Bytes out(values.size() * sizeof(T));
    std::memcpy(out.data(), values.begin(), out.size());
    return out;
}

Bytes Values16(std::initializer_list<int16_t> values) {
    return Values(values);
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

    // Floats are kept as they are, not limited; values that are not finite numbers are stored as 0.
    Load(*app,
         {WavFmtChunk(3, 1, 44100, 32), RiffChunk("data", Values<float>({-1.5f, NAN, INFINITY, -INFINITY}))});
    EXPECT_STREQ(app->statusLine, "Floating Point Wave Loaded (44100 Hz, Mono, 32 Bits).");
    ASSERT_EQ(s.frames, 4);
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1), FrameAt(s, 2), FrameAt(s, 3)),
              std::make_tuple(-1.5, 0.0, 0.0, 0.0));
    Load(*app, {WavFmtChunk(3, 1, 96000, 64), RiffChunk("data", Values<double>({0.125, NAN, -HUGE_VAL}))});
    ASSERT_EQ(s.frames, 3);
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1), FrameAt(s, 2)), std::make_tuple(0.125, 0.0, 0.0));
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
