// The offline renderer: its command line, its WAV writer, its JSON of a song
// and the render itself, in the library and as a program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>  // the exit status of the program under test
#endif

#include "app/profile.h"
#include "audio/sample_convert.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "formats/byte_reader.h"
#include "render/render_options.h"
#include "render/render_run.h"
#include "render/song_json.h"
#include "render/wav_writer.h"
#include "support/test_support.h"
#include "support/writers_tracker.h"

namespace zelmora::render {
namespace {

using ::testing::HasSubstr;

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}

// Parses a command line of words separated by spaces.
bool Parse(const std::string& line, RenderOptions& options) {
    std::istringstream in(line);
    std::vector<std::string> words{"zelmora-render"};
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> args;
    for (const auto& w : words) args.push_back(w.c_str());
    std::string error;
    const bool ok = ParseArguments(static_cast<int>(args.size()), args.data(), options, error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
}

TEST(RenderOptions, ReadsEveryOption) {
    RenderOptions o;
    ASSERT_TRUE(Parse("--rate 48000 --buffer 16384 --seconds 2.5 --bits f32 --pattern 3 in.xm out.wav", o));
    EXPECT_EQ(std::tie(o.rate, o.bufferFrames, o.seconds, o.format, o.pattern, o.input, o.output),
              std::make_tuple(48000, 16384, 2.5, WavFormat::kFloat32, 3, "in.xm", "out.wav"));
    ASSERT_TRUE(Parse("song.mod", o));  // a second parse starts from the defaults
    EXPECT_EQ(std::tie(o.bufferFrames, o.pattern, o.output), std::make_tuple(256, -1, ""));
    // Scaling is the full build's; the earlier build draws at 1 only.
    const int scale = profile::kIntegerScaling ? 2 : 1;
    ASSERT_TRUE(Parse("--screen s.bmp --size 3840x2160 --scale " + std::to_string(scale) + " --page 5", o));
    EXPECT_EQ(std::tie(o.screenOutput, o.screenWidth, o.screenHeight, o.screenScale, o.page),
              std::make_tuple("s.bmp", 3840, 2160, scale, 5));
}

TEST(RenderOptions, RejectsValuesOutOfRange) {
    // bounds of each value, malformed numbers, a missing value, unknown options, too many or no files
    for (const char* line :
         {"--buffer 0 a.mod", "--buffer 16385 a.mod", "--buffer 12x a.mod", "--rate 100 a.mod",
          "--rate 99999999999 a.mod", "--seconds -1 a.mod", "--seconds nan a.mod", "--seconds inf a.mod",
          "--bits 8 a.mod", "--pattern 256 a.mod", "a.mod --buffer", "--loud a.mod", "a.mod b.wav c.wav", "",
          "--info a.mod b.wav", "--screen s.bmp --scale 5", "--screen s.bmp --scale 0",
          "--screen s.bmp --size 1000x1000 --scale 2", "--screen s.bmp --size 590x599"}) {
        RenderOptions o;
        EXPECT_FALSE(Parse(line, o)) << line;
    }
}

// The little-endian value of `size` bytes at `at`, sign-extended.
int64_t Le(const std::vector<uint8_t>& b, int64_t at, int64_t size) {
    uint64_t v = 0;
    for (int64_t k = size - 1; k >= 0; --k) v = v << 8 | b[at + k];
    return static_cast<int64_t>(v << (64 - 8 * size)) >> (64 - 8 * size);
}

const double kLeft[] = {0.5, -0.5, 1.0, -1.0, 0.99999, 0.0};
const double kRight[] = {-0.000001, 0.25, -1.0, 1.0, 1e-9, -0.75};
constexpr int64_t kFrames = 6;

TEST(WavWriter, EachFormatHoldsTheDriverConversionOrTheFloat) {
    // format, header bytes, bytes per sample, format code, full scale of the truncation (0: float)
    const std::tuple<WavFormat, int64_t, int64_t, int64_t, double> rows[] = {
        {WavFormat::kInt16, 44, 2, 1, 32767.0},
        {WavFormat::kInt24, 44, 3, 1, 8388607.0},
        {WavFormat::kInt32, 44, 4, 1, 2147483647.0},
        {WavFormat::kFloat32, 56, 4, 3, 0.0}};
    const std::string path = MakeTempDir() + "/out.wav";
    for (const auto& [format, header, bytes, code, scale] : rows) {
        WavWriter writer;
        ASSERT_TRUE(writer.Open(path, 48000, format));
        ASSERT_TRUE(writer.Write(kLeft, kRight, 4));
        ASSERT_TRUE(writer.Write(kLeft + 4, kRight + 4, 2));
        ASSERT_TRUE(writer.Close());
        std::vector<uint8_t> b;
        ASSERT_TRUE(ReadWholeFile(path, b));
        const int64_t size = static_cast<int64_t>(b.size());
        ASSERT_EQ(size, header + kFrames * 2 * bytes) << code;
        EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
        // RIFF size, format code, channels, rate, byte rate, frame bytes, bits and data size:
        // their offsets, sizes and values
        const int64_t at[] = {4, 20, 22, 24, 28, 32, 34, header - 4}, n[] = {4, 2, 2, 4, 4, 2, 2, 4};
        const int64_t want[] = {size - 8,      code,      2,         48000,
                                96000 * bytes, 2 * bytes, 8 * bytes, kFrames * 2 * bytes};
        for (int k = 0; k < 8; ++k) EXPECT_EQ(Le(b, at[k], n[k]), want[k]) << code << " at " << at[k];
        if (scale == 0.0) {
            EXPECT_EQ(Le(b, 44, 4), kFrames);  // the fact chunk's frame count
        }
        for (int64_t i = 0; i < 2 * kFrames; ++i) {
            const double x = i % 2 ? kRight[i / 2] : kLeft[i / 2];
            const int64_t want = scale != 0.0 ? int64_t(x * scale) : std::bit_cast<int32_t>(float(x));
            EXPECT_EQ(Le(b, header + i * bytes, bytes), want) << code << " " << i;
        }
    }
}

TEST(WavWriter, RefusesWhatItCannotWrite) {
    WavWriter writer;
    EXPECT_FALSE(writer.Open(MakeTempDir() + "/missing/out.wav", 44100, WavFormat::kInt16));
    EXPECT_FALSE(writer.error().empty());
    EXPECT_FALSE(writer.Write(kLeft, kRight, 1));

    // The 32-bit RIFF size must hold the header and all the data, and not one frame more.
    for (WavFormat format : {WavFormat::kInt16, WavFormat::kInt24, WavFormat::kInt32, WavFormat::kFloat32}) {
        const uint64_t frameBytes = 2ull * BytesPerSample(format);
        const uint64_t riff = format == WavFormat::kFloat32 ? 48 : 36;
        EXPECT_LE(riff + WavWriter::MaxFrames(format) * frameBytes, 0xFFFFFFFFull);
        EXPECT_GT(riff + (WavWriter::MaxFrames(format) + 1) * frameBytes, 0xFFFFFFFFull);
    }
}

std::string Json(AppState& app) {
    std::string out;
    AppendSongJson(app, out);
    return out;
}

// Frames 0.5, -0.25 on channel 0 and 1.0, 0.125 on channel 1.
double Two(int c, int f) {
    return c ? (f ? 0.125 : 1.0) : (f ? -0.25 : 0.5);
}

// A state as made holds the empty song: nothing listed, the ready message.
TEST(SongJson, NewSongListsNothingAndPatternsAppearWhenAnythingDiffers) {
    auto app = MakeTestApp();
    std::string tracks;
    for (int t = 0; t < kMaxTracks; ++t)
        tracks += (t ? ", " : "") + std::string("{\"name\": \"---\", \"mixer_volume\": 64}");
    EXPECT_EQ(
        Json(*app),
        "{\"status\": \"" + std::string(profile::kReadyStatus) + "\", \"name\": \"Untitled\", \"tempo\": 125, \"speed\": 6, \"track_count\": 4, "
        "\"edit_step\": 1, \"order_position\": 0, \"last_order\": 0, \"restart_order\": 0, \"orders\": [0], "
        "\"tracks\": [" +
            tracks + "], \"patterns\": [], \"instruments\": []}");

    Song& song = app->song;
    std::memcpy(song.name, "a\"b\\c\xe9\x80\x01\0x", 11);  // quotes, high bytes, a NUL ends the text
    song.lastOrder = 2;
    const uint8_t orders[] = {3, 7, 9, 200};  // 200 lies behind the last order: not listed
    std::copy(std::begin(orders), std::end(orders), song.orders);
    song.patterns[3].cells[5][2] = RawCell({49, 1, 12, 32, 0, 0, 15, 0});
    CellBytes(song.patterns[3].cells[255][31])[7] = 1;  // the very last cell counts
    song.patterns[7].rowsPerBeat = 8;
    song.patterns[9].lastRow = 15;
    SetName(song.patterns[11].name, "Intro");
    song.patterns[12].cells[100][3] = PatternCell{};  // all zero: stays unlisted
    const std::string json = Json(*app);
    EXPECT_THAT(json, HasSubstr("\"name\": \"a\\\"b\\\\c\\u00e9\\u0080\\u0001\", \"tempo\""));
    EXPECT_THAT(json, HasSubstr("\"last_order\": 2, \"restart_order\": 0, \"orders\": [3, 7, 9], "));
    EXPECT_THAT(
        json,
        HasSubstr(
            "\"patterns\": [{\"index\": 3, \"name\": \"---\", \"last_row\": 63, \"rows_per_beat\": 4, "
            "\"cells\": [[5, 2, 49, 1, 12, 32, 0, 0, 15, 0], [255, 31, 0, 0, 0, 0, 0, 0, 0, 1]]}, "
            "{\"index\": 7, \"name\": \"---\", \"last_row\": 63, \"rows_per_beat\": 8, \"cells\": []}, "
            "{\"index\": 9, \"name\": \"---\", \"last_row\": 15, \"rows_per_beat\": 4, \"cells\": []}, "
            "{\"index\": 11, \"name\": \"Intro\", \"last_row\": 63, \"rows_per_beat\": 4, \"cells\": []}], "
            "\"instruments\": []}"));
    std::memset(song.name, 'Z', sizeof song.name);  // a full field has no terminator
    EXPECT_THAT(Json(*app), HasSubstr("\"name\": \"" + std::string(sizeof song.name, 'Z') + "\", "));
}

TEST(SongJson, InstrumentsListOnlyTheSlotsThatDiffer) {
    auto app = MakeTestApp();
    app->NewSong();
    Instrument& lead = app->song.instruments[1];
    SetName(lead.name, "Lead");
    Sample& s = AddSample(*app, 1, 4, 2, 1, Two);
    s.sampleRate = 8363.0;
    s.loopMode = 1;
    s.loopLength = 2;
    s.baseNote = -3;
    app->song.instruments[5].envelopes[2].attack = 9;  // a field the JSON does not show still lists it
    app->song.instruments[6].samples[0].frames = 10;   // frames without audio: listed, not usable
    Sample& stereo = AddSample(*app, 2, 0, 2, 2, Two);
    stereo.audio[0][kSampleGuard - 1] = 0.75;  // guards are not audio
    stereo.audio[1][kSampleGuard + 2] = 0.75;

    const std::string json = Json(*app);
    EXPECT_THAT(
        json,
        HasSubstr(
            "\"instruments\": [{\"index\": 1, \"name\": \"Lead\", \"volume\": 64, \"pan\": 128, "
            "\"tune\": 128, \"cutoff\": 128, \"filter_type\": 0, \"resonance\": 128, \"samples\": "
            "[{\"slot\": 4, \"name\": \"---\", \"frames\": 2, \"channels\": 1, \"sample_rate\": 8363.0, "
            "\"loop_start\": 0, \"loop_length\": 2, \"loop_mode\": 1, \"key_low\": 0, \"key_high\": 127, "
            "\"velocity_low\": 0, \"velocity_high\": 127, \"pan\": 128, \"base_note\": -3, "
            "\"coarse_tune\": 0, \"fine_tune\": 0, \"scale_tuning\": 100, \"usable\": true, "
            "\"audio_fnv1a64\": \"27be67d4e5a3f215\"}]}, {\"index\": 2, "));
    EXPECT_THAT(json, HasSubstr("\"audio_fnv1a64\": \"359082387e7f2025\"}]}, {\"index\": 5, "));
    EXPECT_THAT(json, HasSubstr("\"samples\": []}, {\"index\": 6, "));
    EXPECT_THAT(json, HasSubstr("\"frames\": 10, \"channels\": 0, "));
    EXPECT_THAT(json, HasSubstr("\"usable\": false, \"audio_fnv1a64\": \"cbf29ce484222325\"}]}]}"));
    std::swap(stereo.audio[0], stereo.audio[1]);  // channel 0 is hashed first
    EXPECT_EQ(SampleAudioHash(stereo), 0x85932984d2306025ull);
}

TEST(SongJson, NumbersReadBackExactlyOrAreNull) {
    auto number = [](double v) {
        std::string out;
        AppendJsonDouble(out, v);
        return out;
    };
    EXPECT_EQ(number(44100.0), "44100.0");
    for (double v : {1.0 / 3.0, 22050.0 * std::sqrt(2.0), -1e-300, 1e300})
        EXPECT_EQ(std::strtod(number(v).c_str(), nullptr), v) << number(v);
    EXPECT_EQ(number(std::nan("")), "null");  // a stored rate that is not a number
    EXPECT_EQ(number(-HUGE_VAL), "null");
}

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
    app.song.masterVolume = 64;  // no clipping: the pans' ratio is measured
    app.song.patterns[0].lastRow = 3;
    app.song.patterns[0].cells[0][0] = PatternCell{61, 1, {}};
    AddSample(app, 1, 0, 64, 1, [](int, int f) { return f < 32 ? 0.9 : -0.9; }, 1, 0, 64);
}

TEST(RenderRun, PlayThroughStopsAtTheWrapAndPatternModeRepeats) {
    auto app = MakeTestApp();
    BuildSong(*app);
    RenderResult result;
    // The renderer runs this build's engine: the earlier build's pan switch sends
    // track 0 to the left at 0.66 and 0.33, the full build's centre pan splits it evenly.
    ASSERT_TRUE(RenderSong(*app, Options(256, 0.05), nullptr, result)) << result.error;
    EXPECT_NEAR(result.peak[0] / result.peak[1], profile::kPanSwitch ? 2.0 : 1.0, 1e-6);

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
