#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/lifecycle.h"
#include "app/settings.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_mod.h"

namespace zelmora {
namespace {

TEST(Settings, DefaultsShortFilesAndRoundTrip) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/sub/zelmora.set";
    AppSettings s = ReadSettingsFile(path);  // first run: no file
    EXPECT_EQ(s.driverIndex, 0);
    EXPECT_EQ(s.inputRight, 1);
    EXPECT_EQ(s.outputRight, 1);
    EXPECT_EQ(s.sampleRate, 44100.0);
    EXPECT_EQ(s.keyboardLayout, 0);

    s.driverIndex = 3;
    s.outputLeft = 5;
    s.sampleRate = 48000.0;
    s.keyboardLayout = 2;
    WriteSettingsFile(path, s);  // creates the folder
    ASSERT_EQ(std::filesystem::file_size(path), 18u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    const uint8_t expected[18] = {3, 0, 1, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x70, 0xE7, 0x40, 2, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), expected, 18), 0);
    const AppSettings back = ReadSettingsFile(path);
    EXPECT_EQ(back.driverIndex, 3);
    EXPECT_EQ(back.sampleRate, 48000.0);
    EXPECT_EQ(back.keyboardLayout, 2);

    bytes.resize(16);  // a 16-byte file keeps the layout default
    WriteFile(path, bytes);
    EXPECT_EQ(ReadSettingsFile(path).keyboardLayout, 0);
    EXPECT_EQ(ReadSettingsFile(path).sampleRate, 48000.0);
    bytes.resize(3);
    WriteFile(path, bytes);
    EXPECT_EQ(ReadSettingsFile(path).outputRight, 1);
    EXPECT_EQ(ReadSettingsFile(path).inputRight, 1);

    WriteSettingsFile(dir + "/missing/\0/x", s);  // unwritable: silent
}

TEST(Settings, UnusableValuesFallBackToDefaults) {
    AppSettings bad;
    bad.inputLeft = 64;
    bad.inputRight = 200;
    bad.outputLeft = 63;
    bad.outputRight = 255;
    bad.keyboardLayout = 3;
    for (double rate : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 0.0,
                        -44100.0}) {
        bad.sampleRate = rate;
        uint8_t bytes[18];
        EncodeSettings(bad, bytes);
        const AppSettings s = DecodeSettings(bytes, sizeof bytes);
        EXPECT_EQ(s.inputLeft, 0);
        EXPECT_EQ(s.inputRight, 1);
        EXPECT_EQ(s.outputLeft, 63);
        EXPECT_EQ(s.outputRight, 1);
        EXPECT_EQ(s.keyboardLayout, 0);
        EXPECT_EQ(s.sampleRate, 44100.0);
    }
}

TEST(Settings, PathRules) {
    EXPECT_EQ(SettingsPathFromExecutable("C:\\Music\\zelmora.exe"), "C:\\Music\\zelmora.set");
    EXPECT_EQ(SettingsPathFromExecutable("C:\\Music\\zelmora.bin"), "C:\\Music\\zelmora.set");
    EXPECT_EQ(SettingsPathFromConfigHome("/cfg", "/home/u"), "/cfg/zelmora/zelmora.set");
    EXPECT_EQ(SettingsPathFromConfigHome("", "/home/u"), "/home/u/.config/zelmora/zelmora.set");
    EXPECT_EQ(SettingsPathFromConfigHome(nullptr, "/home/u"), "/home/u/.config/zelmora/zelmora.set");
}

TEST(StatusLine, WritesAreBoundedAndTerminated) {
    auto app = MakeTestApp();
    std::memset(app->statusLine, 'x', sizeof app->statusLine);
    const std::string longText(500, 'a');
    SetStatus(*app, "%s", longText.c_str());
    EXPECT_EQ(std::strlen(app->statusLine), 127u);
    char small[4];
    FormatBounded(small, sizeof small, "%d", 123456);
    EXPECT_STREQ(small, "123");
}

