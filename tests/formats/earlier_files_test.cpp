// The earlier build's files: the timing byte and two slots the importers fill
// (which names open: the import tests). Skipped in the full build.
#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"
#include "support/writers_mod.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

// Note, instrument, timing, then both slots.
Cells Laid(const PatternCell& c) {
    return {c.note,
            c.instrument,
            CellTiming(c),
            CellCommand(c, 0),
            CellParameter(c, 0),
            CellCommand(c, 1),
            CellParameter(c, 1)};
}

struct EarlierFiles : ::testing::Test {
    std::unique_ptr<AppState> app = MakeTestApp();
    void SetUp() override {
        if constexpr (!profile::kEarlierBuild) GTEST_SKIP() << "the earlier build only";
    }
};

TEST_F(EarlierFiles, CellsGetTheTimingByteAndTwoSlots) {
    // ProTracker: the channel pans are dropped; delay and cut with a tick move
    // into the timing byte, a tick of 0 stays a command.
    ModSpec spec;
    spec.cells = {{0, 0, 0, 428, 1, 0xE, 0xD3},
                  {0, 1, 1, 428, 1, 0xE, 0xC5},
                  {0, 2, 2, 428, 1, 0xE, 0xD0},
                  {0, 3, 3, 0, 0, 0xC, 0x20}};
    ImportModData(*app, ByteReader(WriteMod(spec)));
    const Song& song = app->song;
    EXPECT_EQ(Laid(song.patterns[0].cells[0][0]), (Cells{49, 1, 0x03, 0, 0, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[1][1]), (Cells{49, 1, 0x50, 0, 0, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[2][2]), (Cells{49, 1, 0, 14, 0xD0, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[3][3]), (Cells{0, 0, 0, 12, 0x20, 0, 0}));
    EXPECT_EQ(CellBytes(song.patterns[0].cells[3][3])[7], 0);  // the unused byte

    // FastTracker 2: the volume column in slot 1, the effect in slot 2; a
    // volume-column pan is dropped; delay and cut of either move.
    XmSpec xm;
    xm.patterns = {{4,
                    {{0, 0, 49, 1, 0x30, 0x0E, 0xC2},
                     {1, 0, 49, 1, 0xC8, 0x0F, 0x06},
                     {2, 0, 49, 1, 0x00, 0x0E, 0xD4}}}};
    ImportXmData(*app, ByteReader(WriteXm(xm)));
    EXPECT_EQ(Laid(song.patterns[0].cells[0][0]), (Cells{49, 1, 0x20, 12, 0x20, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[1][0]), (Cells{49, 1, 0, 0, 0, 15, 0x06}));
    EXPECT_EQ(Laid(song.patterns[0].cells[2][0]), (Cells{49, 1, 0x04, 0, 0, 0, 0}));

    // Oktalyzer: no pair pans, its effect in slot 1; the pan switch takes the
    // side of each track's pair, split pairs included.
    OktSpec okt;
    okt.pairFlags = {1, 0, 0, 1};
    okt.patterns = {{1, {{1, 0, 1, 0x12}}}};
    ImportOktData(*app, ByteReader(WriteOkt(okt)));
    EXPECT_EQ(Laid(song.patterns[0].cells[0][0]), (Cells{37, 1, 0, 1, 0x12, 0, 0}));
    EXPECT_EQ(Laid(song.patterns[0].cells[0][1]), (Cells{0, 0, 0, 0, 0, 0, 0}));
    const uint8_t sides[6] = {kPanSwitchLeft, kPanSwitchLeft, kPanSwitchRight, kPanSwitchRight,
                              kPanSwitchLeft, kPanSwitchLeft};
    for (int t = 0; t < 6; ++t) EXPECT_EQ(song.tracks[t].reserved2, sides[t]) << t;
}

}  // namespace
}  // namespace zelmora
