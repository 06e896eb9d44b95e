#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "app/app_state.h"
#include "app/lifecycle.h"
#include "app/profile.h"
#include "app/settings.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "support/test_support.h"
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

// What the fake shell saw, step by step.
std::string g_trace;
std::string g_settingsPath;
bool g_windowOpens = true;

void Step(const char* name) {
    g_trace += std::string(g_trace.empty() ? "" : " ") + name;
}

// Whether the state is published and the settings file exists, as the step sees it.
std::string Seen() {
    std::FILE* f = std::fopen(g_settingsPath.c_str(), "rb");
    if (f) std::fclose(f);
    return std::string(AppState::instance ? "+" : "-") + (f ? "f" : "");
}

ShellSteps FakeShell() {
    ShellSteps s;
    s.loadCursors = [] {
        Step("cursors");
        return true;
    };
    s.settingsPath = [] {
        Step("path");
        return g_settingsPath;
    };
    s.openWindow = [](AppState&) {
        Step(("window" + Seen()).c_str());
        return g_windowOpens;
    };
    s.startAudio = [](AppState& app) {
        Step("audio");
        app.settings.sampleRate = 48000.0;  // the rate a driver reports
    };
    s.startTick = [](AppState&) {
        Step("tick");
        return true;
    };
    s.runLoop = [](AppState&) {
        Step("loop");
        return 7;
    };
    s.stopTick = [] { Step("untick"); };
    s.stopAudio = [](AppState&) { Step(("unaudio" + Seen()).c_str()); };
    s.releaseWindow = [] { Step(("unwindow" + Seen()).c_str()); };
    s.releaseCursors = [] { Step("uncursors"); };
    return s;
}

// A good run writes the settings once, after audio stopped (the state is
// published before the window); a failed start keeps the previous file.
TEST(RunProgram, StartsAndStopsInOrderAndWritesTheSettingsOnlyAfterARun) {
    const struct {
        bool windowOpens;
        int code;
        const char* trace;
        std::size_t size;  // of the file afterwards; 16: the short file there before
        double rate;
    } cases[] = {
        {true, 7, "cursors path window+ audio tick loop untick unaudio+ unwindow-f uncursors",
         profile::kSettingsBytes, 48000.0},
        {false, kStartFailed, "cursors path window+f unwindow-f uncursors", 16, 44100.0},
    };
    for (const auto& c : cases) {
        g_settingsPath = MakeTempDir() + "/zelmora.set";
        if (!c.windowOpens) WriteFile(g_settingsPath, std::vector<uint8_t>(16, 0));  // driver 0, channels 0
        g_trace.clear();
        g_windowOpens = c.windowOpens;
        AppState::Options options;
        options.measureCycleRate = false;
        EXPECT_EQ(RunProgram(FakeShell(), options), c.code);
        EXPECT_EQ(g_trace, c.trace);
        EXPECT_EQ(std::filesystem::file_size(g_settingsPath), c.size);
        EXPECT_EQ(ReadSettingsFile(g_settingsPath).sampleRate, c.rate);
        EXPECT_EQ(AppState::instance, nullptr);
    }
}

}  // namespace
}  // namespace zelmora
