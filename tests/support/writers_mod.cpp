#include "support/writers_mod.h"

#include <algorithm>
#include <cstring>

namespace zelmora {

namespace {

void PutText(std::vector<uint8_t>& out, const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void PutU16BE(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

}  // namespace

std::vector<uint8_t> WriteMod(const ModSpec& spec) {
    std::vector<uint8_t> out;
    PutText(out, spec.title, 20);
    for (int i = 0; i < 31; ++i) {
        const ModSampleSpec s = i < static_cast<int>(spec.samples.size()) ? spec.samples[i] : ModSampleSpec{};
        PutText(out, s.name, 22);
        PutU16BE(out, s.lengthWords);
        out.push_back(s.finetune);
        out.push_back(s.volume);
        PutU16BE(out, s.loopStartWords);
        PutU16BE(out, s.loopLengthWords);
    }
    out.push_back(spec.songLength);
    out.push_back(127);
    uint8_t highest = 0;
    for (int i = 0; i < 128; ++i) {
        const uint8_t entry = i < static_cast<int>(spec.orders.size()) ? spec.orders[i] : 0;
        highest = std::max(highest, entry);
        out.push_back(entry);
    }
    PutText(out, spec.tag, 4);
    const int patterns = spec.patternsWritten >= 0 ? spec.patternsWritten : highest + 1;
    const std::size_t patternBytes = 64u * spec.channels * 4u;
    const std::size_t first = out.size();
    out.resize(first + patterns * patternBytes, 0);
    for (const ModCellSpec& c : spec.cells) {
        if (c.pattern >= patterns) continue;
        uint8_t* cell = &out[first + c.pattern * patternBytes + (c.row * spec.channels + c.channel) * 4u];
        cell[0] = static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F));
        cell[1] = static_cast<uint8_t>(c.period);
        cell[2] = static_cast<uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F));
        cell[3] = c.parameter;
    }
    for (const auto& data : spec.sampleData)
        for (int8_t v : data) out.push_back(static_cast<uint8_t>(v));
    return out;
}

}  // namespace zelmora
