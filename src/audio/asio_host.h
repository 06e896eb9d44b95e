// The audio host's record: the open driver, its buffers and sizes, and the
// line that tells the driver's state.
#pragma once

#include <cstdint>

namespace zelmora {

struct AsioHost {
    int32_t inputs = 0;
    int32_t outputs = 0;
    int32_t minimumSize = 32;
    int32_t maximumSize = 2048;
    int32_t preferredSize = 256;  // the buffer size that is created and rendered
    int32_t granularity = 256;
    int32_t postOutput = 0;
    char statusText[128] = "Not Initialized";
};

}  // namespace zelmora
