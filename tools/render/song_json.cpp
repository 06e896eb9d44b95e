#include "render/song_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"

namespace zelmora::render {

namespace {

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

void AppendInt(std::string& out, long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    out += text;
}

// Writes ", " before every element of a list but the first.
struct ListSeparator {
    bool first = true;
    void Before(std::string& out) {
        if (!first) out += ", ";
        first = false;
    }
};

void Key(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\": ";
}

void IntField(std::string& out, const char* key, long long value, bool comma = true) {
    Key(out, key);
    AppendInt(out, value);
    if (comma) out += ", ";
}

void TextField(std::string& out, const char* key, const char* field, std::size_t size) {
    Key(out, key);
    AppendJsonText(out, field, size);
    out += ", ";
}

bool SameName(const char (&field)[kNameLength], const char* text) {
    char expected[kNameLength];
    SetName(expected, text);
    return std::memcmp(field, expected, kNameLength) == 0;
}

bool CellIsEmpty(const PatternCell& c) {
    const uint8_t* b = CellBytes(c);
    return (b[0] | b[1] | b[2] | b[3] | b[4] | b[5] | b[6] | b[7]) == 0;
}

bool PatternIsNew(const Pattern& p) {
    if (!SameName(p.name, "---") || p.lastRow != 63 || p.rowsPerBeat != 4) return false;
    for (const auto& row : p.cells)
        for (const PatternCell& cell : row)
            if (!CellIsEmpty(cell)) return false;
    return true;
}

bool SampleIsNew(const Sample& s) {
    Sample d;
    d.audio = nullptr;
    ResetSampleFields(d);
    return std::memcmp(s.name, d.name, kNameLength) == 0 && s.frames == d.frames &&
           s.channels == d.channels && std::memcmp(&s.sampleRate, &d.sampleRate, sizeof(double)) == 0 &&
           s.loopStart == d.loopStart && s.loopLength == d.loopLength && s.loopMode == d.loopMode &&
           s.reserved == d.reserved && s.keyLow == d.keyLow && s.keyHigh == d.keyHigh &&
           s.velocityLow == d.velocityLow && s.velocityHigh == d.velocityHigh &&
           s.reservedByte == d.reservedByte && s.pan == d.pan &&
           std::memcmp(s.reserved2, d.reserved2, sizeof d.reserved2) == 0 && s.baseNote == d.baseNote &&
           s.coarseTune == d.coarseTune && s.fineTune == d.fineTune && s.scaleTuning == d.scaleTuning &&
           s.audio == nullptr;
}

bool InstrumentFieldsAreNew(const Instrument& in) {
    if (!SameName(in.name, "---") || in.volume != 64 || in.pan != 128 || in.tune != 128 || in.cutoff != 128 ||
        in.filterType != 0 || in.resonance != 128)
        return false;
    for (uint8_t m : in.modulation)
        if (m != 0) return false;
    Envelope fresh;
    ResetEnvelope(fresh);
    for (const Envelope& e : in.envelopes)
        if (std::memcmp(&e, &fresh, sizeof e) != 0) return false;
    return true;
}

void AppendSample(std::string& out, int slot, const Sample& s) {
    out += '{';
    IntField(out, "slot", slot);
    TextField(out, "name", s.name, kNameLength);
    IntField(out, "frames", s.frames);
    IntField(out, "channels", s.channels);
    Key(out, "sample_rate");
    AppendJsonDouble(out, s.sampleRate);
    out += ", ";
    IntField(out, "loop_start", s.loopStart);
    IntField(out, "loop_length", s.loopLength);
    IntField(out, "loop_mode", s.loopMode);
    IntField(out, "key_low", s.keyLow);
    IntField(out, "key_high", s.keyHigh);
    IntField(out, "velocity_low", s.velocityLow);
    IntField(out, "velocity_high", s.velocityHigh);
    IntField(out, "pan", s.pan);
    IntField(out, "base_note", s.baseNote);
    IntField(out, "coarse_tune", s.coarseTune);
    IntField(out, "fine_tune", s.fineTune);
    IntField(out, "scale_tuning", s.scaleTuning);
    Key(out, "usable");
    out += UsableFrames(s) > 0 ? "true, " : "false, ";
    char hash[20];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(SampleAudioHash(s)));
    Key(out, "audio_fnv1a64");
    out += '"';
    out += hash;
    out += "\"}";
}

void AppendInstrument(std::string& out, int index, const Instrument& in) {
    out += '{';
    IntField(out, "index", index);
    TextField(out, "name", in.name, kNameLength);
    IntField(out, "volume", in.volume);
    IntField(out, "pan", in.pan);
    IntField(out, "tune", in.tune);
    IntField(out, "cutoff", in.cutoff);
    IntField(out, "filter_type", in.filterType);
    IntField(out, "resonance", in.resonance);
    Key(out, "samples");
    out += '[';
    ListSeparator items;
    for (int slot = 0; slot < kMaxSampleSlots; ++slot) {
        if (SampleIsNew(in.samples[slot])) continue;
        items.Before(out);
        AppendSample(out, slot, in.samples[slot]);
    }
    out += "]}";
}

void AppendPattern(std::string& out, int index, const Pattern& p) {
    out += '{';
    IntField(out, "index", index);
    TextField(out, "name", p.name, kNameLength);
    IntField(out, "last_row", p.lastRow);
    IntField(out, "rows_per_beat", p.rowsPerBeat);
    Key(out, "cells");
    out += '[';
    ListSeparator items;
    for (int row = 0; row < kMaxRows; ++row) {
        for (int track = 0; track < kMaxTracks; ++track) {
            const PatternCell& c = p.cells[row][track];
            if (CellIsEmpty(c)) continue;
            items.Before(out);
            // The cell's eight bytes as stored, in either build's layout.
            const uint8_t* b = CellBytes(c);
            char text[96];
            std::snprintf(text, sizeof text, "[%d, %d, %u, %u, %u, %u, %u, %u, %u, %u]", row, track, b[0],
                          b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
            out += text;
        }
    }
    out += "]}";
}

}  // namespace

uint64_t SampleAudioHash(const Sample& sample) {
    uint64_t hash = kFnvOffset;
    const int32_t frames = UsableFrames(sample);
    if (frames <= 0) return hash;
    for (int32_t c = 0; c < sample.channels; ++c) {
        const double* values = sample.audio[c] + kSampleGuard;
        for (int32_t f = 0; f < frames; ++f) {
            uint64_t bits;
            std::memcpy(&bits, &values[f], sizeof bits);
            for (int b = 0; b < 8; ++b) {
                hash ^= (bits >> (8 * b)) & 0xFF;
                hash *= kFnvPrime;
            }
        }
    }
    return hash;
}

void AppendJsonText(std::string& out, const char* field, std::size_t size) {
    out += '"';
    const std::size_t length = NameLength(field, size);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void AppendJsonDouble(std::string& out, double value) {
    // SANITY: a file can store a rate that is not a number; JSON has no such
    // value, so it is written as null rather than as invalid text.
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[40];
    // Whole numbers as "44100.0"; %g would shorten them to an exponent.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        std::snprintf(text, sizeof text, "%.1f", value);
        out += text;
        return;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    out += text;
    if (!std::strpbrk(text, ".eEn")) out += ".0";
}

void AppendSongJson(AppState& app, std::string& out) {
    StateGuard guard(app.stateLock);
    const Song& song = app.song;
    out += '{';
    TextField(out, "status", app.statusLine, kStatusLength);
    TextField(out, "name", song.name, kNameLength);
    IntField(out, "tempo", song.tempo);
    IntField(out, "speed", song.speed);
    IntField(out, "track_count", song.trackCount);
    IntField(out, "edit_step", song.editStep);
    IntField(out, "order_position", song.orderPosition);
    IntField(out, "last_order", song.lastOrder);
    IntField(out, "restart_order", song.restartOrder);
    Key(out, "orders");
    out += '[';
    for (int i = 0; i <= song.lastOrder; ++i) {
        if (i) out += ", ";
        AppendInt(out, song.orders[i]);
    }
    out += "], ";

    Key(out, "tracks");
    out += '[';
    for (int t = 0; t < kMaxTracks; ++t) {
        if (t) out += ", ";
        out += '{';
        TextField(out, "name", song.tracks[t].name, kNameLength);
        IntField(out, "mixer_volume", song.tracks[t].mixerVolume, false);
        out += '}';
    }
    out += "], ";

    Key(out, "patterns");
    out += '[';
    ListSeparator items;
    for (int p = 0; p < kMaxPatterns; ++p) {
        if (PatternIsNew(song.patterns[p])) continue;
        items.Before(out);
        AppendPattern(out, p, song.patterns[p]);
    }
    out += "], ";

    Key(out, "instruments");
    out += '[';
    items = ListSeparator{};
    for (int i = 0; i < kMaxInstruments; ++i) {
        const Instrument& in = song.instruments[i];
        bool changed = !InstrumentFieldsAreNew(in);
        for (int slot = 0; !changed && slot < kMaxSampleSlots; ++slot)
            changed = !SampleIsNew(in.samples[slot]);
        if (!changed) continue;
        items.Before(out);
        AppendInstrument(out, i, in);
    }
    out += "]}";
}

}  // namespace zelmora::render
