#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

#include "formats/importers.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

std::string SavedPath(const AppState& app) {
    return std::string(app.browserFolder) + "/" + app.song.name + ".zmo";
}

void SetFolder(AppState& app, const std::string& folder) {
    std::snprintf(app.browserFolder, sizeof app.browserFolder, "%s", folder.c_str());
}

void FillSample(AppState& app, Sample& s, int frames, int channels, double seed) {
    s.frames = frames;
    s.channels = channels;
    ASSERT_TRUE(app.AllocateSampleAudio(s));
    for (int c = 0; c < channels; ++c)
        for (int f = 0; f < frames; ++f) s.audio[c][kSampleGuard + f] = seed / (f + 1 + 7 * c) - 0.3;
}

TEST(ModuleFile, NewSongIsExactlyTheSmallestFileAndLoadsBack) {
    auto app = MakeTestApp();
    SetFolder(*app, MakeTempDir());
    SaveModule(*app);
    EXPECT_STREQ(app->statusLine, "Zelmora Module Saved.");
    EXPECT_EQ(std::filesystem::file_size(SavedPath(*app)), 18732u);
    app->song.tempo = 99;
    std::string path = SavedPath(*app);
    LoadModule(*app, path);
    EXPECT_STREQ(app->statusLine, "Zelmora Module Loaded.");
    EXPECT_EQ(app->song.tempo, 125);
    EXPECT_STREQ(app->song.name, "Untitled");
}

TEST(ModuleFile, PopulatedSongRoundTrips) {
    auto app = MakeTestApp();
    const std::string folder = MakeTempDir();
    SetFolder(*app, folder);
    Song& s = app->song;
    SetName(s.name, "round trip");
    s.tempo = 140;
    s.speed = 3;
    s.trackCount = 12;
    s.editStep = 2;
    s.lastOrder = 3;
    s.restartOrder = 1;
    s.orderPosition = 2;
    s.reserved = 9;
    s.orders[0] = 4;
    s.orders[200] = 17;  // behind the song: kept too
    s.patterns[4].lastRow = 31;
    s.patterns[4].rowsPerBeat = 8;
    s.patterns[4].cells[0][0] = {49, 1, 0, 0, 0, 0, 0, 0};  // note only: mask A
    s.patterns[4].cells[1][31] = {0, 0, 12, 32, 0, 0, 15, 6};
    s.patterns[4].cells[200][7] = {0, 0, 0, 0, 0, 0, 13, 0xFF};  // beyond the last row
    Instrument& in = s.instruments[9];
    SetName(in.name, "layered");
    in.volume = 40;
    in.cutoff = 3;
    in.modulation[5] = 77;
    in.envelopes[3].oscillatorType = 2;
    FillSample(*app, in.samples[3], 10, 2, 1.0);
    FillSample(*app, in.samples[7], 1000, 1, -0.7);
    in.samples[7].keyLow = 60;
    in.samples[7].loopMode = 2;
    in.samples[7].fineTune = -50;
    in.samples[7].sampleRate = 22050.5;
    in.samples[12].frames = 5;  // not usable: not stored
    Instrument& nameOnly = s.instruments[20];
    SetName(nameOnly.name, "kept name");
    nameOnly.volume = 10;

    SaveModule(*app);
    ASSERT_STREQ(app->statusLine, "Zelmora Module Saved.");
    const std::string path = SavedPath(*app);
    // Row records: 16 bytes plus 2 per set mask bit; the stereo sample stores 160 bytes.
    const uintmax_t expected = 18732 + (201 * 16 + 2 + 4 + 2) + (12 + 64) + (76 + 160) + (76 + 8000);
    EXPECT_EQ(std::filesystem::file_size(path), expected);

    auto loaded = MakeTestApp();
    LoadModule(*loaded, path);
    ASSERT_STREQ(loaded->statusLine, "Zelmora Module Loaded.");
    const Song& l = loaded->song;
    EXPECT_STREQ(l.name, "round trip");
    EXPECT_EQ(l.tempo, 140);
    EXPECT_EQ(l.speed, 3);
    EXPECT_EQ(l.trackCount, 12);
    EXPECT_EQ(l.lastOrder, 3);
    EXPECT_EQ(l.restartOrder, 1);
    EXPECT_EQ(l.orderPosition, 2);
    EXPECT_EQ(l.reserved, 9);
    EXPECT_EQ(l.orders[200], 17);
    EXPECT_EQ(std::memcmp(l.patterns, s.patterns, sizeof l.patterns), 0);
    const Instrument& li = l.instruments[9];
    EXPECT_EQ(li.volume, 40);
    EXPECT_EQ(li.modulation[5], 77);
    EXPECT_EQ(std::memcmp(li.envelopes, in.envelopes, sizeof li.envelopes), 0);
    // Slots 3 and 7 close up into 0 and 1, audio bit for bit.
    ASSERT_EQ(UsableFrames(li.samples[0]), 10);
    ASSERT_EQ(UsableFrames(li.samples[1]), 1000);
    EXPECT_EQ(UsableFrames(li.samples[2]), 0);
    EXPECT_EQ(li.samples[1].keyLow, 60);
    EXPECT_EQ(li.samples[1].loopMode, 2);
    EXPECT_EQ(li.samples[1].fineTune, -50);
    EXPECT_EQ(li.samples[1].sampleRate, 22050.5);
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(li.samples[0].audio[c], in.samples[3].audio[c], (10 + 64) * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(li.samples[1].audio[0], in.samples[7].audio[0], 1064 * sizeof(double)), 0);
    EXPECT_STREQ(l.instruments[20].name, "kept name");
    EXPECT_EQ(l.instruments[20].volume, 64);
}

