// The WASAPI driver: a shared-mode, event-driven output on one render
// endpoint, for Windows machines without an ASIO driver.
#pragma once

#include <mmdeviceapi.h>

#include <cstdint>

#include "audio/asio.h"

namespace zelmora {

// Adds "WASAPI: <endpoint name>" for every active render endpoint, the
// default one first, to the substitute drivers. False when there is none.
bool AddWasapiDrivers();

// A driver (one reference) on the endpoint `id` of `enumerator`, or on the
// default render endpoint when `id` is null. It holds its own reference to
// the enumerator, so tests can hand it a scripted one.
IAsioDriver* CreateWasapiDriver(IMMDeviceEnumerator* enumerator, const wchar_t* id, const char* name);

}  // namespace zelmora
