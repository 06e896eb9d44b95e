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
inline constexpr int kDefaultScreenWidth = 1024;
inline constexpr int kDefaultScreenHeight = 768;
// The window is never smaller than the first; the second bounds the picture.
inline constexpr int kMinScreenWidth = 590, kMinScreenHeight = 600;
inline constexpr int kMaxScreenSide = 8192;

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
    // Pictures instead of sound: the skin, or one frame of the screen.
    std::string skinOutput;
    std::string screenOutput;
    int screenWidth = kDefaultScreenWidth;
    int screenHeight = kDefaultScreenHeight;
    int screenScale = 1;  // the frame is composed at the size / scale and shown scale times larger
    int page = -1;  // -1: the page the tracker shows after opening INPUT
};

// Reads argv[1..argc-1]. False with a one-line reason in error for anything
// malformed or out of range.
bool ParseArguments(int argc, const char* const* argv, RenderOptions& options, std::string& error);

const char* HelpText();

}  // namespace zelmora::render
