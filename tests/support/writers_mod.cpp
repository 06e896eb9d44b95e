#include "support/writers_mod.h"

#include <algorithm>

#include "support/writers_media.h"

namespace zelmora {

std::vector<uint8_t> WriteMod(const ModSpec& spec) {
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

}  // namespace zelmora
