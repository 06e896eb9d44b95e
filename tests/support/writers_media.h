// Small writers of Standard MIDI files, SoundFont 2 banks and WAV files for tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace zelmora {

using Bytes = std::vector<uint8_t>;

void AppendU16LE(Bytes& out, uint16_t v);
void AppendU32LE(Bytes& out, uint32_t v);
void AppendU16BE(Bytes& out, uint16_t v);
void AppendU32BE(Bytes& out, uint32_t v);
void AppendText(Bytes& out, const std::string& text, std::size_t size);  // NUL-padded or cut
void AppendVariableLength(Bytes& out, uint32_t value);

// -- MIDI --

// Events of one track; each Event call writes the delta time and then the
// bytes as given, so running status is written by leaving out the status.
struct MidiTrack {
    Bytes bytes;
    MidiTrack& Event(uint32_t delta, std::initializer_list<uint8_t> data);
    MidiTrack& Meta(uint32_t delta, uint8_t type, const Bytes& data);
    MidiTrack& SysEx(uint32_t delta, const Bytes& data);
    MidiTrack& EndOfTrack(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }
};

// Header chunk and one "MTrk" chunk per track, each with its true length.
Bytes WriteMidi(uint16_t division, const std::vector<MidiTrack>& tracks, uint16_t format = 1);

// -- SoundFont 2 --

using Sf2Generator = std::pair<uint16_t, uint16_t>;  // operator, amount

struct Sf2SampleLayout {
    std::string name;
    uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0;  // frames into the sample data
    uint32_t sampleRate = 44100;
    uint8_t originalPitch = 60;
    int8_t pitchCorrection = 0;
};

struct Sf2InstrumentLayout {
    std::string name;
    std::vector<std::vector<Sf2Generator>> zones;  // generators of each zone, in order
};

struct Sf2PresetLayout {
    std::string name;
    uint16_t preset = 0, bank = 0;
    std::vector<std::vector<Sf2Generator>> zones;
};

struct Sf2BankLayout {
    std::vector<Sf2PresetLayout> presets;
    std::vector<Sf2InstrumentLayout> instruments;
    std::vector<Sf2SampleLayout> samples;
    std::vector<int16_t> data;
};

// A complete bank with the terminal records ("EOP", "EOI", "EOS") added.
Bytes WriteSf2(const Sf2BankLayout& layout);

// -- WAV --

Bytes RiffChunk(const char* id, const Bytes& body);
Bytes WavFmtChunk(uint16_t tag, uint16_t channels, uint32_t sampleRate, uint16_t bits, int blockAlign = -1);
Bytes WavSmplChunk(uint32_t unityNote, const std::vector<std::pair<uint32_t, uint32_t>>& loops);
// The instrument chunk: seven bytes and its pad byte.
Bytes WavInstChunk(uint8_t note, int8_t fineTune, uint8_t lowNote, uint8_t highNote, uint8_t lowVelocity,
                   uint8_t highVelocity);
// "RIFF", size, "WAVE" and the chunks as given.
Bytes WriteWav(std::initializer_list<Bytes> chunks);

}  // namespace zelmora
