#include <gtest/gtest.h>

#include <filesystem>

#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

constexpr uint16_t kPanGen = 17, kInstrumentGen = 41, kKeyRangeGen = 43, kVelRangeGen = 44, kCoarseGen = 51,
                   kFineGen = 52, kSampleIdGen = 53, kModesGen = 54, kScaleGen = 56, kRootKeyGen = 58;

// One preset naming instrument 0, whose zones are given; samples of 100
// frames each over a ramp of sample data.
Sf2Spec OnePresetBank(std::vector<std::vector<Sf2Generator>> zones, int sampleCount = 3) {
    Sf2Spec spec;
    spec.presets = {{"Grand Piano", 0, 0, {{{kInstrumentGen, 0}}}}};
    spec.instruments = {{"piano", std::move(zones)}};
    for (int i = 0; i < sampleCount; ++i) {
        Sf2SampleSpec s;
        s.name = "sample " + std::to_string(i);
        s.start = 100 * i;
        s.end = 100 * i + 100;
        s.loopStart = s.start + 20;
        s.loopEnd = s.start + 90;
        s.sampleRate = 22050 + i;
        spec.samples.push_back(s);
    }
    for (int i = 0; i < 100 * sampleCount + 46; ++i) spec.data.push_back(static_cast<int16_t>(i * 64 - 16384));
    return spec;
}

TEST(ImportSoundFont, PresetSortPicksLowestBankAndPreset) {
    Sf2Spec spec = OnePresetBank({{{kSampleIdGen, 0}}});
    spec.presets = {{"Five", 5, 0, {{{kInstrumentGen, 0}}}}, {"Zero", 0, 0, {{{kInstrumentGen, 0}}}}};
    auto app = MakeTestApp();
    ImportSoundFontData(*app, ByteReader(WriteSf2(spec)));
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
    EXPECT_STREQ(app->song.instruments[1].name, "Zero");

    spec.presets = {{"Drums", 0, 128, {{{kInstrumentGen, 0}}}},
                    {"Bank one", 3, 1, {{{kInstrumentGen, 0}}}},
                    {"Bank one later", 4, 1, {{{kInstrumentGen, 0}}}}};
    ImportSoundFontData(*app, ByteReader(WriteSf2(spec)));
    EXPECT_STREQ(app->song.instruments[1].name, "Bank one");
}

TEST(ImportSoundFont, ZonesBecomeConsecutiveSlots) {
    // A global zone first (no sample), then three sample zones.
    auto bank = OnePresetBank({{{kPanGen, 0}, {kKeyRangeGen, 0x7F00}},
                               {{kKeyRangeGen, 0x3C30}, {kVelRangeGen, 0x6410}, {kPanGen, static_cast<uint16_t>(-500)},
                                {kSampleIdGen, 0}},
                               {{kRootKeyGen, 72}, {kCoarseGen, static_cast<uint16_t>(-2)}, {kFineGen, 30},
                                {kScaleGen, 50}, {kPanGen, 250}, {kModesGen, 1}, {kSampleIdGen, 1}},
                               {{kModesGen, 0}, {kSampleIdGen, 2}, {kKeyRangeGen, 0x1010}}});  // after the id: unused
    auto app = MakeTestApp();
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    const Instrument& in = app->song.instruments[1];
    EXPECT_STREQ(in.name, "Grand Piano");
    EXPECT_EQ(in.volume, 64);

    const Sample& a = in.samples[0];
    EXPECT_STREQ(a.name, "sample 0");
    EXPECT_EQ(a.channels, 1);
    EXPECT_EQ(a.frames, 100);
    EXPECT_EQ(a.sampleRate, 22050.0);
    EXPECT_EQ(a.keyLow, 48);
    EXPECT_EQ(a.keyHigh, 60);
    EXPECT_EQ(a.velocityLow, 16);
    EXPECT_EQ(a.velocityHigh, 100);
    EXPECT_EQ(a.pan, 64);
    EXPECT_EQ(a.loopStart, 20);
    EXPECT_EQ(a.loopLength, 70);
    EXPECT_EQ(a.loopMode, 1);
    EXPECT_EQ(a.audio[0][kSampleGuard], -0.5);
    EXPECT_EQ(a.audio[0][kSampleGuard + 99], (99 * 64 - 16384) / 32768.0);

    const Sample& b = in.samples[1];
    EXPECT_EQ(b.baseNote, 72);
    EXPECT_EQ(b.coarseTune, -2);
    EXPECT_EQ(b.fineTune, 30);
    EXPECT_EQ(b.scaleTuning, 50);
    EXPECT_EQ(b.pan, 160);
    EXPECT_EQ(b.audio[0][kSampleGuard], (100 * 64 - 16384) / 32768.0);  // read from its own start

    const Sample& c = in.samples[2];
    EXPECT_EQ(c.loopStart, 0);
    EXPECT_EQ(c.loopLength, 100);
    EXPECT_EQ(c.loopMode, 0);
    EXPECT_EQ(c.keyLow, 0);
    EXPECT_EQ(UsableFrames(in.samples[3]), 0);
    EXPECT_STREQ(in.samples[3].name, "---");
}