TEST(ByteReader, BoundedReadsZeroFillAndFlag) {
    const std::vector<uint8_t> data = {0x01, 0x02, 0x03, 0x04, 0x05};
    ByteReader r(data);
    EXPECT_EQ(r.U16LE(), 0x0201);
    EXPECT_EQ(r.U16BE(), 0x0304);
    EXPECT_FALSE(r.Truncated());
    EXPECT_EQ(r.U32LE(), 0x05u);  // one byte there, three zeros
    EXPECT_TRUE(r.Truncated());
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(r.U8(), 0);

    ByteReader s(data);
    s.Seek(1);
    ByteReader sub = s.Sub(2);
    EXPECT_EQ(sub.Size(), 2u);
    EXPECT_EQ(sub.U32BE(), 0x02030000u);
    EXPECT_TRUE(sub.Truncated());
    EXPECT_FALSE(s.Truncated());
    EXPECT_EQ(s.U8(), 0x04);
    s.Seek(100);
    EXPECT_TRUE(s.Truncated());
    EXPECT_EQ(s.Position(), 5u);
    char field[4];
    ByteReader t(data);
    t.ReadField(field, 6);  // longer than the field: the rest is skipped
    EXPECT_EQ(field[3], 0x04);
    EXPECT_TRUE(t.Truncated());
}

TEST(ImportFile, ChoosesTheLoaderByTheLastThreeCharacters) {
    const std::string dir = MakeTempDir();
    auto app = MakeTestApp();
    ModSpec spec;
    const std::string upper = dir + "/Tune.MOD";
    WriteFile(upper, WriteMod(spec));
    std::string path = upper;
    ImportFile(*app, path.data());
    std::string lowered = dir + "/tune.mod";
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(path, lowered);  // the caller's buffer is lower-cased
    EXPECT_STREQ(app->statusLine, "Protracker Module Loaded. (1 Orders, 1 Patterns)");

    for (const char* name : {"/song.midi", "/x", "/ab", "/song.zm"}) {
        std::string p = dir + name;
        app->song.tempo = 111;
        ImportFile(*app, p.data());
        EXPECT_STREQ(app->statusLine, "Error: Not Supported Fileformat.") << name;
        EXPECT_EQ(app->song.tempo, 111);
    }
    std::string tooShort = "md";
    ImportFile(*app, tooShort.data());
    EXPECT_STREQ(app->statusLine, "Error: Not Supported Fileformat.");

    std::string missing = dir + "/absent.mod";
    ImportFile(*app, missing.data());
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_EQ(app->song.tempo, 111);

    // The content is not sniffed: a ProTracker file named .zmo is not a module file.
    const std::string disguised = dir + "/tune.zmo";
    WriteFile(disguised, WriteMod(spec));
    std::string d = disguised;
    ImportFile(*app, d.data());
    EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.");
}

}  // namespace
}  // namespace zelmora

namespace zelmora {
namespace {

TEST(Lifecycle, PublishesReadsAndWritesTheSettings) {
    const std::string path = MakeTempDir() + "/zelmora.set";
    AppState::Options options;
    options.measureCycleRate = false;
    auto app = StartUpState(path, options);
    ASSERT_TRUE(app);
    EXPECT_EQ(AppState::instance, app.get());
    EXPECT_EQ(app->settings.sampleRate, 44100.0);
    app->settings.sampleRate = 96000.0;  // as a driver would report
    ShutDownState(app, path);
    EXPECT_EQ(AppState::instance, nullptr);
    EXPECT_FALSE(app);
    EXPECT_EQ(std::filesystem::file_size(path), 18u);
    auto again = StartUpState(path, options);
    EXPECT_EQ(again->settings.sampleRate, 96000.0);
    ShutDownState(again, path);
}

}  // namespace
}  // namespace zelmora
