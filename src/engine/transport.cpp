#include "engine/transport.h"

#include <mutex>

#include "app/app_state.h"

namespace zelmora {

void StopPlayer(AppState& app) {
    {
        std::lock_guard<StateLock> lock(app.stateLock);
        app.transport.tick = 0;
        app.transport.samplesInTick = 0;
        app.transport.playMode = kStopped;
        for (Voice& v : app.voices) {
            v.envelopeValue = 0.0;
            v.envelopeStage = kStageOff;
        }
    }
    SetStatus(app, "Player Stopped.");
}

}  // namespace zelmora
