// ScreamTracker 3 modules: a little-endian header, instruments and packed
// patterns reached through parapointers (file offsets divided by 16).
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "formats/importers.h"

namespace zelmora {

namespace {

constexpr int kS3mChannels = 32;

// Everything the header gives that the later steps need.
struct S3mHeader {
    int orderCount = 0;
    int instrumentCount = 0;
    int patternCount = 0;
    bool signedSamples = false;  // the header's sample format 1; 2 (and anything else) is unsigned
    uint8_t channelSettings[kS3mChannels] = {};
};

// True when a parapointer names a place inside the file.
bool InsideFile(const ByteReader& in, uint32_t parapointer) { return parapointer * 16ull < in.Size(); }

void ReadInstrument(AppState& app, ByteReader& in, uint32_t parapointer, bool signedSamples,
                    Instrument& instrument) {
    // SANITY: an instrument whose parapointer lies outside the file stays empty.
    if (!InsideFile(in, parapointer)) return;
    in.Seek(parapointer * 16u);
    Sample& s = instrument.samples[0];
    in.Skip(1);  // type: AdLib instruments are read like samples
    std::memset(s.name, 0, sizeof s.name);
    in.Read(s.name, 13);
    const uint32_t dataParapointer = in.U16LE();
    const uint32_t length = in.U32LE();
    const uint32_t loopBegin = in.U32LE();
    const uint32_t loopEnd = in.U32LE();
    instrument.volume = in.U8();
    in.Skip(2);  // reserved, packing
    const uint8_t flags = in.U8();
    s.sampleRate = in.U32LE();
    in.Skip(12);
    std::memset(instrument.name, 0, sizeof instrument.name);
    in.Read(instrument.name, 28);
    in.Skip(4);  // SCRS

    s.loopStart = ClampToInt32(loopBegin);
    s.loopLength = ClampToInt32(static_cast<int64_t>(loopEnd) - loopBegin);
    if (flags & 1) s.loopMode = 1;

    // SANITY: 16-bit data (flag bit 2) is read as 16-bit values, and
    // signed data (the header's sample format 1) as signed, instead of noise.
    const bool sixteenBit = (flags & 4) != 0;
    const std::size_t width = sixteenBit ? 2 : 1;

    // SANITY: a sample is cut to the data the file holds behind its pointer;
    // one that starts outside the file gets no audio.
    const std::size_t dataOffset = dataParapointer * 16u;
    const std::size_t available = dataOffset < in.Size() ? in.Size() - dataOffset : 0;
    const std::size_t frames = std::min<std::size_t>(length, available / width);
    s.frames = static_cast<int32_t>(std::min<std::size_t>(frames, INT32_MAX - 2 * kSampleGuard));
    FitLoopInsideSample(s);
    if (s.frames == 0) return;
    s.channels = (flags & 2) ? 2 : 1;
    if (!app.AllocateSampleAudio(s)) {
        s.frames = 0;
        FitLoopInsideSample(s);
        return;
    }
    in.Seek(dataOffset);
    // A second channel, when there is one, stays silent, as the format's players have it.
    double* out = s.audio[0] + kSampleGuard;
    if (sixteenBit && signedSamples)
        for (int32_t f = 0; f < s.frames; ++f) out[f] = in.I16LE() / 32768.0;
    else if (sixteenBit)
        for (int32_t f = 0; f < s.frames; ++f) out[f] = in.U16LE() / 32768.0 - 1.0;
    else if (signedSamples)
        for (int32_t f = 0; f < s.frames; ++f) out[f] = in.I8() / 128.0;
    else
        for (int32_t f = 0; f < s.frames; ++f) out[f] = in.U8() / 128.0 - 1.0;
}

// Names the track after its channel setting and gives the cell its panning.
void ApplyChannelSetting(Song& song, int channel, uint8_t setting, PatternCell& cell) {
    const int s = setting & 127;
    char(&name)[kNameLength] = song.tracks[channel].name;
    if (s <= 7) {
        FormatBounded(name, kNameLength, "Channel L%d", s);
        SetImportedEffect(cell, 2, 8, 0x10);
    } else if (s <= 15) {
        FormatBounded(name, kNameLength, "Channel R%d", s - 8);
        SetImportedEffect(cell, 2, 8, 0xF0);
    } else if (s <= 31) {
        FormatBounded(name, kNameLength, "Channel A%d", s - 16);
    }
}

// Writes the translation of one S3M command into effect 2 of the cell.
void TranslateEffect(uint8_t command, uint8_t info, uint8_t& slideMemory, PatternCell& cell) {
    const uint8_t x = info >> 4;
    const uint8_t y = info & 15;
    uint8_t out = 0;
    uint8_t parameter = info;
    switch (command) {
        case 1:  // A: set speed
            out = 15;
            parameter = std::clamp<uint8_t>(info, 1, 31);
            break;
        case 2: out = 11; break;  // B: jump to order
        case 3:                   // C: pattern break, two decimal digits
            out = 13;
            parameter = static_cast<uint8_t>(x * 10 + y);
            break;
        case 4: {  // D: volume slide; D00 repeats the channel's last slide
            if (info != 0) slideMemory = info;
            const uint8_t m = slideMemory;
            if ((m >> 4) == 15) {
                out = 14;
                parameter = static_cast<uint8_t>(0xB0 + (m & 15));
            } else if ((m & 15) == 15) {
                out = 14;
                parameter = static_cast<uint8_t>(0xA0 + (m >> 4));
            } else {
                out = 10;
                parameter = m;
            }
            break;
        }
        case 5:  // E: portamento down; the fine forms have no counterpart
            if (info >= 0xE0) return;
            out = 2;
            break;
        case 6:  // F: portamento up
            if (info >= 0xE0) return;
            out = 1;
            break;
        case 7: out = 3; break;
        case 8: out = 4; break;
        case 10: out = 0; break;  // J: arpeggio, command 0 with the info
        case 11: out = 6; break;
        case 12: out = 5; break;
        case 15: out = 9; break;
        case 17:
            // SANITY: a retrigger becomes the retrigger command (14, 9y); the
            // note-delay form (14, Dy) would hold the note back instead.
            out = 14;
            parameter = static_cast<uint8_t>(0x90 + y);
            break;
        case 18: out = 7; break;
        case 19:
            if (x == 11) {
                // Beyond the classic command set: SBy, the pattern loop, becomes
                // command 14 with 0x60 + y.
                out = 14;
                parameter = static_cast<uint8_t>(0x60 + y);
                break;
            }
            if (x < 12 || x > 14) return;
            out = 14;
            parameter = static_cast<uint8_t>((x << 4) + y);  // cut 0xCy, delay 0xDy, pattern delay 0xEy
            break;
        case 20: out = 15; break;  // T: tempo
        case 22: out = 16; break;  // V: global volume
        default: return;
    }
    SetImportedEffect(cell, 1, out, parameter);
}

void ReadPattern(ByteReader& in, uint32_t parapointer, const S3mHeader& header, uint8_t (&slideMemory)[kS3mChannels],
                 Song& song, Pattern& pattern) {
    // SANITY: a pattern whose parapointer lies outside the file stays empty.
    if (!InsideFile(in, parapointer)) return;
    in.Seek(parapointer * 16u);
    const uint16_t packedLength = in.U16LE();
    ByteReader packed = in.Sub(packedLength);
    PatternCell spare{};
    int row = 0;
    while (!packed.AtEnd()) {
        const uint8_t b = packed.U8();
        if (b == 0) {
            ++row;
            continue;
        }
        const int channel = b & 31;
        if (channel == song.trackCount) song.trackCount = static_cast<uint8_t>(channel + 1);
        // SANITY: entries after the 256th row end are read but not kept.
        spare = PatternCell{};
        PatternCell& cell = row < kMaxRows ? pattern.cells[row][channel] : spare;
        ApplyChannelSetting(song, channel, header.channelSettings[channel], cell);
        if (b & 32) {
            const uint8_t n = packed.U8();
            if (n == 255)
                cell.note = 0;
            else if (n == 254)
                cell.note = kNoteOff;
            else
                cell.note = static_cast<uint8_t>((n >> 4) * 12 + (n & 15) + 13);
            cell.instrument = packed.U8();
        }
        if (b & 64) {
            SetImportedEffect(cell, 0, 12, packed.U8());
        }
        if (b & 128) {
            const uint8_t command = packed.U8();
            const uint8_t info = packed.U8();
            TranslateEffect(command, info, slideMemory[channel], cell);
        }
    }
}

}  // namespace

void ImportS3mData(AppState& app, ByteReader in) {
    int patternsRead = 0;
    {
        StateGuard lock(app.stateLock);
        app.NewSong();
        Song& song = app.song;
        song.trackCount = 4;

        S3mHeader header;
        std::memset(song.name, 0, sizeof song.name);
        in.Read(song.name, 28);
        in.Skip(4);  // end-of-file byte, type, reserved
        header.orderCount = in.U16LE();
        header.instrumentCount = in.U16LE();
        header.patternCount = in.U16LE();
        in.Skip(4);  // flags, tracker version
        header.signedSamples = in.U16LE() == 1;
        in.Skip(4 + 1);  // SCRM, global volume
        song.speed = in.U8();
        song.tempo = in.U8();
        in.Skip(1 + 12);  // master volume, rest of the header
        in.Read(header.channelSettings, sizeof header.channelSettings);

        // The 254 markers are dropped and the entries close up.
        // SANITY: the list ends at the first 255, the end of the song: entries
        // after it were never played, and appending them played on past the end.
        int appended = 0;
        bool ended = false;
        for (int i = 0; i < header.orderCount; ++i) {
            const uint8_t order = in.U8();
            ended = ended || order == 255;
            // SANITY: order entries beyond the list's 256 are dropped.
            if (!ended && order < 254 && appended < kMaxOrders) song.orders[appended++] = order;
        }
        song.lastOrder = static_cast<uint8_t>(appended - 1);

        std::vector<uint32_t> instrumentPointers(static_cast<std::size_t>(header.instrumentCount));
        for (uint32_t& p : instrumentPointers) p = in.U16LE();
        std::vector<uint32_t> patternPointers(static_cast<std::size_t>(header.patternCount));
        for (uint32_t& p : patternPointers) p = in.U16LE();

        // SANITY: instruments past the song's 255 and patterns past its 256 are
        // not read; the message counts the patterns that were.
        const int instruments = std::min(header.instrumentCount, kMaxInstruments - 1);
        for (int k = 0; k < instruments; ++k)
            ReadInstrument(app, in, instrumentPointers[k], header.signedSamples, song.instruments[k + 1]);

        uint8_t slideMemory[kS3mChannels] = {};
        patternsRead = std::min(header.patternCount, kMaxPatterns);
        for (int p = 0; p < patternsRead; ++p)
            ReadPattern(in, patternPointers[p], header, slideMemory, song, song.patterns[p]);
    }
    SetStatus(app, "ScreamTracker Module Loaded (%d Patterns).", patternsRead);
}

void ImportS3m(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes)) return;
    ImportS3mData(app, ByteReader(bytes));
}

}  // namespace zelmora
