// Compile-time profile of the build. The earlier build is a reduced
// configuration of the same tree; every behaviour in which it differs is one
// named constant here, tested with `if constexpr` where it is used.
#pragma once

#include <cstddef>

#ifndef ZELMORA_EARLIER_BUILD
#define ZELMORA_EARLIER_BUILD 0
#endif
// Set by the build where the system's JACK and MIDI libraries were found.
#ifndef ZELMORA_HAVE_JACK
#define ZELMORA_HAVE_JACK 0
#endif
#ifndef ZELMORA_HAVE_MIDI
#define ZELMORA_HAVE_MIDI 0
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
inline constexpr const char* kOutOfMemory = kEarlierBuild ? "Error: Out Of Memory" : "Error: Out Of Memory.";
inline constexpr const char* kNotSupported =
    kEarlierBuild ? "Error: Not Supported Fileformat" : "Error: Not Supported Fileformat.";
inline constexpr const char* kModLoadedFormat =
    kEarlierBuild ? "Protracker Module Loaded (%d Orders, %d Patterns)"
                  : "Protracker Module Loaded. (%d Orders, %d Patterns)";
inline constexpr const char* kOktLoadedFormat =
    kEarlierBuild ? "Oktalyzer Module Loaded (%d Ch, %d Patterns, %d Samples)"
                  : "Oktalyzer Module Loaded. (%d Ch, %d Patterns, %d Samples)";
inline constexpr const char* kXmLoadedFormat =
    kEarlierBuild ? "'%s' Module Loaded (0x%.2X%.2X)" : "'%s' Module Loaded (0x%.2X%.2X).";

// FastTracker 2's 8-bit sample data: the earlier build scales it by 1/128.
inline constexpr double kXm8BitScale = kEarlierBuild ? 128.0 : 256.0;

// The earlier build has no own module format and opens only MOD, XM and OKT,
// also by an Amiga-style "mod." / "xm." / "okt." prefix anywhere in the path.
inline constexpr bool kOwnModuleFormat = !kEarlierBuild;
inline constexpr bool kAmigaPrefixes = kEarlierBuild;

// The instrument page reads envelope time bytes in seconds.
inline constexpr bool kEnvelopeTimes = !kEarlierBuild;

// The master section: equaliser, master volume, master and load meters.
inline constexpr bool kMasterSection = !kEarlierBuild;

// The pattern cell: the earlier build keeps one timing byte (low nibble the
// note-delay tick, high nibble the note-cut tick) and two effect slots where
// the full build has three effect slots.
inline constexpr bool kCellTiming = kEarlierBuild;

// Commands the earlier build does not know: chord 192, pan 8, master volume 16
// and the fractional offset 24.
inline constexpr bool kExtraCommands = !kEarlierBuild;

// Pattern delay (14 with Ey): the earlier build lengthens the row to speed + y
// ticks instead of (y + 1) x speed.
inline constexpr bool kDelayAddsTicks = kEarlierBuild;

// The end of a pattern advances the order position in pattern mode too.
inline constexpr bool kPatternEndAdvancesOrder = kEarlierBuild;

// Voices: linear interpolation between neighbouring frames instead of the sinc
// table, the glide time of rate and volume, and the level the sustain settles to.
inline constexpr bool kLinearVoices = kEarlierBuild;
inline constexpr double kGlideSeconds = kEarlierBuild ? 0.010 : 0.016;
inline constexpr double kSustainLevel = kEarlierBuild ? 0.8 : 1.0;

// Pan as a per-track two-way switch (kept in the track's byte after the mixer
// volume): the near side gets kPanNear of the signal, the far side kPanFar.
inline constexpr bool kPanSwitch = kEarlierBuild;
inline constexpr double kPanNear = 0.66;
inline constexpr double kPanFar = 0.33;

// While playing, the earlier build writes the processor load and the busy
// voices to the status line after every buffer.
inline constexpr bool kCpuStatus = kEarlierBuild;

// The earlier skin holds only the Setup and Browser pages: the toolbar offers
// those two, and the Browser page has no save button.
inline constexpr bool kAllPages = !kEarlierBuild;

// The earlier build's keyboard only edits an open text field: no note entry, no
// cursor, octave or transport keys, no track buffer, and key up does nothing.
inline constexpr bool kKeyboardEditor = !kEarlierBuild;

// The back buffer: the earlier build's is a fixed 2048 x 2048 (a wider or
// taller window shows black beyond it); the full build's grows with the client
// area, and on dense screens the frame is composed at an integer fraction of
// the client and shown that many times larger.
inline constexpr bool kGrowingBackBuffer = !kEarlierBuild;
inline constexpr bool kIntegerScaling = !kEarlierBuild;

// The window: the earlier build's is an ordinary captioned, resizable window
// (shown maximised), and it does not handle the mouse wheel.
inline constexpr bool kBorderlessWindow = !kEarlierBuild;
inline constexpr bool kMouseWheel = !kEarlierBuild;

// Beyond the earlier program: the edit history with undo and redo, autosaves
// and the recovery of a run that did not end.
inline constexpr bool kHistory = !kEarlierBuild;

// Beyond the earlier program: block selection and its keys, the pattern view
// under the mouse (cells, mute and solo, faders) and the export to WAV.
inline constexpr bool kEverydayEditing = !kEarlierBuild;

// Drivers beyond ASIO and SDL: JACK on Linux, WASAPI on Windows, and a
// driver's own word to the main thread (its server went away, its period or
// rate changed), which stops or restarts it with a status message.
inline constexpr bool kJackDriver = !kEarlierBuild && ZELMORA_HAVE_JACK != 0;
inline constexpr bool kWasapiDriver = !kEarlierBuild;
inline constexpr bool kDriverNotices = !kEarlierBuild;

// Notes from MIDI keyboards play and enter notes like the note keys.
inline constexpr bool kMidiInput = !kEarlierBuild && ZELMORA_HAVE_MIDI != 0;

}  // namespace zelmora::profile
