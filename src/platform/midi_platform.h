// The system's MIDI inputs. Main thread; the inputs' own threads only queue
// messages (ui/midi_notes.h) and call `wake`, which must be safe from any
// thread (it asks the main thread to take the queued notes).
#pragma once

namespace zelmora {

using MidiWake = void (*)();

// Opens every MIDI input the system has, plus a virtual input "Zelmora" that
// other programs can connect to where the system offers one, and names them
// for the Setup page. Returns how many were opened; none is no failure.
int OpenMidiInputs(MidiWake wake);
// Closes them all; no message arrives after it returns.
void CloseMidiInputs();

}  // namespace zelmora
