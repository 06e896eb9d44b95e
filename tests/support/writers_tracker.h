// Small writers of ProTracker, ScreamTracker 3, FastTracker 2 and Oktalyzer modules for tests.
#pragma once

#include <array>
#include <optional>

#include "support/writers_media.h"

namespace zelmora {

// -- ProTracker --

struct ModSampleSpec {
    std::string name;
    uint16_t lengthWords = 0;
    uint8_t finetune = 0;
    uint8_t volume = 64;
    uint16_t loopStartWords = 0;
    uint16_t loopLengthWords = 1;
};

struct ModCellSpec {
    int pattern, row, channel;
    uint16_t period;
    uint8_t sample, effect, parameter;
};

struct ModSpec {
    std::string title = "test module";
    std::string tag = "M.K.";
    int channels = 4;
    uint8_t songLength = 1;
    std::vector<uint8_t> orders = {0};  // up to 128 entries, the rest 0
    std::vector<ModSampleSpec> samples;  // up to 31
    std::vector<ModCellSpec> cells;
    // Sample data appended after the patterns (signed 8-bit), in sample order.
    std::vector<std::vector<int8_t>> sampleData;
    int patternsWritten = -1;  // -1: as many as the order table names
};

Bytes WriteMod(const ModSpec& spec);

// -- ScreamTracker 3 --

struct S3mInstrumentSpec {
    std::string name;
    uint32_t loopBegin = 0, loopEnd = 0;
    uint8_t flags = 0;  // bit 0 loop, bit 1 stereo
    uint32_t c2Speed = 8363;
    Bytes data{};              // unsigned 8-bit values, stored behind all headers
    int64_t length = -1;       // -1: the data's size
    int32_t parapointer = -1;  // -1: where the header is written
};

// One packed entry; -1 leaves a part out.
struct S3mEntry {
    int row, channel, note = -1, instrument = 0, volume = -1, command = -1, info = 0;
};

struct S3mSpec {
    std::array<uint8_t, 32> channelSettings{};  // 0..7 left, 8..15 right, 16..31 AdLib, 255 unused
    std::vector<uint8_t> orders = {0, 255};
    std::vector<S3mInstrumentSpec> instruments;
    std::vector<std::vector<S3mEntry>> patterns;  // in row order; rows end behind the last, 64 at least
    int patternCount = -1;                        // -1: the patterns' count; the others point outside
};

Bytes WriteS3m(const S3mSpec& spec);

// -- FastTracker 2 --

struct XmSampleSpec {
    std::vector<int> values{};               // stored delta-coded, 8- or 16-bit by `type`
    uint32_t loopStart = 0, loopLength = 0;  // bytes
    int8_t finetune = 0;
    uint8_t type = 0;  // bits 0..1 loop type, bit 4 16-bit
    int8_t relativeNote = 0;
    uint8_t volume = 64, pan = 128;
    int64_t lengthBytes = -1;  // -1: the data's size
};

struct XmCell {
    int row, channel;
    uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};

struct XmPatternSpec {
    int rows = 64;
    std::vector<XmCell> cells{};
    std::optional<Bytes> raw{};  // when set: the packed data as given
};

struct XmSpec {
    std::string tracker = "Zelmora Test";
    uint16_t songLength = 1, restart = 0, channels = 4;
    std::vector<XmPatternSpec> patterns;
    std::vector<std::vector<XmSampleSpec>> instruments;  // the samples of each
    std::vector<Bytes> keyMaps;  // per instrument, 96 sample numbers; missing: every key plays sample 0
};

Bytes WriteXm(const XmSpec& spec);

// -- Oktalyzer --

struct OktSampleSpec {
    uint32_t length = 0;
    uint16_t repeatStart = 0, repeatLength = 0;  // words
    uint8_t volume = 64;
};

struct OktPatternSpec {
    int rows = 64;
    std::vector<std::array<uint8_t, 4>> cells{};  // row-major over the row's tracks; missing cells are 0
};

struct OktSpec {
    std::array<uint16_t, 4> pairFlags{};
    std::vector<OktSampleSpec> samples;
    uint16_t songLength = 1;
    std::vector<OktPatternSpec> patterns;
    std::vector<Bytes> bodies;  // one SBOD each, signed 8-bit values
};

Bytes WriteOkt(const OktSpec& spec);

}  // namespace zelmora
