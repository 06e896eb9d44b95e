// Command line of zelmora-render.
#pragma once

#include <string>

#include "engine/output_rate.h"
#include "render/wav_writer.h"

namespace zelmora::render {

inline constexpr int kDefaultRate = 44100;
// The engine's rule for usable output rates (engine/output_rate.h).
inline constexpr int kMinRate = static_cast<int>(kLowestOutputRate);
inline constexpr int kMaxRate = static_cast<int>(kHighestOutputRate);
inline constexpr int kDefaultBufferFrames = 256;
inline constexpr double kSongCapSeconds = 20.0 * 60.0;

struct RenderOptions {
    bool help = false;
    bool info = false;
    int rate = kDefaultRate;
    int bufferFrames = kDefaultBufferFrames;
    double seconds = 0.0;  // 0: until the song has played through once
    WavFormat format = WavFormat::kInt16;
    int pattern = -1;  // order entry to play in pattern mode, -1 for song mode
    std::string input;
    std::string output;  // empty: render and discard
};

// Reads argv[1..argc-1]. False with a one-line reason in error for anything
// malformed or out of range.
bool ParseArguments(int argc, const char* const* argv, RenderOptions& options, std::string& error);

const char* HelpText();

}  // namespace zelmora::render
