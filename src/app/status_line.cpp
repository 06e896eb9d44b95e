#include "app/status_line.h"

#include <cstdarg>
#include <cstdio>

#include "app/app_state.h"

namespace zelmora {

namespace {

void FormatInto(char* buffer, std::size_t size, const char* format, va_list args) {
    if (size == 0) return;
    const int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0) buffer[0] = '\0';
    buffer[size - 1] = '\0';
}

}  // namespace

void SetStatus(AppState& app, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(app.statusLine, sizeof app.statusLine, format, args);
    va_end(args);
}

void FormatBounded(char* buffer, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(buffer, size, format, args);
    va_end(args);
}

}  // namespace zelmora
