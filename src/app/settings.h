// The settings that survive the program: an 18-byte little-endian record read
// once at start-up and written once at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelmora {

struct AppSettings {
    uint8_t driverIndex = 0;
    uint8_t inputLeft = 0;
    uint8_t inputRight = 1;
    uint8_t outputLeft = 0;
    uint8_t outputRight = 1;
    uint8_t reserved[3] = {0, 0, 0};
    double sampleRate = 44100.0;
    uint8_t keyboardLayout = 0;  // 0 QWERTY, 1 AZERTY, 2 QWERTZ
    uint8_t reserved2 = 0;
};

inline constexpr std::size_t kSettingsRecordBytes = 18;
inline constexpr int kMaxDriverChannels = 64;

// Encodes the record field by field; the earlier build uses the first 16 bytes.
void EncodeSettings(const AppSettings& settings, uint8_t (&bytes)[kSettingsRecordBytes]);

// Defaults first, then the first `length` bytes of the record, then values that
// cannot be used (layout above 2, a channel at or above 64, a sample rate that
// is not finite and positive) are set back to their defaults.
AppSettings DecodeSettings(const uint8_t* bytes, std::size_t length);

// Missing or short files leave defaults; nothing is reported. An empty path
// reads nothing and writes nothing.
AppSettings ReadSettingsFile(const std::string& path);

// Creates the folder when needed; an unwritable file is skipped silently.
void WriteSettingsFile(const std::string& path, const AppSettings& settings);

// The executable's path with its last three characters replaced by "set";
// empty when the executable's path is unknown.
std::string SettingsPathFromExecutable(const std::string& executablePath);

// Systems without executable extensions: $XDG_CONFIG_HOME/zelmora/zelmora.set,
// else $HOME/.config/zelmora/zelmora.set. Empty values count as unset.
// SANITY: not beside the executable as on Windows: there the program usually
// lies in a system folder the user cannot write to, so the settings would
// never be kept; the user's configuration folder is where such files belong.
std::string SettingsPathFromConfigHome(const char* xdgConfigHome, const char* home);

}  // namespace zelmora
