// The 16 ms tick's work apart from the meters. Main thread: the shells hand
// the tick over from their timers.
// SANITY: not on the timer's own thread: the autorepeat edits the song and the
// meters draw into the back buffer, both of which the main thread's handlers
// and composition touch too; run there, the UI state has one writer besides
// the audio thread's meters and row, and nothing races.
#include "app/app_state.h"
#include "app/autosave.h"
#include "app/export.h"
#include "app/history.h"
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
    // A change made outside a key press or a mouse press is a step of its own.
    if (app.history.open && app.history.loose) EndStep(app);
    AutosaveTick(app);
    ExportTick(app);
    if constexpr (profile::kDriverNotices) {
        if (ServiceDriverNotice(app, Shell().window)) app.redrawRequest.store(1, std::memory_order_relaxed);
    }
    const bool redraw = app.redrawRequest.exchange(0, std::memory_order_relaxed) != 0;
    app.tickCounter.fetch_add(1, std::memory_order_relaxed);
    return redraw;
}

}  // namespace zelmora
