// The one conversion from the engine's doubles (already limited to -1..+1) to
// the driver's integer formats: truncation toward zero of x times full scale
// minus one step. The offline renderer uses the same functions, so a recording
// of a driver and a render of the same song are bit-identical.
#pragma once

#include <cstdint>

namespace zelmora {

inline int16_t ConvertToInt16(double x) { return static_cast<int16_t>(x * 32767.0); }
inline int32_t ConvertToInt32(double x) { return static_cast<int32_t>(x * 2147483647.0); }

}  // namespace zelmora
