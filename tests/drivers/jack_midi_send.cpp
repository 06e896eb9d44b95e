// A MIDI keyboard for the end-to-end test: a JACK client that connects its
// MIDI output to every MIDI input whose name matches a pattern and plays the
// given notes one after another (on, then off, 60 ms each).
//
//   zelmora_jack_midi_send PATTERN NOTE...
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

jack_port_t* g_out = nullptr;
std::atomic<int> g_pending{-1};  // the message to send, status << 16 | note << 8 | velocity

int Process(jack_nframes_t frames, void*) {
    void* buffer = jack_port_get_buffer(g_out, frames);
    jack_midi_clear_buffer(buffer);
    const int m = g_pending.load();
    if (m < 0) return 0;
    const unsigned char bytes[3] = {static_cast<unsigned char>(m >> 16), static_cast<unsigned char>(m >> 8),
                                    static_cast<unsigned char>(m)};
    if (jack_midi_event_write(buffer, 0, bytes, 3) == 0) g_pending.store(-1);
    return 0;
}

bool Send(int status, int note, int velocity) {
    g_pending.store(status << 16 | note << 8 | velocity);
    for (int i = 0; i < 200 && g_pending.load() >= 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    return g_pending.load() < 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zelmora_jack_midi_send PATTERN NOTE...\n");
        return 2;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open("zelmora-keyboard", JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    g_out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, Process, nullptr);
    if (!g_out || jack_activate(client) != 0) return 1;
    int connected = 0;
    if (const char** ports = jack_get_ports(client, argv[1], JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** p = ports; *p; ++p) connected += jack_connect(client, jack_port_name(g_out), *p) == 0;
        jack_free(ports);
    }
    if (connected == 0) {
        std::fprintf(stderr, "no MIDI input matches %s\n", argv[1]);
        jack_client_close(client);
        return 1;
    }
    bool ok = true;
    for (int i = 2; i < argc; ++i) {
        const int note = std::atoi(argv[i]) & 127;
        ok = Send(0x90, note, 100) && Send(0x80, note, 0) && ok;
    }
    jack_client_close(client);
    return ok ? 0 : 1;
}
