// MIDI inputs through WinMM: every input device, opened with a callback
// function. The callback runs on the system's MIDI thread and only queues the
// short messages (ui/midi_notes.h) and wakes the main thread.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "platform/midi_platform.h"
#include "ui/midi_notes.h"

namespace zelmora {

namespace {

constexpr UINT kMaxInputs = 16;

HMIDIIN g_inputs[kMaxInputs] = {};
UINT g_open = 0;
MidiWake g_wake = nullptr;

void CALLBACK Receive(HMIDIIN, UINT message, DWORD_PTR, DWORD_PTR data, DWORD_PTR) {
    if (message != MIM_DATA) return;
    const auto bytes = static_cast<DWORD>(data);
    if (QueueMidiMessage(static_cast<uint8_t>(bytes), static_cast<uint8_t>(bytes >> 8),
                         static_cast<uint8_t>(bytes >> 16)) &&
        g_wake)
        g_wake();
}

}  // namespace

int OpenMidiInputs(MidiWake wake) {
    CloseMidiInputs();
    g_wake = wake;
    char names[256] = {};
    std::size_t used = 0;
    const UINT devices = midiInGetNumDevs();
    for (UINT d = 0; d < devices && g_open < kMaxInputs; ++d) {
        MIDIINCAPSA caps{};
        if (midiInGetDevCapsA(d, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        HMIDIIN input = nullptr;
        if (midiInOpen(&input, d, reinterpret_cast<DWORD_PTR>(&Receive), 0, CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
            continue;
        if (midiInStart(input) != MMSYSERR_NOERROR) {
            midiInClose(input);
            continue;
        }
        g_inputs[g_open++] = input;
        const int n = std::snprintf(names + used, sizeof names - used, "%s%s", used ? ", " : "", caps.szPname);
        if (n > 0) used = std::strlen(names);
    }
    SetMidiInputNames(names);
    return static_cast<int>(g_open);
}

void CloseMidiInputs() {
    for (UINT i = 0; i < g_open; ++i) {
        midiInStop(g_inputs[i]);
        midiInReset(g_inputs[i]);
        midiInClose(g_inputs[i]);
        g_inputs[i] = nullptr;
    }
    g_open = 0;
    g_wake = nullptr;
}

}  // namespace zelmora
