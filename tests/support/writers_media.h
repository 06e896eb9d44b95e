// Small writers of test files (Standard MIDI files, SoundFont 2 banks and WAV
// files here), and readers of what an importer left in the song.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace zelmora {

struct AppState;
struct PatternCell;
struct Sample;

using Bytes = std::vector<uint8_t>;

// Appends fields to `bytes`; integers are little-endian unless `bigEndian` is set.
struct ByteWriter {
    bool bigEndian = false;
    Bytes bytes{};

    ByteWriter& Int(uint64_t v, int size);  // the low `size` bytes
    ByteWriter& U8(uint64_t v) { return Int(v, 1); }
    ByteWriter& U16(uint64_t v) { return Int(v, 2); }
    ByteWriter& U32(uint64_t v) { return Int(v, 4); }
    ByteWriter& Text(const std::string& text, std::size_t size);  // NUL-padded or cut
    ByteWriter& Zeros(std::size_t count) { return Text("", count); }
    template <typename Range>
    ByteWriter& Raw(const Range& more) {
        bytes.insert(bytes.end(), std::begin(more), std::end(more));
        return *this;
    }
    // The identifier, the body's size and the body.
    ByteWriter& Chunk(const char* id, const Bytes& body);
};

// -- MIDI --

struct MidiTrack {
    Bytes bytes;
    // The delta time, then the bytes as given: leaving out the status byte
    // writes running status, and meta or system-exclusive events are spelt out.
    MidiTrack& Event(uint32_t delta, std::initializer_list<uint8_t> data);
};

// A format 1 header and one "MTrk" chunk per track, each with its true length.
Bytes WriteMidi(uint16_t division, const std::vector<MidiTrack>& tracks);

// -- SoundFont 2 --

using Sf2Zone = std::vector<std::pair<uint16_t, uint16_t>>;  // generators: operator, amount

struct Sf2Sample {
    std::string name;
    uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0;  // frames into the sample data
    uint32_t sampleRate = 44100;
    uint8_t originalPitch = 60;
    int8_t pitchCorrection = 0;
};

struct Sf2Preset {
    std::string name;
    uint16_t preset = 0, bank = 0, instrument = 0;  // one zone naming the instrument
};

// One instrument, whose zones are `zones`; the terminal records are added.
struct Sf2Bank {
    std::vector<Sf2Preset> presets{};
    std::vector<Sf2Zone> zones{};
    std::vector<Sf2Sample> samples{};
    std::vector<int16_t> data{};
};

Bytes WriteSf2(const Sf2Bank& bank);

// -- WAV --

Bytes RiffChunk(const char* id, const Bytes& body);
Bytes WavFmtChunk(uint16_t tag, uint16_t channels, uint32_t sampleRate, uint16_t bits, int blockAlign = -1);
Bytes WavSmplChunk(uint32_t unityNote,
                   const std::vector<std::pair<uint32_t, uint32_t>>& loops);  // first, last
// "RIFF", size, "WAVE" and the chunks as given.
Bytes WriteWav(std::initializer_list<Bytes> chunks);

// -- Reading back --

const PatternCell& CellAt(const AppState& app, int pattern, int row, int track);
// Note, instrument, then command and parameter of effects 1 to 3: a whole cell
// to compare at once. Effects are read by slot; a slot the build's cell does
// not have reads 0 (the earlier build's timing byte is not among them).
using Cells = std::vector<int>;
Cells CellBytes(const AppState& app, int pattern, int row, int track);
double FrameAt(const Sample& s, int frame, int channel = 0);
bool StartsWith(const char* text, const std::string& prefix);

}  // namespace zelmora
