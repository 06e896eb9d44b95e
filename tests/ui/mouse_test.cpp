#include "ui/mouse.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "audio/fake_drivers.h"
#include "support/test_support.h"
#include "ui/shell_services.h"
#include "ui/ui_input.h"

namespace zelmora {
namespace {

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override { Shell() = ShellServices{}; }
    void TearDown() override { Shell() = ShellServices{}; }

    void Entries(int count) {
        app->browserList.assign(static_cast<std::size_t>(count), BrowserEntry{});
        app->browserCount = count;
        app->browserScroll = 0;
    }

    std::unique_ptr<AppState> app = MakeTestApp();
    Song& song = app->song;
};

TEST_F(MouseTest, DragsMoveOneUnitPerPixelWithinTheirClamps) {
    struct Case {
        const char* what;
        int x, y, dy;
        std::function<void(AppState&)> before;
        std::function<int(const AppState&)> value;
        int expected;
    };
    auto tempo = [](const AppState& a) { return int(a.song.tempo); };
    auto position = [](const AppState& a) { return int(a.song.orderPosition); };
    auto lastOrder = [](const AppState& a) { return int(a.song.lastOrder); };
    auto scroll = [](const AppState& a) { return int(a.browserScroll); };
    const Case cases[] = {
        {"tempo up 10", 60, 210, -10, nullptr, tempo, 135},
        {"edit step ceiling", 60, 260, -40, nullptr, [](const AppState& a) { return int(a.song.editStep); },
         16},
        {"position down 10", 70, 18, 10, [](AppState& a) { a.song.lastOrder = 40; }, position, 10},
        {"position stops at the last order", 70, 18, 99, [](AppState& a) { a.song.lastOrder = 40; }, position,
         40},
        {"last order never below the position or restart", 70, 50, 99,
         [](AppState& a) { a.song.lastOrder = 40, a.song.orderPosition = 12, a.song.restartOrder = 7; },
         lastOrder, 12},
        {"instrument bar", 200, 40, 500, nullptr, [](const AppState& a) { return a.firstShownInstrument; },
         244},
        {"browser bar, 40 entries", 505, 60, 100, nullptr, scroll, 22},
        {"browser bar, 17 entries", 505, 60, 100, [](AppState& a) { a.browserCount = 17; }, scroll, 0},
        // Band 3's knob stands at 60 - gain: with a gain of 10 at y = 50. The
        // earlier build has no equaliser: its faders do nothing.
        {"fader up", 530 + 63 + 4, 52, -40, [](AppState& a) { a.screenPage = 5, a.song.eqGains[3] = 10; },
         [](const AppState& a) { return int(a.song.eqGains[3]); }, profile::kMasterSection ? 32 : 10},
        {"fader on another page", 530 + 63 + 4, 62, -10, nullptr,
         [](const AppState& a) { return int(a.song.eqGains[3]); }, 0},
    };
    for (const Case& c : cases) {
        app->NewSong();
        Entries(40);
        if (c.before) c.before(*app);
        const int before = c.value(*app);
        MouseDown(*app, c.x, c.y, 0, false);
        EXPECT_EQ(c.value(*app), before) << c.what << ": a press alone changes nothing";
        MouseUp(*app, c.x, c.y, 0);
        DragBy(*app, c.x, c.y, c.dy);
        EXPECT_EQ(c.value(*app), c.expected) << c.what;
        EXPECT_EQ(app->pressedControl, 0);
    }
}

TEST_F(MouseTest, ClicksAndHeldButtonsOnTheOrderList) {
    song.lastOrder = 3;
    song.orderPosition = 1;
    song.orders[1] = 0x05;
    // The rows show orders position - 4 .. + 4: order 1 in the fifth row (y 132).
    Click(*app, 52, 133, 1);  // right click on the high digit: 05 - 16 clamps to 00
    EXPECT_EQ(song.orders[1], 0x00);
    song.orders[1] = 0x05;
    Click(*app, 52, 133, 0);
    EXPECT_EQ(song.orders[1], 0x15);
    Click(*app, 62, 145, 1);  // order 2's low digit, right button
    EXPECT_EQ(song.orders[2], 0);
    Click(*app, 30, 157);  // order 3 becomes the position
    EXPECT_EQ(song.orderPosition, 3);
    Click(*app, 30, 181);  // the row of order 5, which does not exist
    EXPECT_EQ(song.orderPosition, 3);

    Click(*app, 160, 150);  // delete on the last order does nothing
    EXPECT_EQ(song.lastOrder, 3);
    song.orderPosition = 1;
    song.restartOrder = 3;
    Click(*app, 160, 150);
    EXPECT_EQ(std::make_tuple(song.lastOrder, song.restartOrder), std::make_tuple(2, 2));

    // Insert held for a second: once at the press, then from the 16th tick,
    // 48 in all; held on, it stops at 256 orders.
    song.orders[1] = 9;
    Hold(*app, 160, 120, 62);
    EXPECT_EQ(song.lastOrder, 2 + 48);
    for (int i = 1; i <= 49; ++i) ASSERT_EQ(song.orders[i], 9) << i;
    Hold(*app, 160, 120, 400);
    EXPECT_EQ(song.lastOrder, 255);

    Click(*app, 160, 165);  // fill
    for (int i = 0; i <= 255; ++i) ASSERT_EQ(song.orders[i], i);
    Click(*app, 92, 50);  // last order +1 at 255
    EXPECT_EQ(song.lastOrder, 255);
    song.orderPosition = 255;
    Click(*app, 108, 50);  // last order -1 below the position
    EXPECT_EQ(song.lastOrder, 255);
}

TEST_F(MouseTest, SequencerListsToolbarPagesAndTransport) {
    struct Case {
        const char* what;
        int page, x, y, button;
        std::function<int(const AppState&)> value;
        int expected;
    };
    auto page = [](const AppState& a) { return a.screenPage; };
    auto playMode = [](const AppState& a) { return int(a.transport.playMode); };
    auto tab = [](const AppState& a) { return a.envelopeTab; };
    const Case cases[] = {
        {"tempo arrow", 1, 92, 210, 0, [](const AppState& a) { return int(a.song.tempo); }, 126},
        {"instrument row 3", 1, 250, 16 + 36, 0, [](const AppState& a) { return a.currentInstrument; }, 4},
        {"region row 7", 1, 250, 176 + 84, 1, [](const AppState& a) { return a.currentSample; }, 7},
        // The earlier toolbar offers only Setup and Browser (page 1 stays).
        {"toolbar: Master", 1, 440, 16 + 80, 0, page, profile::kAllPages ? 5 : 1},
        {"toolbar: Setup", 1, 440, 16 + 8, 0, page, 0},
        {"play song", 1, 130, 215, 0, playMode, kPlaySong},
        {"play pattern", 1, 160, 215, 0, playMode, kPlayPattern},
        // Page rows answer only while their page is shown.
        {"envelope tab off its page", 1, 800, 24, 0, tab, 0},
        {"envelope tab 2", 2, 763 + 87 * 2 + 3, 24, 0, tab, 2},
    };
    for (const Case& c : cases) {
        app->NewSong();
        app->screenPage = c.page;
        Click(*app, c.x, c.y, c.button);
        EXPECT_EQ(c.value(*app), c.expected) << c.what;
    }
    StopPlayer(*app);
    app->screenPage = 5;
    Click(*app, 860, 5);
    EXPECT_EQ(song.eqOn, profile::kMasterSection ? 1 : 0);
    Click(*app, 860, 5);
    EXPECT_EQ(song.eqOn, 0);
}

TEST_F(MouseTest, DoubleClicksOpenNameFieldsWithTheCaretUnderTheMouse) {
    app->firstShownInstrument = 10;
    MouseDown(*app, 300, 16 + 12 * 2 + 5, 0, false);
    EXPECT_EQ(app->currentInstrument, 12);
    EXPECT_EQ(app->textEditTarget, nullptr);
    MouseDown(*app, 300, 16 + 12 * 2 + 5, 0, true);
    EXPECT_EQ(app->textEditTarget, song.instruments[12].name);
    EXPECT_EQ(std::make_tuple(app->textEdit.y, app->textEdit.size, app->textEdit.caret),
              std::make_tuple(18 + 24, 22, (300 - 243) / 7));

    MouseDown(*app, 220, 176 + 12, 0, true);  // any press closes it; this one opens a sample's name
    EXPECT_EQ(app->textEditTarget, song.instruments[12].samples[1].name);
    MouseDown(*app, 600, 260, 0, false);  // the song name on the Browser page
    EXPECT_EQ(app->textEditTarget, song.name);
    EXPECT_EQ(app->textEdit.size, 32);
    MouseDown(*app, 300, 300, 0, false);
    EXPECT_EQ(app->textEditTarget, nullptr);
}

TEST_F(MouseTest, WheelScrollsEveryAreaUnderTheMouse) {
    song.lastOrder = 10;
    song.orderPosition = 5;
    app->transport.row = 3;
    MouseWheel(*app, 100, 150, 240);
    EXPECT_EQ(song.orderPosition, 3);
    MouseWheel(*app, 250, 50, 120 * 5);  // the wheel reaches instrument 0
    EXPECT_EQ(app->firstShownInstrument, 0);
    MouseWheel(*app, 250, 200, -120 * 300);
    EXPECT_EQ(app->firstShownSample, 248);
    MouseWheel(*app, 300, 400, -119);  // less than a notch
    EXPECT_EQ(app->transport.row, 3);
    MouseWheel(*app, 300, 400, -120 * 100);
    EXPECT_EQ(app->transport.row, 63);

    Entries(40);  // the browser's list (scrolled in the browser tests) answers only on its page
    app->screenPage = 0;
    MouseWheel(*app, 600, 100, -120);
    EXPECT_EQ(app->browserScroll, 0);
}

TEST_F(MouseTest, SetupActsAtReleaseAndRoutingRepeatsWithinTheDriversChannels) {
    testing::MemoryRegistry registry;
    registry.AddDriver("One", "{12345678-1234-1234-1234-123456789abc}", "One", "s.dll");
    registry.AddDriver("Two", "{12345678-1234-1234-1234-123456789abd}", "Two", "s.dll");
    registry.files = {"s.dll"};
    testing::ScriptedDriver one, two;
    testing::ScriptedFactory factory;
    factory.drivers = {&one, &two};
    app->driverList.Rebuild(&registry, factory);
    StartAudio(*app, nullptr);
    app->screenPage = 0;

    MouseDown(*app, 815, 20, 0, false);  // driver +1: nothing until the release
    EXPECT_EQ(std::make_tuple(app->pressedControl, app->settings.driverIndex), std::make_tuple(128, 0));
    MouseUp(*app, 815, 20, 0);
    EXPECT_EQ(std::make_tuple(app->settings.driverIndex, app->asioHost.driver), std::make_tuple(1, &two));

    Hold(*app, 815, 70, 62);  // output left +1, four outputs
    EXPECT_EQ(app->settings.outputLeft, 3);
    Hold(*app, 831, 38, 3);  // input left -1 stays at 0
    EXPECT_EQ(app->settings.inputLeft, 0);

    Click(*app, 1000, 20);  // rate up
    EXPECT_EQ(app->settings.sampleRate, 48000.0);
    Click(*app, 900, 60);
    EXPECT_EQ(two.controlPanelCalls, 1);
    StopAudio(*app);
    app.reset();  // the driver list calls the factory on its way out
}

TEST_F(MouseTest, CursorShowsOverControlsOfTheShownPageOnly) {
    static std::vector<CursorShape> shapes;
    shapes.clear();
    Shell().setCursor = [](CursorShape s) { shapes.push_back(s); };
    Entries(3);
    const struct {
        int x, y, page;
        bool control;
    } points[] = {
        {92, 20, 1, true},  {300, 400, 1, false}, {530, 40, 1, true}, {530, 80, 1, false},
        {815, 20, 0, true}, {815, 20, 1, false},  {597, 70, 5, true}, {30, 90, 1, false},
    };
    for (const auto& p : points) {
        app->screenPage = p.page;
        EXPECT_EQ(OverControl(*app, p.x, p.y), p.control) << p.x << "," << p.y;
        MouseMove(*app, p.x, p.y);
        EXPECT_EQ(shapes.back(), p.control ? CursorShape::kControl : CursorShape::kArrow);
    }
}

}  // namespace
}  // namespace zelmora
