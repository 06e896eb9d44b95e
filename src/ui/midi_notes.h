// Notes from MIDI keyboards. The MIDI library's thread queues the messages it
// receives; the main thread takes them (woken by the shell, and at every
// tick) and plays and enters each note as the note keys do, on the cursor's
// track: the preview, the cell in edit mode, a chord while Shift is held or
// the song plays, the edit step, the held notes. The note number is the MIDI
// note itself; the velocity scales only the preview. Nothing edits the song
// from the MIDI thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelmora {

struct AppState;

inline constexpr int kMidiQueueSize = 256;

// Any thread, no lock, no allocation: queues one message of a MIDI input
// (status byte and its two data bytes; the status of running status already
// filled in). Messages other than note-on and note-off are dropped, and so is
// a note when the queue is full. True when the main thread should be woken:
// the first note queued since it last took them.
bool QueueMidiMessage(uint8_t status, uint8_t data1, uint8_t data2);

// Main thread: every queued note in order; `shift` is whether Shift is held
// now. True when the screen needs drawing again.
bool TakeMidiMessages(AppState& app, bool shift);

// Main thread: one note, as the note keys give it.
void MidiNoteOn(AppState& app, int note, int velocity, bool shift);
void MidiNoteOff(AppState& app, int note);

// Main thread: the names of the open inputs, as the Setup page shows them
// ("None" before any was opened); set by the shell's MIDI code.
void SetMidiInputNames(const char* names);
const char* MidiInputNames();

// Tests: empties the queue.
void ClearMidiQueue();

}  // namespace zelmora
