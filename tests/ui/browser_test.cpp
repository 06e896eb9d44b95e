#include "ui/browser.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "platform/folder_chooser.h"
#include "platform/platform.h"
#include "support/test_support.h"
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

class BrowserTest : public ::testing::Test {
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

    static inline std::vector<CursorShape> cursors;
    std::unique_ptr<AppState> app = MakeTestApp();
    std::string folder = MakeTempDir();
};

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
