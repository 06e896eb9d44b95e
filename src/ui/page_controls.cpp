#include "ui/page_controls.h"

#include <algorithm>
#include <memory>

#include "app/app_state.h"
#include "app/history.h"
#include "app/status_line.h"
#include "engine/transport.h"

namespace zelmora {

using place::PlaceId;

const ValueControl kValueControls[] = {
    // place, cell, what, reading, instrument field / envelope field / modulation
    {PlaceId::InstrumentValues, 0, "Volume", Reading::kDecibels, &Instrument::volume},
    {PlaceId::InstrumentValues, 1, "Pan", Reading::kPan, &Instrument::pan},
    {PlaceId::InstrumentValues, 2, "Tune", Reading::kTune, &Instrument::tune},
    {PlaceId::InstrumentValues, 3, "Cutoff", Reading::kHertz, &Instrument::cutoff},
    {PlaceId::InstrumentValues, 5, "Filter Type", Reading::kFilter, &Instrument::filterType},
    {PlaceId::InstrumentValues, 6, "Resonance", Reading::kPercent, &Instrument::resonance},
    {PlaceId::ModulationValues, 0, "Modulation", Reading::kNone, nullptr, nullptr, 0},
    {PlaceId::ModulationValues, 1, "Modulation", Reading::kNone, nullptr, nullptr, 1},
    {PlaceId::ModulationValues, 2, "Modulation", Reading::kNone, nullptr, nullptr, 2},
    {PlaceId::ModulationValues, 3, "Modulation", Reading::kNone, nullptr, nullptr, 3},
    {PlaceId::ModulationValues, 5, "Modulation", Reading::kNone, nullptr, nullptr, 4},
    {PlaceId::ModulationValues, 6, "Modulation", Reading::kNone, nullptr, nullptr, 5},
    {PlaceId::EnvelopeValues, 0, "Attack", Reading::kSeconds, nullptr, &Envelope::attack},
    {PlaceId::EnvelopeValues, 1, "Decay", Reading::kSeconds, nullptr, &Envelope::decay},
    {PlaceId::EnvelopeValues, 2, "Sustain", Reading::kPercent, nullptr, &Envelope::sustain},
    {PlaceId::EnvelopeValues, 3, "Release", Reading::kSeconds, nullptr, &Envelope::release},
    {PlaceId::EnvelopeValues, 4, "Envelope Amount", Reading::kPercent, nullptr, &Envelope::amount},
    // The oscillator rows show attack, rate, type, phase, amount in that order.
    {PlaceId::EnvelopeValues, 6, "Oscillator Attack", Reading::kNone, nullptr, &Envelope::oscillatorAttack},
    {PlaceId::EnvelopeValues, 7, "Oscillator Rate", Reading::kNone, nullptr, &Envelope::oscillatorRate},
    {PlaceId::EnvelopeValues, 8, "Oscillator Type", Reading::kNone, nullptr, &Envelope::oscillatorType},
    {PlaceId::EnvelopeValues, 9, "Oscillator Phase", Reading::kNone, nullptr, &Envelope::oscillatorPhase},
    {PlaceId::EnvelopeValues, 10, "Oscillator Amount", Reading::kNone, nullptr, &Envelope::oscillatorAmount},
};
const int kValueControlCount = sizeof kValueControls / sizeof kValueControls[0];

namespace {

// The tabs show the first, third and fourth envelopes.
constexpr int kTabEnvelope[3] = {0, 2, 3};

const Instrument& NewInstrument() {
    static const std::unique_ptr<Instrument> fresh = [] {
        auto in = std::make_unique<Instrument>();  // zeroed: no audio to free
        ResetInstrumentFields(*in);
        return in;
    }();
    return *fresh;
}

template <typename In>
auto& ByteOf(In& in, int tab, const ValueControl& c) {
    if (c.field) return in.*c.field;
    if (c.envelopeField) return in.envelopes[kTabEnvelope[std::clamp(tab, 0, 2)]].*c.envelopeField;
    return in.modulation[std::clamp(c.modulation, 0, 5)];
}

}  // namespace

const ValueControl* ValueControlAt(int x, int y) {
    for (int i = 0; i < kValueControlCount; ++i) {
        const ValueControl& c = kValueControls[i];
        const place::Box b = place::CellOf(c.place, c.cell);
        if (x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h) return &c;
    }
    return nullptr;
}

uint8_t& ControlByte(AppState& app, const ValueControl& control) {
    return ByteOf(app.song.instruments[app.currentInstrument & 0xFF], app.envelopeTab, control);
}

void MoveValue(AppState& app, const ValueControl& control, int by) {
    uint8_t& value = ControlByte(app, control);
    const int next = std::clamp(value + by, 0, 255);
    if (next != value) Changing(app, control.what, value) = static_cast<uint8_t>(next);
}

void ResetValue(AppState& app, const ValueControl& control) {
    const uint8_t fresh = ByteOf(NewInstrument(), app.envelopeTab, control);
    uint8_t& value = ControlByte(app, control);
    if (value != fresh) Changing(app, control.what, value) = fresh;
}

}  // namespace zelmora

