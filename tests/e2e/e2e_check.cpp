// The end-to-end scripts' checking program: makes the tone they load, and checks what
// the running tracker left behind, the recording and a screenshot.
//
//   zelmora_e2e_check tone OUT.wav           a looping 441 Hz sine, root key C-5
//   zelmora_e2e_check recording REC.wav      the four typed notes, in time and tune
//   zelmora_e2e_check screen SHOT.ppm        the four note names, stacked in one track
//   zelmora_e2e_check text SHOT.ppm TEXT     TEXT as the screen draws it, anywhere
//   zelmora_e2e_check sound REC.wav          the recording holds more than silence
//   zelmora_e2e_check module OUT.mod         a ProTracker module: one looping note on track 0
//   zelmora_e2e_check like REC.f32 REF.wav   a raw float stereo recording (made through a sound
//                                            server) has the level and pitch of a 32-bit render
//
// The typed notes are C-4, E-4, G-4 and C-5 on rows 0 to 3 of a new song
// (speed 6, tempo 125: a row is 6 x 882 frames at 44100 Hz).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "formats/byte_reader.h"
#include "support/test_support.h"
#include "support/writers_media.h"
#include "support/writers_tracker.h"
#include "ui/canvas.h"

namespace {

constexpr int kRate = 44100;
constexpr double kToneHz = 441.0;  // 100 frames a period: the one-second loop is seamless
constexpr int kRootNote = 60;
constexpr int kTypedNotes[4] = {48, 52, 55, 60};
constexpr const char* kTypedNames[4] = {"C-4", "E-4", "G-4", "C-5"};
constexpr double kRowSeconds = 6 * 882.0 / kRate;

// A second of the tone, 16-bit mono, one forward loop over all of it.
int WriteTone(const char* path) {
    zelmora::ByteWriter data;
    for (int i = 0; i < kRate; ++i)
        data.U16(static_cast<uint16_t>(std::lround(0.5 * std::sin(2.0 * M_PI * kToneHz * i / kRate) * 32767.0)));
    using namespace zelmora;
    return WriteFile(path, WriteWav({WavFmtChunk(1, 1, kRate, 16), WavSmplChunk(kRootNote, {{0, kRate - 1}}),
                                     RiffChunk("data", data.bytes)}))
               ? 0
               : 1;
}

std::vector<uint8_t> ReadAll(const char* path) {
    std::vector<uint8_t> bytes;
    zelmora::ReadWholeFile(path, bytes);
    return bytes;
}

// The left channel of a 32-bit stereo recording as doubles; the data chunk
// may still claim 0 bytes when the driver was not stopped.
std::vector<double> ReadLeft(const char* path) {
    const std::vector<uint8_t> b = ReadAll(path);
    zelmora::ByteReader in(b);
    std::vector<double> left;
    if (in.U32BE() != 0x52494646) return left;  // "RIFF"
    in.Seek(12);
    while (!in.Truncated()) {
        const uint32_t id = in.U32BE(), size = in.U32LE();
        if (id != 0x64617461) {  // "data"
            in.Seek(in.Position() + size);
            continue;
        }
        for (std::size_t p = in.Position(); p + 8 <= b.size(); p += 8) {
            in.Seek(p);
            left.push_back(static_cast<int32_t>(in.U32LE()) / 2147483648.0);
        }
        break;
    }
    return left;
}

// The upward zero crossings of a signal, in frames, interpolated.
std::vector<double> Crossings(const std::vector<double>& x) {
    std::vector<double> at;
    for (std::size_t i = 1; i < x.size(); ++i)
        if (x[i - 1] < 0.0 && x[i] >= 0.0) at.push_back(i - 1 + x[i - 1] / (x[i - 1] - x[i]));
    return at;
}

// A stretch of upward zero crossings whose periods all match one typed note.
struct Run {
    int note;           // index into kTypedNotes
    double start, end;  // seconds
};

double NoteHz(int note) {
    return kToneHz * std::pow(2.0, (note - kRootNote) / 12.0);
}

int Recording(const char* path) {
    const std::vector<double> left = ReadLeft(path);
    if (left.size() < kRate) {
        std::printf("recording %s: %zu frames, too short\n", path, left.size());
        return 1;
    }
    // Runs of consecutive periods that each match one typed note.
    std::vector<Run> runs;
    const std::vector<double> crossings = Crossings(left);
    for (std::size_t i = 1; i < crossings.size(); ++i) {
        const double previous = crossings[i - 1] / kRate, t = crossings[i] / kRate, hz = 1.0 / (t - previous);
        int match = -1;
        for (int n = 0; n < 4; ++n)
            if (std::fabs(hz / NoteHz(kTypedNotes[n]) - 1.0) < 0.02) match = n;
        if (match < 0) continue;
        if (!runs.empty() && runs.back().note == match && previous - runs.back().end < 1e-9)
            runs.back().end = t;
        else
            runs.push_back(Run{match, previous, t});
    }
    // Blips (previews, the crossings of a note's attack) go; what is left of
    // one note on both sides of a short disturbance is one run.
    std::vector<Run> notes;
    for (const Run& run : runs) {
        if (run.end - run.start < 0.03) continue;
        if (!notes.empty() && notes.back().note == run.note && run.start - notes.back().end < 0.015) {
            notes.back().end = run.end;
        } else {
            notes.push_back(run);
        }
    }
    runs = notes;
    // The played pattern: the four notes one after another, the last one held
    // (the pattern's other rows are empty). A note change is taken halfway
    // through the mixed crossings of the two voices; changes are a row apart.
    for (std::size_t r = 0; r + 4 <= runs.size(); ++r) {
        const Run* run = &runs[r];
        bool order = true;
        for (int n = 0; n < 4; ++n) order = order && run[n].note == n;
        if (!order || run[3].end - run[3].start < 3 * kRowSeconds) continue;
        double change[3];
        for (int n = 0; n < 3; ++n) change[n] = (run[n].end + run[n + 1].start) / 2;
        const double rows[3] = {change[0] - run[0].start, change[1] - change[0], change[2] - change[1]};
        std::printf("recording: C-4 E-4 G-4 C-5 from %.3f s, rows of %.4f %.4f %.4f s\n", run[0].start,
                    rows[0], rows[1], rows[2]);
        if (std::fabs(rows[0] - kRowSeconds) < 0.02 && std::fabs(rows[1] - kRowSeconds) < 0.01 &&
            std::fabs(rows[2] - kRowSeconds) < 0.01)
            return 0;
    }
    std::printf("recording %s: the typed notes were not found in %.2f s; runs of a note:\n", path,
                double(left.size()) / kRate);
    for (const Run& run : runs) {
        std::printf("  %s %.3f..%.3f\n", kTypedNames[run.note], run.start, run.end);
    }
    return 1;
}

// A binary PPM (P6, 8-bit) as 0x00RRGGBB pixels.
bool ReadPpm(const char* path, int& w, int& h, std::vector<uint32_t>& pixels) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> w >> h >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255 || w <= 0 || h <= 0 || w > 8192 || h > 8192) return false;
    std::vector<uint8_t> rgb(std::size_t(w) * h * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    if (!in) return false;
    pixels.resize(std::size_t(w) * h);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}

