// Oktalyzer modules: big-endian chunks in a fixed order, four channel pairs of
// which each may be split into two tracks.
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "formats/importers.h"

namespace zelmora {

namespace {

constexpr double kOktSampleRate = 16574.28;
constexpr int kOktPairs = 4;
constexpr int kOktSampleEntry = 32;

// Pairs 0 and 3 sit left, 1 and 2 right.
uint8_t PanForPair(int pair) { return (pair == 0 || pair == 3) ? 0x40 : 0xC0; }

void TranslateEffect(uint8_t command, uint8_t d, PatternCell& cell) {
    uint8_t out = 0;
    uint8_t parameter = d;
    switch (command) {
        case 1: out = 1; break;
        case 2: out = 2; break;
        case 3:
        case 4:
        case 5: out = 0; break;  // arpeggio variants
        case 17: out = 19; break;
        case 21: out = 20; break;
        case 28: out = 15; break;
        case 31:  // volume, with its slide ranges
            if (d <= 0x40) {
                out = 12;
            } else if (d <= 0x50) {
                out = 10;
                parameter = static_cast<uint8_t>(d - 0x40);
            } else if (d <= 0x60) {
                out = 10;
                parameter = static_cast<uint8_t>((d - 0x50) * 16);
            } else if (d <= 0x70) {
                out = 14;
                parameter = static_cast<uint8_t>(d + 0x50);
            } else if (d <= 0x80) {
                out = 14;
                parameter = static_cast<uint8_t>(d + 0x30);
            } else {
                return;
            }
            break;
        default: return;
    }
    SetImportedEffect(cell, 0, out, parameter);
}

void ReadSampleEntry(ByteReader& in, Instrument& instrument) {
    Sample& s = instrument.samples[0];
    std::memset(instrument.name, 0, sizeof instrument.name);
    in.Read(instrument.name, 20);
    const uint32_t length = in.U32BE();
    s.frames = static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX));
    s.channels = 1;
    s.sampleRate = kOktSampleRate;
    s.loopStart = in.U16BE() * 2;
    s.loopLength = in.U16BE() * 2;
    if (s.loopLength > 2) s.loopMode = 1;
    in.Skip(1);
    instrument.volume = in.U8();
    in.Skip(2);  // mode
}

// `pattern` is null for patterns past the song's 256, which are only skipped.
void ReadPattern(ByteReader& in, const bool (&split)[kOktPairs], Song& song, Pattern* pattern) {
    in.Skip(8);  // PBOD identifier and length
    const int rows = in.U16BE();
    int tracksPerRow = 0;
    for (bool s : split) tracksPerRow += s ? 2 : 1;
    if (!pattern) {
        in.Skip(static_cast<std::size_t>(rows) * tracksPerRow * 4);
        return;
    }
    // SANITY: a pattern keeps at most 256 rows (the rest are skipped), and a
    // count of 0 gives one empty row.
    const int keptRows = std::min(rows, kMaxRows);
    pattern->lastRow = static_cast<uint8_t>(std::max(keptRows, 1) - 1);
    for (int r = 0; r < keptRows; ++r) {
        int track = 0;
        for (int pair = 0; pair < kOktPairs; ++pair) {
            for (int half = 0; half < (split[pair] ? 2 : 1); ++half, ++track) {
                PatternCell& cell = pattern->cells[r][track];
                SetImportedEffect(cell, 1, 8, PanForPair(pair));
                uint8_t b[4];
                in.Read(b, sizeof b);
                if (b[0] > 0) {
                    cell.note = static_cast<uint8_t>(b[0] + 36);
                    cell.instrument = static_cast<uint8_t>(b[1] + 1);
                }
                TranslateEffect(b[2], b[3], cell);
                if constexpr (profile::kCellTiming) FitCellToTimingLayout(cell);
            }
        }
        song.trackCount = static_cast<uint8_t>(track);
    }
    in.Skip(static_cast<std::size_t>(rows - keptRows) * tracksPerRow * 4);
}

void ReadSampleBody(AppState& app, ByteReader& in, Sample& s) {
    in.Skip(4);  // SBOD
    const uint32_t blockLength = in.U32BE();
    // SANITY: a sample is cut to the data left in the file, and a block longer
    // than the sample has its excess skipped.
    s.frames = static_cast<int32_t>(std::min<std::size_t>(static_cast<std::size_t>(s.frames), in.Remaining()));
    std::size_t consumed = 0;
    if (s.frames > 0 && app.AllocateSampleAudio(s)) {
        consumed = std::min<std::size_t>(static_cast<std::size_t>(s.frames), blockLength);
        double* out = s.audio[0] + kSampleGuard;
        for (std::size_t f = 0; f < consumed; ++f) out[f] = in.I8() / 128.0;
    } else {
        s.frames = 0;
    }
    in.Skip(blockLength - consumed);
    FitLoopInsideSample(s);
}

}  // namespace

void ImportOktData(AppState& app, ByteReader in) {
    int patternCount = 0;
    int sampleCount = 0;
    {
        StateGuard lock(app.stateLock);
        app.NewSong();
        Song& song = app.song;
        song.trackCount = 8;

        in.Skip(8 + 8);  // file identifier, CMOD identifier and length
        bool split[kOktPairs];
        for (bool& s : split) s = in.U16BE() == 1;
        if constexpr (profile::kPanSwitch) {
            // The pan switch takes the side the pan command of each track's pair
            // names, so a split pair plays both its tracks on the pair's side.
            int track = 0;
            for (int pair = 0; pair < kOktPairs; ++pair)
                for (int half = 0; half < (split[pair] ? 2 : 1); ++half, ++track)
                    song.tracks[track].reserved2 = PanSwitchForPan(PanForPair(pair));
        }

        in.Skip(4);  // SAMP
        const uint32_t entries = in.U32BE() / kOktSampleEntry;
        // SANITY: entries past the song's 255 instruments are skipped.
        sampleCount = static_cast<int>(std::min<uint32_t>(entries, kMaxInstruments - 1));
        for (int k = 0; k < sampleCount; ++k) ReadSampleEntry(in, song.instruments[k + 1]);
        in.Skip(static_cast<std::size_t>(entries - static_cast<uint32_t>(sampleCount)) * kOktSampleEntry);

        in.Skip(8);
        song.speed = static_cast<uint8_t>(in.U16BE());
        in.Skip(8);
        patternCount = in.U16BE();
        in.Skip(8);
        song.lastOrder = static_cast<uint8_t>(in.U16BE() - 1);
        in.Skip(8);
        in.Read(song.orders, 128);

        // SANITY: patterns past the song's 256 are read past and dropped; the
        // message counts the ones kept.
        for (int p = 0; p < patternCount; ++p)
            ReadPattern(in, split, song, p < kMaxPatterns ? &song.patterns[p] : nullptr);
        patternCount = std::min(patternCount, kMaxPatterns);

        for (int k = 1; k <= sampleCount; ++k) {
            Sample& s = song.instruments[k].samples[0];
            if (s.frames > 0) ReadSampleBody(app, in, s);
        }
    }
    SetStatus(app, profile::kOktLoadedFormat, app.song.trackCount, patternCount, sampleCount);
}

void ImportOkt(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes)) return;
    ImportOktData(app, ByteReader(bytes));
}

}  // namespace zelmora
