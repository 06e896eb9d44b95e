// ProTracker modules: the 31-sample layout with a format tag at offset 1080.
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"

namespace zelmora {

namespace {

constexpr int kModSamples = 31;
constexpr int kModRows = 64;
constexpr double kModSampleRate = 16574.28;

struct ChannelTag {
    char tag[5];
    uint8_t tracks;
};

// Every tag not listed (the common "M.K." among them) means four tracks.
constexpr ChannelTag kChannelTags[] = {
    {"2CHN", 2},  {"6CHN", 6},  {"8CHN", 8},  {"OKTA", 8},  {"CD81", 8},  {"10CH", 10},
    {"12CH", 12}, {"14CH", 14}, {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22},
    {"24CH", 24}, {"26CH", 26}, {"28CH", 28}, {"30CH", 30}, {"32CH", 32},
};

// Three octaves of periods; index k is note number 36 + k.
constexpr uint16_t kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                   428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                                   214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

uint8_t NoteByteForPeriod(unsigned period) {
    for (int k = 0; k < 36; ++k)
        if (kPeriods[k] == period) return static_cast<uint8_t>(37 + k);
    return 0;
}

int TracksForTag(const char (&tag)[4]) {
    for (const ChannelTag& entry : kChannelTags)
        if (std::memcmp(entry.tag, tag, 4) == 0) return entry.tracks;
    return 4;
}

// Channels 0 and 3 of every group of four sit left, 1 and 2 right.
uint8_t PanForChannel(int channel) {
    const int m = channel % 4;
    return (m == 0 || m == 3) ? 0x40 : 0xC0;
}

void ReadSampleHeader(ByteReader& in, Instrument& instrument) {
    Sample& s = instrument.samples[0];
    in.ReadField(instrument.name, 22);
    s.frames = in.U16BE() * 2;
    s.channels = 1;
    s.sampleRate = kModSampleRate;
    int finetune = in.U8() & 0x0F;
    if (finetune >= 8) finetune -= 16;
    s.fineTune = static_cast<int8_t>(finetune * 12.5);  // truncated toward zero
    instrument.volume = in.U8();
    s.loopStart = in.U16BE() * 2;
    s.loopLength = in.U16BE() * 2;
    if (s.loopLength > 2) s.loopMode = 1;
}

void ReadCell(ByteReader& in, PatternCell& cell) {
    uint8_t b[4];
    in.Read(b, 4);
    cell.instrument = static_cast<uint8_t>((b[0] & 0xF0) | (b[2] >> 4));
    cell.note = NoteByteForPeriod(((b[0] & 0x0F) << 8) | b[1]);
    const uint8_t command = b[2] & 0x0F;
    // Pattern breaks name their row in two decimal digits.
    const uint8_t parameter = command == 13 ? static_cast<uint8_t>((b[3] >> 4) * 10 + (b[3] & 0x0F)) : b[3];
    SetImportedEffect(cell, 0, command, parameter);
}

}  // namespace

void ImportModData(AppState& app, ByteReader in) {
    int patternCount = 0;
    {
        StateGuard lock(app.stateLock);
        app.NewSong();
        Song& song = app.song;
        std::memset(song.name, 0, sizeof song.name);
        in.Read(song.name, 20);

        for (int i = 0; i < kModSamples; ++i) ReadSampleHeader(in, song.instruments[i + 1]);

        song.lastOrder = static_cast<uint8_t>(in.U8() - 1);
        in.Skip(1);  // restart byte
        in.Read(song.orders, 128);
        for (int i = 0; i < 128; ++i)
            if (song.orders[i] + 1 > patternCount) patternCount = song.orders[i] + 1;

        char tag[4];
        in.Read(tag, sizeof tag);
        const int tracks = TracksForTag(tag);
        song.trackCount = static_cast<uint8_t>(tracks);
        for (int t = 0; t < tracks; ++t) {
            FormatBounded(song.tracks[t].name, kNameLength, "Channel %.2d", t);
            if constexpr (profile::kPanSwitch) song.tracks[t].reserved2 = PanSwitchForPan(PanForChannel(t));
        }

        for (int p = 0; p < patternCount; ++p) {
            for (int r = 0; r < kModRows; ++r) {
                for (int t = 0; t < tracks; ++t) {
                    // SANITY: patterns that the order table names but the file does
                    // not hold stay empty, without even their panning.
                    if (in.Remaining() < 4) {
                        in.Skip(4);
                        continue;
                    }
                    PatternCell& cell = song.patterns[p].cells[r][t];
                    SetImportedEffect(cell, 1, 8, PanForChannel(t));
                    ReadCell(in, cell);
                    if constexpr (profile::kCellTiming) FitCellToTimingLayout(cell);
                }
            }
        }

        for (int i = 1; i <= kModSamples; ++i) {
            Sample& s = song.instruments[i].samples[0];
            if (s.frames <= 0) continue;
            if (!app.AllocateSampleAudio(s)) {
                in.Skip(static_cast<std::size_t>(s.frames));
                s.frames = 0;
                continue;
            }
            // Data missing at the end of the file stays silent.
            for (int32_t f = 0; f < s.frames; ++f) s.audio[0][kSampleGuard + f] = in.I8() / 128.0;
        }
    }
    SetStatus(app, profile::kModLoadedFormat, app.song.lastOrder + 1, patternCount);
}

void ImportMod(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes)) return;
    ImportModData(app, ByteReader(bytes));
}

}  // namespace zelmora
