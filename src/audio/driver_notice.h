// A driver's word to the main thread. Drivers whose stream can end or change
// by itself (a JACK server that shuts down, a WASAPI endpoint that is
// unplugged, a period or rate changed by another program) post a notice from
// whichever thread learns of it; the main thread takes it at the next tick and
// stops or restarts the driver through the audio host, with a status message.
#pragma once

#include <cstdint>

namespace zelmora {

struct AppState;
class IAsioDriver;

enum class DriverNotice : int32_t {
    kShow = 1,     // only show the text (a count of xruns, say)
    kRestart = 2,  // stop and start again, then show the text
    kStop = 3,     // the stream has ended: stop and release the driver, show the text
};

// Any thread, no allocation, no lock. One notice waits at a time; a later
// one replaces it only when it asks for more (show < restart < stop).
// `driver` is the object posting, so a notice of a driver the user has since
// closed is dropped.
void PostDriverNotice(const IAsioDriver* driver, DriverNotice action, const char* text);

// Main thread: acts on the waiting notice, if any, and shows its text in the
// driver's status (a stop or restart also in the status line). True when it
// did something.
bool ServiceDriverNotice(AppState& app, void* window);

// Tests: drops a waiting notice.
void ClearDriverNotice();

}  // namespace zelmora
