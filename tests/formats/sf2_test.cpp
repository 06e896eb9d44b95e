#include <gtest/gtest.h>

#include <filesystem>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

constexpr uint16_t kPanGen = 17, kInstrumentGen = 41, kKeyRangeGen = 43, kVelRangeGen = 44, kCoarseGen = 51,
                   kFineGen = 52, kSampleIdGen = 53, kModesGen = 54, kScaleGen = 56, kRootKeyGen = 58;

// One preset naming instrument 0 with the given zones; samples of 100 frames
// each over a ramp of sample data.
Sf2BankLayout OnePresetBank(std::vector<std::vector<Sf2Generator>> zones, int sampleCount = 3) {
    Sf2BankLayout layout;
    layout.presets = {{"Grand Piano", 0, 0, {{{kInstrumentGen, 0}}}}};
    layout.instruments = {{"piano", std::move(zones)}};
    for (uint32_t i = 0; i < static_cast<uint32_t>(sampleCount); ++i)
        layout.samples.push_back({"sample " + std::to_string(i), 100 * i, 100 * i + 100, 100 * i + 20, 100 * i + 90,
                                22050 + i});
    for (int i = 0; i < 100 * sampleCount + 46; ++i) layout.data.push_back(static_cast<int16_t>(i * 64 - 16384));
    return layout;
}

TEST(ImportSoundFont, PresetSortPicksLowestBankAndPreset) {
    Sf2BankLayout layout = OnePresetBank({{{kSampleIdGen, 0}}});
    layout.presets = {{"Five", 5, 0, {{{kInstrumentGen, 0}}}}, {"Zero", 0, 0, {{{kInstrumentGen, 0}}}}};
    auto app = MakeTestApp();
    ImportSoundFontData(*app, ByteReader(WriteSf2(layout)));
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
    EXPECT_STREQ(app->song.instruments[1].name, "Zero");
    layout.presets = {{"Drums", 0, 128, {{{kInstrumentGen, 0}}}}, {"Bank one", 3, 1, {{{kInstrumentGen, 0}}}},
                    {"Later", 4, 1, {{{kInstrumentGen, 0}}}}};
    ImportSoundFontData(*app, ByteReader(WriteSf2(layout)));
    EXPECT_STREQ(app->song.instruments[1].name, "Bank one");
}

TEST(ImportSoundFont, ZonesHeadersAndGenerators) {
    // A global zone first (no sample), then three sample zones.
    auto bank = OnePresetBank({{{kPanGen, 0}, {kKeyRangeGen, 0x7F00}},
                               {{kKeyRangeGen, 0x3C30}, {kVelRangeGen, 0x6410}, {kPanGen, 0xFE0C}, {kSampleIdGen, 0}},
                               {{kRootKeyGen, 72}, {kCoarseGen, 0xFFFE}, {kFineGen, 30}, {kScaleGen, 50}, {kPanGen, 250},
                                {kSampleIdGen, 1}},
                               {{kModesGen, 0}, {kSampleIdGen, 2}, {kKeyRangeGen, 0x1010}}});  // after the id: unused
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
    EXPECT_EQ(a.frames, 100);
    EXPECT_EQ(a.sampleRate, 22050.0);
    EXPECT_EQ(a.audio[0][kSampleGuard], -0.5);
    EXPECT_EQ(a.keyLow, 48);
    EXPECT_EQ(a.keyHigh, 60);
    EXPECT_EQ(a.velocityLow, 16);
    EXPECT_EQ(a.velocityHigh, 100);
    EXPECT_EQ(a.pan, 64);  // -500
    EXPECT_EQ(a.loopStart, 20);
    EXPECT_EQ(a.loopLength, 70);
    EXPECT_EQ(a.loopMode, 1);
    EXPECT_EQ(a.scaleTuning, 0);  // original pitch 255
    EXPECT_EQ(a.baseNote, 60);
    EXPECT_EQ(a.fineTune, -7);

    const Sample& b = in.samples[1];
    EXPECT_EQ(b.audio[0][kSampleGuard], (100 * 64 - 16384) / 32768.0);  // read from its own start
    EXPECT_EQ(b.baseNote, 72);  // the zone's root key over the header's 45
    EXPECT_EQ(b.coarseTune, -2);
    EXPECT_EQ(b.fineTune, 30);
    EXPECT_EQ(b.scaleTuning, 50);
    EXPECT_EQ(b.pan, 160);
    EXPECT_EQ(b.loopMode, 0);
    EXPECT_EQ(b.loopLength, 92);

    EXPECT_EQ(in.samples[2].loopLength, 100);  // sampleModes 0
    EXPECT_EQ(in.samples[2].keyLow, 0);
    EXPECT_EQ(UsableFrames(in.samples[3]), 0);
}

