#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app_state.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

TEST(Song, SampleAudioNeedsFramesAndChannels) {
    auto app = MakeTestApp();
    Sample& s = app->song.instruments[1].samples[0];
    s.frames = 10;
    EXPECT_TRUE(app->AllocateSampleAudio(s));  // no channels: nothing to allocate
    EXPECT_EQ(UsableFrames(s), 0);
    s.channels = 2;
    ASSERT_TRUE(app->AllocateSampleAudio(s));
    EXPECT_EQ(UsableFrames(s), 10);
    EXPECT_EQ(s.audio[1][10 + 2 * kSampleGuard - 1], 0.0);  // zero-filled, guards included
    app->ClearSample(s);
    EXPECT_EQ(s.audio, nullptr);
    app->ClearSample(s);  // an empty slot only gets its defaults
    EXPECT_EQ(s.frames, 0);
}

int gAllocationsLeft = 0;
void* FailingAllocator(std::size_t count, std::size_t size) {
    return gAllocationsLeft-- > 0 ? std::calloc(count, size) : nullptr;
}

TEST(Song, FailedAllocationLeavesTheSlotEmpty) {
    auto app = MakeTestApp();
    Sample& s = app->song.instruments[2].samples[4];
    for (int allowed : {0, 1, 2}) {  // the table fails; the first buffer; the second buffer
        s.frames = 1000;
        s.channels = 3;
        gAllocationsLeft = allowed;
        SetSampleAllocator(FailingAllocator);
        EXPECT_FALSE(app->AllocateSampleAudio(s));
        SetSampleAllocator(nullptr);
        EXPECT_EQ(s.audio, nullptr);
    }
    app->NewSong();  // the sanitizer build reports any buffer the failures leaked
}

}  // namespace
}  // namespace zelmora
