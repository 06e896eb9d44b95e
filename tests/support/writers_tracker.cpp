#include "support/writers_tracker.h"

#include <algorithm>

namespace zelmora {

namespace {

// Pads to a whole paragraph and returns its parapointer.
uint32_t Paragraph(ByteWriter& out) {
    while (out.bytes.size() % 16) out.U8(0);
    return static_cast<uint32_t>(out.bytes.size() / 16);
}

void SetU16(Bytes& out, std::size_t at, uint32_t v) {
    out[at] = v & 0xFF;
    out[at + 1] = v >> 8;
}

Bytes PackS3mPattern(const std::vector<S3mEntry>& entries) {
    ByteWriter out;
    int row = 0;
    for (const S3mEntry& e : entries) {
        for (; row < e.row; ++row) out.U8(0);
        out.U8((e.channel & 31) | (e.note >= 0 ? 32 : 0) | (e.volume >= 0 ? 64 : 0) |
               (e.command >= 0 ? 128 : 0));
        if (e.note >= 0) out.U8(e.note).U8(e.instrument);
        if (e.volume >= 0) out.U8(e.volume);
        if (e.command >= 0) out.U8(e.command).U8(e.info);
    }
    for (const int rows = std::max(row + 1, 64); row < rows; ++row) out.U8(0);
    return out.bytes;
}

Bytes PackXmPattern(const XmPatternSpec& pattern, int channels) {
    if (pattern.raw) return *pattern.raw;
    ByteWriter out;
    for (int r = 0; r < pattern.rows; ++r) {
        for (int c = 0; c < channels; ++c) {
            XmCell cell{r, c};
            for (const XmCell& given : pattern.cells)
                if (given.row == r && given.channel == c) cell = given;
            const uint8_t parts[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.parameter};
            int mask = 0x80;
            for (int i = 0; i < 5; ++i) mask |= parts[i] ? 1 << i : 0;
            out.U8(mask);
            for (uint8_t part : parts)
                if (part) out.U8(part);
        }
    }
    return out.bytes;
}

}  // namespace

Bytes WriteMod(const ModSpec& spec) {
    ByteWriter out{true};
    out.Text(spec.title, 20);
    for (std::size_t i = 0; i < 31; ++i) {
        const ModSampleSpec s = i < spec.samples.size() ? spec.samples[i] : ModSampleSpec{};
        out.Text(s.name, 22).U16(s.lengthWords).U8(s.finetune).U8(s.volume);
        out.U16(s.loopStartWords).U16(s.loopLengthWords);
    }
    Bytes orders = spec.orders;
    orders.resize(128, 0);
    out.U8(spec.songLength).U8(127).Raw(orders).Text(spec.tag, 4);
    const int patterns = spec.patternsWritten >= 0 ? spec.patternsWritten
                                                   : *std::max_element(orders.begin(), orders.end()) + 1;
    const std::size_t patternBytes = 64u * spec.channels * 4u, first = out.bytes.size();
    out.Zeros(patterns * patternBytes);
    for (const ModCellSpec& c : spec.cells) {
        if (c.pattern >= patterns) continue;
        uint8_t* cell =
            &out.bytes[first + c.pattern * patternBytes + (c.row * spec.channels + c.channel) * 4u];
        cell[0] = static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F));
        cell[1] = static_cast<uint8_t>(c.period);
        cell[2] = static_cast<uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F));
        cell[3] = c.parameter;
    }
    for (const auto& data : spec.sampleData) out.Raw(data);
    return out.bytes;
}

