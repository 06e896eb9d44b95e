#include "support/writers_tracker.h"

#include <algorithm>

namespace zelmora {

namespace {

void PadTo16(Bytes& out) {
    while (out.size() % 16) out.push_back(0);
}

void PutU16LE(Bytes& out, std::size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void AppendBytes(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes PackS3mPattern(const S3mPatternSpec& pattern) {
    if (!pattern.raw.empty()) return pattern.raw;
    Bytes out;
    std::size_t next = 0;
    for (int row = 0; row < pattern.rows; ++row) {
        for (; next < pattern.entries.size() && pattern.entries[next].row == row; ++next) {
            const S3mEntry& e = pattern.entries[next];
            uint8_t b = static_cast<uint8_t>(e.channel & 31);
            if (e.note >= 0) b |= 32;
            if (e.volume >= 0) b |= 64;
            if (e.command >= 0) b |= 128;
            out.push_back(b);
            if (e.note >= 0) {
                out.push_back(static_cast<uint8_t>(e.note));
                out.push_back(e.instrument);
            }
            if (e.volume >= 0) out.push_back(static_cast<uint8_t>(e.volume));
            if (e.command >= 0) {
                out.push_back(static_cast<uint8_t>(e.command));
                out.push_back(e.info);
            }
        }
        out.push_back(0);
    }
    return out;
}

Bytes PackXmPattern(const XmPatternSpec& pattern, int channels) {
    if (pattern.noData) return {};
    if (!pattern.raw.empty()) return pattern.raw;
    Bytes out;
    for (int r = 0; r < pattern.rows; ++r) {
        for (int c = 0; c < channels; ++c) {
            XmCell cell{r, c};
            for (const XmCell& given : pattern.cells)
                if (given.row == r && given.channel == c) cell = given;
            const uint8_t parts[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.parameter};
            if (pattern.unpacked) {
                out.insert(out.end(), parts, parts + 5);
                continue;
            }
            uint8_t mask = 0x80;
            for (int i = 0; i < 5; ++i)
                if (parts[i]) mask |= static_cast<uint8_t>(1 << i);
            out.push_back(mask);
            for (int i = 0; i < 5; ++i)
                if (parts[i]) out.push_back(parts[i]);
        }
    }
    return out;
}

Bytes DeltaCode(const XmSampleSpec& s) {
    Bytes out;
    int previous = 0;
    const bool wide = (s.type & 0x10) != 0;
    for (int v : s.values) {
        const int delta = v - previous;
        previous = v;
        if (wide)
            AppendU16LE(out, static_cast<uint16_t>(delta));
        else
            out.push_back(static_cast<uint8_t>(delta));
    }
    return out;
}

}  // namespace

Bytes WriteS3m(const S3mSpec& spec) {
    Bytes out;
    AppendText(out, spec.name, 28);
    out.push_back(0x1A);
    out.push_back(16);
    AppendU16LE(out, 0);
    const int patternCount = spec.patternCount >= 0 ? spec.patternCount : static_cast<int>(spec.patterns.size());
    AppendU16LE(out, static_cast<uint16_t>(spec.orders.size()));
    AppendU16LE(out, static_cast<uint16_t>(spec.instruments.size()));
    AppendU16LE(out, static_cast<uint16_t>(patternCount));
    AppendU16LE(out, 0);       // flags
    AppendU16LE(out, 0x1320);  // tracker version
    AppendU16LE(out, 2);       // unsigned samples
    AppendText(out, "SCRM", 4);
    out.push_back(64);
    out.push_back(spec.speed);
    out.push_back(spec.tempo);
    out.push_back(0xB0);
    AppendText(out, "", 12);
    out.insert(out.end(), spec.channelSettings.begin(), spec.channelSettings.end());
    out.insert(out.end(), spec.orders.begin(), spec.orders.end());
    const std::size_t instrumentPointers = out.size();
    AppendText(out, "", 2 * spec.instruments.size());
    const std::size_t patternPointers = out.size();
    AppendText(out, "", 2 * static_cast<std::size_t>(patternCount));
    PadTo16(out);

    std::vector<std::size_t> headerAt;
    for (std::size_t k = 0; k < spec.instruments.size(); ++k) {
        const S3mInstrumentSpec& ins = spec.instruments[k];
        headerAt.push_back(out.size());
        PutU16LE(out, instrumentPointers + 2 * k,
                 static_cast<uint16_t>(ins.parapointer >= 0 ? ins.parapointer : out.size() / 16));
        out.push_back(1);
        AppendText(out, ins.fileName, 12);
        out.push_back(0);
        AppendU16LE(out, 0);  // data pointer, set below
        AppendU32LE(out, static_cast<uint32_t>(ins.length >= 0 ? ins.length : static_cast<int64_t>(ins.data.size())));
        AppendU32LE(out, ins.loopBegin);
        AppendU32LE(out, ins.loopEnd);
        out.push_back(ins.volume);
        out.push_back(0);
        out.push_back(0);
        out.push_back(ins.flags);
        AppendU32LE(out, ins.c2Speed);
        AppendText(out, "", 12);
        AppendText(out, ins.name, 28);
        AppendText(out, "SCRS", 4);
    }
    for (int p = 0; p < patternCount; ++p) {
        PadTo16(out);
        PutU16LE(out, patternPointers + 2 * p, static_cast<uint16_t>(out.size() / 16));
        if (p >= static_cast<int>(spec.patterns.size())) continue;
        const Bytes packed = PackS3mPattern(spec.patterns[p]);
        AppendU16LE(out, static_cast<uint16_t>(packed.size()));
        AppendBytes(out, packed);
    }
    for (std::size_t k = 0; k < spec.instruments.size(); ++k) {
        PadTo16(out);
        PutU16LE(out, headerAt[k] + 14, static_cast<uint16_t>(out.size() / 16));
        AppendBytes(out, spec.instruments[k].data);
    }
    return out;
}

Bytes WriteXm(const XmSpec& spec) {
    Bytes out;
    AppendText(out, "Extended Module: ", 17);
    AppendText(out, spec.name, 20);
    out.push_back(0x1A);
    AppendText(out, spec.tracker, 20);
    AppendU16LE(out, spec.version);
    AppendU32LE(out, 276);
    AppendU16LE(out, spec.songLength);
    AppendU16LE(out, spec.restart);
    AppendU16LE(out, spec.channels);
    const int patternCount = spec.patternCount >= 0 ? spec.patternCount : static_cast<int>(spec.patterns.size());
    const int instrumentCount =
        spec.instrumentCount >= 0 ? spec.instrumentCount : static_cast<int>(spec.instruments.size());
    AppendU16LE(out, static_cast<uint16_t>(patternCount));
    AppendU16LE(out, static_cast<uint16_t>(instrumentCount));
    AppendU16LE(out, 1);  // linear frequencies
    AppendU16LE(out, spec.speed);
    AppendU16LE(out, spec.bpm);
    for (int i = 0; i < 256; ++i) out.push_back(i < static_cast<int>(spec.orders.size()) ? spec.orders[i] : 0);

    for (const XmPatternSpec& pattern : spec.patterns) {
        const Bytes packed = PackXmPattern(pattern, spec.channels);
        AppendU32LE(out, 9);
        out.push_back(0);
        AppendU16LE(out, static_cast<uint16_t>(pattern.rows));
        AppendU16LE(out, static_cast<uint16_t>(packed.size()));
        AppendBytes(out, packed);
    }
    for (const XmInstrumentSpec& ins : spec.instruments) {
        const int sampleCount = ins.sampleCount >= 0 ? ins.sampleCount : static_cast<int>(ins.samples.size());
        AppendU32LE(out, sampleCount ? 263 : 29);
        AppendText(out, ins.name, 22);
        out.push_back(0);
        AppendU16LE(out, static_cast<uint16_t>(sampleCount));
        if (sampleCount == 0) continue;
        AppendU32LE(out, 40);
        AppendText(out, "", 96 + 48 + 48 + 16 + 22);
        std::vector<Bytes> data;
        for (const XmSampleSpec& s : ins.samples) {
            data.push_back(DeltaCode(s));
            AppendU32LE(out, static_cast<uint32_t>(s.lengthBytes >= 0 ? s.lengthBytes
                                                                       : static_cast<int64_t>(data.back().size())));
            AppendU32LE(out, s.loopStart);
            AppendU32LE(out, s.loopLength);
            out.push_back(s.volume);
            out.push_back(static_cast<uint8_t>(s.finetune));
            out.push_back(s.type);
            out.push_back(s.pan);
            out.push_back(static_cast<uint8_t>(s.relativeNote));
            out.push_back(0);
            AppendText(out, s.name, 22);
        }
        for (const Bytes& d : data) AppendBytes(out, d);
    }
    return out;
}

Bytes WriteOkt(const OktSpec& spec) {
    Bytes out;
    AppendText(out, "OKTASONG", 8);
    AppendText(out, "CMOD", 4);
    AppendU32BE(out, 8);
    for (uint16_t f : spec.pairFlags) AppendU16BE(out, f);
    AppendText(out, "SAMP", 4);
    AppendU32BE(out, static_cast<uint32_t>(32 * spec.samples.size()));
    for (const OktSampleSpec& s : spec.samples) {
        AppendText(out, s.name, 20);
        AppendU32BE(out, s.length);
        AppendU16BE(out, s.repeatStart);
        AppendU16BE(out, s.repeatLength);
        out.push_back(0);
        out.push_back(s.volume);
        AppendU16BE(out, 0);
    }
    AppendText(out, "SPEE", 4);
    AppendU32BE(out, 2);
    AppendU16BE(out, spec.speed);
    AppendText(out, "SLEN", 4);
    AppendU32BE(out, 2);
    AppendU16BE(out, static_cast<uint16_t>(spec.patterns.size()));
    AppendText(out, "PLEN", 4);
    AppendU32BE(out, 2);
    AppendU16BE(out, spec.songLength);
    AppendText(out, "PATT", 4);
    AppendU32BE(out, 128);
    for (int i = 0; i < 128; ++i) out.push_back(i < static_cast<int>(spec.orders.size()) ? spec.orders[i] : 0);

    int tracks = 0;
    for (uint16_t f : spec.pairFlags) tracks += f == 1 ? 2 : 1;
    for (const OktPatternSpec& p : spec.patterns) {
        const std::size_t cells = static_cast<std::size_t>(p.rows) * tracks;
        AppendText(out, "PBOD", 4);
        AppendU32BE(out, static_cast<uint32_t>(2 + 4 * cells));
        AppendU16BE(out, static_cast<uint16_t>(p.rows));
        for (std::size_t i = 0; i < cells; ++i) {
            const std::array<uint8_t, 4> cell = i < p.cells.size() ? p.cells[i] : std::array<uint8_t, 4>{};
            out.insert(out.end(), cell.begin(), cell.end());
        }
    }
    for (std::size_t k = 0; k < spec.bodies.size(); ++k) {
        const int64_t length = k < spec.bodyLengths.size() && spec.bodyLengths[k] >= 0
                                   ? spec.bodyLengths[k]
                                   : static_cast<int64_t>(spec.bodies[k].size());
        AppendText(out, "SBOD", 4);
        AppendU32BE(out, static_cast<uint32_t>(length));
        AppendBytes(out, spec.bodies[k]);
    }
    return out;
}

}  // namespace zelmora
