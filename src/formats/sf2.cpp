// SoundFont 2 banks: the first preset (by bank, then preset number) becomes the
// current instrument, one sample slot per sample zone of its instrument.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "formats/importers.h"

namespace zelmora {

namespace {

constexpr std::size_t kPresetHeaderBytes = 38;
constexpr std::size_t kBagBytes = 4;
constexpr std::size_t kGeneratorBytes = 4;
constexpr std::size_t kInstrumentBytes = 22;
constexpr std::size_t kSampleHeaderBytes = 46;
constexpr std::size_t kSf2NameBytes = 20;

enum Generator : uint16_t {
    kPan = 17,
    kInstrument = 41,
    kKeyRange = 43,
    kVelocityRange = 44,
    kCoarseTune = 51,
    kFineTune = 52,
    kSampleId = 53,
    kSampleModes = 54,
    kScaleTuning = 56,
    kOverridingRootKey = 58,
};

struct PresetHeader {
    char name[kSf2NameBytes];
    uint16_t preset;
    uint16_t bank;
    uint16_t bagIndex;
};

struct Bag {
    uint16_t generatorIndex;
};

struct GeneratorRecord {
    uint16_t op;
    uint16_t amount;
};

struct InstrumentHeader {
    uint16_t bagIndex;
};

struct SampleHeader {
    char name[kSf2NameBytes];
    uint32_t start, end, loopStart, loopEnd;
    uint32_t sampleRate;
    uint8_t originalPitch;
    int8_t pitchCorrection;
};

struct Bank {
    std::vector<PresetHeader> presets;
    std::vector<Bag> presetBags;
    std::vector<GeneratorRecord> presetGenerators;
    std::vector<InstrumentHeader> instruments;
    std::vector<Bag> instrumentBags;
    std::vector<GeneratorRecord> instrumentGenerators;
    std::vector<SampleHeader> samples;
    // The 16-bit sample data: where it starts in the file and how many bytes
    // of it the file really holds.
    std::size_t dataStart = 0;
    std::size_t dataBytes = 0;
};

// Reads one sub-chunk (identifier and size) into a table of whole records.
// SANITY: a chunk that claims more than the file holds gives only the whole
// records present, so no table is larger than the file could fill.
template <typename Record, typename Parse>
void ReadTable(ByteReader& list, std::size_t recordBytes, std::vector<Record>& table, Parse parse) {
    list.Skip(4);
    ByteReader body = list.Sub(list.U32LE());
    const std::size_t count = body.Size() / recordBytes;
    table.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        ByteReader record = body.Sub(recordBytes);
        parse(record, table[i]);
    }
}

void SkipChunk(ByteReader& list) {
    list.Skip(4);
    list.Skip(list.U32LE());
}

void ReadBag(ByteReader& in, Bag& bag) {
    bag.generatorIndex = in.U16LE();
    // the modulator index is not used
}

void ReadGenerator(ByteReader& in, GeneratorRecord& g) {
    g.op = in.U16LE();
    g.amount = in.U16LE();
}

void ReadBank(ByteReader& in, Bank& bank) {
    in.Skip(4 + 4 + 4 + 4);  // RIFF and its size, form type, LIST
    in.Skip(in.U32LE());     // the INFO list
    in.Skip(4 + 4 + 4 + 4);  // LIST and its size, sdta, smpl
    const uint32_t sampleBytes = in.U32LE();
    bank.dataStart = in.Position();
    bank.dataBytes = std::min<std::size_t>(sampleBytes, in.Remaining());
    in.Skip(sampleBytes);
    in.Skip(4 + 4 + 4);  // LIST and its size, pdta

    // The sub-chunks come in the order the format lays out; they are not
    // looked up by identifier.
    ReadTable(in, kPresetHeaderBytes, bank.presets, [](ByteReader& r, PresetHeader& p) {
        r.Read(p.name, sizeof p.name);
        p.preset = r.U16LE();
        p.bank = r.U16LE();
        p.bagIndex = r.U16LE();
    });
    ReadTable(in, kBagBytes, bank.presetBags, ReadBag);
    SkipChunk(in);  // preset modulators
    ReadTable(in, kGeneratorBytes, bank.presetGenerators, ReadGenerator);
    ReadTable(in, kInstrumentBytes, bank.instruments, [](ByteReader& r, InstrumentHeader& i) {
        r.Skip(kSf2NameBytes);
        i.bagIndex = r.U16LE();
    });
    ReadTable(in, kBagBytes, bank.instrumentBags, ReadBag);
    SkipChunk(in);  // instrument modulators
    ReadTable(in, kGeneratorBytes, bank.instrumentGenerators, ReadGenerator);
    ReadTable(in, kSampleHeaderBytes, bank.samples, [](ByteReader& r, SampleHeader& s) {
        r.Read(s.name, sizeof s.name);
        s.start = r.U32LE();
        s.end = r.U32LE();
        s.loopStart = r.U32LE();
        s.loopEnd = r.U32LE();
        s.sampleRate = r.U32LE();
        s.originalPitch = r.U8();
        s.pitchCorrection = r.I8();
        // sample link and type are not used
    });
}

// Index of the first generator at or after `from` with operator `op`, or the
// table's size when there is none.
// SANITY: scans stop at the end of their table in a damaged bank.
std::size_t FindGenerator(const std::vector<GeneratorRecord>& table, std::size_t from, uint16_t op) {
    for (std::size_t i = from; i < table.size(); ++i)
        if (table[i].op == op) return i;
    return table.size();
}

void ApplyGenerator(const GeneratorRecord& g, Sample& s) {
    const uint8_t low = g.amount & 0xFF;
    const uint8_t high = g.amount >> 8;
    switch (g.op) {
        case kKeyRange:
            s.keyLow = low;
            s.keyHigh = high;
            break;
        case kVelocityRange:
            s.velocityLow = low;
            s.velocityHigh = high;
            break;
        case kOverridingRootKey: s.baseNote = static_cast<int8_t>(low); break;
        case kSampleModes:
            if (g.amount == 0) {
                s.loopStart = 0;
                s.loopLength = s.frames;
                s.loopMode = 0;
            } else if (g.amount == 1 || g.amount == 3) {
                s.loopMode = 1;
            }
            break;
        case kCoarseTune: s.coarseTune = static_cast<int8_t>(low); break;
        case kFineTune: s.fineTune = static_cast<int8_t>(low); break;
        case kScaleTuning: s.scaleTuning = low; break;
        case kPan: {
            // Tenths of a percent, -500..+500, onto 64..192.
            // SANITY: amounts beyond that range are clamped to the pan byte.
            const int pan = static_cast<int>(static_cast<int16_t>(g.amount) * 0.128) + 128;
            s.pan = static_cast<uint8_t>(std::clamp(pan, 0, 255));
            break;
        }
        default: break;
    }
}

void FillSample(AppState& app, const Bank& bank, const SampleHeader& h, ByteReader data, Sample& s) {
    std::memcpy(s.name, h.name, kSf2NameBytes);
    s.channels = 1;
    // SANITY: a sample runs at most to the end of the sample data the file
    // holds; an end before the start gives an empty slot.
    const uint64_t available = h.start < bank.dataBytes / 2 ? bank.dataBytes / 2 - h.start : 0;
    const uint64_t wanted = h.end > h.start ? h.end - h.start : 0;
    const uint64_t frames = std::min<uint64_t>(wanted, available);
    s.frames = static_cast<int32_t>(std::min<uint64_t>(frames, INT32_MAX - 2 * kSampleGuard));
    s.sampleRate = static_cast<double>(h.sampleRate);
    if (s.frames > 0 && app.AllocateSampleAudio(s)) {
        data.Seek(bank.dataStart + static_cast<std::size_t>(h.start) * 2);
        for (int32_t f = 0; f < s.frames; ++f) s.audio[0][kSampleGuard + f] = data.I16LE() / 32768.0;
    } else {
        s.frames = 0;
    }
    s.fineTune = h.pitchCorrection;
    if (h.originalPitch < 128) s.baseNote = static_cast<int8_t>(h.originalPitch);
    if (h.originalPitch == 255) s.scaleTuning = 0;
    s.loopStart = ClampToInt32(static_cast<int64_t>(h.loopStart) - h.start);
    s.loopLength = ClampToInt32(static_cast<int64_t>(h.loopEnd) - h.loopStart);
    s.loopMode = s.loopStart > 8 ? 1 : 0;
}

void LoadFirstPreset(AppState& app, const Bank& bank, ByteReader data, int target) {
    // SANITY: a bank without any preset record leaves the instrument alone.
    if (bank.presets.empty()) return;
    app.ClearInstrument(target);
    Instrument& instrument = app.song.instruments[target];
    std::memcpy(instrument.name, bank.presets[0].name, kSf2NameBytes);

    // SANITY: bag, instrument and sample indices that point outside their
    // tables end the import (or skip the zone) instead of reading past them.
    const std::size_t presetBag = bank.presets[0].bagIndex;
    if (presetBag >= bank.presetBags.size()) return;
    const std::size_t found =
        FindGenerator(bank.presetGenerators, bank.presetBags[presetBag].generatorIndex, kInstrument);
    if (found >= bank.presetGenerators.size()) return;
    const std::size_t inst = bank.presetGenerators[found].amount;
    if (inst >= bank.instruments.size()) return;
    const std::size_t firstZone = bank.instruments[inst].bagIndex;
    std::size_t endZone = inst + 1 < bank.instruments.size() ? bank.instruments[inst + 1].bagIndex
                                                             : bank.instrumentBags.size();
    endZone = std::min(endZone, bank.instrumentBags.size());

    int slot = 0;
    for (std::size_t zone = firstZone; zone < endZone; ++zone) {
        // SANITY: zones beyond the 256 sample slots are dropped.
        if (slot >= kMaxSampleSlots) break;
        const std::size_t first = bank.instrumentBags[zone].generatorIndex;
        const std::size_t id = FindGenerator(bank.instrumentGenerators, first, kSampleId);
        if (id >= bank.instrumentGenerators.size()) continue;
        const bool lastZone = zone + 1 == endZone;
        if (!lastZone && id >= bank.instrumentBags[zone + 1].generatorIndex) continue;  // a global zone
        const std::size_t header = bank.instrumentGenerators[id].amount;
        if (header >= bank.samples.size()) continue;

        Sample& s = instrument.samples[slot++];
        FillSample(app, bank, bank.samples[header], data, s);
        for (std::size_t g = first; g < id; ++g) ApplyGenerator(bank.instrumentGenerators[g], s);
        FitLoopInsideSample(s);
    }
}

}  // namespace

void ImportSoundFontData(AppState& app, ByteReader in) {
    {
        StateGuard lock(app.stateLock);
        const ByteReader data = in;
        Bank bank;
        ReadBank(in, bank);

        // By bank, then by preset number; the terminal record stays last.
        // SANITY: a stable sort gives the same order as repeated neighbour
        // exchanges without their quadratic time on a bank of many presets.
        if (bank.presets.size() > 1) {
            std::stable_sort(bank.presets.begin(), bank.presets.end() - 1,
                             [](const PresetHeader& a, const PresetHeader& b) {
                                 return a.bank != b.bank ? a.bank < b.bank : a.preset < b.preset;
                             });
        }
        const int target = app.currentInstrument;
        // SANITY: a negative current instrument is refused like one of 256 or more.
        if (target >= 0 && target < kMaxInstruments) LoadFirstPreset(app, bank, data, target);
    }
    SetStatus(app, "SoundFont2 Bank Loaded (%d).", 2);
}

void ImportSoundFont(AppState& app, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!OpenForImport(app, path, bytes)) return;
    ImportSoundFontData(app, ByteReader(bytes));
}

}  // namespace zelmora
