#include "ui/page_controls.h"

#include <algorithm>
#include <memory>

#include "app/app_state.h"
#include "app/history.h"

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
