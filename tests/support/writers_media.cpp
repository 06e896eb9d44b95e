#include "support/writers_media.h"

#include "app/app_state.h"

namespace zelmora {

ByteWriter& ByteWriter::Int(uint64_t v, int size) {
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(v >> 8 * (bigEndian ? size - 1 - i : i)));
    return *this;
}

ByteWriter& ByteWriter::Text(const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) bytes.push_back(i < text.size() ? text[i] : 0);
    return *this;
}

ByteWriter& ByteWriter::Chunk(const char* id, const Bytes& body) {
    return Text(id, 4).U32(body.size()).Raw(body);
}

MidiTrack& MidiTrack::Event(uint32_t delta, std::initializer_list<uint8_t> data) {
    for (int shift = 28; shift > 0; shift -= 7)
        if (delta >> shift) bytes.push_back(0x80 | ((delta >> shift) & 0x7F));
    bytes.push_back(delta & 0x7F);
    bytes.insert(bytes.end(), data);
    return *this;
}

Bytes WriteMidi(uint16_t division, const std::vector<MidiTrack>& tracks) {
    ByteWriter out{true};
    out.Chunk("MThd", ByteWriter{true}.U16(1).U16(tracks.size()).U16(division).bytes);
    for (const MidiTrack& t : tracks) out.Chunk("MTrk", t.bytes);
    return out.bytes;
}

Bytes WriteSf2(const Sf2Bank& bank) {
    ByteWriter phdr, pbag, pgen, inst, ibag, igen, shdr, data;
    std::size_t n = 0;
    for (const Sf2Preset& p : bank.presets) {
        phdr.Text(p.name, 20).U16(p.preset).U16(p.bank).U16(n).Zeros(12);
        pbag.U16(n++).U16(0);
        pgen.U16(41).U16(p.instrument);  // the instrument generator
    }
    phdr.Text("EOP", 24).U16(n).Zeros(12);
    pbag.U16(n).U16(0);
    pgen.Zeros(4);
    inst.Text("instrument", 20).U16(0).Text("EOI", 20).U16(bank.zones.size());
    n = 0;
    for (const Sf2Zone& zone : bank.zones) {
        ibag.U16(n).U16(0);
        for (const auto& [op, amount] : zone) igen.U16(op).U16(amount);
        n += zone.size();
    }
    ibag.U16(n).U16(0);
    igen.Zeros(4);
    for (const Sf2Sample& s : bank.samples) {
        shdr.Text(s.name, 20).U32(s.start).U32(s.end).U32(s.loopStart).U32(s.loopEnd).U32(s.sampleRate);
        shdr.U8(s.originalPitch).U8(s.pitchCorrection).U16(0).U16(1);  // mono
    }
    shdr.Text("EOS", 46);
    for (int16_t v : bank.data) data.U16(v);

    const Bytes mod(10, 0);
    ByteWriter info, sdta, pdta, body;
    info.Text("INFO", 4).Chunk("ifil", {2, 0, 1, 0});
    sdta.Text("sdta", 4).Chunk("smpl", data.bytes);
    pdta.Text("pdta", 4).Chunk("phdr", phdr.bytes).Chunk("pbag", pbag.bytes).Chunk("pmod", mod);
    pdta.Chunk("pgen", pgen.bytes).Chunk("inst", inst.bytes).Chunk("ibag", ibag.bytes).Chunk("imod", mod);
    pdta.Chunk("igen", igen.bytes).Chunk("shdr", shdr.bytes);
    body.Text("sfbk", 4).Chunk("LIST", info.bytes).Chunk("LIST", sdta.bytes).Chunk("LIST", pdta.bytes);
    return RiffChunk("RIFF", body.bytes);
}

Bytes RiffChunk(const char* id, const Bytes& body) {
    return ByteWriter{}.Chunk(id, body).bytes;
}

Bytes WavFmtChunk(uint16_t tag, uint16_t channels, uint32_t sampleRate, uint16_t bits, int blockAlign) {
    const uint32_t align = blockAlign >= 0 ? blockAlign : channels * (bits / 8);
    ByteWriter body;
    body.U16(tag).U16(channels).U32(sampleRate).U32(sampleRate * align).U16(align).U16(bits);
    return RiffChunk("fmt ", body.bytes);
}

Bytes WavSmplChunk(uint32_t unityNote, const std::vector<std::pair<uint32_t, uint32_t>>& loops) {
    ByteWriter body;
    body.Zeros(8).U32(22675).U32(unityNote).Zeros(12).U32(loops.size()).Zeros(4);
    for (const auto& [first, last] : loops) body.Zeros(8).U32(first).U32(last).Zeros(8);
    return RiffChunk("smpl", body.bytes);
}

Bytes WriteWav(std::initializer_list<Bytes> chunks) {
    ByteWriter body;
    body.Text("WAVE", 4);
    for (const Bytes& c : chunks) body.Raw(c);
    return RiffChunk("RIFF", body.bytes);
}

const PatternCell& CellAt(const AppState& app, int pattern, int row, int track) {
    return app.song.patterns[pattern].cells[row][track];
}

Cells CellBytes(const AppState& app, int pattern, int row, int track) {
    const PatternCell& c = CellAt(app, pattern, row, track);
    Cells bytes = {c.note, c.instrument, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < kCellEffects; ++k) {
        bytes[2 + 2 * k] = CellCommand(c, k);
        bytes[3 + 2 * k] = CellParameter(c, k);
    }
    return bytes;
}

double FrameAt(const Sample& s, int frame, int channel) {
    return s.audio[channel][kSampleGuard + frame];
}

bool StartsWith(const char* text, const std::string& prefix) {
    return std::string(text).rfind(prefix, 0) == 0;
}

}  // namespace zelmora
