// A small ProTracker module writer for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelmora {

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

std::vector<uint8_t> WriteMod(const ModSpec& spec);

}  // namespace zelmora
