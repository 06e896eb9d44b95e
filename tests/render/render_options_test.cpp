#include "render/render_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace zelmora::render {
namespace {

bool Parse(std::initializer_list<const char*> args, RenderOptions& options, std::string& error) {
    std::vector<const char*> argv{"zelmora-render"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ParseArguments(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(RenderOptions, DefaultsAndEveryOption) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"song.mod"}, o, error)) << error;
    EXPECT_EQ(o.rate, 44100);
    EXPECT_EQ(o.bufferFrames, 256);
    EXPECT_EQ(o.seconds, 0.0);
    EXPECT_EQ(o.format, WavFormat::kInt16);
    EXPECT_EQ(o.pattern, -1);
    EXPECT_EQ(o.input, "song.mod");
    EXPECT_TRUE(o.output.empty());

    ASSERT_TRUE(Parse({"--rate", "48000", "--buffer", "16384", "--seconds", "2.5", "--bits", "f32", "--pattern",
                       "3", "in.xm", "out.wav"},
                      o, error))
        << error;
    EXPECT_EQ(o.rate, 48000);
    EXPECT_EQ(o.bufferFrames, 16384);
    EXPECT_EQ(o.seconds, 2.5);
    EXPECT_EQ(o.format, WavFormat::kFloat32);
    EXPECT_EQ(o.pattern, 3);
    EXPECT_EQ(o.output, "out.wav");

    ASSERT_TRUE(Parse({"--info", "x.zmo"}, o, error));
    EXPECT_TRUE(o.info);
    ASSERT_TRUE(Parse({"--help"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(RenderOptions, RejectsValuesOutOfRange) {
    RenderOptions o;
    std::string error;
    const std::vector<std::vector<const char*>> bad = {
        {"--buffer", "0", "a.mod"},     {"--buffer", "16385", "a.mod"}, {"--buffer", "12x", "a.mod"},
        {"--rate", "0", "a.mod"},       {"--rate", "100", "a.mod"},     {"--rate", "99999999999", "a.mod"},
        {"--seconds", "-1", "a.mod"},   {"--seconds", "nan", "a.mod"},  {"--seconds", "inf", "a.mod"},
        {"--seconds", "0", "a.mod"},    {"--bits", "8", "a.mod"},       {"--pattern", "256", "a.mod"},
        {"--pattern", "-1", "a.mod"},   {"a.mod", "--buffer"},          {"--loud", "a.mod"},
        {"a.mod", "b.wav", "c.wav"},    {},                             {"--info", "a.mod", "b.wav"},
    };
    for (const auto& args : bad) {
        std::vector<const char*> argv{"zelmora-render"};
        argv.insert(argv.end(), args.begin(), args.end());
        error.clear();
        EXPECT_FALSE(ParseArguments(static_cast<int>(argv.size()), argv.data(), o, error))
            << (args.empty() ? "(none)" : args[0]) << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace zelmora::render
