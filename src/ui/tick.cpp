// The 16 ms tick's work apart from the meters. Main thread: the shells hand
// the tick over from their timers.
#include "app/app_state.h"
#include "app/profile.h"
#include "audio/driver_notice.h"
#include "ui/mouse.h"
#include "ui/screen.h"
#include "ui/shell_services.h"

namespace zelmora {

// A held control acts once at the press, again on the 16th tick, then on
// every tick.
void TickAutorepeat(AppState& app) {
    if (app.pressedControl <= 0) return;
    if (++app.repeatCounter < 16) return;
    PerformControlAction(app, app.pressedControl);
    app.repeatCounter = 16;
    app.redrawRequest.store(1, std::memory_order_relaxed);
}

bool TickFinish(AppState& app) {
    if constexpr (profile::kDriverNotices) {
        if (ServiceDriverNotice(app, Shell().window)) app.redrawRequest.store(1, std::memory_order_relaxed);
    }
    const bool redraw = app.redrawRequest.exchange(0, std::memory_order_relaxed) != 0;
    app.tickCounter.fetch_add(1, std::memory_order_relaxed);
    return redraw;
}

}  // namespace zelmora
