// RenderBuffer must not touch the heap: this program replaces the global
// allocation functions, every form of them (a sanitizer's own would not pass
// through the plain ones), and counts every call made while the count is armed.
#include <atomic>
#include <cstdlib>
#include <new>

#include "engine_fixture.h"

namespace {
std::atomic<bool> g_armed{false};
std::atomic<long> g_calls{0};  // allocations and frees while armed

void* Counted(std::size_t size) noexcept {
    if (g_armed.load(std::memory_order_relaxed)) g_calls.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void CountedFree(void* p) noexcept {
    if (p && g_armed.load(std::memory_order_relaxed)) g_calls.fetch_add(1, std::memory_order_relaxed);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(size);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    CountedFree(p);
}

namespace zelmora {
namespace {

TEST(RenderBuffer, AllocatesNothing) {
    auto app = MakeEngineApp(256);
    // Mono and stereo samples in all three loop modes, on every track.
    for (int i = 1; i <= 6; ++i) {
        Sample& s = AddSample(
            *app, i, 0, 3000 + 100 * i, 1 + i % 2,
            [i](int c, int f) { return std::sin(f * 0.01 * i + c) * 0.3; }, i % 3, 500, 1000);
        s.sampleRate = 22050.0 * i;
    }
    app->song.trackCount = 32;
    app->song.eqOn = 1;
    for (int b = 0; b < kEqBands; ++b) app->song.eqGains[b] = static_cast<int8_t>(b * 4 - 28);
    app->song.lastOrder = 1;
    app->song.orders[1] = 1;
    // Every effect command, spread over the rows and tracks of two patterns.
    const int commands[][2] = {{0, 0x37},  {1, 3},     {2, 3},     {3, 8},     {4, 0x46},  {5, 0x21},
                               {6, 0x12},  {7, 0x58},  {8, 40},    {9, 2},     {10, 0x02}, {12, 50},
                               {14, 0x13}, {14, 0x22}, {14, 0x93}, {14, 0xA2}, {14, 0xB1}, {14, 0xC4},
                               {14, 0xD2}, {14, 0xE1}, {15, 7},    {16, 60},   {17, 1},    {18, 1},
                               {19, 2},    {20, 2},    {24, 40},   {192, 4},   {15, 140},  {13, 0}};
    const int kinds = sizeof commands / sizeof commands[0];
    for (int p = 0; p < 2; ++p) {
        app->song.patterns[p].lastRow = 15;
        for (int row = 0; row < 16; ++row)
            for (int t = 0; t < 32; ++t) {
                const int* a = commands[(row * 7 + t * 3 + p) % kinds];
                const int* b = commands[((row * 7 + t * 3 + p) + 5) % kinds];
                const int note = (row + t) % 5 == 0 ? kNoteOff : 30 + (row * 5 + t) % 60;
                Put(*app, row, t, {note, 1 + t % 6, a[0], a[1], b[0], b[1], 192, 7}, p);
            }
    }
    PlayTransport(*app, false, true);
    for (int i = 0; i < 20; ++i) RenderBuffer(*app);  // warm up
    g_calls.store(0);
    g_armed.store(true);
    int busiest = 0;
    for (int i = 0; i < 400; ++i) {
        RenderBuffer(*app);
        const int busy = BusyVoiceCount(*app);
        busiest = busy > busiest ? busy : busiest;
        if (app->transport.playMode == kStopped) PlayTransport(*app, false, false);
    }
    g_armed.store(false);
    EXPECT_EQ(g_calls.load(), 0);
    EXPECT_GE(busiest, profile::kExtraCommands ? 100 : 20);  // the earlier build has no chords
}

}  // namespace
}  // namespace zelmora
