// A second thread that mixes tracks beside the thread that calls MixChunk.
//
// The caller publishes a list of items (tracks) and takes items from it
// itself; the helper takes items from the same list while it is awake. The
// caller only ever waits for an item the helper has already taken, and handing
// work over needs no system call on either side: the helper spins while work
// keeps coming and naps only after a quiet spell, and an asleep helper simply
// leaves every item to the caller. Each track mixes into its own scratch
// buffers and the caller adds them up in track order, so the result does not
// depend on which thread mixed what.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "app/app_state.h"

namespace zelmora {

class MixHelper {
public:
    using Job = void (*)(void* context, int item);

    // Starts the thread; the scratch buffers are made here, not on the audio thread.
    MixHelper();
    ~MixHelper();
    MixHelper(const MixHelper&) = delete;
    MixHelper& operator=(const MixHelper&) = delete;

    // kMaxBufferFrames values per channel for each track.
    double* ScratchLeft(int track) { return scratch_.get() + (2 * track) * kMaxBufferFrames; }
    double* ScratchRight(int track) { return scratch_.get() + (2 * track + 1) * kMaxBufferFrames; }

    // Runs job(context, i) for every i in [0, count) (count <= 255) on this
    // thread and the helper; returns when all have run.
    void Run(Job job, void* context, int count);

private:
    void Loop();
    // Takes and runs items of the published list until none is left.
    void Work();

    // Generation (bits 40..63), item count (32..39) and next item (0..31):
    // one word, so a claim names its list.
    std::atomic<uint64_t> state_{0};
    std::atomic<int> done_{0};
    std::atomic<bool> quit_{false};
    // Written before the state names their list; read only by a claim of it.
    std::atomic<Job> job_{nullptr};
    std::atomic<void*> context_{nullptr};
    std::unique_ptr<double[]> scratch_;
    std::thread thread_;
};

}  // namespace zelmora
