#include "render/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/profile.h"
#include "ui/screen.h"

namespace zelmora::render {

namespace {

bool ParseInt(const char* text, long lowest, long highest, int& value) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lowest || v > highest) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseSeconds(const char* text, double& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(v) || v <= 0.0) return false;
    value = v;
    return true;
}

// "WxH" within the window's minimum and the picture's maximum.
bool ParseSize(const char* text, int& width, int& height) {
    if (!text) return false;
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    const std::string w(text, x);
    return ParseInt(w.c_str(), kMinScreenWidth, kMaxScreenSide, width) &&
           ParseInt(x + 1, kMinScreenHeight, kMaxScreenSide, height);
}

}  // namespace

bool ParseArguments(int argc, const char* const* argv, RenderOptions& options, std::string& error) {
    options = RenderOptions{};
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&](const char* name) {
            if (value) return true;
            error = std::string(name) + " needs a value";
            return false;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--info") == 0) {
            options.info = true;
        } else if (std::strcmp(arg, "--rate") == 0) {
            if (!needValue(arg)) return false;
            // SANITY: a rate below a few hundred hertz makes a tick shorter
            // than one frame, so the sequencer could never advance; far above
            // any device it only wastes time and disk.
            if (!ParseInt(value, kMinRate, kMaxRate, options.rate)) {
                error = "--rate must be a whole number of hertz from 8000 to 768000";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--buffer") == 0) {
            if (!needValue(arg)) return false;
            if (!ParseInt(value, 1, kMaxBufferFrames, options.bufferFrames)) {
                error = "--buffer must be a whole number of frames from 1 to 16384";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--seconds") == 0) {
            if (!needValue(arg)) return false;
            if (!ParseSeconds(value, options.seconds)) {
                error = "--seconds must be a positive number";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--bits") == 0) {
            if (!needValue(arg)) return false;
            if (std::strcmp(value, "16") == 0) {
                options.format = WavFormat::kInt16;
            } else if (std::strcmp(value, "24") == 0) {
                options.format = WavFormat::kInt24;
            } else if (std::strcmp(value, "32") == 0) {
                options.format = WavFormat::kInt32;
            } else if (std::strcmp(value, "f32") == 0) {
                options.format = WavFormat::kFloat32;
            } else {
                error = "--bits must be 16, 24, 32 or f32";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--pattern") == 0) {
            if (!needValue(arg)) return false;
            if (!ParseInt(value, 0, kMaxOrders - 1, options.pattern)) {
                error = "--pattern must be an order entry from 0 to 255";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--skin") == 0 || std::strcmp(arg, "--screen") == 0) {
            if (!needValue(arg)) return false;
            (arg[3] == 'k' ? options.skinOutput : options.screenOutput) = value;
            ++i;
        } else if (std::strcmp(arg, "--size") == 0) {
            if (!needValue(arg)) return false;
            if (!ParseSize(value, options.screenWidth, options.screenHeight)) {
                error = "--size must be WIDTHxHEIGHT, at least 590x600 and at most 8192x8192";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--scale") == 0) {
            if (!needValue(arg)) return false;
            if (!ParseInt(value, 1, profile::kIntegerScaling ? kMaxScale : 1, options.screenScale)) {
                error =
                    profile::kIntegerScaling ? "--scale must be 1 to 4" : "--scale must be 1 in this build";
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--page") == 0) {
            if (!needValue(arg)) return false;
            if (!ParseInt(value, 0, 5, options.page)) {
                error = "--page must be 0 to 5";
                return false;
            }
            ++i;
        } else if (arg[0] == '-' && arg[1] == '-') {
            error = std::string("unknown option ") + arg;
            return false;
        } else if (positional == 0) {
            options.input = arg;
            ++positional;
        } else if (positional == 1) {
            options.output = arg;
            ++positional;
        } else {
            error = std::string("unexpected argument ") + arg;
            return false;
        }
    }
    if (options.help) return true;
    if (options.screenWidth / options.screenScale < kMinScreenWidth ||
        options.screenHeight / options.screenScale < kMinScreenHeight) {
        error = "--size divided by --scale must be at least 590x600, the smallest window";
        return false;
    }
    const bool picture = !options.skinOutput.empty() || !options.screenOutput.empty();
    if (picture) {
        if (!options.skinOutput.empty() && !options.screenOutput.empty()) {
            error = "--skin and --screen write one picture at a time";
            return false;
        }
        if (!options.output.empty() || options.info || (!options.skinOutput.empty() && !options.input.empty())) {
            error = "--skin takes no input; --screen takes at most the input file";
            return false;
        }
        return true;
    }
    if (options.input.empty()) {
        error = "no input file given";
        return false;
    }
    if (options.info && !options.output.empty()) {
        error = "--info takes only the input file";
        return false;
    }
    return true;
}

const char* HelpText() {
    return "usage: zelmora-render [--rate HZ] [--buffer FRAMES] [--seconds S] [--bits 16|24|32|f32]\n"
           "                      [--pattern N] INPUT [OUTPUT.wav]\n"
           "       zelmora-render --info INPUT\n"
           "       zelmora-render --skin OUT.bmp\n"
           "       zelmora-render --screen OUT.bmp [--size WxH] [--scale N] [--page N] [--seconds S]\n"
           "                      [INPUT]\n"
           "\n"
           "Loads INPUT the way the tracker opens a file (chosen by its extension: zmo, mod,\n"
           "s3m, xm, okt, mid, sf2, wav) and renders it offline, without an audio device.\n"
           "The status line of the import is printed on stderr; if it begins with \"Error: \"\n"
           "the program exits with status 1 and writes nothing.\n"
           "\n"
           "  --rate HZ        output sample rate, 8000..768000 (default 44100)\n"
           "  --buffer FRAMES  frames rendered per engine call, 1..16384 (default 256)\n"
           "  --seconds S      render exactly S seconds; without it the song plays through\n"
           "                   once: until the order position moves from the last order to\n"
           "                   the restart order, or the song stops itself (command 15 with\n"
           "                   0), at most 20 minutes\n"
           "  --bits B         16 (default), 24 or 32-bit PCM, or f32 for 32-bit float; 16 and\n"
           "                   32 bits truncate x times 32767 or 2147483647 exactly as the\n"
           "                   audio driver output does, so a recording and a render of the\n"
           "                   same song are bit-identical\n"
           "  --pattern N      play the pattern of order entry N in pattern mode (it repeats\n"
           "                   until it stops itself, so give --seconds)\n"
           "  --info           print the loaded song as one JSON object on stdout (also\n"
           "                   after an import error, which still exits with status 1)\n"
           "  --skin OUT.bmp   write the skin picture the tracker draws its screen from\n"
           "  --screen OUT.bmp write one frame of the tracker's screen as the window shows\n"
           "                   it after INPUT was opened (a new song without INPUT)\n"
           "  --size WxH       the window's client size for --screen, from 590x600 (the\n"
           "                   smallest window) to 8192x8192; default 1024x768\n"
           "  --scale N        draw the screen N times larger (1 to 4), as the tracker does on\n"
           "                   dense screens: the frame is composed at WxH / N and each of\n"
           "                   its pixels shown as an N x N block; default 1\n"
           "  --page N         the page shown: 0 Setup, 1 Browser (with the current folder\n"
           "                   listed, as after opening), 2 Instrument, 3 Region, 4 Sample,\n"
           "                   5 Master\n"
           "                   With --seconds, the song plays that long first, so the\n"
           "                   picture shows the playing row and the meters\n"
           "                   Both pictures are 24-bit bottom-up BMP files.\n"
           "  --help           this text\n"
           "\n"
           "OUTPUT is a stereo WAV file; without it the audio is rendered and discarded,\n"
           "which measures the speed of the engine. On a terminal a progress bar is shown,\n"
           "and at the end one line with the seconds rendered, the wall time, the real-time\n"
           "factor, the peak level of each channel in dBFS (before the clip) and the number\n"
           "of clipped samples.\n"
           "\n"
           "Exit status: 0 done, 1 the import failed, 2 bad arguments or the output could\n"
           "not be written (an unfinished WAV file is removed).\n";
}

}  // namespace zelmora::render
