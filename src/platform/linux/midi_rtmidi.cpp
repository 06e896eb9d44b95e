// MIDI inputs through RtMidi: every input port of every MIDI system RtMidi
// was built with (the ALSA sequencer, JACK), one RtMidiIn per port, and a
// virtual input "Zelmora" on the first system that can make one. A system
// that is not there (no /dev/snd/seq, no JACK server) is skipped quietly.
#include <RtMidi.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi_platform.h"
#include "ui/midi_notes.h"

namespace zelmora {

namespace {

constexpr const char* kClientName = "Zelmora";

std::vector<std::unique_ptr<RtMidiIn>> g_inputs;
MidiWake g_wake = nullptr;

// RtMidi's thread for the input: running status is filled in by RtMidi, so
// every message arrives whole.
void Receive(double, std::vector<unsigned char>* message, void*) {
    if (!message || message->size() < 3) return;
    if (QueueMidiMessage((*message)[0], (*message)[1], (*message)[2]) && g_wake) g_wake();
}

// With an error callback RtMidi neither prints nor throws: a failed open is
// only known from the callback, which marks it here (main thread: RtMidi
// reports the errors of opening on the caller's thread).
bool g_failed = false;
void MarkFailure(RtMidiError::Type type, const std::string&, void*) {
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) g_failed = true;
}

bool Usable(RtMidi::Api api) {
    // Without the sequencer device the ALSA library prints its own complaint
    // before RtMidi throws; the device is looked for first.
    if (api == RtMidi::LINUX_ALSA) return access("/dev/snd/seq", R_OK | W_OK) == 0;
    return api == RtMidi::UNIX_JACK;
}

std::unique_ptr<RtMidiIn> NewInput(RtMidi::Api api) {
    auto in = std::make_unique<RtMidiIn>(api, kClientName);
    in->setErrorCallback(MarkFailure, nullptr);
    in->ignoreTypes(true, true, true);
    in->setCallback(Receive, nullptr);
    return in;
}

void AddName(std::string& names, const std::string& name) {
    if (!names.empty()) names += ", ";
    names += name;
}

}  // namespace

int OpenMidiInputs(MidiWake wake) {
    CloseMidiInputs();
    g_wake = wake;
    std::string names;
    bool haveVirtual = false;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (const RtMidi::Api api : apis) {
        if (!Usable(api)) continue;
        try {
            auto lister = NewInput(api);
            const unsigned ports = lister->getPortCount();
            for (unsigned p = 0; p < ports; ++p) {
                const std::string name = lister->getPortName(p);
                // Our own virtual input, seen from another system, is not an input.
                if (name.find(kClientName) != std::string::npos) continue;
                auto in = NewInput(api);
                g_failed = false;
                in->openPort(p, "in");
                if (g_failed || !in->isPortOpen()) continue;
                g_inputs.push_back(std::move(in));
                AddName(names, name);
            }
            if (!haveVirtual) {
                // A virtual port does not count as an open one to RtMidi.
                g_failed = false;
                lister->openVirtualPort(kClientName);
                if (g_failed) continue;
                haveVirtual = true;
                g_inputs.push_back(std::move(lister));
                AddName(names, std::string(kClientName) + " (" + RtMidi::getApiDisplayName(api) + ")");
            }
        } catch (const RtMidiError&) {
            // This system cannot be used here; the others still can.
        }
    }
    SetMidiInputNames(names.c_str());
    return static_cast<int>(g_inputs.size());
}

void CloseMidiInputs() {
    for (auto& in : g_inputs) {
        try {
            in->cancelCallback();
            in->closePort();
        } catch (const RtMidiError&) {
        }
    }
    g_inputs.clear();
    g_wake = nullptr;
}

}  // namespace zelmora
