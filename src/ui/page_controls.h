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

namespace zelmora {

struct Sample;

// The Region page: the current slot's key and velocity ranges, base note,
// tuning, scale tuning and pan, each a value field as on the Instrument page.
enum class RegionReading { kNote, kNumber, kSemitones, kCents, kPercent, kPan };

struct RegionControl {
    int cell;  // of the page's value place, three to a row
    const char* what;
    RegionReading reading;
    uint8_t Sample::*field = nullptr;  // an unsigned byte,
    int8_t Sample::*signedField = nullptr;  // or a signed one
    int lo, hi, fresh;  // the range and the new-sample value
};

extern const RegionControl kRegionControls[];
extern const int kRegionControlCount;

const RegionControl* RegionControlAt(int x, int y);
int RegionValue(const AppState& app, const RegionControl& control);
void MoveRegionValue(AppState& app, const RegionControl& control, int by);
void ResetRegionValue(AppState& app, const RegionControl& control);

// The keyboard of the Region page: the note under a point (-1 none) and where
// a note's key stands (white keys full height, black keys the upper part).
int KeyAt(int x, int y);
place::Box KeyBox(int note);
bool IsBlackKey(int note);

// A press on the keyboard: near an end of the key range it drags that end
// (the ends may cross), elsewhere it previews the key and selects the first
// region that sounds it. The drag follows x; the release stops the preview.
void RegionKeyPress(AppState& app, int x, int y);
void RegionKeyDrag(AppState& app, int x);
void RegionKeyRelease(AppState& app);

}  // namespace zelmora
