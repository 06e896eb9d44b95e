#include "app/settings.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/profile.h"
#include "platform/platform.h"

namespace zelmora {

void EncodeSettings(const AppSettings& s, uint8_t (&b)[kSettingsRecordBytes]) {
    b[0] = s.driverIndex;
    b[1] = s.inputLeft;
    b[2] = s.inputRight;
    b[3] = s.outputLeft;
    b[4] = s.outputRight;
    b[5] = s.reserved[0];
    b[6] = s.reserved[1];
    b[7] = s.reserved[2];
    uint64_t bits;
    std::memcpy(&bits, &s.sampleRate, sizeof bits);
    for (int i = 0; i < 8; ++i) b[8 + i] = static_cast<uint8_t>(bits >> (8 * i));
    b[16] = s.keyboardLayout;
    b[17] = s.reserved2;
}

AppSettings DecodeSettings(const uint8_t* bytes, std::size_t length) {
    AppSettings s;
    uint8_t b[kSettingsRecordBytes];
    EncodeSettings(s, b);
    std::memcpy(b, bytes, length < sizeof b ? length : sizeof b);
    s.driverIndex = b[0];
    s.inputLeft = b[1];
    s.inputRight = b[2];
    s.outputLeft = b[3];
    s.outputRight = b[4];
    std::memcpy(s.reserved, b + 5, 3);
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(b[8 + i]) << (8 * i);
    std::memcpy(&s.sampleRate, &bits, sizeof bits);
    s.keyboardLayout = b[16];
    s.reserved2 = b[17];

    // SANITY: values that would index tables or divide are reset to defaults.
    const AppSettings d;
    if (s.keyboardLayout > 2) s.keyboardLayout = d.keyboardLayout;
    if (s.inputLeft >= kMaxDriverChannels) s.inputLeft = d.inputLeft;
    if (s.inputRight >= kMaxDriverChannels) s.inputRight = d.inputRight;
    if (s.outputLeft >= kMaxDriverChannels) s.outputLeft = d.outputLeft;
    if (s.outputRight >= kMaxDriverChannels) s.outputRight = d.outputRight;
    if (!std::isfinite(s.sampleRate) || s.sampleRate <= 0.0) s.sampleRate = d.sampleRate;
    return s;
}

AppSettings ReadSettingsFile(const std::string& path) {
    uint8_t bytes[kSettingsRecordBytes] = {};
    std::size_t got = 0;
    if (path.empty()) return DecodeSettings(bytes, got);
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        got = std::fread(bytes, 1, profile::kSettingsBytes, f);
        std::fclose(f);
    }
    return DecodeSettings(bytes, got);
}

void WriteSettingsFile(const std::string& path, const AppSettings& settings) {
    // SANITY: without a settings path (the executable's own could not be
    // read) nothing is written, rather than a file in whatever folder is current.
    if (path.empty()) return;
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    uint8_t record[kSettingsRecordBytes];
    EncodeSettings(settings, record);
    std::vector<uint8_t> bytes(record, record + profile::kSettingsBytes);
    // SANITY: a longer file (the full build's, which also keeps the keyboard
    // layout) keeps the bytes past this build's own record.
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t previous[64];
        const std::size_t got = std::fread(previous, 1, sizeof previous, f);
        std::fclose(f);
        if (got > bytes.size()) bytes.insert(bytes.end(), previous + bytes.size(), previous + got);
    }
    WriteFileSafely(path, [&bytes](FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); });
}

std::string SettingsPathFromExecutable(const std::string& executablePath) {
    // SANITY: no executable path, no settings file (not "set" in the current folder).
    if (executablePath.size() < 3) return {};
    return executablePath.substr(0, executablePath.size() - 3) + "set";
}

std::string SettingsPathFromConfigHome(const char* xdgConfigHome, const char* home) {
    std::string base;
    if (xdgConfigHome && *xdgConfigHome) {
        base = xdgConfigHome;
    } else {
        base = (home && *home) ? home : ".";
        base += "/.config";
    }
    return base + "/zelmora/zelmora.set";
}

}  // namespace zelmora
