#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/lifecycle.h"
#include "app/profile.h"
#include "app/settings.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_mod.h"
#include "support/writers_tracker.h"

namespace zelmora {
namespace {

TEST(Settings, FileRoundTripAndShortFiles) {
    const std::string path = MakeTempDir() + "/sub/zelmora.set";
    AppSettings s = ReadSettingsFile(path);  // first run: defaults
    EXPECT_EQ(s.inputRight + s.outputRight, 2);
    EXPECT_EQ(s.sampleRate, 44100.0);
    s.driverIndex = 3;
    s.outputLeft = 5;
    s.sampleRate = 48000.0;
    s.keyboardLayout = 2;
    WriteSettingsFile(path, s);  // creates the folder
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    std::vector<uint8_t> expected = {3, 0, 1, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x70, 0xE7, 0x40, 2, 0};
    expected.resize(profile::kSettingsBytes);  // the earlier build keeps no layout byte
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(ReadSettingsFile(path).keyboardLayout, profile::kSettingsBytes > 16 ? 2 : 0);

    bytes.resize(16);  // a 16-byte file keeps the default layout
    WriteFile(path, bytes);
    EXPECT_EQ(ReadSettingsFile(path).keyboardLayout, 0);
    EXPECT_EQ(ReadSettingsFile(path).sampleRate, 48000.0);
    bytes.resize(3);
    WriteFile(path, bytes);
    EXPECT_EQ(ReadSettingsFile(path).outputRight, 1);

    // A longer file (the full build's, from the earlier build) keeps what lies
    // past this build's record: the keyboard layout is not lost.
    WriteFile(path, {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x70, 0xE7, 0x40, 2, 0, 9});
    WriteSettingsFile(path, s);
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{3, 0, 1, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x70, 0xE7, 0x40, 2, 0, 9}));
}

TEST(Settings, UnusableValuesFallBackToDefaults) {
    AppSettings bad;
    bad.inputLeft = 64;
    bad.outputLeft = 63;  // the highest usable channel stays
    bad.outputRight = 255;
    bad.keyboardLayout = 3;
    for (double rate : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 0.0,
                        -44100.0}) {
        bad.sampleRate = rate;
        uint8_t bytes[18];
        EncodeSettings(bad, bytes);
        const AppSettings s = DecodeSettings(bytes, sizeof bytes);
        EXPECT_EQ(s.inputLeft, 0);
        EXPECT_EQ(s.outputLeft, 63);
        EXPECT_EQ(s.outputRight, 1);
        EXPECT_EQ(s.keyboardLayout, 0);
        EXPECT_EQ(s.sampleRate, 44100.0);
    }
}

TEST(Settings, PathsAndLifecycle) {
    EXPECT_EQ(SettingsPathFromExecutable("C:\\Music\\zelmora.exe"), "C:\\Music\\zelmora.set");
    EXPECT_EQ(SettingsPathFromConfigHome("/cfg", "/home/u"), "/cfg/zelmora/zelmora.set");
    EXPECT_EQ(SettingsPathFromConfigHome("", "/home/u"), "/home/u/.config/zelmora/zelmora.set");
    // No executable path: no settings file at all, neither read nor written.
    EXPECT_EQ(SettingsPathFromExecutable(""), "");
    WriteSettingsFile("", AppSettings{});
    EXPECT_EQ(ReadSettingsFile("").sampleRate, 44100.0);

    const std::string path = MakeTempDir() + "/zelmora.set";
    AppState::Options options;
    options.measureCycleRate = false;
    auto app = StartUpState(path, options);
    ASSERT_TRUE(app);
    EXPECT_EQ(AppState::instance, app.get());
    app->settings.sampleRate = 96000.0;  // as a driver would report it
    ShutDownState(app, path);
    EXPECT_EQ(AppState::instance, nullptr);
    auto again = StartUpState(path, options);
    EXPECT_EQ(again->settings.sampleRate, 96000.0);
    ShutDownState(again, path);
}

TEST(StatusLine, WritesAreBoundedAndTerminated) {
    auto app = MakeTestApp();
    const std::string longText(500, 'a');
    SetStatus(*app, "%s", longText.c_str());
    EXPECT_EQ(std::strlen(app->statusLine), 127u);
}

