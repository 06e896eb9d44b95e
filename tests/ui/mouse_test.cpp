// The mouse over the panels and the pages, and the file browser it drives.
#include "ui/mouse.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "audio/fake_drivers.h"
#include "formats/importers.h"
#include "platform/folder_chooser.h"
#include "platform/platform.h"
#include "support/test_support.h"
#include "ui/browser.h"
#include "ui/shell_services.h"
#include "ui/ui_input.h"

namespace zelmora {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const AppState& app) {
    std::vector<std::string> names;
    for (const BrowserEntry& e : app.browserList) names.push_back(e.name);
    return names;
}

// The browser lists an empty folder of its own; the shell's cursor changes are kept.
class MouseTest : public ::testing::Test {
protected:
    void SetUp() override {
        Shell() = ShellServices{};
        cursors.clear();
        Shell().setCursor = [](CursorShape s) { cursors.push_back(s); };
        SetBrowserFolder(*app, folder);
        ListFolder(*app);
        cursors.clear();
    }
    void TearDown() override {
        Shell() = ShellServices{};
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void Touch(const std::string& name, std::size_t bytes = 1) {
        WriteFile(folder + "/" + name, std::vector<uint8_t>(bytes, 0));
    }
    // A double click as the window delivers it: a click, then one marked double.
    void DoubleClick(int x, int y) { Click(*app, x, y), Click(*app, x, y, 0, true); }
    // A list of nameless entries.
    void Entries(int count) {
        app->browserList.assign(static_cast<std::size_t>(count), BrowserEntry{});
        app->browserCount = count;
        app->browserScroll = 0;
    }

    static inline std::vector<CursorShape> cursors;
    std::unique_ptr<AppState> app = MakeTestApp();
    Song& song = app->song;
    std::string folder = MakeTempDir();
};
using BrowserTest = MouseTest;

// A gesture over a control and the one value it changes: a click (a right
// click is button 1), a drag by some pixels, which moves the value a unit a
// pixel within its clamps, or a turn of the wheel.
TEST_F(MouseTest, GesturesChangeTheirValueWithinItsClamps) {
    enum Kind { kClick, kRightClick, kDrag, kWheel };
    struct Case {
        const char* what;
        int page, x, y;
        Kind kind;
        int amount;  // pixels dragged (up below 0), or the wheel's delta
        std::function<void(AppState&)> before;
        std::function<int(const AppState&)> value;
        int expected;
    };
    auto tempo = [](const AppState& a) { return int(a.song.tempo); };
    auto position = [](const AppState& a) { return int(a.song.orderPosition); };
    auto scroll = [](const AppState& a) { return a.browserScroll; };
    auto page = [](const AppState& a) { return a.screenPage; };
    auto playMode = [](const AppState& a) { return int(a.transport.playMode); };
    auto tab = [](const AppState& a) { return a.envelopeTab; };
    auto band3 = [](const AppState& a) { return int(a.song.eqGains[3]); };
    auto row = [](const AppState& a) { return a.transport.row; };
    auto firstInstrument = [](const AppState& a) { return a.firstShownInstrument; };
    auto instrument = [](const AppState& a) { return a.currentInstrument; };
    auto sample = [](const AppState& a) { return a.currentSample; };
    auto fortyOrders = [](AppState& a) { a.song.lastOrder = 40; };
    auto row3 = [](AppState& a) { a.transport.row = 3; };
    const Case cases[] = {
        {"tempo up 10", 1, 60, 210, kDrag, -10, nullptr, tempo, 135},
        {"tempo arrow", 1, 92, 210, kClick, 0, nullptr, tempo, 126},
        {"edit step ceiling", 1, 60, 260, kDrag, -40, nullptr,
         [](const AppState& a) { return int(a.song.editStep); }, 16},
        {"position down 10", 1, 70, 18, kDrag, 10, fortyOrders, position, 10},
        {"position stops at the last order", 1, 70, 18, kDrag, 99, fortyOrders, position, 40},
        {"last order never below the position or restart", 1, 70, 50, kDrag, 99,
         [](AppState& a) { a.song.lastOrder = 40, a.song.orderPosition = 12, a.song.restartOrder = 7; },
         [](const AppState& a) { return int(a.song.lastOrder); }, 12},
        {"order list wheel", 1, 100, 150, kWheel, 240,
         [](AppState& a) { a.song.lastOrder = 10, a.song.orderPosition = 5; }, position, 3},
        {"instrument bar", 1, 200, 40, kDrag, 500, nullptr, firstInstrument, 244},
        {"instrument wheel down to 0", 1, 250, 50, kWheel, 120 * 5, nullptr, firstInstrument, 0},
        {"instrument row 3", 1, 250, 16 + 36, kClick, 0, nullptr, instrument, 4},
        {"sample wheel to the last", 1, 250, 200, kWheel, -120 * 300, nullptr,
         [](const AppState& a) { return a.firstShownSample; }, 248},
        {"region row 7", 1, 250, 176 + 84, kRightClick, 0, nullptr, sample, 7},
        {"pattern wheel, less than a notch", 1, 300, 400, kWheel, -119, row3, row, 3},
        {"pattern wheel to the last row", 1, 300, 400, kWheel, -120 * 100, row3, row, 63},
        {"browser bar, 40 entries", 1, 505, 60, kDrag, 100, nullptr, scroll, 22},
        {"browser bar, 17 entries", 1, 505, 60, kDrag, 100, [](AppState& a) { a.browserCount = 17; }, scroll,
         0},
        {"browser wheel off its page", 0, 600, 100, kWheel, -120, nullptr, scroll, 0},
        // The earlier toolbar offers only Setup and Browser (page 1 stays).
        {"toolbar: Master", 1, 440, 16 + 80, kClick, 0, nullptr, page, profile::kAllPages ? 5 : 1},
        {"toolbar: Setup", 1, 440, 16 + 8, kClick, 0, nullptr, page, 0},
        {"play song", 1, 130, 215, kClick, 0, nullptr, playMode, kPlaySong},
        {"play pattern", 1, 160, 215, kClick, 0, nullptr, playMode, kPlayPattern},
        // Page rows answer only while their page is shown.
        {"envelope tab off its page", 1, 800, 24, kClick, 0, nullptr, tab, 0},
        {"envelope tab 2", 2, 763 + 87 * 2 + 3, 24, kClick, 0, nullptr, tab, 2},
        // Band 3's knob stands at 60 - gain: with a gain of 10 at y = 50. The
        // earlier build has no equaliser: its faders do nothing.
        {"fader up", 5, 530 + 63 + 4, 52, kDrag, -40, [](AppState& a) { a.song.eqGains[3] = 10; }, band3,
         profile::kMasterSection ? 32 : 10},
        {"fader on another page", 1, 530 + 63 + 4, 62, kDrag, -10, nullptr, band3, 0},
    };
    for (const Case& c : cases) {
        app->NewSong();
        Entries(40);
        app->screenPage = c.page;
        if (c.before) c.before(*app);
        const int before = c.value(*app);
        if (c.kind == kDrag) {
            MouseDown(*app, c.x, c.y, 0, false);
            EXPECT_EQ(c.value(*app), before) << c.what << ": a press alone changes nothing";
            MouseUp(*app, c.x, c.y, 0);
            DragBy(*app, c.x, c.y, c.amount);
        } else if (c.kind == kWheel) {
            MouseWheel(*app, c.x, c.y, c.amount);
        } else {
            Click(*app, c.x, c.y, c.kind == kRightClick ? 1 : 0);
        }
        EXPECT_EQ(c.value(*app), c.expected) << c.what;
        EXPECT_EQ(app->pressedControl, 0) << c.what;
    }
    StopPlayer(*app);
    app->screenPage = 5;  // the equaliser's switch turns it on and off
    Click(*app, 860, 5);
    EXPECT_EQ(song.eqOn, profile::kMasterSection ? 1 : 0);
    Click(*app, 860, 5);
    EXPECT_EQ(song.eqOn, 0);
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
        EXPECT_EQ(cursors.back(), p.control ? CursorShape::kControl : CursorShape::kArrow);
    }
}

