#include "render/render_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/profile.h"

namespace zelmora::render {
namespace {

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

}  // namespace
}  // namespace zelmora::render
