#include "support/writers_media.h"

#include <cstring>

namespace zelmora {

void AppendU16LE(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32LE(Bytes& out, uint32_t v) {
    AppendU16LE(out, static_cast<uint16_t>(v));
    AppendU16LE(out, static_cast<uint16_t>(v >> 16));
}

void AppendU16BE(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void AppendU32BE(Bytes& out, uint32_t v) {
    AppendU16BE(out, static_cast<uint16_t>(v >> 16));
    AppendU16BE(out, static_cast<uint16_t>(v));
}

void AppendText(Bytes& out, const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void AppendVariableLength(Bytes& out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value);
    while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

MidiTrack& MidiTrack::Event(uint32_t delta, std::initializer_list<uint8_t> data) {
    AppendVariableLength(bytes, delta);
    bytes.insert(bytes.end(), data);
    return *this;
}

MidiTrack& MidiTrack::Meta(uint32_t delta, uint8_t type, const Bytes& data) {
    AppendVariableLength(bytes, delta);
    bytes.push_back(0xFF);
    bytes.push_back(type);
    AppendVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

MidiTrack& MidiTrack::SysEx(uint32_t delta, const Bytes& data) {
    AppendVariableLength(bytes, delta);
    bytes.push_back(0xF0);
    AppendVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

Bytes WriteMidi(uint16_t division, const std::vector<MidiTrack>& tracks, uint16_t format) {
    Bytes out;
    AppendText(out, "MThd", 4);
    AppendU32BE(out, 6);
    AppendU16BE(out, format);
    AppendU16BE(out, static_cast<uint16_t>(tracks.size()));
    AppendU16BE(out, division);
    for (const MidiTrack& t : tracks) {
        AppendText(out, "MTrk", 4);
        AppendU32BE(out, static_cast<uint32_t>(t.bytes.size()));
        out.insert(out.end(), t.bytes.begin(), t.bytes.end());
    }
    return out;
}

Bytes RiffChunk(const char* id, const Bytes& body) {
    Bytes out;
    AppendText(out, id, 4);
    AppendU32LE(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

namespace {

Bytes List(const char* type, std::initializer_list<Bytes> chunks) {
    Bytes body;
    AppendText(body, type, 4);
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return RiffChunk("LIST", body);
}

void AppendGenerators(Bytes& bags, Bytes& generators, uint16_t& generatorCount,
                      const std::vector<std::vector<Sf2Generator>>& zones) {
    for (const auto& zone : zones) {
        AppendU16LE(bags, generatorCount);
        AppendU16LE(bags, 0);
        for (const Sf2Generator& g : zone) {
            AppendU16LE(generators, g.first);
            AppendU16LE(generators, g.second);
            ++generatorCount;
        }
    }
}

}  // namespace

Bytes WriteSf2(const Sf2BankLayout& layout) {
    Bytes phdr, pbag, pgen, inst, ibag, igen, shdr;
    uint16_t presetBags = 0, presetGenerators = 0;
    for (const Sf2PresetLayout& p : layout.presets) {
        AppendText(phdr, p.name, 20);
        AppendU16LE(phdr, p.preset);
        AppendU16LE(phdr, p.bank);
        AppendU16LE(phdr, presetBags);
        AppendU32LE(phdr, 0);
        AppendU32LE(phdr, 0);
        AppendU32LE(phdr, 0);
        presetBags = static_cast<uint16_t>(presetBags + p.zones.size());
        AppendGenerators(pbag, pgen, presetGenerators, p.zones);
    }
    AppendText(phdr, "EOP", 20);
    AppendU16LE(phdr, 0);
    AppendU16LE(phdr, 0);
    AppendU16LE(phdr, presetBags);
    phdr.resize(phdr.size() + 12, 0);
    AppendU16LE(pbag, presetGenerators);
    AppendU16LE(pbag, 0);
    pgen.resize(pgen.size() + 4, 0);

    uint16_t instrumentBags = 0, instrumentGenerators = 0;
    for (const Sf2InstrumentLayout& i : layout.instruments) {
        AppendText(inst, i.name, 20);
        AppendU16LE(inst, instrumentBags);
        instrumentBags = static_cast<uint16_t>(instrumentBags + i.zones.size());
        AppendGenerators(ibag, igen, instrumentGenerators, i.zones);
    }
    AppendText(inst, "EOI", 20);
    AppendU16LE(inst, instrumentBags);
    AppendU16LE(ibag, instrumentGenerators);
    AppendU16LE(ibag, 0);
    igen.resize(igen.size() + 4, 0);

    for (const Sf2SampleLayout& s : layout.samples) {
        AppendText(shdr, s.name, 20);
        AppendU32LE(shdr, s.start);
        AppendU32LE(shdr, s.end);
        AppendU32LE(shdr, s.loopStart);
        AppendU32LE(shdr, s.loopEnd);
        AppendU32LE(shdr, s.sampleRate);
        shdr.push_back(s.originalPitch);
        shdr.push_back(static_cast<uint8_t>(s.pitchCorrection));
        AppendU16LE(shdr, 0);
        AppendU16LE(shdr, 1);  // mono
    }
    AppendText(shdr, "EOS", 46);

    Bytes data;
    for (int16_t v : layout.data) AppendU16LE(data, static_cast<uint16_t>(v));
    Bytes ifil;
    AppendU16LE(ifil, 2);
    AppendU16LE(ifil, 1);
    const Bytes modulators(10, 0);

    Bytes body;
    AppendText(body, "sfbk", 4);
    for (const Bytes& part : {List("INFO", {RiffChunk("ifil", ifil)}), List("sdta", {RiffChunk("smpl", data)}),
                              List("pdta", {RiffChunk("phdr", phdr), RiffChunk("pbag", pbag),
                                            RiffChunk("pmod", modulators), RiffChunk("pgen", pgen),
                                            RiffChunk("inst", inst), RiffChunk("ibag", ibag),
                                            RiffChunk("imod", modulators), RiffChunk("igen", igen),
                                            RiffChunk("shdr", shdr)})})
        body.insert(body.end(), part.begin(), part.end());
    return RiffChunk("RIFF", body);
}

Bytes WavFmtChunk(uint16_t tag, uint16_t channels, uint32_t sampleRate, uint16_t bits, int blockAlign) {
    const uint16_t align = static_cast<uint16_t>(blockAlign >= 0 ? blockAlign : channels * (bits / 8));
    Bytes body;
    AppendU16LE(body, tag);
    AppendU16LE(body, channels);
    AppendU32LE(body, sampleRate);
    AppendU32LE(body, sampleRate * align);
    AppendU16LE(body, align);
    AppendU16LE(body, bits);
    return RiffChunk("fmt ", body);
}

Bytes WavSmplChunk(uint32_t unityNote, const std::vector<std::pair<uint32_t, uint32_t>>& loops) {
    Bytes body;
    AppendU32LE(body, 0);
    AppendU32LE(body, 0);
    AppendU32LE(body, 22675);
    AppendU32LE(body, unityNote);
    AppendU32LE(body, 0);
    AppendU32LE(body, 0);
    AppendU32LE(body, 0);
    AppendU32LE(body, static_cast<uint32_t>(loops.size()));
    AppendU32LE(body, 0);
    for (const auto& loop : loops) {
        AppendU32LE(body, 0);
        AppendU32LE(body, 0);
        AppendU32LE(body, loop.first);
        AppendU32LE(body, loop.second);
        AppendU32LE(body, 0);
        AppendU32LE(body, 0);
    }
    return RiffChunk("smpl", body);
}

Bytes WavInstChunk(uint8_t note, int8_t fineTune, uint8_t lowNote, uint8_t highNote, uint8_t lowVelocity,
                   uint8_t highVelocity) {
    Bytes out = RiffChunk("inst", {note, static_cast<uint8_t>(fineTune), 0, lowNote, highNote, lowVelocity,
                                   highVelocity});
    out.push_back(0);  // pad byte
    return out;
}

Bytes WriteWav(std::initializer_list<Bytes> chunks) {
    Bytes body;
    AppendText(body, "WAVE", 4);
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return RiffChunk("RIFF", body);
}

}  // namespace zelmora