// A state lists the working folder as it is made; a working folder that is
// gone gives the home folder.
TEST_F(BrowserTest, TheStateListsTheWorkingFolderAsItIsMade) {
    auto fresh = MakeTestApp();
    const int count = fresh->browserCount;
    EXPECT_GT(count, 0);
    ListFolder(*fresh);
    EXPECT_EQ(fresh->browserCount, count);
#ifndef _WIN32
    const fs::path before = fs::current_path();
    const std::string gone = MakeTempDir();
    fs::current_path(gone);
    fs::remove(gone);
    fresh = MakeTestApp();
    fs::current_path(before);
    EXPECT_EQ(std::string(fresh->browserFolder), HomeFolder());
    EXPECT_FALSE(HomeFolder().empty());
#endif
}

TEST_F(BrowserTest, ParentFolderCutsAtTheLastSeparatorKeepingARoot) {
    const bool windows = PathSeparator() == '\\';
    const char* cases[][2] = {
        {"/home/user", "/home"}, {"/home", "/"}, {"/", "/"}, {"/home/user/", "/home/user"}, {"music", "music"},
        // A backslash separates on Windows only; elsewhere it is part of a name.
        {"C:\\Music", windows ? "C:" : "C:\\Music"}, {"C:", "C:"}, {"C:\\", windows ? "C:" : "C:\\"},
        {"/music/a\\b", windows ? "/music/a" : "/music"},
    };
    for (const auto& c : cases) {
        SetBrowserFolder(*app, c[0]);
        ParentFolder(*app);
        EXPECT_STREQ(app->browserFolder, c[1]) << c[0];
    }
}

