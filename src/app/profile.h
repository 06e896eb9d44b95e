// Compile-time profile of the build. The earlier build is a reduced
// configuration of the same tree; every behaviour in which it differs is one
// named constant here, tested with `if constexpr` where it is used.
#pragma once

#include <cstddef>

#ifndef ZELMORA_EARLIER_BUILD
#define ZELMORA_EARLIER_BUILD 0
#endif

namespace zelmora::profile {

inline constexpr bool kEarlierBuild = ZELMORA_EARLIER_BUILD != 0;

// Settings file: the earlier build keeps only the first 16 bytes.
inline constexpr std::size_t kSettingsBytes = kEarlierBuild ? 16 : 18;

// The status line a new song starts with.
inline constexpr const char* kReadyStatus = kEarlierBuild ? "Welcome To Zelmora" : "Ready.";

// File messages: the earlier build writes them without the final full stop.
inline constexpr const char* kFailedToOpen =
    kEarlierBuild ? "Error: Failed To Open File" : "Error: Failed To Open File.";
inline constexpr const char* kNotSupported =
    kEarlierBuild ? "Error: Not Supported Fileformat" : "Error: Not Supported Fileformat.";
inline constexpr const char* kModLoadedFormat =
    kEarlierBuild ? "Protracker Module Loaded (%d Orders, %d Patterns)"
                  : "Protracker Module Loaded. (%d Orders, %d Patterns)";

// The earlier build has no own module format and opens only MOD, XM and OKT,
// also by an Amiga-style "mod." / "xm." / "okt." prefix anywhere in the path.
inline constexpr bool kOwnModuleFormat = !kEarlierBuild;
inline constexpr bool kAmigaPrefixes = kEarlierBuild;

// The instrument page reads envelope time bytes in seconds.
inline constexpr bool kEnvelopeTimes = !kEarlierBuild;

// The master section: equaliser, master volume, master and load meters.
inline constexpr bool kMasterSection = !kEarlierBuild;

// The earlier build's keyboard only edits an open text field: no note entry, no
// cursor, octave or transport keys, no track buffer, and key up does nothing.
inline constexpr bool kKeyboardEditor = !kEarlierBuild;

}  // namespace zelmora::profile
