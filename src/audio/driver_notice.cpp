#include "audio/driver_notice.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/status_line.h"
#include "audio/asio_host.h"

namespace zelmora {

namespace {

// The slot: empty, being written or read by one thread, or holding a notice.
enum : int32_t { kEmpty = 0, kBusy = 1, kReady = 2 };

struct NoticeSlot {
    std::atomic<int32_t> state{kEmpty};
    const IAsioDriver* driver = nullptr;
    // Read by a writer deciding whether to replace the waiting notice while
    // another thread may hold the slot: atomic, the rest is guarded by `state`.
    std::atomic<int32_t> action{static_cast<int32_t>(DriverNotice::kShow)};
    char text[128] = {};
};

NoticeSlot g_slot;

}  // namespace

void PostDriverNotice(const IAsioDriver* driver, DriverNotice action, const char* text) {
    int32_t expected = kEmpty;
    if (!g_slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) {
        // A waiting notice is replaced by a stronger one; while another thread
        // holds the slot this notice is dropped (a stop is posted once more
        // by its driver's next try, and a count is shown again later).
        if (expected != kReady ||
            static_cast<int32_t>(action) <= g_slot.action.load(std::memory_order_relaxed))
            return;
        if (!g_slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) return;
    }
    g_slot.driver = driver;
    g_slot.action.store(static_cast<int32_t>(action), std::memory_order_relaxed);
    std::snprintf(g_slot.text, sizeof g_slot.text, "%s", text ? text : "");
    g_slot.state.store(kReady, std::memory_order_release);
}

void ClearDriverNotice() {
    int32_t expected = kReady;
    if (g_slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire))
        g_slot.state.store(kEmpty, std::memory_order_release);
}

bool ServiceDriverNotice(AppState& app, void* window) {
    int32_t expected = kReady;
    if (!g_slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) return false;
    const IAsioDriver* driver = g_slot.driver;
    const auto action = static_cast<DriverNotice>(g_slot.action.load(std::memory_order_relaxed));
    char text[sizeof g_slot.text];
    std::memcpy(text, g_slot.text, sizeof text);
    g_slot.state.store(kEmpty, std::memory_order_release);

    AsioHost& host = app.asioHost;
    if (driver == nullptr || driver != host.driver) return false;
    switch (action) {
        case DriverNotice::kShow:
            break;
        case DriverNotice::kRestart:
            RestartAudio(app, window);
            if (!host.driver) return true;  // the restart's own failure message stays
            break;
        case DriverNotice::kStop:
            StopAudio(app);
            break;
    }
    std::snprintf(host.statusText, sizeof host.statusText, "%s", text);
    // A stream that ended or changed by itself is news on every page.
    if (action != DriverNotice::kShow) SetStatus(app, "%s", text);
    return true;
}

}  // namespace zelmora
