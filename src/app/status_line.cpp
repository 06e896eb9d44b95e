#include "app/status_line.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"

namespace zelmora {

namespace {

void FormatInto(char* buffer, std::size_t size, const char* format, va_list args) {
    if (size == 0) return;
    const int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0) buffer[0] = '\0';
    buffer[size - 1] = '\0';
}

// At least three decimal digits of a value 0..999999, as %.3d writes them.
char* PutDecimal(char* out, int value) {
    char digits[8];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count < 3) digits[count++] = '0';
    while (count > 0) *out++ = digits[--count];
    return out;
}

char* PutText(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

int HeldInRange(double value) {
    return value >= 0.0 ? (value < 999999.0 ? static_cast<int>(value) : 999999) : 0;
}

}  // namespace

void WritePlayStatus(AppState& app, double load, int busyVoices, int totalVoices) {
    // SANITY: a load that is not a number, negative or beyond any real value
    // (a stalled clock) is held to 0..999999 before it becomes an integer.
    char text[64];
    char* p = PutText(text, "Cpu ");
    p = PutDecimal(p, HeldInRange(load * 100.0));
    p = PutText(p, "%   Voices ");
    p = PutDecimal(p, HeldInRange(busyVoices));
    *p++ = '/';
    p = PutDecimal(p, HeldInRange(totalVoices));
    *p = '\0';
    static_assert(sizeof text <= kStatusLength);
    char* line = app.statusLine;
    for (const char* q = text;; ++q, ++line) {
        *line = *q;
        if (*q == '\0') break;
    }
}

void SetStatus(AppState& app, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(app.statusLine, sizeof app.statusLine, format, args);
    va_end(args);
}

void AppendStatus(AppState& app, const char* format, ...) {
    const std::size_t used = std::strlen(app.statusLine);
    const std::size_t gap = used ? 2 : 0;
    if (used + gap >= sizeof app.statusLine - 1) return;
    char* out = app.statusLine + used;
    for (std::size_t i = 0; i < gap; ++i) *out++ = ' ';
    va_list args;
    va_start(args, format);
    FormatInto(out, sizeof app.statusLine - used - gap, format, args);
    va_end(args);
}

void FormatBounded(char* buffer, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(buffer, size, format, args);
    va_end(args);
}

}  // namespace zelmora
