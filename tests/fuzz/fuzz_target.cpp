// One libFuzzer target per loader, built from this file with ZELMORA_FUZZ_FORMAT
// naming the loader: arbitrary bytes go to it, then the song it built plays.
#include <string_view>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zelmora;
    constexpr std::string_view format = ZELMORA_FUZZ_FORMAT;
    AppState& app = FuzzApp();
    const ByteReader in(data, size);
    if constexpr (format == "zmo") LoadModuleData(app, in);
    if constexpr (format == "mod") ImportModData(app, in);
    if constexpr (format == "s3m") ImportS3mData(app, in);
    if constexpr (format == "xm") ImportXmData(app, in);
    if constexpr (format == "okt") ImportOktData(app, in);
    if constexpr (format == "mid") ImportMidiData(app, in);
    if constexpr (format == "sf2") ImportSoundFontData(app, in);
    if constexpr (format == "wav") {
        // The first byte picks the slot, so slot 0 (which also names the
        // instrument) and the others are both reached.
        app.currentSample = size > 0 && (data[0] & 1) ? 3 : 0;
        ImportWavData(app, in, "fuzz/Input.WAV");
    }
    if constexpr (format == "wav" || format == "sf2") {
        // A note on the instrument, so the render reads the audio.
        PatternCell& cell = app.song.patterns[0].cells[0][0];
        cell.note = 61;
        cell.instrument = static_cast<uint8_t>(app.currentInstrument);
    }
    RenderAFewBuffers(app);
    return 0;
}
