// The one writer behind saves, autosaves and the settings file.
#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/profile.h"
#include "formats/byte_reader.h"
#include "formats/importers.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace zelmora {
namespace {

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
