#pragma once

#include <mutex>

namespace zelmora {

// The one lock of the program: re-entrant, so the thread that holds it may take
// it again (the render calls StopPlayer from inside a buffer).
using StateLock = std::recursive_mutex;
using StateGuard = std::lock_guard<StateLock>;

}  // namespace zelmora
