// FastTracker 2 extended modules: a fixed header, packed patterns with a
// volume column, then instruments each followed by their samples' delta data.
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"

namespace zelmora {

namespace {

constexpr double kXmSampleRate = 16726.0;
constexpr uint8_t kXmKeyOff = 97;
constexpr int kXmKeys = 96;

struct XmSampleHeader {
    uint32_t lengthBytes = 0;
    bool sixteenBit = false;
};

// The volume column as an effect command; false leaves effect 1 empty.
bool TranslateVolumeColumn(uint8_t v, uint8_t& command, uint8_t& parameter) {
    const uint8_t x = v & 15;
    if (v >= 0x10 && v <= 0x50) {
        command = 12;
        parameter = static_cast<uint8_t>(v - 0x10);
    } else if (v >= 0x60 && v <= 0x6F) {
        command = 10;
        parameter = x;
    } else if (v >= 0x70 && v <= 0x7F) {
        command = 10;
        parameter = static_cast<uint8_t>(x << 4);
    } else if (v >= 0x80 && v <= 0x8F) {
        command = 14;
        parameter = static_cast<uint8_t>(0xB0 + x);
    } else if (v >= 0x90 && v <= 0x9F) {
        command = 14;
        parameter = static_cast<uint8_t>(0xA0 + x);
    } else if (v >= 0xC0 && v <= 0xCF) {
        command = 8;
        parameter = static_cast<uint8_t>(x << 4);
    } else if (v >= 0xF0) {
        command = 3;
        parameter = x;
    } else {
        return false;
    }
    return true;
}

void ReadCell(ByteReader& in, PatternCell& cell) {
    const uint8_t b = in.U8();
    uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
    if (b & 0x80) {
        if (b & 1) note = in.U8();
        if (b & 2) instrument = in.U8();
        if (b & 4) volume = in.U8();
        if (b & 8) effect = in.U8();
        if (b & 16) parameter = in.U8();
    } else {
        note = b;
        instrument = in.U8();
        volume = in.U8();
        effect = in.U8();
        parameter = in.U8();
    }
    cell.note = note == kXmKeyOff ? kNoteOff : note;
    cell.instrument = instrument;
    uint8_t volumeCommand = 0, volumeParameter = 0;
    TranslateVolumeColumn(volume, volumeCommand, volumeParameter);
    SetImportedEffect(cell, 0, volumeCommand, volumeParameter);
    SetImportedEffect(cell, 1, effect, parameter);
    if constexpr (profile::kCellTiming) FitCellToTimingLayout(cell);
}

// `pattern` is null for patterns past the song's 256, which are only skipped.
void ReadPattern(ByteReader& in, int channels, Pattern* pattern) {
    const uint32_t headerLength = in.U32LE();
    in.Skip(1);  // packing type
    const int rows = in.U16LE();
    const uint16_t packedSize = in.U16LE();
    // SANITY: a longer pattern header is skipped rather than read as cells.
    if (headerLength > 9) in.Skip(headerLength - 9);
    // SANITY: a pattern keeps at most 256 rows, and a count of 0 gives one row.
    const int keptRows = std::clamp(rows, 1, kMaxRows);
    if (pattern) pattern->lastRow = static_cast<uint8_t>(keptRows - 1);
    // SANITY: cells are read only from the pattern's own packed data, and the
    // next pattern starts behind it whatever the cells used.
    ByteReader packed = in.Sub(packedSize);
    if (!pattern) return;
    PatternCell spare{};
    for (int r = 0; r < keptRows && !packed.AtEnd(); ++r) {
        for (int c = 0; c < channels && !packed.AtEnd(); ++c) {
            // SANITY: channels past the song's 32 are read and dropped.
            spare = PatternCell{};
            ReadCell(packed, c < kMaxTracks ? pattern->cells[r][c] : spare);
        }
    }
}

XmSampleHeader ReadSampleHeader(ByteReader& in, Instrument& instrument, Sample* s) {
    XmSampleHeader h;
    h.lengthBytes = in.U32LE();
    uint32_t loopStart = in.U32LE();
    uint32_t loopLength = in.U32LE();
    const uint8_t volume = in.U8();
    const int8_t finetune = in.I8();
    const uint8_t type = in.U8();
    const uint8_t pan = in.U8();
    const int8_t relativeNote = in.I8();
    in.Skip(1);
    h.sixteenBit = (type & 0x10) != 0;
    if (!s) {
        in.Skip(22);
        return h;
    }
    uint32_t frames = h.lengthBytes;
    if (h.sixteenBit) {
        frames /= 2;
        loopStart /= 2;
        loopLength /= 2;
    }
    s->sampleRate = kXmSampleRate;
    s->frames = ClampToInt32(frames);
    s->loopStart = ClampToInt32(loopStart);
    s->loopLength = ClampToInt32(loopLength);
    s->loopMode = 0;
    if (loopLength != 0) {
        if (type & 3) s->loopMode = 1;
        if (type & 2) s->loopMode = 2;
    }
    s->fineTune = static_cast<int8_t>(finetune * 0.78125);  // truncated toward zero
    s->coarseTune = relativeNote;
    instrument.volume = volume;
    instrument.pan = pan;
    std::memset(s->name, 0, sizeof s->name);
    in.Read(s->name, 22);
    return h;
}

void ReadSampleData(AppState& app, ByteReader& in, const XmSampleHeader& h, Sample& s) {
    const std::size_t width = h.sixteenBit ? 2 : 1;
    // SANITY: a sample is cut to the data that remains in the file.
    const std::size_t frames = std::min<std::size_t>(static_cast<std::size_t>(std::max(s.frames, 0)),
                                                     std::min<std::size_t>(h.lengthBytes, in.Remaining()) / width);
    s.frames = static_cast<int32_t>(std::min<std::size_t>(frames, INT32_MAX - 2 * kSampleGuard));
    if (s.frames > 0) {
        s.channels = 1;
        if (!app.AllocateSampleAudio(s)) {
            s.frames = 0;
            s.channels = 0;
        }
    }
    std::size_t consumed = 0;
    if (s.audio) {
        double* out = s.audio[0] + kSampleGuard;
        if (h.sixteenBit) {
            int16_t running = 0;
            for (int32_t f = 0; f < s.frames; ++f) {
                running = static_cast<int16_t>(running + in.I16LE());
                out[f] = running / 32768.0;
            }
        } else {
            constexpr double scale = profile::kXm8BitScale;
            int8_t running = 0;
            for (int32_t f = 0; f < s.frames; ++f) {
                running = static_cast<int8_t>(running + in.I8());
                out[f] = running / scale;
            }
        }
        consumed = static_cast<std::size_t>(s.frames) * width;
    }
    if (h.lengthBytes > consumed) in.Skip(h.lengthBytes - consumed);
    FitLoopInsideSample(s);
}

// SANITY: the instrument's key map decides which sample plays a note.
// Key k (0..95, XM note k + 1) is our note number k; notes 96..127, which an XM
// cell cannot hold but the editor can play, follow key 95. Each run of
// neighbouring keys that names one sample is a span. A sample's first span
// becomes its slot's key range; every further span of the same sample (a
// sample named in separate places of the map) gets a copy of the sample in the
// lowest slot the instrument leaves unused, with that span as its key range,
// so every key plays exactly the sample the map names. When no slot is left
// for a copy, that span stays silent. A sample the map never names keeps an
// empty key range and never plays, as in FastTracker 2.
void ApplyKeyMap(AppState& app, const uint8_t (&keyMap)[kXmKeys], int samples, Instrument& instrument) {
    constexpr int kKeys = 128;
    auto owner = [&](int key) { return keyMap[key < kXmKeys ? key : kXmKeys - 1]; };
    bool placed[kMaxSampleSlots] = {};
    int spare = samples;
    for (int key = 0; key < kKeys;) {
        const int sample = owner(key);
        int last = key;
        while (last + 1 < kKeys && owner(last + 1) == sample) ++last;
        if (sample < samples) {
            Sample& source = instrument.samples[sample];
            Sample* slot = nullptr;
            if (!placed[sample]) {
                placed[sample] = true;
                slot = &source;
            } else if (spare < kMaxSampleSlots && UsableFrames(source) != 0) {
                Sample& copy = instrument.samples[spare++];
                Sample fields = source;
                fields.audio = nullptr;
                copy = fields;
                if (app.AllocateSampleAudio(copy)) {
                    for (int32_t c = 0; c < copy.channels; ++c)
                        std::memcpy(copy.audio[c], source.audio[c],
                                    sizeof(double) * (static_cast<std::size_t>(copy.frames) + 2 * kSampleGuard));
                    slot = &copy;
                } else {
                    copy.frames = copy.channels = 0;
                }
            }
            if (slot) {
                slot->keyLow = static_cast<uint8_t>(key);
                slot->keyHigh = static_cast<uint8_t>(last);
            }
        }
        key = last + 1;
    }
    for (int j = 0; j < samples; ++j)
        if (!placed[j]) {
            instrument.samples[j].keyLow = 127;
            instrument.samples[j].keyHigh = 0;
        }
}

// `instrument` is null for instruments past the song's 255, which are skipped.
void ReadInstrument(AppState& app, ByteReader& in, Instrument& instrument) {
    const uint32_t headerSize = in.U32LE();
    std::memset(instrument.name, 0, sizeof instrument.name);
    in.Read(instrument.name, 22);
    in.Skip(1);  // type
    const int sampleCount = in.U16LE();
    if (sampleCount == 0) {
        if (headerSize > 29) in.Skip(headerSize - 29);
        return;
    }
    // Sample header size (40 assumed), key map, two envelopes, 16 single bytes.
    in.Skip(4);
    uint8_t keyMap[kXmKeys];
    in.Read(keyMap, sizeof keyMap);
    in.Skip(48 + 48 + 16);
    if (headerSize > 241) in.Skip(headerSize - 241);

    // SANITY: samples past the instrument's 256 slots are read past and dropped.
    std::vector<XmSampleHeader> headers;
    headers.reserve(static_cast<std::size_t>(std::min(sampleCount, kMaxSampleSlots)));
    uint64_t droppedBytes = 0;
    for (int j = 0; j < sampleCount && !in.Truncated(); ++j) {
        if (j < kMaxSampleSlots) {
            headers.push_back(ReadSampleHeader(in, instrument, &instrument.samples[j]));
        } else {
            droppedBytes += ReadSampleHeader(in, instrument, nullptr).lengthBytes;
        }
    }
    for (std::size_t j = 0; j < headers.size(); ++j) ReadSampleData(app, in, headers[j], instrument.samples[j]);
    in.Skip(static_cast<std::size_t>(std::min<uint64_t>(droppedBytes, in.Remaining() + 1)));
    ApplyKeyMap(app, keyMap, static_cast<int>(headers.size()), instrument);
}

}  // namespace

void ImportXmData(AppState& app, ByteReader in) {
    char tracker[21] = {};
    uint16_t version = 0;
    {
        StateGuard lock(app.stateLock);
        app.NewSong();
        Song& song = app.song;

        in.Skip(17);  // ID text
        std::memset(song.name, 0, sizeof song.name);
        in.Read(song.name, 20);
        in.Skip(1);
        in.Read(tracker, 20);
        version = in.U16LE();
        const uint32_t headerSize = in.U32LE();
        song.lastOrder = static_cast<uint8_t>(in.U16LE() - 1);
        song.restartOrder = static_cast<uint8_t>(in.U16LE());
        const int channels = in.U16LE();
        // SANITY: the song keeps at most 32 tracks and at least one.
        song.trackCount = static_cast<uint8_t>(std::clamp(channels, 1, kMaxTracks));
        const int patternCount = in.U16LE();
        const int instrumentCount = in.U16LE();
        in.Skip(2);  // flags
        song.speed = static_cast<uint8_t>(in.U16LE());
        song.tempo = static_cast<uint8_t>(in.U16LE());
        // SANITY: the header size is honoured rather than assumed: a shorter
        // header holds fewer order entries (the rest stay 0), and the patterns
        // start behind the header whatever its size.
        const std::size_t orderBytes = headerSize >= 20 ? std::min<std::size_t>(headerSize - 20, kMaxOrders) : 0;
        in.Read(song.orders, orderBytes);
        if (headerSize >= 20) in.Seek(60 + static_cast<std::size_t>(headerSize));

        // SANITY: patterns past the song's 256 are skipped, instruments past its
        // 255 are not read, and the end of the file ends both walks.
        for (int p = 0; p < patternCount && !in.Truncated(); ++p)
            ReadPattern(in, channels, p < kMaxPatterns ? &song.patterns[p] : nullptr);
        const int instruments = std::min(instrumentCount, kMaxInstruments - 1);
        for (int k = 0; k < instruments && !in.Truncated(); ++k) ReadInstrument(app, in, song.instruments[k + 1]);
    }
    SetStatus(app, profile::kXmLoadedFormat, tracker, version >> 8, version & 0xFF);
}

void ImportXm(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes)) return;
    ImportXmData(app, ByteReader(bytes));
}

}  // namespace zelmora
