// Feeds arbitrary bytes to the SoundFont 2 importer, then plays a note on the
// instrument it built.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelmora::AppState& app = zelmora::FuzzApp();
    zelmora::ImportSoundFontData(app, zelmora::ByteReader(data, size));
    zelmora::PatternCell& cell = app.song.patterns[0].cells[0][0];
    cell.note = 61;
    cell.instrument = static_cast<uint8_t>(app.currentInstrument);
    zelmora::RenderAFewBuffers(app);
    return 0;
}