Bytes WriteS3m(const S3mSpec& spec) {
    const std::size_t instruments = spec.instruments.size();
    const std::size_t patterns = spec.patternCount >= 0 ? spec.patternCount : spec.patterns.size();
    ByteWriter out;
    out.Text("s3m test", 28).U8(0x1A).U8(16).U16(0).U16(spec.orders.size()).U16(instruments).U16(patterns);
    out.U16(0).U16(0x1320).U16(2).Text("SCRM", 4).U8(64).U8(6).U8(125).U8(0xB0).Zeros(12);
    out.Raw(spec.channelSettings).Raw(spec.orders);
    const std::size_t pointers = out.bytes.size();  // the instruments', then the patterns'
    out.Zeros(2 * (instruments + patterns));

    std::vector<std::size_t> headers;
    for (std::size_t k = 0; k < instruments; ++k) {
        const S3mInstrumentSpec& ins = spec.instruments[k];
        const uint32_t at = Paragraph(out);
        headers.push_back(out.bytes.size());
        SetU16(out.bytes, pointers + 2 * k, ins.parapointer >= 0 ? ins.parapointer : at);
        out.U8(1).Zeros(12).U8(0).U16(0).U32(ins.length >= 0 ? ins.length : ins.data.size());
        out.U32(ins.loopBegin).U32(ins.loopEnd).U8(64).U16(0).U8(ins.flags).U32(ins.c2Speed).Zeros(12);
        out.Text(ins.name, 28).Text("SCRS", 4);
    }
    for (std::size_t p = 0; p < patterns; ++p) {
        const bool given = p < spec.patterns.size();
        SetU16(out.bytes, pointers + 2 * (instruments + p), given ? Paragraph(out) : 0xFFFF);
        if (!given) continue;
        const Bytes packed = PackS3mPattern(spec.patterns[p]);
        out.U16(packed.size()).Raw(packed);
    }
    for (std::size_t k = 0; k < instruments; ++k) {
        SetU16(out.bytes, headers[k] + 14, Paragraph(out));
        out.Raw(spec.instruments[k].data);
    }
    return out.bytes;
}

Bytes WriteXm(const XmSpec& spec) {
    ByteWriter out;
    out.Text("Extended Module: ", 17).Zeros(20).U8(0x1A).Text(spec.tracker, 20).U16(0x0104).U32(276);
    out.U16(spec.songLength).U16(spec.restart).U16(spec.channels).U16(spec.patterns.size());
    out.U16(spec.instruments.size()).U16(1).U16(6).U16(125).Zeros(256);
    for (const XmPatternSpec& pattern : spec.patterns) {
        const Bytes packed = PackXmPattern(pattern, spec.channels);
        out.U32(9).U8(0).U16(pattern.rows).U16(packed.size()).Raw(packed);
    }
    for (std::size_t k = 0; k < spec.instruments.size(); ++k) {
        const std::vector<XmSampleSpec>& samples = spec.instruments[k];
        out.U32(samples.empty() ? 29 : 263).Zeros(23).U16(samples.size());
        if (samples.empty()) continue;
        Bytes keys = k < spec.keyMaps.size() ? spec.keyMaps[k] : Bytes{};
        keys.resize(96, 0);
        out.U32(40).Raw(keys).Zeros(48 + 48 + 16 + 22);
        ByteWriter data;
        for (const XmSampleSpec& s : samples) {
            const std::size_t start = data.bytes.size();
            int previous = 0;
            for (int v : s.values) data.Int(v - std::exchange(previous, v), s.type & 0x10 ? 2 : 1);
            out.U32(s.lengthBytes >= 0 ? s.lengthBytes : data.bytes.size() - start).U32(s.loopStart);
            out.U32(s.loopLength).U8(s.volume).U8(s.finetune).U8(s.type).U8(s.pan).U8(s.relativeNote);
            out.Zeros(1 + 22);
        }
        out.Raw(data.bytes);
    }
    return out.bytes;
}

Bytes WriteOkt(const OktSpec& spec) {
    ByteWriter out{true}, pairs{true}, samples{true};
    int tracks = 0;
    for (uint16_t f : spec.pairFlags) {
        pairs.U16(f);
        tracks += f == 1 ? 2 : 1;
    }
    for (const OktSampleSpec& s : spec.samples)
        samples.Zeros(20).U32(s.length).U16(s.repeatStart).U16(s.repeatLength).U8(0).U8(s.volume).U16(0);
    const auto word = [](std::size_t v) { return ByteWriter{true}.U16(v).bytes; };
    out.Text("OKTASONG", 8).Chunk("CMOD", pairs.bytes).Chunk("SAMP", samples.bytes).Chunk("SPEE", word(6));
    out.Chunk("SLEN", word(spec.patterns.size())).Chunk("PLEN", word(spec.songLength));
    out.Chunk("PATT", Bytes(128, 0));
    for (const OktPatternSpec& p : spec.patterns) {
        ByteWriter body{true};
        body.U16(p.rows);
        for (std::size_t i = 0; i < static_cast<std::size_t>(p.rows) * tracks; ++i)
            body.Raw(i < p.cells.size() ? p.cells[i] : std::array<uint8_t, 4>{});
        out.Chunk("PBOD", body.bytes);
    }
    for (const Bytes& body : spec.bodies) out.Chunk("SBOD", body);
    return out.bytes;
}

}  // namespace zelmora