// The screenshot, and the pictures of texts as the screen draws them: in the
// 7 x 8 text font (or the 6 x 8 small font), in each of the styles 0..2.
struct Shot {
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;

    // Whether `text` in that font and one of the styles stands at (x, y).
    bool Shows(const zelmora::Canvas& glyphs, int textW, int x, int y) const {
        if (x < 0 || y < 0 || x + textW > w || y + 8 > h) return false;
        for (int style = 0; style < 3; ++style) {
            bool same = true;
            for (int gy = 0; gy < 8 && same; ++gy)
                for (int gx = 0; gx < textW && same; ++gx)
                    same = pixels[std::size_t(y + gy) * w + x + gx] == glyphs.At(gx, 8 * style + gy);
            if (same) return true;
        }
        return false;
    }
};

zelmora::Canvas TextPictures(const char* text, int count, int pitch) {
    zelmora::Canvas glyphs(pitch * count, 8 * 3, zelmora::BuiltInSkin());
    for (int style = 0; style < 3; ++style) {
        if (pitch == 7)
            glyphs.Text(0, 8 * style, text, count, style);
        else
            glyphs.SmallText(0, 8 * style, text, count, style);
    }
    return glyphs;
}

// The four typed note names, all in one column on consecutive rows.
int Screen(const Shot& shot) {
    std::vector<zelmora::Canvas> names;
    for (const char* name : kTypedNames) names.push_back(TextPictures(name, 3, 7));
    // A skin without its font would make every needle one colour, found anywhere.
    bool blank = true;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 21; ++x) blank = blank && names[0].At(x, y) == names[0].At(0, 0);
    if (blank) {
        std::printf("screen: the skin's glyphs are blank\n");
        return 1;
    }
    for (int y = 0; y + 8 <= shot.h; ++y)
        for (int x = 0; x + 21 <= shot.w; ++x) {
            if (!shot.Shows(names[0], 21, x, y)) continue;
            // The rows below, at the row pitch the pattern view uses.
            for (int pitch = 8; pitch <= 16; ++pitch)
                if (shot.Shows(names[1], 21, x, y + pitch) && shot.Shows(names[2], 21, x, y + 2 * pitch) &&
                    shot.Shows(names[3], 21, x, y + 3 * pitch)) {
                    std::printf("screen: C-4 E-4 G-4 C-5 at x %d, y %d, %d pixels apart\n", x, y, pitch);
                    return 0;
                }
        }
    std::printf("screen: the four typed note names were not found\n");
    return 1;
}