TEST(ByteReader, ReadsPastTheEndGiveZerosAndAFlag) {
    const std::vector<uint8_t> data = {0x01, 0x02, 0x03, 0x04, 0x05};
    ByteReader r(data);
    EXPECT_EQ(r.U16LE(), 0x0201);
    EXPECT_EQ(r.U16BE(), 0x0304);
    EXPECT_FALSE(r.Truncated());
    EXPECT_EQ(r.U32LE(), 0x05u);  // one byte there, three zeros
    EXPECT_TRUE(r.Truncated());

    ByteReader s(data);
    s.Seek(1);
    ByteReader sub = s.Sub(2);
    EXPECT_EQ(sub.U32BE(), 0x02030000u);  // the sub-reader ends where its slice does
    EXPECT_FALSE(s.Truncated());
    EXPECT_EQ(s.U8(), 0x04);
    s.Seek(100);
    EXPECT_TRUE(s.Truncated());
    EXPECT_EQ(s.Position(), 5u);
}

// The loader is chosen by the name, never by the contents: its last three
// characters, in the earlier build also the first three of the file's own
// name. Messages are the full build's; the earlier build words them its way.
TEST(ImportFile, ChoosesTheLoaderByTheName) {
    const std::string dir = MakeTempDir();
    XmSpec xm;
    xm.patterns = {{}};
    OktSpec okt;
    okt.patterns = {{}};
    const Bytes mod = WriteMod(ModSpec{}), xmFile = WriteXm(xm), oktFile = WriteOkt(okt);
    const std::string modLoaded = "Protracker Module Loaded. (1 Orders, 1 Patterns)", no = profile::kNotSupported,
                      xmLoaded = "'Zelmora Test' Module Loaded (0x0104).",
                      oktLoaded = "Oktalyzer Module Loaded. (4 Ch, 1 Patterns, 0 Samples)";
    const struct {
        const char* name;
        const Bytes* bytes;  // none: no such file
        std::string full, earlier;
    } cases[] = {
        {"/Tune.MOD", &mod, modLoaded, modLoaded},
        {"/MOD.tune", &mod, no, modLoaded},
        {"/amiga/mod.tune/file", &mod, no, no},
        {"/amiga/mod.tune/xm.file", &xmFile, no, xmLoaded},
        {"/song.xm", &xmFile, xmLoaded, xmLoaded},
        {"/xm.song", &xmFile, no, xmLoaded},
        {"/okt.song", &oktFile, no, oktLoaded},
        {"/song.okt", &oktFile, oktLoaded, oktLoaded},
        {"/song.s3m", &mod, "ScreamTracker Module Loaded (0 Patterns).", no},
        {"/song.zmo", &mod, "Error: Invalid Zelmora Module File.", no},
        {"/song.wav", &mod, "Ready.", no},  // no RIFF file: the message stays
        {"/song.mid", &mod, "Midi File Loaded. (0)", no},
        {"/song.sf2", &mod, "SoundFont2 Bank Loaded (2).", no},
        {"/modsong", &mod, no, no},
        {"/song.midi", nullptr, no, no},
        {"/song.zm", nullptr, no, no},
        {"md", nullptr, no, no},
        {"/absent.mod", nullptr, profile::kFailedToOpen, profile::kFailedToOpen},
    };
    auto app = MakeTestApp();
    for (const auto& c : cases) {
        std::string path = c.name[0] == '/' ? dir + c.name : c.name;
        if (c.bytes) {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            WriteFile(path, *c.bytes);
        }
        app->NewSong();
        app->song.tempo = 111;
        ImportFile(*app, path.data());
        EXPECT_EQ(app->statusLine, Worded(profile::kEarlierBuild ? c.earlier : c.full)) << c.name;
        if (!c.bytes) {
            EXPECT_EQ(app->song.tempo, 111) << c.name;
        }
    }
    // The caller's buffer is lower-cased, the file still found.
    std::string path = dir + "/Tune.MOD";
    ImportFile(*app, path.data());
    std::string lowered = dir + "/tune.mod";
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(path, lowered);
    EXPECT_EQ(app->statusLine, Worded(modLoaded));
}

}  // namespace
}  // namespace zelmora
