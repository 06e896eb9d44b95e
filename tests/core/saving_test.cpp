// Saving and loading the own module file, through the one safe writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

#include "app/profile.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "platform/platform.h"
#include "support/test_support.h"
#include "support/writers_media.h"

namespace zelmora {
namespace {

std::string SavedPath(const AppState& app) {
    return std::string(app.browserFolder) + "/" + app.song.name + ".zmo";
}

double Falling(int c, int f) {
    return 1.0 / (f + 1 + 7 * c) - 0.3;
}

// Sample fields compare equal apart from the audio pointer.
bool SameFields(Sample a, Sample b) {
    a.audio = b.audio = nullptr;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ModuleFile, PopulatedSongRoundTrips) {
    auto app = MakeTestApp();
    SetBrowserFolder(*app, MakeTempDir());
    SaveModule(*app);  // a new song is the smallest file
    EXPECT_EQ(std::filesystem::file_size(SavedPath(*app)), 18732u);

    Song& s = app->song;
    SetName(s.name, "round trip");
    s.tempo = 140;
    s.lastOrder = 3;
    s.restartOrder = 1;
    s.reserved = 9;
    s.orders[200] = 17;  // behind the song: kept too
    s.patterns[4].rowsPerBeat = 8;
    s.patterns[4].cells[0][0] = RawCell({49, 0, 0, 0, 0, 0, 0, 0});  // a note alone: mask A only
    s.patterns[4].cells[1][31] = RawCell({0, 0, 12, 32, 0, 0, 15, 6});
    s.patterns[4].cells[200][7] = RawCell({0, 0, 0, 0, 0, 0, 13, 0xFF});  // beyond the last row
    Instrument& in = s.instruments[9];
    in.volume = 40;
    in.envelopes[3].oscillatorType = 2;
    AddSample(*app, 9, 3, 10, 2, Falling);
    AddSample(*app, 9, 7, 1000, 1, Falling);
    in.samples[7].loopMode = 2;
    in.samples[7].sampleRate = 22050.5;
    in.samples[12].frames = 5;  // not usable: not stored
    SetName(s.instruments[20].name, "kept name");
    s.instruments[20].volume = 10;  // no usable sample: only the name is stored

    SaveModule(*app);
    ASSERT_STREQ(app->statusLine, "Zelmora Module Saved.");
    // Row records are 16 bytes plus 2 per set mask bit; the stereo sample stores 160 bytes.
    const uintmax_t expected = 18732 + (201 * 16 + 2 + 4 + 2) + (12 + 64) + (76 + 160) + (76 + 8000);
    EXPECT_EQ(std::filesystem::file_size(SavedPath(*app)), expected);

    auto loaded = MakeTestApp();
    LoadModule(*loaded, SavedPath(*app));
    ASSERT_STREQ(loaded->statusLine, "Zelmora Module Loaded.");
    const Song& l = loaded->song;
    EXPECT_EQ(std::memcmp(l.name, s.name, 36 + 4 + 256), 0);  // name, header bytes, orders
    EXPECT_EQ(std::memcmp(l.patterns, s.patterns, sizeof l.patterns), 0);
    const Instrument& li = l.instruments[9];
    EXPECT_EQ(std::memcmp(li.name, in.name, offsetof(Instrument, samples)), 0);
    // Slots 3 and 7 close up into 0 and 1, audio bit for bit.
    EXPECT_TRUE(SameFields(li.samples[0], in.samples[3]));
    EXPECT_TRUE(SameFields(li.samples[1], in.samples[7]));
    EXPECT_EQ(UsableFrames(li.samples[2]), 0);
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(li.samples[0].audio[c], in.samples[3].audio[c], 74 * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(li.samples[1].audio[0], in.samples[7].audio[0], 1064 * sizeof(double)), 0);
    EXPECT_STREQ(l.instruments[20].name, "kept name");
    EXPECT_EQ(l.instruments[20].volume, 64);
}

TEST(ModuleFile, SaveFailuresNeverReportSuccessNorDestroyTheOldFile) {
    auto app = MakeTestApp();
    const std::string folder = MakeTempDir();
    SetBrowserFolder(*app, folder);
    SaveModule(*app);
    const std::string path = SavedPath(*app);

    std::vector<const char*> refused = {"../escape", "a/b", "a\\b", "", "bell\a"};
    if (PathSeparator() == '\\') refused.insert(refused.end(), {"what?", "a:b", "con", "Com1 .mix", "nul.x"});
    for (const char* name : refused) {
        SetName(app->song.name, name);
        SaveModule(*app);
        EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.") << name;
    }
    // SANITY: names as imported modules carry them save under their own name.
    for (const char* name : {"space.debris   ", "x..y", "trailing.", "v1.2 final", "console"}) {
        SetName(app->song.name, name);
        SaveModule(*app);
        EXPECT_STREQ(app->statusLine, "Zelmora Module Saved.") << name;
        EXPECT_TRUE(std::filesystem::exists(SavedPath(*app))) << name;
        std::filesystem::remove(SavedPath(*app));
    }
    // A path past 260 characters is refused, not cut; the temporary file
    // beside the song counts as well: a short name in a folder of 250
    // characters does not fit it.
    for (const char* name : {"Untitled", "a"}) {
        SetName(app->song.name, name);
        SetBrowserFolder(*app, folder + "/" + std::string(250 - folder.size(), name[0]));
        std::filesystem::create_directory(app->browserFolder);
        SaveModule(*app);
        EXPECT_STREQ(app->statusLine, "Error: Path Too Long.") << name;
        std::filesystem::remove(app->browserFolder);
    }
    SetName(app->song.name, "Untitled");
    for (const std::string& where : {folder + "/missing-folder", std::string()}) {  // no folder: not the root
        SetBrowserFolder(*app, where);
        SaveModule(*app);
        EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.") << where;
    }
#ifdef __linux__
    // A file size limit makes the write fail part way, as a full disk would.
    SetBrowserFolder(*app, folder);
    struct rlimit saved, small;
    getrlimit(RLIMIT_FSIZE, &saved);
    small = saved;
    small.rlim_cur = 10000;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    SaveModule(*app);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_STREQ(app->statusLine, "Error: Failed To Save Zelmora Module File.");
#endif
    EXPECT_EQ(std::filesystem::file_size(path), 18732u);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename(), "Untitled.zmo") << "nothing else is left behind";
}

TEST(ModuleFile, DamagedFilesStopWithTheInvalidMessage) {
    if constexpr (!profile::kOwnModuleFormat) GTEST_SKIP() << "the earlier build has no own module format";
    auto app = MakeTestApp();
    SetBrowserFolder(*app, MakeTempDir());
    AddSample(*app, 1, 0, 4, 1, Falling);
    SaveModule(*app);
    std::vector<uint8_t> good;
    ASSERT_TRUE(ReadWholeFile(SavedPath(*app), good));

    const std::size_t instrument1 = 300 + 256 * 36 + 36;
    const std::size_t sample0 = instrument1 + 36 + 12 + 64;
    const struct {
        std::size_t offset;
        std::vector<uint8_t> bytes;
    } damage[] = {
        {300 + 34, {0x01, 0x01}},                      // 257 rows
        {instrument1 + 32, {0x01, 0x01, 0, 0}},        // 257 samples
        {instrument1 + 32, {0xFF, 0xFF, 0xFF, 0xFF}},  // -1 samples
        {sample0 + 32, {0xFF, 0xFF, 0xFF, 0xFF}},      // -1 frames
        {sample0 + 36, {0, 0, 0, 0x80}},               // negative channels
        {sample0 + 32, {0xFF, 0xFF, 0xFF, 0x7F}},      // audio far beyond the file
        // frames x channels x 8 wraps to a small number in 64 bits for these pairs
        {sample0 + 32, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}},
        {sample0 + 32, {0, 0, 0, 0x40, 0, 0, 0, 0x40}},
        {sample0 + 32, {0, 0, 0, 0x20, 1, 0, 0, 0x40}},
    };
    for (const auto& d : damage) {
        std::vector<uint8_t> file = good;
        std::copy(d.bytes.begin(), d.bytes.end(), file.begin() + d.offset);
        LoadModuleData(*app, ByteReader(file));
        EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.") << d.offset;
    }
    LoadModuleData(*app, ByteReader(good.data(), 5000));  // ends early
    EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.");