// A text anywhere in the screenshot.
int Text(const Shot& shot, const char* text) {
    const int count = static_cast<int>(std::strlen(text));
    if (count == 0) return 1;
    for (const int pitch : {7, 6}) {
        const zelmora::Canvas glyphs = TextPictures(text, count, pitch);
        for (int y = 0; y + 8 <= shot.h; ++y)
            for (int x = 0; x + pitch * count <= shot.w; ++x)
                if (shot.Shows(glyphs, pitch * count, x, y)) {
                    std::printf("text: \"%s\" at x %d, y %d\n", text, x, y);
                    return 0;
                }
    }
    std::printf("text: \"%s\" was not found\n", text);
    return 1;
}

// More than silence in the recording's left channel: a sample above -60 dB.
int Sound(const char* path) {
    for (double v : ReadLeft(path))
        if (std::fabs(v) > 0.001) return 0;
    std::printf("sound %s: silent\n", path);
    return 1;
}

// The level (RMS of the frames that sound) and the pitch (median period
// between upward zero crossings) of a channel, where a sound server may
// have dropped or delayed stretches of it.
struct Measure {
    std::size_t sounding = 0;
    double rms = 0.0, hz = 0.0;
};

Measure MeasureChannel(const std::vector<double>& x, double rate) {
    Measure m;
    double sum = 0.0;
    for (double v : x)
        if (std::fabs(v) > 1e-4) {
            sum += v * v;
            ++m.sounding;
        }
    if (m.sounding > 0) m.rms = std::sqrt(sum / m.sounding);
    const std::vector<double> at = Crossings(x);
    std::vector<double> periods;
    for (std::size_t i = 1; i < at.size(); ++i) periods.push_back(at[i] - at[i - 1]);
    if (!periods.empty()) {
        std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
        m.hz = rate / periods[periods.size() / 2];
    }
    return m;
}

int Like(const char* recording, const char* reference) {
    constexpr double kServerRate = 48000.0;
    const std::vector<uint8_t> b = ReadAll(recording);
    std::vector<double> left;
    for (std::size_t p = 0; p + 8 <= b.size(); p += 8) {
        float v;
        std::memcpy(&v, &b[p], 4);
        left.push_back(v);
    }
    const Measure got = MeasureChannel(left, kServerRate), want = MeasureChannel(ReadLeft(reference), kServerRate);
    const double db = got.rms > 0.0 && want.rms > 0.0 ? 20.0 * std::log10(got.rms / want.rms) : 99.0;
    const double pitch = want.hz > 0.0 ? got.hz / want.hz - 1.0 : 1.0;
    std::printf("like: %zu frames sound, level %.4f against %.4f (%+.2f dB), pitch %.2f Hz against %.2f Hz (%+.3f%%)\n",
                got.sounding, got.rms, want.rms, db, got.hz, want.hz, 100.0 * pitch);
    return got.sounding >= kServerRate && std::fabs(db) < 0.5 && std::fabs(pitch) < 0.005 ? 0 : 1;
}

// Four channels, one pattern of 64 rows: a looping square wave starts at
// period 428 on row 0 of track 0 and sounds for as long as the song plays.
int WriteModule(const char* path) {
    zelmora::ModSpec spec;
    spec.title = "e2e module";
    spec.samples.assign(31, {"", 0, 0, 0, 0, 1});  // the unused ones silent
    spec.samples[0] = {"square", 32, 0, 64, 0, 32};
    spec.cells = {{0, 0, 0, 428, 1, 0, 0}};
    std::vector<int8_t> square(64, 96);
    std::fill(square.begin() + 32, square.end(), -96);
    spec.sampleData = {square};
    return zelmora::WriteFile(path, zelmora::WriteMod(spec)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "module") == 0) return WriteModule(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "tone") == 0) return WriteTone(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "recording") == 0) return Recording(argv[2]);
    if ((argc == 3 && std::strcmp(argv[1], "screen") == 0) || (argc == 4 && std::strcmp(argv[1], "text") == 0)) {
        Shot shot;
        if (!ReadPpm(argv[2], shot.w, shot.h, shot.pixels)) {
            std::printf("%s: not a readable PPM\n", argv[2]);
            return 1;
        }
        return argc == 3 ? Screen(shot) : Text(shot, argv[3]);
    }
    if (argc == 3 && std::strcmp(argv[1], "sound") == 0) return Sound(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "like") == 0) return Like(argv[2], argv[3]);
    std::fprintf(stderr, "usage: zelmora_e2e_check tone|recording|screen|sound|module FILE | text SHOT TEXT\n");
    return 2;
}
