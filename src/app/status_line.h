#pragma once

#include <cstddef>

namespace zelmora {

inline constexpr std::size_t kStatusLength = 128;

struct AppState;

// Overwrites the StatusLine whole with a formatted message; the text is cut to
// fit and always NUL-terminated.
void SetStatus(AppState& app, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Adds a formatted message after the one standing, two spaces apart, cut to fit.
void AppendStatus(AppState& app, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The same for any fixed buffer of `size` characters.
void FormatBounded(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The earlier build's play status, "Cpu %.3d%%   Voices %.3d/%.3d", written
// over the StatusLine by the audio thread after every buffer. It formats the
// digits itself: no library call, no allocation, no lock.
void WritePlayStatus(AppState& app, double load, int busyVoices, int totalVoices);

}  // namespace zelmora