TEST(ImportSoundFont, SampleHeaderPitchAndLoopRules) {
    auto bank = OnePresetBank({{{kSampleIdGen, 0}}, {{kSampleIdGen, 1}}, {{kModesGen, 3}, {kSampleIdGen, 2}}});
    bank.samples[0].originalPitch = 255;
    bank.samples[0].pitchCorrection = -7;
    bank.samples[1].originalPitch = 45;
    bank.samples[1].loopStart = bank.samples[1].start + 8;  // not above 8 frames: no loop
    bank.samples[1].loopEnd = bank.samples[1].start + 500;  // past the end: cut to the sample
    bank.samples[2].loopStart = bank.samples[2].start + 8;  // but the zone's sampleModes 3 loops
    auto app = MakeTestApp();
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    const Instrument& in = app->song.instruments[1];
    EXPECT_EQ(in.samples[0].scaleTuning, 0);
    EXPECT_EQ(in.samples[0].baseNote, 60);
    EXPECT_EQ(in.samples[0].fineTune, -7);
    EXPECT_EQ(in.samples[1].baseNote, 45);
    EXPECT_EQ(in.samples[1].scaleTuning, 100);
    EXPECT_EQ(in.samples[1].loopMode, 0);
    EXPECT_EQ(in.samples[1].loopLength, 92);
    EXPECT_EQ(in.samples[2].loopMode, 1);
}

TEST(ImportSoundFont, TargetsTheCurrentInstrumentOnly) {
    auto app = MakeTestApp();
    app->currentInstrument = 7;
    Sample& old = app->song.instruments[7].samples[5];
    old.frames = 10;
    old.channels = 1;
    ASSERT_TRUE(app->AllocateSampleAudio(old));
    SetName(app->song.instruments[2].name, "other");
    app->song.tempo = 77;
    ImportSoundFontData(*app, ByteReader(WriteSf2(OnePresetBank({{{kSampleIdGen, 0}}}))));
    EXPECT_EQ(UsableFrames(app->song.instruments[7].samples[5]), 0);
    EXPECT_EQ(app->song.instruments[7].samples[0].frames, 100);
    EXPECT_STREQ(app->song.instruments[2].name, "other");
    EXPECT_EQ(app->song.tempo, 77);

    app->currentInstrument = 256;
    ImportSoundFontData(*app, ByteReader(WriteSf2(OnePresetBank({{{kSampleIdGen, 0}}}))));
    EXPECT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
}

TEST(ImportSoundFont, DamagedBanksStayInBounds) {
    auto app = MakeTestApp();
    // More zones than sample slots: the first 256 are kept.
    std::vector<std::vector<Sf2Generator>> many(300, {{kSampleIdGen, 0}});
    ImportSoundFontData(*app, ByteReader(WriteSf2(OnePresetBank(many, 1))));
    EXPECT_EQ(app->song.instruments[1].samples[255].frames, 100);

    // A sample running past the sample data, one ending before it starts,
    // and a sample id beyond the headers (skipped, so the next zone takes slot 2).
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

    // An instrument index beyond the table, and a zone scan that finds no sample id.
    bank = OnePresetBank({{{kKeyRangeGen, 1}}});
    bank.presets[0].zones = {{{kInstrumentGen, 40}}};
    ImportSoundFontData(*app, ByteReader(WriteSf2(bank)));
    EXPECT_STREQ(in.name, "Grand Piano");
    EXPECT_EQ(UsableFrames(in.samples[0]), 0);

    // Every prefix of a bank, and every byte of its tables set to 0xFF in turn.
    const Bytes whole = WriteSf2(OnePresetBank({{{kPanGen, 1}}, {{kSampleIdGen, 0}}, {{kSampleIdGen, 1}}}));
    for (std::size_t n = 0; n < whole.size(); n += 7) {
        ImportSoundFontData(*app, ByteReader(whole.data(), n));
        ASSERT_STREQ(app->statusLine, "SoundFont2 Bank Loaded (2).");
    }
    Bytes damaged = whole;
    for (std::size_t i = whole.size() - 400; i < whole.size(); ++i) {
        damaged[i] = 0xFF;
        ImportSoundFontData(*app, ByteReader(damaged));
        damaged[i] = whole[i];
    }
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
    EXPECT_EQ(loaded, 3);
}

}  // namespace
}  // namespace zelmora
