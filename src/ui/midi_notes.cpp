#include "ui/midi_notes.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>

#include "app/app_state.h"
#include "app/history.h"
#include "app/state_lock.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "ui/keyboard.h"

namespace zelmora {

namespace {

constexpr uint8_t kHeld = 127;

// A bounded queue for many writers (every input may have its own thread) and
// one reader: each cell's sequence number says whose turn it is, so a writer
// never waits and a full queue drops the new message.
struct MidiQueue {
    struct Cell {
        std::atomic<uint32_t> sequence;
        uint32_t message;
    };
    Cell cells[kMidiQueueSize];
    std::atomic<uint32_t> writePosition{0};
    uint32_t readPosition = 0;  // main thread
    std::atomic<bool> wakeAsked{false};

    MidiQueue() { Clear(); }

    void Clear() {
        for (uint32_t i = 0; i < kMidiQueueSize; ++i) cells[i].sequence.store(i, std::memory_order_relaxed);
        writePosition.store(0, std::memory_order_relaxed);
        readPosition = 0;
        wakeAsked.store(false, std::memory_order_release);
    }

    bool Push(uint32_t message) {
        uint32_t position = writePosition.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells[position % kMidiQueueSize];
            const int32_t turn =
                static_cast<int32_t>(cell.sequence.load(std::memory_order_acquire) - position);
            if (turn == 0) {
                if (writePosition.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    cell.message = message;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (turn < 0) {
                return false;  // full
            } else {
                position = writePosition.load(std::memory_order_relaxed);
            }
        }
    }

    bool Pop(uint32_t& message) {
        Cell& cell = cells[readPosition % kMidiQueueSize];
        if (static_cast<int32_t>(cell.sequence.load(std::memory_order_acquire) - (readPosition + 1)) < 0)
            return false;
        message = cell.message;
        cell.sequence.store(readPosition + kMidiQueueSize, std::memory_order_release);
        ++readPosition;
        return true;
    }
};

MidiQueue g_queue;
char g_inputNames[256] = "None";

// The track each sounding note started on (-1: none). Main thread.
std::array<int8_t, 128> g_noteTracks = [] {
    std::array<int8_t, 128> tracks;
    tracks.fill(-1);
    return tracks;
}();

void RequestRedraw(AppState& app) { app.redrawRequest.store(1, std::memory_order_relaxed); }

}  // namespace

bool QueueMidiMessage(uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t kind = status & 0xF0;
    if (kind != 0x80 && kind != 0x90) return false;
    // SANITY: data bytes have seven bits; a stray high bit from a faulty
    // device is dropped instead of naming note 128 and beyond.
    if ((data1 | data2) & 0x80) return false;
    if (!g_queue.Push(static_cast<uint32_t>(kind) << 16 | static_cast<uint32_t>(data1) << 8 | data2)) return false;
    return !g_queue.wakeAsked.exchange(true, std::memory_order_acq_rel);
}

bool TakeMidiMessages(AppState& app, bool shift) {
    g_queue.wakeAsked.store(false, std::memory_order_release);
    bool any = false;
    uint32_t message = 0;
    while (g_queue.Pop(message)) {
        const int kind = static_cast<int>(message >> 16);
        const int note = static_cast<int>(message >> 8 & 0x7F);
        const int velocity = static_cast<int>(message & 0x7F);
        // A note-on with velocity 0 is a note-off.
        if (kind == 0x90 && velocity > 0)
            MidiNoteOn(app, note, velocity, shift);
        else
            MidiNoteOff(app, note);
        any = true;
    }
    return any;
}

void MidiNoteOn(AppState& app, int note, int velocity, bool shift) {
    // An open text field has the keyboard; the notes wait for it to close.
    if (app.textEditTarget != nullptr) return;
    note = std::clamp(note, 0, 127);
    KeepCursorOnPattern(app);
    const int track = app.cursor.track;
    const int instrument = static_cast<uint8_t>(app.currentInstrument);
    {
        StateGuard lock(app.stateLock);
        TakeInstrument(app.song, app.song.tracks[track].channel, instrument);
    }
    PreviewNoteOn(app, track, instrument, note, 0, std::clamp(velocity, 1, 127), 0);
    app.heldNotes[note] = kHeld;
    g_noteTracks[note] = static_cast<int8_t>(track);
    if (app.editMode) {
        // A note from the keyboard is one step of the edit history, as a key is.
        BeginStep(app);
        if (!shift && app.transport.playMode == kStopped) {
            PatternCell& cell = Changing(app, "Note Entry", CellUnderCursor(app));
            cell.note = static_cast<uint8_t>(note + 1);
            cell.instrument = static_cast<uint8_t>(app.currentInstrument);
            StepCursorRow(app);
        } else {
            EnterHeldChord(app);
        }
        EndStep(app);
        app.cursor.column = 0;
    }
    RequestRedraw(app);
}

void MidiNoteOff(AppState& app, int note) {
    if (note < 0 || note > 127) return;
    // Released even when it was never held here: a key pressed before
    // Zelmora listened, or while a text field was open, sounds nothing.
    // SANITY: the note stops on the track its note-on started it on, wherever
    // the cursor went meanwhile.
    PreviewNoteOff(app, g_noteTracks[note] >= 0 ? g_noteTracks[note] : app.cursor.track, note);
    g_noteTracks[note] = -1;
    app.heldNotes[note] = 0;
    RequestRedraw(app);
}

void SetMidiInputNames(const char* names) {
    std::snprintf(g_inputNames, sizeof g_inputNames, "%s", names && *names ? names : "None");
}

const char* MidiInputNames() { return g_inputNames; }

void ClearMidiQueue() { g_queue.Clear(); }

}  // namespace zelmora
