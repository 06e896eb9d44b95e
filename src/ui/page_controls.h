// The Instrument page's values as controls: each row of the table names a
// value field of the page (a cell of a screen place) and the byte it shows.
// A vertical drag changes the byte (up increases, held to 0..255), the wheel
// steps it by one, a double-click gives it back its new-instrument value;
// each change is one step of the edit history. The drawing reads the same
// table for where each value stands. Main thread.
#pragma once

#include <cstdint>

#include "ui/screen_places.h"

namespace zelmora {

struct AppState;
struct Envelope;
struct Instrument;

// How the page reads a value out beside its field.
enum class Reading { kNone, kDecibels, kPan, kTune, kHertz, kFilter, kPercent, kSeconds };

struct ValueControl {
    place::PlaceId place;
    int cell;
    const char* what;  // as the edit history names a change
    Reading reading;
    uint8_t Instrument::*field = nullptr;    // a field of the instrument,
    uint8_t Envelope::*envelopeField = nullptr;  // or of the envelope the tab shows,
    int modulation = -1;                     // or one of the six modulation settings
};

extern const ValueControl kValueControls[];
extern const int kValueControlCount;

// The control over a client point on the Instrument page, or null.
const ValueControl* ValueControlAt(int x, int y);

// The byte a control shows for the current instrument and envelope tab.
uint8_t& ControlByte(AppState& app, const ValueControl& control);

// A drag by dy pixels (up is negative), a wheel step, a reset.
void MoveValue(AppState& app, const ValueControl& control, int by);
void ResetValue(AppState& app, const ValueControl& control);

}  // namespace zelmora