    // A rows-per-beat of 0 never reaches the pattern view; stored values that
    // are not finite numbers load as 0.
    std::vector<uint8_t> odd = good;
    odd[300 + 33] = 0;
    const double nonFinite[2] = {std::nan(""), -HUGE_VAL};
    std::memcpy(odd.data() + sample0 + 76, nonFinite, sizeof nonFinite);
    LoadModuleData(*app, ByteReader(odd));
    EXPECT_STREQ(app->statusLine, "Zelmora Module Loaded.");
    EXPECT_EQ(app->song.patterns[0].rowsPerBeat, 4);
    const Sample& s = app->song.instruments[1].samples[0];
    ASSERT_EQ(UsableFrames(s), 4);
    EXPECT_EQ(std::make_tuple(FrameAt(s, 0), FrameAt(s, 1), FrameAt(s, 2)),
              std::make_tuple(0.0, 0.0, 1.0 / 3 - 0.3));

    app->song.tempo = 77;  // wrong magic or a missing file leaves the song untouched
    const std::vector<uint8_t> other = {'Z', 'M', 'O', '1', 0, 0};
    LoadModuleData(*app, ByteReader(other));
    EXPECT_STREQ(app->statusLine, "Error: Invalid Zelmora Module File.");
    LoadModule(*app, MakeTempDir() + "/nothing.zmo");
    EXPECT_STREQ(app->statusLine, profile::kFailedToOpen);
    EXPECT_EQ(app->song.tempo, 77);
}

