// RIFF WAVE files into the current sample slot: integer PCM of 8 to 32 bits
// and floating point of 32 or 64 bits, with the sampler and instrument chunks.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "formats/importers.h"
#include "platform/platform.h"

namespace zelmora {

namespace {

constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kFloatTag = 3;

struct WavFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

bool IsChunk(const char (&id)[4], const char* name) { return std::memcmp(id, name, 4) == 0; }

double ReadValue(ByteReader& in, const WavFormat& format) {
    if (format.tag == kPcmTag) {
        switch (format.bits) {
            case 8: return in.U8() / 128.0 - 1.0;
            case 16: return in.I16LE() / 32768.0;
            case 24: {
                uint8_t b[3];
                in.Read(b, 3);
                const uint32_t raw = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                     (static_cast<uint32_t>(b[2]) << 16);
                const int32_t v = static_cast<int32_t>(raw << 8) >> 8;
                return v / 8388608.0;
            }
            case 32: return in.I32LE() / 2147483648.0;
            default: break;
        }
    } else if (format.tag == kFloatTag) {
        if (format.bits == 32) return FiniteOrZero(in.F32LE());
        if (format.bits == 64) return FiniteOrZero(in.F64LE());
    }
    // Other depths stay silent but still take their bytes.
    in.Skip(format.bits / 8);
    return 0.0;
}

void ReadAudio(AppState& app, Sample& sample, ByteReader data, uint32_t declaredSize, const WavFormat& format) {
    // SANITY: a later data chunk does not replace audio already loaded (the
    // slot would have to be freed under a playing voice).
    if (sample.audio) return;
    const uint64_t bytesPerValue = format.bits / 8;
    const uint64_t bytesPerFrame = bytesPerValue * format.channels;
    // SANITY: a block align of 0 is taken as the size of one frame of values;
    // a format whose frames take no bytes loads no audio.
    const uint64_t blockAlign = format.blockAlign ? format.blockAlign : bytesPerFrame;
    if (blockAlign == 0 || bytesPerFrame == 0) return;
    uint64_t frames = declaredSize / blockAlign;
    // SANITY: a data chunk shorter than it claims (or than the file) gives only
    // the frames that are really there, so no more memory is taken than the
    // file can fill.
    const uint64_t present = data.Size() / bytesPerFrame;
    if (frames > present) frames = present;
    if (frames > static_cast<uint64_t>(INT32_MAX - 2 * kSampleGuard)) frames = INT32_MAX - 2 * kSampleGuard;
    if (frames == 0) return;

    sample.sampleRate = static_cast<double>(format.sampleRate);
    sample.channels = format.channels;
    sample.frames = static_cast<int32_t>(frames);
    if (!app.AllocateSampleAudio(sample)) {
        sample.frames = 0;
        sample.channels = 0;
        return;
    }
    for (int32_t f = 0; f < sample.frames; ++f)
        for (int c = 0; c < sample.channels; ++c) sample.audio[c][kSampleGuard + f] = ReadValue(data, format);
}

struct Loop {
    bool present = false;
    int32_t start = 0, length = 0;
};

void ReadSamplerChunk(Sample& sample, Loop& loop, ByteReader in) {
    in.Skip(3 * 4);  // manufacturer, product, sample period
    sample.baseNote = static_cast<int8_t>(in.U32LE() & 0xFF);
    in.Skip(3 * 4);  // pitch fraction, SMPTE format and offset
    const uint32_t loops = in.U32LE();
    in.Skip(4);  // sampler data
    if (loops == 0) return;
    in.Skip(2 * 4);  // cue identifier, type
    const int64_t start = in.U32LE();
    const int64_t end = in.U32LE();
    // SANITY: loop positions beyond 32 bits of signed range are clamped.
    loop.present = true;
    loop.start = ClampToInt32(start);
    loop.length = ClampToInt32(end - start + 1);
}

void ReadInstrumentChunk(Sample& sample, ByteReader& in) {
    sample.baseNote = static_cast<int8_t>(in.U8());
    sample.fineTune = in.I8();
    in.U8();  // gain
    sample.keyLow = in.U8();
    sample.keyHigh = in.U8();
    sample.velocityLow = in.U8();
    sample.velocityHigh = in.U8();
    in.Skip(1);  // pad byte
}

// The file name without its folder and extension, lower-cased as the import
// dispatch lower-cases the path.
std::string FileTitle(const std::string& path) {
    const bool windows = PathSeparator() == '\\';  // where "C:name" names a file on drive C
    std::size_t begin = path.size();
    while (begin > 0 && !IsPathSeparator(path[begin - 1]) && !(windows && path[begin - 1] == ':')) --begin;
    std::size_t end = path.find_last_of('.');
    if (end == std::string::npos || end < begin) end = path.size();
    std::string title = path.substr(begin, end - begin);
    for (char& c : title)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return title;
}

}  // namespace

void ImportWavData(AppState& app, ByteReader in, const std::string& path) {
    // SANITY: a current instrument or sample outside the song's slots loads nothing.
    if (app.currentInstrument < 0 || app.currentInstrument >= kMaxInstruments || app.currentSample < 0 ||
        app.currentSample >= kMaxSampleSlots)
        return;
    Instrument& instrument = app.song.instruments[app.currentInstrument];
    Sample& sample = instrument.samples[app.currentSample];
    app.ClearSample(sample);
    const std::string title = FileTitle(path);
    SetName(sample.name, title.c_str());
    if (app.currentSample == 0) SetName(instrument.name, title.c_str());

    WavFormat format;
    // The loop is put on the slot once the audio is known, so a voice that
    // starts on the slot meanwhile never sees a loop beyond the frames.
    Loop loop;
    for (;;) {
        char id[4];
        if (in.Remaining() < sizeof id) break;
        in.Read(id, sizeof id);
        if (IsChunk(id, "WAVE")) {
            if (in.AtEnd()) break;
            continue;
        }
        const uint32_t size = in.U32LE();
        if (IsChunk(id, "RIFF")) {
            // The next identifier is the form type.
        } else if (IsChunk(id, "fmt ")) {
            // SANITY: fields are read only from inside their chunk; a chunk too
            // short for them (or cut by the end of the file) leaves them 0.
            ByteReader body = in.Sub(size);
            format.tag = body.U16LE();
            format.channels = body.U16LE();
            format.sampleRate = body.U32LE();
            body.Skip(4);  // byte rate
            format.blockAlign = body.U16LE();
            format.bits = body.U16LE();
        } else if (IsChunk(id, "data")) {
            ByteReader body = in.Sub(size);
            if (format.tag == kPcmTag || format.tag == kFloatTag) ReadAudio(app, sample, body, size, format);
        } else if (IsChunk(id, "smpl")) {
            ReadSamplerChunk(sample, loop, in.Sub(size));
        } else if (IsChunk(id, "inst")) {
            ReadInstrumentChunk(sample, in);
        } else {
            in.Skip(size);
        }
        if (in.AtEnd()) break;
    }
    if (loop.present) {
        StateGuard lock(app.stateLock);
        sample.loopMode = 1;
        sample.loopStart = loop.start;
        sample.loopLength = loop.length;
        sample.reserved = 0;
        FitLoopInsideSample(sample);
    }

    const char* channelText = format.channels == 1 ? "Mono" : format.channels == 2 ? "Stereo" : nullptr;
    char channels[24];
    if (channelText) {
        FormatBounded(channels, sizeof channels, "%s", channelText);
    } else {
        FormatBounded(channels, sizeof channels, "%d Channels", format.channels);
    }
    if (format.tag == kPcmTag) {
        SetStatus(app, "PCM Wave Loaded (%d Hz, %s, %d Bits).", static_cast<int>(format.sampleRate), channels,
                  format.bits);
    } else if (format.tag == kFloatTag) {
        SetStatus(app, "Floating Point Wave Loaded (%d Hz, %s, %d Bits).", static_cast<int>(format.sampleRate),
                  channels, format.bits);
    }
}

void ImportWav(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes)) return;
    ImportWavData(app, ByteReader(bytes), path);
}

}  // namespace zelmora