namespace zelmora {

const RegionControl kRegionControls[] = {
    // cell, what, reading, field / signed field, lowest, highest, new-sample value
    {0, "Key Range", RegionReading::kNote, &Sample::keyLow, nullptr, 0, 127, 0},
    {1, "Key Range", RegionReading::kNote, &Sample::keyHigh, nullptr, 0, 127, 127},
    {2, "Base Note", RegionReading::kNote, nullptr, &Sample::baseNote, 0, 127, 60},
    {3, "Velocity Range", RegionReading::kNumber, &Sample::velocityLow, nullptr, 0, 127, 0},
    {4, "Velocity Range", RegionReading::kNumber, &Sample::velocityHigh, nullptr, 0, 127, 127},
    {5, "Region Pan", RegionReading::kPan, &Sample::pan, nullptr, 0, 255, 128},
    {6, "Coarse Tune", RegionReading::kSemitones, nullptr, &Sample::coarseTune, -48, 48, 0},
    {7, "Fine Tune", RegionReading::kCents, nullptr, &Sample::fineTune, -99, 99, 0},
    {8, "Scale Tuning", RegionReading::kPercent, &Sample::scaleTuning, nullptr, 0, 200, 100},
};
const int kRegionControlCount = sizeof kRegionControls / sizeof kRegionControls[0];

namespace {

Sample& SlotOf(AppState& app) {
    return app.song.instruments[app.currentInstrument & 0xFF].samples[app.currentSample & 0xFF];
}
const Sample& SlotOf(const AppState& app) {
    return app.song.instruments[app.currentInstrument & 0xFF].samples[app.currentSample & 0xFF];
}

void SetRegionValue(AppState& app, const RegionControl& c, int value) {
    Sample& s = SlotOf(app);
    value = std::clamp(value, c.lo, c.hi);
    if (value == RegionValue(app, c)) return;
    if (c.field)
        Changing(app, c.what, s.*c.field) = static_cast<uint8_t>(value);
    else
        Changing(app, c.what, s.*c.signedField) = static_cast<int8_t>(value);
}

constexpr bool kBlack[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
constexpr int kWhiteBefore[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};  // white keys left of each semitone

}  // namespace

const RegionControl* RegionControlAt(int x, int y) {
    for (int i = 0; i < kRegionControlCount; ++i) {
        const place::Box b = place::CellOf(place::PlaceId::RegionValues, kRegionControls[i].cell);
        if (x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h) return &kRegionControls[i];
    }
    return nullptr;
}

int RegionValue(const AppState& app, const RegionControl& c) {
    const Sample& s = SlotOf(app);
    return c.field ? int{s.*c.field} : int{s.*c.signedField};
}

void MoveRegionValue(AppState& app, const RegionControl& c, int by) { SetRegionValue(app, c, RegionValue(app, c) + by); }

void ResetRegionValue(AppState& app, const RegionControl& c) { SetRegionValue(app, c, c.fresh); }

bool IsBlackKey(int note) { return kBlack[((note % 12) + 12) % 12]; }

place::Box KeyBox(int note) {
    const place::Place& k = place::Get(place::PlaceId::RegionKeyboard);
    const int white = 7 * (note / 12) + kWhiteBefore[note % 12];
    if (!IsBlackKey(note)) return {k.x + k.cellW * white, k.y, k.cellW, k.h};
    return {k.x + k.cellW * white - 2, k.y, 4, k.h * 5 / 8};  // over the line between two white keys
}

int KeyAt(int x, int y) {
    for (int pass = 0; pass < 2; ++pass)  // black keys lie over the white ones
        for (int note = 0; note < 128; ++note) {
            if (IsBlackKey(note) != (pass == 0)) continue;
            const place::Box b = KeyBox(note);
            if (x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h) return note;
        }
    return -1;
}

void RegionKeyPress(AppState& app, int x, int y) {
    const int note = KeyAt(x, y);
    if (note < 0) return;
    const Sample& s = SlotOf(app);
    if (std::abs(note - s.keyLow) <= 1 || std::abs(note - s.keyHigh) <= 1) {
        app.draggedKeyEnd = std::abs(note - s.keyLow) <= std::abs(note - s.keyHigh) ? 1 : 2;
        return;
    }
    // A key elsewhere sounds through the instrument; the first region that
    // plays it becomes the current one, and a key without one says so.
    const Instrument& in = app.song.instruments[app.currentInstrument & 0xFF];
    int region = -1;
    for (int slot = 0; slot < kMaxSampleSlots && region < 0; ++slot) {
        const Sample& r = in.samples[slot];
        if (UsableFrames(r) && note >= r.keyLow && note <= r.keyHigh) region = slot;
    }
    if (region < 0) {
        SetStatus(app, "No Region For Key %d.", note);
        return;
    }
    app.currentSample = region;
    const int track = std::clamp(app.cursor.track, 0, kMaxTracks - 1);
    PreviewNoteOn(app, track, app.currentInstrument & 0xFF, note, 0, 127, 0);
    app.previewedKey = note;
}

void RegionKeyDrag(AppState& app, int x) {
    if (app.draggedKeyEnd == 0) return;
    const place::Place& k = place::Get(place::PlaceId::RegionKeyboard);
    int note = KeyAt(std::clamp(x, k.x, k.x + k.w - 1), k.y + k.h - 1);  // along the white keys' lower part
    if (note < 0) note = x < k.x ? 0 : 127;
    Sample& s = SlotOf(app);
    // The end follows the mouse; past the other end the two change places.
    const int other = app.draggedKeyEnd == 1 ? s.keyHigh : s.keyLow;
    const int low = std::min(note, other), high = std::max(note, other);
    if (low == s.keyLow && high == s.keyHigh) return;
    Changing(app, "Key Range", s.keyLow) = static_cast<uint8_t>(low);
    Changing(app, "Key Range", s.keyHigh) = static_cast<uint8_t>(high);
    app.draggedKeyEnd = note == low ? 1 : 2;
}

void RegionKeyRelease(AppState& app) {
    app.draggedKeyEnd = 0;
    if (app.previewedKey < 0) return;
    PreviewNoteOff(app, std::clamp(app.cursor.track, 0, kMaxTracks - 1), app.previewedKey);
    app.previewedKey = -1;
}

}  // namespace zelmora