TEST_F(BrowserTest, DoubleClicksEnterFoldersAndOpenFilesThroughTheImport) {
    fs::create_directory(folder + "/songs");
    SetBrowserFolder(*app, folder + "/songs");
    SetName(app->song.name, "kept");
    SaveModule(*app);
    SetBrowserFolder(*app, folder);
    WriteFile(folder + "/songs/notes.txt", {1, 2, 3});
    ListFolder(*app);

    MouseDown(*app, 600, 40, 0, false);  // a single click selects only
    EXPECT_EQ(app->browserSelection, 0);
    EXPECT_STREQ(app->browserFolder, folder.c_str());
    DoubleClick(600, 40);
    EXPECT_EQ(std::string(app->browserFolder), folder + PathSeparator() + "songs");
    EXPECT_EQ(app->browserCount, 2);
    EXPECT_EQ(app->browserSelection, -1);
    EXPECT_EQ(cursors.back(), CursorShape::kControl) << "the hourglass goes again";

    MouseDown(*app, 600, 80, 0, false);  // below the last entry: selection kept
    EXPECT_EQ(app->browserSelection, -1);
    // The row of a name, whatever order the system lists in.
    auto rowOf = [&](const char* name) {
        const std::vector<std::string> names = Names(*app);
        return 36 + 12 * int(std::find(names.begin(), names.end(), name) - names.begin()) + 4;
    };
    DoubleClick(600, rowOf("notes.txt"));
    EXPECT_STREQ(app->statusLine, profile::kNotSupported);
    SetName(app->song.name, "changed");
    DoubleClick(600, rowOf("kept.zmo"));  // the earlier build has no own module format
    EXPECT_STREQ(app->statusLine, profile::kOwnModuleFormat ? "Zelmora Module Loaded." : profile::kNotSupported);
    EXPECT_STREQ(app->song.name, profile::kOwnModuleFormat ? "kept" : "changed");
}

TEST_F(BrowserTest, ScrollingOnlyWithMoreThanEighteenEntries) {
    for (int count : {17, 40}) {
        fs::remove_all(folder);
        fs::create_directory(folder);
        for (int i = 0; i < count; ++i) Touch("f" + std::to_string(100 + i));
        ListFolder(*app);
        const int top = count > 18 ? count - 18 : 0;
        Hold(*app, 505, 245, 80);  // down arrow, held well past the end
        EXPECT_EQ(app->browserScroll, top) << count;
        MouseWheel(*app, 700, 100, -120 * 30);  // the wheel, past the end too
        EXPECT_EQ(app->browserScroll, top) << count;
        MouseWheel(*app, 700, 100, 120 * 3);
        EXPECT_EQ(app->browserScroll, count > 18 ? top - 3 : 0) << count;
        MouseDown(*app, 600, 40, 0, false);  // the top row is the scrolled-to entry
        EXPECT_EQ(app->browserSelection, app->browserScroll) << count;
    }
}

TEST_F(BrowserTest, SaveButtonSavesIntoTheFolderAndListsItAfterEveryAttempt) {
    SetName(app->song.name, "tune  ");
    if constexpr (!profile::kOwnModuleFormat) {  // the earlier build has no save button
        Click(*app, 800, 260);
        EXPECT_STREQ(app->statusLine, profile::kReadyStatus);
        EXPECT_EQ(app->browserCount, 0);
        EXPECT_TRUE(fs::is_empty(folder));
        return;
    }
    MouseDown(*app, 800, 260, 0, false);
    EXPECT_EQ(app->browserCount, 0) << "saved at the release";
    MouseUp(*app, 800, 260, 0);
    EXPECT_STREQ(app->statusLine, "Zelmora Module Saved.");
    EXPECT_EQ(Names(*app), std::vector<std::string>{"tune  .zmo"});

    SetName(app->song.name, "../out");
    app->browserSelection = 0;
    Click(*app, 800, 260);
    EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.");
    EXPECT_EQ(app->browserSelection, -1) << "listed again";
    EXPECT_EQ(app->browserCount, 1);
}

