// The engine's pattern loop (command 14 with 6y),
// the clip of values that are not numbers, NewSong's reset of the
// channel states and meters, and the one rule for usable output rates.
#include <limits>
#include <vector>

#include "engine/output_rate.h"
#include "engine_fixture.h"

namespace zelmora {
namespace {

// Plays pattern 0 in song mode and returns the rows visited, one per row start,
// until the order position wraps (a one-order song) or `limit` rows.
std::vector<int> RowsPlayed(AppState& app, int limit = 200) {
    std::vector<int> rows;
    PlayTransport(app, false, true);
    app.song.speed = 1;
    const uint64_t wraps = app.songWrapCount.load();
    while (static_cast<int>(rows.size()) < limit && app.songWrapCount.load() == wraps) {
        rows.push_back(app.transport.row);
        RenderTick(app);
    }
    return rows;
}

TEST(PatternLoop, LoopCountsAndANestedPair) {
    auto app = MakeEngineApp();
    app->song.patterns[0].lastRow = 7;
    // Track 0: rows 1..2 three times in all.
    Put(*app, 1, 0, {0, 0, 14, 0x60});
    Put(*app, 2, 0, {0, 0, 14, 0x62});
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 3, 4, 5, 6, 7}));

    // Track 1 (outer, from row 0 on, twice) around track 0 (inner, row 1..2, once more):
    // each track counts on its own, so the inner loop runs again on each outer pass.
    Put(*app, 2, 0, {0, 0, 14, 0x61});
    Put(*app, 3, 1, {0, 0, 0, 0, 14, 0x61});
    Put(*app, 0, 1, {0, 0, 0, 0, 14, 0x60});
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 2, 1, 2, 3, 0, 1, 2, 1, 2, 3, 4, 5, 6, 7}));

    // A loop start on the same row as its jump repeats that row; the loop takes
    // the third effect column too (the earlier build's cell has two).
    if constexpr (kCellEffects < 3) return;
    app->song.patterns[0] = Pattern{};
    app->song.patterns[0].lastRow = 3;
    Put(*app, 1, 2, {0, 0, 0, 0, 14, 0x60, 14, 0x63});
    app->song.trackCount = 4;
    EXPECT_EQ(RowsPlayed(*app), (std::vector<int>{0, 1, 1, 1, 1, 2, 3}));
}

TEST(PatternLoop, ScreamTrackerSbyBecomesTheLoopCommand) {
    // The importer side is checked in the S3M tests; here a loop back to a
    // start in an earlier pattern is not taken: a new pattern starts without one.
    auto app = MakeEngineApp();
    app->song.lastOrder = 1;
    app->song.orders[1] = 1;
    app->song.patterns[0].lastRow = 1;
    app->song.patterns[1].lastRow = 1;
    Put(*app, 1, 0, {0, 0, 14, 0x60});
    Put(*app, 1, 0, {0, 0, 14, 0x61}, 1);  // jumps to row 0 of pattern 1, once
    PlayTransport(*app, false, true);
    app->song.speed = 1;
    std::vector<std::pair<int, int>> visited;
    for (int i = 0; i < 6; ++i) {
        visited.emplace_back(app->song.orderPosition, app->transport.row);
        RenderTick(*app);
    }
    EXPECT_EQ(visited, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 0}, {1, 1}}));
}

TEST(MasterBusClip, NotANumberBecomesZero) {
    auto app = MakeEngineApp();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {nan, -nan, std::numeric_limits<double>::infinity(), 0.5};
    const double want[] = {0.0, 0.0, 1.0, 0.5};
    for (int i = 0; i < 4; ++i) app->mixLeft[i] = app->mixRight[i] = values[i];
    RunMasterBus(*app, 4, 44100.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(app->mixLeft[i], want[i]) << i;
        EXPECT_EQ(app->mixRight[i], want[i]) << i;
    }
    app->song.eqOn = 1;  // through the equaliser too
    for (int i = 0; i < 4; ++i) app->mixLeft[i] = app->mixRight[i] = nan;
    RunMasterBus(*app, 4, 44100.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(app->mixLeft[i], 0.0) << i;
    for (auto& band : app->masterEq) std::fill(band, band + 5, 0.0);
}

TEST(NewSong, ResetsEveryChannelFieldAndTheMeters) {
    auto app = MakeEngineApp();
    for (TrackSettings& t : app->song.tracks) {
        ChannelState& c = t.channel;
        c.instrument = c.arpeggioOffset = c.arpeggioStep = c.portamentoSpeed = 9;
        c.volume = c.pan = c.portamentoTarget = 9;
        c.vibratoSpeed = c.vibratoDepth = c.vibratoPosition = 9;
        c.tremoloSpeed = c.tremoloDepth = c.tremoloPosition = 9;
        c.loopRow = c.loopCount = 9;
        c.peakLeft = 0.9;
        c.peakRight = 0.8;
    }
    app->song.meters.cpuLoad = 0.7;
    app->song.meters.peakLeft = 0.6;
    app->NewSong();
    for (const TrackSettings& t : app->song.tracks) {
        const ChannelState& c = t.channel;
        EXPECT_EQ(std::make_tuple(c.instrument, c.volume, c.pan, c.arpeggioOffset, c.arpeggioStep,
                                  c.portamentoSpeed, c.portamentoTarget),
                  std::make_tuple(0, 64, 128, 0, 0, 0, 60));
        EXPECT_EQ(std::make_tuple(c.vibratoSpeed, c.vibratoDepth, c.vibratoPosition, c.tremoloSpeed,
                                  c.tremoloDepth, c.tremoloPosition, c.loopRow, c.loopCount),
                  std::make_tuple(0, 0, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(std::make_tuple(c.peakLeft.load(), c.peakRight.load()), std::make_tuple(0.0, 0.0));
    }
    EXPECT_EQ(app->song.meters.cpuLoad.load(), 0.0);
    EXPECT_EQ(app->song.meters.peakLeft.load(), 0.0);
}

TEST(OutputRate, OneRuleForTheEngineAndTheHost) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // rate, usable, what the render uses
    const double cases[][3] = {{44100, 1, 44100}, {8000, 1, 8000},     {768000, 1, 768000}, {7999, 0, 8000},
                               {1000, 0, 8000},   {768001, 0, 768000}, {1e6, 0, 768000},    {0, 0, 8000},
                               {-48000, 0, 8000}, {inf, 0, 768000},    {-inf, 0, 8000}};
    for (const auto& [rate, usable, used] : cases) {
        EXPECT_EQ(IsUsableOutputRate(rate), usable != 0) << rate;
        EXPECT_EQ(UsableOutputRate(rate), used) << rate;
    }
    EXPECT_FALSE(IsUsableOutputRate(nan));
    EXPECT_EQ(UsableOutputRate(nan), kLowestOutputRate);
}

}  // namespace
}  // namespace zelmora
