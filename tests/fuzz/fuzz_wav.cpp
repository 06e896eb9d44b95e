// Feeds arbitrary bytes to the WAV importer, then plays what it built. The
// first input byte picks the target sample slot, so slot 0 (which also names
// the instrument) and the others are both reached.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelmora::AppState& app = zelmora::FuzzApp();
    app.currentSample = size > 0 && (data[0] & 1) ? 3 : 0;
    zelmora::ImportWavData(app, zelmora::ByteReader(data, size), "fuzz/Input.WAV");
    // A note on the sample so the render reads its audio.
    zelmora::PatternCell& cell = app.song.patterns[0].cells[0][0];
    cell.note = 61;
    cell.instrument = static_cast<uint8_t>(app.currentInstrument);
    zelmora::RenderAFewBuffers(app);
    return 0;
}
