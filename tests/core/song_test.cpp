#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

TEST(Song, NewSongHasTheDocumentedDefaults) {
    auto app = MakeTestApp();
    const Song& s = app->song;
    EXPECT_STREQ(s.name, "Untitled");
    EXPECT_EQ(s.tempo, 125);
    EXPECT_EQ(s.speed, 6);
    EXPECT_EQ(s.trackCount, 4);
    EXPECT_EQ(s.editStep, 1);
    EXPECT_EQ(s.lastOrder, 0);
    EXPECT_EQ(s.masterVolume, 32);
    EXPECT_STREQ(app->statusLine, "Ready.");
    for (const Pattern& p : s.patterns) {
        ASSERT_EQ(p.lastRow, 63);
        ASSERT_EQ(p.rowsPerBeat, 4);
        ASSERT_STREQ(p.name, "---");
    }
    int usable = 0;
    for (const Instrument& in : s.instruments) {
        EXPECT_EQ(in.volume, 64);
        EXPECT_EQ(in.envelopes[2].sustain, 255);
        EXPECT_EQ(in.envelopes[2].oscillatorRate, 64);
        for (const Sample& sm : in.samples) usable += UsableFrames(sm) != 0;
    }
    EXPECT_EQ(usable, 0);
    const Sample& slot = s.instruments[7].samples[9];
    EXPECT_EQ(slot.sampleRate, 44100.0);
    EXPECT_EQ(slot.reservedByte, 255);
    EXPECT_EQ(slot.baseNote, 60);
    EXPECT_EQ(slot.scaleTuning, 100);
    EXPECT_EQ(s.tracks[31].mixerVolume, 64);
    EXPECT_EQ(app->keyboardOctave, 4);
    EXPECT_EQ(app->currentInstrument, 1);
    EXPECT_EQ(app->screenPage, 1);
}

TEST(Song, UsableNeedsFramesChannelsAndAudio) {
    auto app = MakeTestApp();
    Sample& s = app->song.instruments[1].samples[0];
    s.frames = 10;
    s.channels = 0;
    EXPECT_TRUE(app->AllocateSampleAudio(s));
    EXPECT_EQ(s.audio, nullptr);
    EXPECT_EQ(UsableFrames(s), 0);
    s.channels = 2;
    ASSERT_TRUE(app->AllocateSampleAudio(s));
    EXPECT_EQ(UsableFrames(s), 10);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 10 + 2 * kSampleGuard; ++i) ASSERT_EQ(s.audio[c][i], 0.0);
    app->ClearSample(s);
    EXPECT_EQ(s.audio, nullptr);
    EXPECT_EQ(s.frames, 0);
    app->ClearSample(s);  // an empty slot only gets its defaults
    EXPECT_STREQ(s.name, "---");
}

TEST(Song, RowsBeyondTheLastRowKeepTheirContents) {
    auto app = MakeTestApp();
    Pattern& p = app->song.patterns[3];
    p.cells[200][5].note = 49;
    p.lastRow = 15;
    p.lastRow = 255;
    EXPECT_EQ(p.cells[200][5].note, 49);
}

int gAllocationsLeft = 0;
void* FailingAllocator(std::size_t count, std::size_t size) {
    if (gAllocationsLeft-- <= 0) return nullptr;
    return std::calloc(count, size);
}

TEST(Song, FailedAllocationLeavesTheSlotEmpty) {
    auto app = MakeTestApp();
    Sample& s = app->song.instruments[2].samples[4];
    for (int allowed : {0, 1, 2}) {  // table fails; first buffer fails; second buffer fails
        app->ClearSample(s);
        s.frames = 1000;
        s.channels = 3;
        gAllocationsLeft = allowed;
        SetSampleAllocator(FailingAllocator);
        EXPECT_FALSE(app->AllocateSampleAudio(s));
        SetSampleAllocator(nullptr);
        EXPECT_EQ(s.audio, nullptr);
        EXPECT_EQ(UsableFrames(s), 0);
    }
    app->NewSong();  // nothing to free twice; leak checkers see the partial buffers released
}

}  // namespace
}  // namespace zelmora
