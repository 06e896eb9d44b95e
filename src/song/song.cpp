#include "song/song.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zelmora {

namespace {

void* CallocAllocator(std::size_t count, std::size_t size) { return std::calloc(count, size); }

SampleAllocFn gSampleAllocator = CallocAllocator;

}  // namespace

void SetSampleAllocator(SampleAllocFn allocator) {
    gSampleAllocator = allocator ? allocator : CallocAllocator;
}

void SetName(char (&field)[kNameLength], const char* text) {
    std::memset(field, 0, kNameLength);
    if (text) std::strncpy(field, text, kNameLength);
}

std::size_t NameLength(const char* field, std::size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : size;
}

void ResetEnvelope(Envelope& e) {
    e = Envelope{};
    e.attack = 0;
    e.decay = 64;
    e.sustain = 255;
    e.release = 64;
    e.amount = 0;
    e.oscillatorAttack = 16;
    e.oscillatorRate = 64;
}

void ResetSampleFields(Sample& s) {
    SetName(s.name, "---");
    s.frames = 0;
    s.channels = 0;
    s.sampleRate = 44100.0;
    s.loopStart = 0;
    s.loopLength = 0;
    s.loopMode = 0;
    s.reserved = 0;
    s.keyLow = 0;
    s.keyHigh = 127;
    s.velocityLow = 0;
    s.velocityHigh = 127;
    s.reservedByte = 255;
    s.pan = 128;
    s.reserved2[0] = s.reserved2[1] = 0;
    s.baseNote = 60;
    s.coarseTune = 0;
    s.fineTune = 0;
    s.scaleTuning = 100;
    s.audio = nullptr;
}

namespace {
// Per thread: the export's engine, freeing its own copy of the song on its
// helper thread, never hands audio to the main thread's history.
thread_local SampleAudioKeeper gKeeper = nullptr;
thread_local void* gKeeperContext = nullptr;
}  // namespace

void SetSampleAudioKeeper(SampleAudioKeeper keeper, void* context) {
    gKeeper = keeper;
    gKeeperContext = context;
}

void ReleaseSampleAudio(double** audio, int32_t channels) {
    if (!audio) return;
    for (int32_t c = 0; c < channels; ++c) std::free(audio[c]);
    std::free(audio);
}

void FreeSampleAudio(Sample& s) {
    if (!s.audio) return;
    if (gKeeper)
        gKeeper(s.audio, s.channels, gKeeperContext);
    else
        ReleaseSampleAudio(s.audio, s.channels);
    s.audio = nullptr;
}

bool AllocateSampleAudio(Sample& s) {
    if (s.channels < 1 || s.frames < 1 || s.audio) return true;
    const std::size_t values = static_cast<std::size_t>(s.frames) + 2 * kSampleGuard;
    auto** table = static_cast<double**>(gSampleAllocator(static_cast<std::size_t>(s.channels),
                                                          sizeof(double*)));
    if (!table) return false;
    for (int32_t c = 0; c < s.channels; ++c) {
        table[c] = static_cast<double*>(gSampleAllocator(values, sizeof(double)));
        if (!table[c]) {
            for (int32_t k = 0; k < c; ++k) std::free(table[k]);
            std::free(table);
            return false;
        }
    }
    s.audio = table;
    return true;
}

void FitLoopInsideSample(Sample& s) {
    const int32_t frames = s.frames > 0 ? s.frames : 0;
    s.loopStart = std::clamp(s.loopStart, 0, frames);
    s.loopLength = std::clamp(s.loopLength, 0, frames - s.loopStart);
    if (s.loopLength == 0) s.loopMode = 0;
}

void ResetInstrumentFields(Instrument& in) {
    SetName(in.name, "---");
    in.volume = 64;
    in.pan = 128;
    in.tune = 128;
    in.cutoff = 128;
    in.filterType = 0;
    in.resonance = 128;
    std::memset(in.modulation, 0, sizeof in.modulation);
    for (Envelope& e : in.envelopes) ResetEnvelope(e);
    for (Sample& s : in.samples) {
        FreeSampleAudio(s);
        ResetSampleFields(s);
    }
}

void ZeroSong(Song& song) {
    std::memset(song.name, 0, sizeof song.name);
    song.tempo = song.speed = song.trackCount = song.editStep = 0;
    song.orderPosition = song.lastOrder = song.restartOrder = song.reserved = 0;
    std::memset(song.orders, 0, sizeof song.orders);
    song.masterVolume = 0;
    std::memset(song.eqGains, 0, sizeof song.eqGains);
    song.eqOn = 0;
    for (TrackSettings& t : song.tracks) {
        std::memset(t.name, 0, sizeof t.name);
        t.reserved[0] = t.reserved[1] = t.mixerVolume = t.reserved2 = 0;
    }
    // The patterns are left to ResetSongFields, which always follows and
    // clears them whole; the instruments must be zero before it frees their audio.
    for (Instrument& in : song.instruments) std::memset(&in, 0, sizeof in);
}

void ResetSongFields(Song& song) {
    SetName(song.name, "Untitled");
    song.tempo = 125;
    song.speed = 6;
    song.trackCount = 4;
    song.editStep = 1;
    song.orderPosition = 0;
    song.lastOrder = 0;
    song.restartOrder = 0;
    song.reserved = 0;
    std::memset(song.orders, 0, sizeof song.orders);

    song.masterVolume = 32;
    std::memset(song.eqGains, 0, sizeof song.eqGains);
    song.eqOn = 0;
    song.meters.peakLeft.store(0.0, std::memory_order_relaxed);
    song.meters.peakRight.store(0.0, std::memory_order_relaxed);
    song.meters.holdLeft.store(0, std::memory_order_relaxed);
    song.meters.holdRight.store(0, std::memory_order_relaxed);
    song.meters.cpuLoad.store(0.0, std::memory_order_relaxed);

    for (int index = 0; index < kMaxTracks; ++index) {
        TrackSettings& t = song.tracks[index];
        SetName(t.name, "---");
        t.reserved[0] = t.reserved[1] = 0;
        t.mixerVolume = 64;
        t.reserved2 = profile::kPanSwitch ? NewSongPanSwitch(index) : 0;
        ResetChannelStateForNewSong(t.channel);
    }
    for (Pattern& p : song.patterns) {
        std::memset(&p, 0, sizeof p);
        SetName(p.name, "---");
        p.lastRow = 63;
        p.rowsPerBeat = 4;
    }
    for (Instrument& in : song.instruments) ResetInstrumentFields(in);
}

void FitCellToTimingLayout(PatternCell& cell) {
    const uint8_t commands[2] = {ImportedCommand(cell, 0), ImportedCommand(cell, 1)};
    const uint8_t parameters[2] = {ImportedParameter(cell, 0), ImportedParameter(cell, 1)};
    for (int k = 0; k < 3; ++k) SetImportedEffect(cell, k, 0, 0);
    uint8_t timing = 0;
    for (int k = 0; k < 2; ++k) {
        const int command = commands[k], parameter = parameters[k];
        const int x = parameter >> 4, y = parameter & 15;
        if (command == 8) continue;
        if (command == 14 && x == 0xD && y != 0) {
            timing = static_cast<uint8_t>((timing & 0xF0) | y);
            continue;
        }
        if (command == 14 && x == 0xC && y != 0) {
            timing = static_cast<uint8_t>((timing & 0x0F) | (y << 4));
            continue;
        }
        CellCommand(cell, k) = static_cast<uint8_t>(command);
        CellParameter(cell, k) = static_cast<uint8_t>(parameter);
    }
    SetCellTiming(cell, timing);
}

}  // namespace zelmora