namespace fs = std::filesystem;

bool Put(const std::string& path, const std::string& text) {
    return WriteFileSafely(path, [&text](FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); });
}

std::string Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SafeWrite, ReplacesWholeOrNotAtAll) {
    const std::string folder = MakeTempDir();
    const std::string path = folder + "/song.zmo";
    ASSERT_TRUE(Put(path, "first"));
    EXPECT_EQ(Read(path), "first");
    ASSERT_TRUE(Put(path, "second, longer"));
    EXPECT_EQ(Read(path), "second, longer");

    // A writer that gives up, or throws, leaves the old file and nothing else.
    EXPECT_FALSE(WriteFileSafely(path, [](FILE* f) { return std::fputs("half", f) < 0; }));
    EXPECT_FALSE(WriteFileSafely(path, [](FILE*) -> bool { throw std::bad_alloc(); }));
    EXPECT_FALSE(Put(folder + "/missing/song.zmo", "x"));
    EXPECT_EQ(Read(path), "second, longer");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"song.zmo"});

    // Two writers of one file at once each have their own temporary file: the
    // one that finishes last wins, whole.
    ASSERT_TRUE(WriteFileSafely(path, [&path](FILE* f) {
        EXPECT_TRUE(Put(path, "inner"));
        return std::fputs("outer", f) >= 0;
    }));
    EXPECT_EQ(Read(path), "outer");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"song.zmo"});
}

#ifndef _WIN32
TEST(SafeWrite, LinksAndPermissionsSurvive) {
    const std::string folder = MakeTempDir();
    const std::string target = folder + "/elsewhere.txt";
    ASSERT_TRUE(Put(target, "precious"));
    // A link at the name the old writer used for its temporary file is left alone.
    fs::create_symlink(target, folder + "/song.zmo.tmp");
    ASSERT_TRUE(Put(folder + "/song.zmo", "song"));
    EXPECT_EQ(Read(target), "precious");

    // A destination that is a link stays a link; the file it leads to is
    // replaced, keeping its permission bits.
    fs::create_directory(folder + "/real");
    ASSERT_TRUE(Put(folder + "/real/tune.zmo", "old"));
    fs::permissions(folder + "/real/tune.zmo", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real/tune.zmo", folder + "/tune.zmo");
    ASSERT_TRUE(Put(folder + "/tune.zmo", "new"));
    EXPECT_TRUE(fs::is_symlink(folder + "/tune.zmo"));
    EXPECT_EQ(Read(folder + "/real/tune.zmo"), "new");
    EXPECT_EQ(fs::status(folder + "/real/tune.zmo").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(folder + "/real"), std::vector<std::string>{"tune.zmo"});
}

TEST(SafeWrite, ImportsReadOnlyRegularFilesOfASaneSize) {
    const std::string folder = MakeTempDir();
    const std::string fifo = folder + "/tone.wav";
    ASSERT_EQ(std::system(("mkfifo '" + fifo + "'").c_str()), 0);
    fs::create_symlink("/dev/zero", folder + "/zero.mod");
    fs::create_directory(folder + "/folder.xm");
    std::vector<uint8_t> bytes;
    for (const std::string& name : {fifo, folder + "/zero.mod", folder + "/folder.xm"})
        EXPECT_FALSE(ReadWholeFile(name, bytes)) << name;  // at once: the FIFO is never opened
    ASSERT_TRUE(Put(folder + "/big.s3m", std::string(100, 'x')));
    EXPECT_FALSE(ReadWholeFile(folder + "/big.s3m", bytes, 99));
    EXPECT_TRUE(ReadWholeFile(folder + "/big.s3m", bytes, 100));
    fs::create_symlink(folder + "/big.s3m", folder + "/link.s3m");
    EXPECT_TRUE(ReadWholeFile(folder + "/link.s3m", bytes, 100));

    auto app = MakeTestApp();
    std::string path = folder + "/zero.mod";  // a name both builds open
    ImportFile(*app, path.data());
    EXPECT_STREQ(app->statusLine, profile::kFailedToOpen);
}
#endif

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// Memory running out in an import is reported, and the program goes on.
TEST(SafeWriteDeathTest, AnImportOutOfMemoryIsReported) {
    const std::string path = MakeTempDir() + "/huge.mod";
    fs::resize_file((Put(path, "RIFF"), path), uintmax_t{256} << 20);
    auto app = MakeTestApp();
    const auto importWithLittleMemory = [&app, &path] {
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        rlimit limit;
        limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{64} << 20);
        limit.rlim_max = RLIM_INFINITY;
        setrlimit(RLIMIT_AS, &limit);
        std::string name = path;
        ImportFile(*app, name.data());
        std::exit(std::strcmp(app->statusLine, profile::kOutOfMemory) == 0 ? 0 : 1);
    };
    EXPECT_EXIT(importWithLittleMemory(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace zelmora
