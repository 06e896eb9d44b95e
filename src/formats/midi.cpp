// Standard MIDI files: note-on events quantised onto rows, one track per MIDI
// channel, eight rows per quarter note, consecutive 64-row patterns in order.
#include <cstdint>
#include <vector>

#include "app/app_state.h"
#include "formats/importers.h"

namespace zelmora {

namespace {

constexpr int kMidiChannels = 16;
constexpr int kPercussionChannel = 9;
constexpr uint8_t kPercussionInstrument = 203;  // stored minus one: instrument 204
constexpr int kRowsPerQuarter = 8;
constexpr int kMidiPatternRows = 64;
constexpr uint8_t kSetVolume = 12;

// Seven bits per byte, the high bit set on every byte but the last. Unsigned
// arithmetic, so an over-long quantity in a damaged file only wraps.
uint32_t ReadVariableLength(ByteReader& in) {
    uint32_t value = 0;
    for (;;) {
        const uint8_t b = in.U8();
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80) || in.AtEnd()) return value;
    }
}

int DataBytesFor(uint8_t status) {
    if (status >= 0x80 && status <= 0xBF) return 2;
    if (status >= 0xE0 && status <= 0xEF) return 2;
    if (status >= 0xC0 && status <= 0xDF) return 1;
    return 0;  // system messages (and no status yet)
}

struct MidiImport {
    Song& song;
    uint16_t division = 0;
    uint8_t status = 0;  // running status survives events and tracks
    uint8_t channelInstrument[kMidiChannels] = {};

    explicit MidiImport(Song& target) : song(target) { channelInstrument[kPercussionChannel] = kPercussionInstrument; }

    void ReadEvent(ByteReader& in, uint64_t& time) {
        time += ReadVariableLength(in);

        uint8_t data[2] = {0, 0};
        int have = 0;
        const uint8_t first = in.U8();
        if (first & 0x80) {
            status = first;
        } else {
            data[have++] = first;
        }
        const int needed = DataBytesFor(status);
        while (have < needed) data[have++] = in.U8();
        // SANITY: data bytes are seven bits wide; a damaged file's high bits are
        // dropped so keys, velocities and programs stay within their ranges.
        data[0] &= 0x7F;
        data[1] &= 0x7F;

        // SANITY: a division of 0 is taken as 1 tick per quarter note.
        const uint64_t ticksPerQuarter = division ? division : 1;
        const uint64_t q = time * kRowsPerQuarter / ticksPerQuarter;
        const uint64_t pattern = q / kMidiPatternRows;
        const int row = static_cast<int>(q % kMidiPatternRows);
        // SANITY: events past pattern 255 end the song at the last order (255)
        // and their notes are dropped; nothing is written past the patterns.
        const bool placeable = pattern < static_cast<uint64_t>(kMaxPatterns);
        const int lastPattern = placeable ? static_cast<int>(pattern) : kMaxPatterns - 1;
        if (lastPattern > song.lastOrder) song.lastOrder = static_cast<uint8_t>(lastPattern);

        const int channel = status & 0x0F;
        const uint8_t kind = status & 0xF0;
        if (status >= 0x80 && kind == 0x90 && data[1] > 0) {
            if (!placeable) return;
            PatternCell& cell = song.patterns[pattern].cells[row][channel];
            cell.note = static_cast<uint8_t>(data[0] + 1);
            cell.instrument = static_cast<uint8_t>(channelInstrument[channel] + 1);
            SetImportedEffect(cell, 0, kSetVolume, static_cast<uint8_t>(data[1] / 2 + 1));
        } else if (status >= 0x80 && kind == 0xC0) {
            if (channel != kPercussionChannel) channelInstrument[channel] = static_cast<uint8_t>(data[0] + 2);
        } else if (status == 0xF0) {
            in.Skip(ReadVariableLength(in));
        } else if (status == 0xFF) {
            in.U8();  // meta type
            in.Skip(ReadVariableLength(in));
        }
    }

    void ReadTrack(ByteReader& in) {
        in.Skip(4);  // identifier, not checked
        const uint32_t length = in.U32BE();
        if (length == 0) return;
        int64_t remaining = length;
        uint64_t time = 0;
        // The length is used up by file position, as the events come; an event
        // that runs over it ends the track where the event ends.
        while (remaining > 0) {
            // SANITY: the end of the file ends the track (and so the import).
            if (in.AtEnd()) return;
            const std::size_t before = in.Position();
            ReadEvent(in, time);
            remaining -= static_cast<int64_t>(in.Position() - before);
        }
    }
};

}  // namespace

void ImportMidiData(AppState& app, ByteReader in) {
    int division = 0;
    {
        StateGuard lock(app.stateLock);
        app.NewSong();
        Song& song = app.song;
        song.trackCount = kMaxTracks;
        for (int i = 0; i < kMaxOrders; ++i) song.orders[i] = static_cast<uint8_t>(i);
        song.tempo = 120;
        song.speed = 3;

        MidiImport import(song);
        in.Skip(4 + 6);  // identifier, header length and format
        const int tracks = in.U16BE();
        import.division = in.U16BE();
        division = import.division;
        for (int t = 0; t < tracks && !in.AtEnd(); ++t) import.ReadTrack(in);
    }
    SetStatus(app, "Midi File Loaded. (%d)", division);
}

void ImportMidi(AppState& app, const std::string& path) {
    // Unlike the other loaders, a file that cannot be read leaves even the
    // status line as it was.
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return;
    ImportMidiData(app, ByteReader(bytes));
}

}  // namespace zelmora