TEST(ImportSoundFont, TargetsTheCurrentInstrumentOnly) {
    auto app = MakeTestApp();
    app->currentInstrument = 7;
    Sample& old = app->song.instruments[7].samples[5];
    old.frames = 10;
    old.channels = 1;
    ASSERT_TRUE(app->AllocateSampleAudio(old));
    app->song.tempo = 77;
    ImportSoundFontData(*app, ByteReader(WriteSf2(OnePresetBank({{{kModesGen, 3}, {kSampleIdGen, 0}}}))));
    EXPECT_EQ(UsableFrames(app->song.instruments[7].samples[5]), 0);
    EXPECT_EQ(app->song.instruments[7].samples[0].loopMode, 1);
    EXPECT_EQ(app->song.tempo, 77);
    app->currentInstrument = 256;
    ImportSoundFontData(*app, ByteReader(WriteSf2(OnePresetBank({{{kSampleIdGen, 0}}}))));
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
}

TEST(ImportSoundFont, DamagedBanksStayInBounds) {
    auto app = MakeTestApp();
    ImportSoundFontData(*app, ByteReader(WriteSf2(OnePresetBank(std::vector<std::vector<Sf2Generator>>(300, {{kSampleIdGen, 0}}), 1))));
    EXPECT_EQ(app->song.instruments[1].samples[255].frames, 100);  // 256 of 300 zones

    // A sample past the data, one ending before its start, and an id beyond
    // the headers (skipped, so the next zone takes slot 2).
    auto bank = OnePresetBank({{{kSampleIdGen, 0}}, {{kSampleIdGen, 1}}, {{kSampleIdGen, 99}}, {{kSampleIdGen, 2}}});
    bank.samples[0].end = 0x7FFFFFF0;
    bank.samples[1].end = 10;
    bank.samples[2].start = 0xFFFFFFF0;
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    const Instrument& in = app->song.instruments[1];
    EXPECT_EQ(in.samples[0].frames, 346);  // all the sample data there is
    EXPECT_EQ(UsableFrames(in.samples[1]), 0);
    EXPECT_STREQ(in.samples[2].name, "sample 2");
    EXPECT_EQ(UsableFrames(in.samples[2]), 0);

    bank.presets[0].zones = {{{kInstrumentGen, 40}}};  // no such instrument
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    EXPECT_EQ(UsableFrames(in.samples[0]), 0);

    // Prefixes of a bank, and each byte of its tables set to 0xFF in turn.
    const Bytes whole = WriteSf2(OnePresetBank({{{kPanGen, 1}}, {{kSampleIdGen, 0}}, {{kSampleIdGen, 1}}}));
    for (std::size_t n = 0; n < whole.size(); n += 7) ImportSoundFontData(*app, ByteReader(whole.data(), n));
    Bytes damaged = whole;
    for (std::size_t i = whole.size() - 400; i < whole.size(); ++i) {
        damaged[i] = 0xFF;
        ImportSoundFontData(*app, ByteReader(damaged));
        damaged[i] = whole[i];
    }
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
}

TEST(ImportSoundFont, CorpusBanksLoad) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    auto app = MakeTestApp();
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus + "/sf2")) {
        ImportSoundFont(*app, entry.path().string());
        EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).") << entry.path();
        EXPECT_GT(UsableFrames(app->song.instruments[1].samples[0]), 0) << entry.path();
        ++loaded;
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace zelmora
