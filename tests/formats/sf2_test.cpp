#include <gtest/gtest.h>

#include <tuple>

#include "app/app_state.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

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

}  // namespace
}  // namespace zelmora