TEST(ModuleFile, SaveFailuresNeverReportSuccessNorDestroyTheOldFile) {
    auto app = MakeTestApp();
    const std::string folder = MakeTempDir();
    SetFolder(*app, folder);
    SaveModule(*app);
    const std::string path = SavedPath(*app);
    ASSERT_EQ(std::filesystem::file_size(path), 18732u);

    for (const char* name : {"../escape", "a/b", "a\\b", "", "what?", "x..y", "trailing."}) {
        SetName(app->song.name, name);
        SaveModule(*app);
        EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder).parent_path() / "escape.zmo"));

    SetName(app->song.name, "Untitled");
    SetFolder(*app, folder + "/missing-folder");
    SaveModule(*app);
    EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.");

#ifdef __linux__
    // A file size limit makes the write fail part way, as a full disk would.
    {
        SetFolder(*app, folder);
        SetName(app->song.name, "Untitled");
        struct rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = 10000;
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        SaveModule(*app);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.");
    }
#endif
    EXPECT_EQ(std::filesystem::file_size(path), 18732u);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().extension(), ".zmo") << "temporary file left behind";
}

std::vector<uint8_t> NewSongFile() {
    auto app = MakeTestApp();
    const std::string folder = MakeTempDir();
    SetFolder(*app, folder);
    Sample& s = app->song.instruments[1].samples[0];
    FillSample(*app, s, 4, 1, 1.0);
    SaveModule(*app);
    std::vector<uint8_t> bytes;
    ReadWholeFile(SavedPath(*app), bytes);
    return bytes;
}

TEST(ModuleFile, DamagedFilesStopWithTheInvalidMessage) {
    const std::vector<uint8_t> good = NewSongFile();
    auto app = MakeTestApp();
    LoadModuleData(*app, ByteReader(good));
    ASSERT_STREQ(app->statusLine, "Zelmora Module Loaded.");
    ASSERT_EQ(UsableFrames(app->song.instruments[1].samples[0]), 4);

    auto patched = [&](std::size_t offset, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> f = good;
        std::copy(bytes.begin(), bytes.end(), f.begin() + offset);
        return f;
    };
    const std::size_t instrument1 = 300 + 256 * 36 + 36;  // name, then the sample count
    const std::size_t sample0 = instrument1 + 36 + 12 + 64;
    const std::vector<std::vector<uint8_t>> damaged = {
        patched(300 + 34, {0x01, 0x01}),                  // 257 rows
        patched(instrument1 + 32, {0x01, 0x01, 0, 0}),    // 257 samples
        patched(instrument1 + 32, {0xFF, 0xFF, 0xFF, 0xFF}),  // -1 samples
        patched(sample0 + 32, {0xFF, 0xFF, 0xFF, 0xFF}),  // -1 frames
        patched(sample0 + 36, {0, 0, 0, 0x80}),           // negative channels
        patched(sample0 + 32, {0xFF, 0xFF, 0xFF, 0x7F}),  // audio far beyond the file
        std::vector<uint8_t>(good.begin(), good.begin() + 5000),  // ends early
    };
    for (const auto& file : damaged) {
        LoadModuleData(*app, ByteReader(file));
        EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.");
    }
    // A rows-per-beat of 0 never reaches the pattern view.
    LoadModuleData(*app, ByteReader(patched(300 + 33, {0})));
    EXPECT_EQ(app->song.patterns[0].rowsPerBeat, 4);
}

TEST(ModuleFile, WrongMagicOrMissingFileLeavesTheSongUntouched) {
    auto app = MakeTestApp();
    app->song.tempo = 77;
    const std::vector<uint8_t> other = {'Z', 'M', 'O', '1', 0, 0};
    LoadModuleData(*app, ByteReader(other));
    EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.");
    EXPECT_EQ(app->song.tempo, 77);
    LoadModule(*app, MakeTempDir() + "/nothing.zmo");
    EXPECT_STREQ(app->statusLine, "Error: Failed To Open File.");
    EXPECT_EQ(app->song.tempo, 77);
}

}  // namespace
}  // namespace zelmora
