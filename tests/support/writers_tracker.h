// Small writers of ScreamTracker 3, FastTracker 2 and Oktalyzer modules for tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/writers_media.h"

namespace zelmora {

// -- ScreamTracker 3 --

struct S3mInstrumentSpec {
    std::string fileName = "sample.raw";  // 12 bytes
    std::string name = "instrument";      // 28 bytes
    uint32_t loopBegin = 0, loopEnd = 0;
    uint8_t volume = 64;
    uint8_t flags = 0;  // bit 0 loop, bit 1 stereo, bit 2 16-bit
    uint32_t c2Speed = 8363;
    Bytes data{};             // unsigned 8-bit values, stored behind the headers
    int64_t length = -1;      // -1: the data's size
    int32_t parapointer = -1;  // -1: where the writer puts the header
};

// One packed entry; -1 leaves a part out.
struct S3mEntry {
    int row, channel;
    int note = -1;
    uint8_t instrument = 0;
    int volume = -1;
    int command = -1;
    uint8_t info = 0;
};

struct S3mPatternSpec {
    std::vector<S3mEntry> entries{};  // in row order
    int rows = 64;                  // row ends written
    Bytes raw{};                    // when not empty: the packed data as given
};

struct S3mSpec {
    std::string name = "s3m test";
    uint8_t speed = 6, tempo = 125;
    std::array<uint8_t, 32> channelSettings{};  // 0..7 left, 8..15 right; 255 unused
    std::vector<uint8_t> orders = {0, 255};
    std::vector<S3mInstrumentSpec> instruments;
    std::vector<S3mPatternSpec> patterns;
    int patternCount = -1;  // -1: the patterns' count
    S3mSpec() { channelSettings.fill(255); }
};

Bytes WriteS3m(const S3mSpec& spec);

// -- FastTracker 2 --

struct XmSampleSpec {
    std::string name = "xm sample";
    std::vector<int> values{};  // stored delta-coded, 8- or 16-bit by `type`
    uint32_t loopStart = 0, loopLength = 0;  // bytes
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t type = 0;  // bits 0..1 loop type, bit 4 16-bit
    uint8_t pan = 128;
    int8_t relativeNote = 0;
    int64_t lengthBytes = -1;  // -1: the data's size
};

struct XmInstrumentSpec {
    std::string name = "xm instrument";
    std::vector<XmSampleSpec> samples{};
    int sampleCount = -1;  // -1: the samples' count
};

struct XmCell {
    int row, channel;
    uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};

struct XmPatternSpec {
    int rows = 64;
    std::vector<XmCell> cells{};
    bool unpacked = false;  // write every cell as five plain bytes
    Bytes raw{};            // when not empty: the packed data as given
    bool noData = false;    // a packed data size of 0
};

struct XmSpec {
    std::string name = "xm test";
    std::string tracker = "Zelmora Test";
    uint16_t version = 0x0104;
    uint16_t songLength = 1, restart = 0, channels = 4;
    uint16_t speed = 6, bpm = 125;
    std::vector<uint8_t> orders = {0};
    std::vector<XmPatternSpec> patterns;
    std::vector<XmInstrumentSpec> instruments;
    int patternCount = -1, instrumentCount = -1;  // -1: the lists' sizes
};

Bytes WriteXm(const XmSpec& spec);

// -- Oktalyzer --

struct OktSampleSpec {
    std::string name = "okt sample";
    uint32_t length = 0;
    uint16_t repeatStart = 0, repeatLength = 0;  // words
    uint8_t volume = 64;
};

struct OktPatternSpec {
    int rows = 64;
    std::vector<std::array<uint8_t, 4>> cells{};  // row-major, the row's tracks in order; missing cells are 0
};

struct OktSpec {
    std::array<uint16_t, 4> pairFlags{};
    std::vector<OktSampleSpec> samples;
    uint16_t speed = 6;
    uint16_t songLength = 1;
    std::vector<uint8_t> orders = {0};
    std::vector<OktPatternSpec> patterns;
    std::vector<Bytes> bodies;  // one SBOD per entry, signed 8-bit values
    std::vector<int64_t> bodyLengths;  // per body: the SBOD length written, -1 the body's size
};

Bytes WriteOkt(const OktSpec& spec);

}  // namespace zelmora
