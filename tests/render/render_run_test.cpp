#include "render/render_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>  // the exit status of the program under test
#endif

#include "app/profile.h"
#include "audio/sample_convert.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "support/test_support.h"
#include "support/writers_mod.h"

namespace zelmora::render {
namespace {

RenderOptions Options(int buffer, double seconds = 0.0) {
    RenderOptions o;
    o.bufferFrames = buffer;
    o.seconds = seconds;
    return o;
}

// One order of a four-row pattern at speed 1 (a row is a tick of 882 frames at 44100 Hz); row 0
// starts instrument 1, a looped square wave, on track 0.
void BuildSong(AppState& app) {
    app.NewSong();
    app.song.speed = 1;
    app.song.patterns[0].lastRow = 3;
    app.song.patterns[0].cells[0][0] = PatternCell{61, 1, {}};
    AddSample(app, 1, 0, 64, 1, [](int, int f) { return f < 32 ? 0.9 : -0.9; }, 1, 0, 64);
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(RenderRun, PlayThroughStopsAtTheWrapAndPatternModeRepeats) {
    auto app = MakeTestApp();
    BuildSong(*app);
    RenderResult result;
    // buffer frames, frames rendered: the wrap after 4 ticks falls inside the 14th buffer of 256
    // and exactly at the end of the 8th of 441; with command 15 0 on row 1 the song stops after a tick.
    for (const auto& [buffer, frames] : {std::pair{256, 14 * 256}, {441, 4 * 882}, {256, 4 * 256}}) {
        if (frames == 4 * 256) CellCommand(app->song.patterns[0].cells[1][1], 0) = 15;
        ASSERT_TRUE(RenderSong(*app, Options(buffer), nullptr, result)) << result.error;
        EXPECT_TRUE(result.songEnded);
        EXPECT_EQ(result.frames, static_cast<uint64_t>(frames)) << buffer;
        EXPECT_GT(std::min(result.peak[0], result.peak[1]), 0.1);
    }
    // Without --seconds the 20-minute cap guards songs that never end; a huge --seconds stays countable.
    EXPECT_EQ(FrameLimit(Options(256)), 1200u * 44100);
    EXPECT_EQ(FrameLimit(Options(256, 1e300)), 9000000000000000000ull);

    // Pattern mode repeats its order entry and never advances (the earlier
    // build moves on at the pattern's end); an entry past the last order is refused.
    app->song.lastOrder = 1;
    app->song.orders[1] = 2;
    app->song.patterns[2].lastRow = 0;
    RenderOptions o = Options(1000, 0.2);
    o.pattern = 1;
    const uint32_t wraps = app->songWrapCount.load();
    ASSERT_TRUE(RenderSong(*app, o, nullptr, result)) << result.error;
    if constexpr (profile::kPatternEndAdvancesOrder) {
        EXPECT_GT(app->songWrapCount.load(), wraps);
    } else {
        EXPECT_EQ(app->song.orderPosition, 1);
    }
    EXPECT_EQ(result.frames, 8820u);
    o.pattern = 2;
    EXPECT_FALSE(RenderSong(*app, o, nullptr, result));
    EXPECT_FALSE(result.error.empty());
}

// The renderer runs this build's engine: the earlier build's pan switch sends
// track 0 to the left at 0.66 and 0.33, the full build's centre pan splits it evenly.
TEST(RenderRun, RendersWithThisBuildsEngine) {
    auto app = MakeTestApp();
    BuildSong(*app);
    app->song.masterVolume = 64;
    RenderResult result;
    ASSERT_TRUE(RenderSong(*app, Options(256, 0.05), nullptr, result)) << result.error;
    ASSERT_GT(result.peak[1], 0.0);
    EXPECT_NEAR(result.peak[0] / result.peak[1], profile::kPanSwitch ? 2.0 : 1.0, 1e-6);
}

// --seconds runs past the end of the song (its wrap at frame 3528) and cuts the last buffer.
TEST(RenderRun, SecondsGiveTheDriverConversionOfEachBuffer) {
    const std::string path = MakeTempDir() + "/song.wav";
    auto app = MakeTestApp();
    BuildSong(*app);
    WavWriter writer;
    ASSERT_TRUE(writer.Open(path, 44100, WavFormat::kInt16));
    RenderResult result;
    ASSERT_TRUE(RenderSong(*app, Options(300, 0.1), &writer, result));
    ASSERT_TRUE(writer.Close());
    EXPECT_FALSE(result.songEnded);
    const std::string bytes = ReadText(path);
    ASSERT_EQ(bytes.size(), 44u + 4410 * 4);

    BuildSong(*app);  // the same song again, driven buffer by buffer as the audio host does
    PlayTransport(*app, false, true);
    int mismatches = 0;
    for (int frame = 0; frame < 4410; ++frame) {
        if (frame % 300 == 0) RenderBuffer(*app);
        int16_t pair[2];
        std::memcpy(pair, &bytes[44 + 4 * frame], 4);
        mismatches += pair[0] != ConvertToInt16(app->mixLeft[frame % 300]) ||
                      pair[1] != ConvertToInt16(app->mixRight[frame % 300]);
    }
    EXPECT_EQ(mismatches, 0);
}

#ifdef ZELMORA_RENDER_EXE
// Runs the program with stdout in `output` and stderr in `output`.err; the exit status.
int RunTool(const std::string& arguments, const std::string& output) {
    const std::string command = std::string("\"") + ZELMORA_RENDER_EXE + "\" " + arguments + " >\"" + output +
                                "\" 2>\"" + output + ".err\"";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RenderProgram, InfoRenderAndImportErrors) {
    const std::string dir = MakeTempDir(), tune = "\"" + dir + "/Tune.MOD\"";
    ModSpec spec;
    spec.samples.push_back({"square", 16, 0, 64, 0, 16});
    spec.sampleData.push_back(std::vector<int8_t>(32, 100));
    spec.cells.push_back({0, 0, 0, 428, 1, 0, 0});
    WriteFile(dir + "/Tune.MOD", WriteMod(spec));

    EXPECT_EQ(RunTool("--info " + tune, dir + "/info.json"), 0);
    const std::string json = ReadText(dir + "/info.json");
    EXPECT_EQ(json.rfind("{\"status\": \"Protracker Module Loaded", 0), 0u) << json;

    EXPECT_EQ(RunTool("--seconds 0.5 " + tune + " \"" + dir + "/tune.wav\"", dir + "/out.txt"), 0);
    EXPECT_EQ(std::filesystem::file_size(dir + "/tune.wav"), 44u + 22050 * 4);
    EXPECT_NE(ReadText(dir + "/out.txt.err").find("0.500 s rendered"), std::string::npos);

    WriteFile(dir + "/notes.txt", {1, 2, 3});
    EXPECT_EQ(RunTool("\"" + dir + "/notes.txt\" \"" + dir + "/never.wav\"", dir + "/out.txt"), 1);
    EXPECT_EQ(ReadText(dir + "/out.txt.err"), std::string(profile::kNotSupported) + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/never.wav"));
    EXPECT_EQ(RunTool("--buffer 0 x.mod", dir + "/out.txt"), 2);
}
#endif

}  // namespace
}  // namespace zelmora::render
