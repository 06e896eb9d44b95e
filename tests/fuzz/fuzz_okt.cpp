// Feeds arbitrary bytes to the Oktalyzer importer, then plays what it built.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelmora::AppState& app = zelmora::FuzzApp();
    zelmora::ImportOktData(app, zelmora::ByteReader(data, size));
    zelmora::RenderAFewBuffers(app);
    return 0;
}