#ifndef _WIN32
// POSIX file systems list in no particular order; the listing sorts by name.
TEST_F(BrowserTest, ListsFoldersFirstEachSortedIgnoringCaseWithoutDotNames) {
    for (const char* name : {"zeta", "Alpha", ".svn", "beta"}) fs::create_directory(folder + "/" + name);
    Touch("b.mod", 1023);
    Touch("A.xm");
    Touch(".config");
    Touch("c.S3M", 4096);
    app->browserSelection = 3;
    app->browserScroll = 2;
    ListFolder(*app);
    EXPECT_EQ(Names(*app), (std::vector<std::string>{"Alpha", "beta", "zeta", "A.xm", "b.mod", "c.S3M"}));
    EXPECT_EQ(app->browserCount, 6);
    EXPECT_TRUE(app->browserList[2].directory);
    EXPECT_FALSE(app->browserList[3].directory);
    EXPECT_EQ(app->browserList[4].sizeLow, 1023u);
    EXPECT_EQ(app->browserSelection, -1);
    EXPECT_EQ(app->browserScroll, 0);
    ASSERT_FALSE(cursors.empty());
    EXPECT_EQ(cursors.front(), CursorShape::kHourglass);

    SetBrowserFolder(*app, folder + "/missing");  // cannot be searched: empty, nothing said
    ListFolder(*app);
    EXPECT_EQ(app->browserCount, 0);
    EXPECT_TRUE(app->browserList.empty());
}

TEST_F(BrowserTest, PathsPastTheLimitAreRefusedNotCut) {
    // A folder name that fits on its own but not joined to the folder.
    const std::string deep(255, 'd');
    ASSERT_EQ(::mkdir((folder + "/" + deep).c_str(), 0700), 0);
    Touch(std::string(250, 'f'));
    ListFolder(*app);
    ASSERT_EQ(app->browserCount, 2);
    for (int index : {0, 1}) {
        SetStatus(*app, "Ready.");
        OpenBrowserEntry(*app, index);
        EXPECT_STREQ(app->statusLine, "Error: Path Too Long.");
        EXPECT_STREQ(app->browserFolder, folder.c_str());
    }
}

// A stand-in chooser program on PATH: prints its answer and exits with a code.
void WriteChooser(const std::string& bin, const char* name, const std::string& body) {
    const std::string path = bin + "/" + name;
    const std::string text = "#!/bin/sh\n" + body + "\n";
    WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    ::chmod(path.c_str(), 0755);
}

TEST_F(BrowserTest, ChooseFolderTakesTheChosenFolderAndLeavesACancelAlone) {
    EXPECT_FALSE(Shell().chooseFolder);
    ChooseFolder(*app);
    EXPECT_STREQ(app->statusLine, "Error: No Folder Chooser Available.");

    const std::string bin = MakeTempDir();
    const std::string chosen = MakeTempDir();
    WriteFile(chosen + "/picked.mod", {0});
    const char* savedPath = std::getenv("PATH");
    const std::string oldPath = savedPath ? savedPath : "";
    setenv("PATH", bin.c_str(), 1);
    Shell().chooseFolder = ChooseFolderPosix;
    struct Case {
        const char* program;
        std::string body;
        std::string folder;  // BrowserFolder afterwards
        const char* status;
    };
    const Case cases[] = {
        {nullptr, "", folder, "Error: No Folder Chooser Available (Install zenity Or kdialog)."},
        {"kdialog", "echo \"" + chosen + "\"", chosen, "Ready."},
        {"zenity", "exit 1", folder, "Ready."},  // cancelled: nothing changes
        {"zenity", "echo \"" + chosen + "\"; exit 0", chosen, "Ready."},
        {"zenity", "printf '/%0300d\\n' 0", folder, "Error: Path Too Long."},
    };
    for (const Case& c : cases) {
        if (c.program) WriteChooser(bin, c.program, c.body);
        SetBrowserFolder(*app, folder);
        app->browserCount = 7;
        SetStatus(*app, "Ready.");
        Click(*app, 995, 20);
        EXPECT_EQ(app->browserFolder, c.folder) << c.body;
        EXPECT_STREQ(app->statusLine, c.status) << c.body;
        EXPECT_EQ(app->browserCount, c.folder == chosen ? 1 : 7) << c.body;
    }
    setenv("PATH", oldPath.c_str(), 1);
}
#endif

}  // namespace
}  // namespace zelmora
