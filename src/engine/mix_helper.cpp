#include "engine/mix_helper.h"

#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace zelmora {

namespace {

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

constexpr uint64_t kItemMask = 0xFFFFFFFFull;

inline int CountOf(uint64_t state) { return static_cast<int>((state >> 32) & 0xFF); }

// Spins after the last list before the helper starts napping (about 1 ms),
// and the length of one nap.
constexpr int kSpinsBeforeNap = 20000;
constexpr auto kNap = std::chrono::microseconds(100);

}  // namespace

MixHelper::MixHelper() : scratch_(new double[2 * kMaxTracks * kMaxBufferFrames]()) {
    thread_ = std::thread([this] { Loop(); });
}

MixHelper::~MixHelper() {
    quit_.store(true, std::memory_order_relaxed);
    thread_.join();
}

void MixHelper::Run(Job job, void* context, int count) {
    if (count <= 0) return;
    if (count > 255) count = 255;
    job_.store(job, std::memory_order_relaxed);
    context_.store(context, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    const uint64_t generation = (state_.load(std::memory_order_relaxed) >> 40) + 1;
    state_.store((generation << 40) | (static_cast<uint64_t>(count) << 32), std::memory_order_release);
    Work();
    while (done_.load(std::memory_order_acquire) < count) Pause();
}

void MixHelper::Work() {
    for (;;) {
        const uint64_t claim = state_.fetch_add(1, std::memory_order_acq_rel);
        const int item = static_cast<int>(claim & kItemMask);
        if (item >= CountOf(claim)) return;
        job_.load(std::memory_order_relaxed)(context_.load(std::memory_order_relaxed), item);
        done_.fetch_add(1, std::memory_order_release);
    }
}

void MixHelper::Loop() {
    int idle = 0;
    while (!quit_.load(std::memory_order_relaxed)) {
        const uint64_t state = state_.load(std::memory_order_acquire);
        if (static_cast<int>(state & kItemMask) < CountOf(state)) {
            Work();
            idle = 0;
        } else if (++idle < kSpinsBeforeNap) {
            Pause();
        } else {
            std::this_thread::sleep_for(kNap);
        }
    }
}

}  // namespace zelmora
