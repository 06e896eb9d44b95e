// The song: fixed-capacity records reserved once inside AppState. Nothing here
// allocates except sample audio, which a Sample slot owns.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "app/profile.h"
#include "song/channel_state.h"

namespace zelmora {

inline constexpr int kMaxOrders = 256;
inline constexpr int kMaxTracks = 32;
inline constexpr int kMaxPatterns = 256;
inline constexpr int kMaxRows = 256;
inline constexpr int kMaxInstruments = 256;
inline constexpr int kMaxSampleSlots = 256;
inline constexpr int kNameLength = 32;

// Silent values kept on each side of a channel buffer so the resampler can read
// around the play position near either end without a bounds test.
inline constexpr int kSampleGuard = 32;

inline constexpr uint8_t kNoteOff = 129;
// Chord entry writes this command with the interval above the cell's note as
// its parameter (full build).
inline constexpr uint8_t kChordCommand = 192;

// The six bytes after note and instrument mean different things in the two
// builds: the full build keeps three effect slots (command, parameter) there,
// the earlier build one timing byte (low nibble the note-delay tick, high
// nibble the note-cut tick), two effect slots and one unused byte. They are
// private, so they are reached only through the accessors below and a direct
// use does not compile in either build.
struct PatternCell;

class CellEffectBytes {
    uint8_t bytes_[6];

    friend uint8_t& CellCommand(PatternCell& cell, int k);
    friend uint8_t& CellParameter(PatternCell& cell, int k);
    friend uint8_t CellCommand(const PatternCell& cell, int k);
    friend uint8_t CellParameter(const PatternCell& cell, int k);
    friend uint8_t CellTiming(const PatternCell& cell);
    friend void SetCellTiming(PatternCell& cell, uint8_t timing);
    friend void SetImportedEffect(PatternCell& cell, int k, uint8_t command, uint8_t parameter);
    friend uint8_t ImportedCommand(const PatternCell& cell, int k);
    friend uint8_t ImportedParameter(const PatternCell& cell, int k);
};

struct PatternCell {
    uint8_t note;        // 0 empty, 1..128 note number + 1, 129 note off
    uint8_t instrument;  // 0 none, 1..255
    CellEffectBytes effects;
};
static_assert(sizeof(PatternCell) == 8);
static_assert(std::is_same_v<uint8_t, unsigned char> && std::is_standard_layout_v<PatternCell> &&
              std::is_trivially_copyable_v<PatternCell> && offsetof(PatternCell, effects) == 2);

inline constexpr int kCellEffects = profile::kCellTiming ? 2 : 3;

// The cell as its eight bytes, as files and the song dump store it.
inline uint8_t* CellBytes(PatternCell& cell) { return reinterpret_cast<uint8_t*>(&cell); }
inline const uint8_t* CellBytes(const PatternCell& cell) { return reinterpret_cast<const uint8_t*>(&cell); }

namespace cell_layout {
// Where slot k's command lies among the six effect bytes, k held to the
// build's slots (its parameter follows it).
inline int CommandIndex(int k) {
    k = k < 0 ? 0 : (k >= kCellEffects ? kCellEffects - 1 : k);
    return (profile::kCellTiming ? 1 : 0) + 2 * k;
}
// The same in the full build's layout, which the importers fill.
inline int ImportedIndex(int k) { return 2 * (k < 0 ? 0 : (k > 2 ? 2 : k)); }
}  // namespace cell_layout

// Effect slot k of 0..kCellEffects - 1 in this build's layout. SANITY: a slot
// beyond the build's last reads and writes the last, never a byte outside
// the cell.
inline uint8_t& CellCommand(PatternCell& cell, int k) {
    return cell.effects.bytes_[cell_layout::CommandIndex(k)];
}
inline uint8_t& CellParameter(PatternCell& cell, int k) {
    return cell.effects.bytes_[cell_layout::CommandIndex(k) + 1];
}
inline uint8_t CellCommand(const PatternCell& cell, int k) {
    return cell.effects.bytes_[cell_layout::CommandIndex(k)];
}
inline uint8_t CellParameter(const PatternCell& cell, int k) {
    return cell.effects.bytes_[cell_layout::CommandIndex(k) + 1];
}

// The timing byte; always 0 in the full build, which has none (and writing it
// there does nothing).
inline uint8_t CellTiming(const PatternCell& cell) {
    return profile::kCellTiming ? cell.effects.bytes_[0] : 0;
}
inline void SetCellTiming(PatternCell& cell, uint8_t timing) {
    if constexpr (profile::kCellTiming) cell.effects.bytes_[0] = timing;
}

// The importers fill a cell in the full build's layout (effect k of 0..2 in
// bytes 2 + 2k and 3 + 2k) in both builds; the earlier build then rewrites it
// with FitCellToTimingLayout. Between the two only these touch the effects.
inline void SetImportedEffect(PatternCell& cell, int k, uint8_t command, uint8_t parameter) {
    cell.effects.bytes_[cell_layout::ImportedIndex(k)] = command;
    cell.effects.bytes_[cell_layout::ImportedIndex(k) + 1] = parameter;
}
inline uint8_t ImportedCommand(const PatternCell& cell, int k) {
    return cell.effects.bytes_[cell_layout::ImportedIndex(k)];
}
inline uint8_t ImportedParameter(const PatternCell& cell, int k) {
    return cell.effects.bytes_[cell_layout::ImportedIndex(k) + 1];
}

// Rewrites a cell an importer filled in the full build's layout into the
// earlier build's: effects 1 and 2 stay in their slots, pan commands (8) are
// dropped, and note delay and note cut (14 with Dy or Cy, y >= 1) move into
// the timing byte; effect 3 has no slot. Only the earlier build calls it.
void FitCellToTimingLayout(PatternCell& cell);

struct Pattern {
    char name[kNameLength];
    uint8_t lastRow;
    uint8_t rowsPerBeat;  // never 0: readers store 4 for a 0 from a file
    uint8_t reserved[2];
    PatternCell cells[kMaxRows][kMaxTracks];
};
static_assert(sizeof(Pattern::cells) == 256 * 32 * 8);

struct Envelope {
    uint8_t attack, decay, sustain, release, amount;
    uint8_t reserved1[3];
    uint8_t oscillatorAttack, oscillatorRate, oscillatorPhase, oscillatorType, oscillatorAmount;
    uint8_t reserved2[3];
};
static_assert(sizeof(Envelope) == 16);

struct Sample {
    char name[kNameLength];
    int32_t frames;
    int32_t channels;
    double sampleRate;
    int32_t loopStart;
    int32_t loopLength;
    int32_t loopMode;  // 0 none, 1 forward, 2 ping-pong
    int32_t reserved;
    uint8_t keyLow, keyHigh;
    uint8_t velocityLow, velocityHigh;
    uint8_t reservedByte;  // 255 in a new song
    uint8_t pan;           // added to the channel pan, 128 = no change
    uint8_t reserved2[2];
    int8_t baseNote;
    int8_t coarseTune;
    int8_t fineTune;
    uint8_t scaleTuning;
    // Table of `channels` buffers of frames + 2 * kSampleGuard doubles, or null.
    double** audio;
};

struct Instrument {
    char name[kNameLength];
    uint8_t volume;
    uint8_t pan;
    uint8_t tune;
    uint8_t cutoff;
    uint8_t filterType;
    uint8_t resonance;
    uint8_t modulation[6];
    Envelope envelopes[4];
    Sample samples[kMaxSampleSlots];
};

struct TrackSettings {
    char name[kNameLength];
    uint8_t reserved[2];
    uint8_t mixerVolume;
    uint8_t reserved2;
    ChannelState channel;
};

// The earlier build's pan switch, kept in TrackSettings::reserved2: 0 sends
// the track to the left, any other value to the right. A new song sets the
// tracks whose index mod 4 is 0 or 3 to the left and the others to the right,
// as the Amiga machines these modules come from wired their four channels.
inline constexpr uint8_t kPanSwitchLeft = 0;
inline constexpr uint8_t kPanSwitchRight = 1;
inline constexpr uint8_t NewSongPanSwitch(int track) {
    return (track & 3) == 0 || (track & 3) == 3 ? kPanSwitchLeft : kPanSwitchRight;
}
// The switch for a pan command's value: left of the centre (128) is left.
inline constexpr uint8_t PanSwitchForPan(uint8_t pan) { return pan < 128 ? kPanSwitchLeft : kPanSwitchRight; }

// Master levels raised by the render and lowered by the display without a lock.
struct SongMeters {
    std::atomic<double> peakLeft{0.0};
    std::atomic<double> peakRight{0.0};
    std::atomic<int32_t> holdLeft{0};
    std::atomic<int32_t> holdRight{0};
    std::atomic<double> cpuLoad{0.0};
};

struct Song {
    char name[kNameLength];
    uint8_t tempo;
    uint8_t speed;
    uint8_t trackCount;
    uint8_t editStep;
    uint8_t orderPosition;
    uint8_t lastOrder;
    uint8_t restartOrder;
    uint8_t reserved;
    uint8_t orders[kMaxOrders];
    uint8_t masterVolume;
    int8_t eqGains[16];
    uint8_t eqOn;
    SongMeters meters;
    TrackSettings tracks[kMaxTracks];
    Pattern patterns[kMaxPatterns];
    Instrument instruments[kMaxInstruments];
};

// The pattern at the song's current order position.
inline Pattern& CurrentPattern(Song& song) { return song.patterns[song.orders[song.orderPosition]]; }
inline const Pattern& CurrentPattern(const Song& song) {
    return song.patterns[song.orders[song.orderPosition]];
}

// Copies a C string into a fixed name field, NUL-filling the rest; a text that
// fills the field keeps no terminator.
void SetName(char (&field)[kNameLength], const char* text);

// Number of bytes of a fixed text field before its first NUL (at most the field).
std::size_t NameLength(const char* field, std::size_t size);

void ResetEnvelope(Envelope& envelope);

// Writes the new-song field values of a slot; the audio pointer must already be freed.
void ResetSampleFields(Sample& sample);

// Frees the table and the first `channels` buffers, leaving audio null. While
// a keeper is set, the audio is handed to it instead of being freed.
void FreeSampleAudio(Sample& sample);

// The edit history keeps the audio an edit replaced for its undo. The keeper
// applies to the thread that sets it (the main thread).
using SampleAudioKeeper = void (*)(double** audio, int32_t channels, void* context);
void SetSampleAudioKeeper(SampleAudioKeeper keeper, void* context);  // nullptr: free again
// Frees a table of `channels` buffers, the keeper aside.
void ReleaseSampleAudio(double** audio, int32_t channels);

// Creates the table and one zero-filled buffer of frames + 64 doubles per channel
// when channels >= 1 and frames >= 1. Returns false (slot left empty) when the heap
// cannot supply the memory; true otherwise, also when nothing was needed.
bool AllocateSampleAudio(Sample& sample);

// frames for a usable sample (channels >= 1, frames >= 1, audio present), else 0.
inline int32_t UsableFrames(const Sample& sample) {
    return (sample.channels >= 1 && sample.frames >= 1 && sample.audio) ? sample.frames : 0;
}

// Resets every field of an instrument, freeing the audio of all its slots. The
// caller holds the state lock.
void ResetInstrumentFields(Instrument& instrument);

// Fills the song's plain records other than the patterns with zero (start-up,
// before the first reset, which clears the patterns); sample audio pointers
// become null without being freed.
void ZeroSong(Song& song);

// Writes the new-song values of the song header, master section, tracks and
// patterns and resets every instrument (freeing all sample audio).
void ResetSongFields(Song& song);

// SANITY: the mixer needs every loop inside its sample. A loop is cut to the
// frames there are, and one with nothing left in it is switched off.
void FitLoopInsideSample(Sample& sample);

// A 64-bit count held inside the range of the song's 32-bit fields.
inline int32_t ClampToInt32(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

// SANITY: a sample value read from a file that is not a finite number
// (NaN or an infinity in float WAV data or in a module file) is stored as 0.
inline double FiniteOrZero(double value) { return value - value == 0.0 ? value : 0.0; }

// A rows-per-beat of 0 from a file is stored as 4, the new-song value.
inline uint8_t SanitizeRowsPerBeat(uint8_t value) { return value == 0 ? 4 : value; }

// Allocation hook for sample buffers; tests swap it in to inject failures.
using SampleAllocFn = void* (*)(std::size_t count, std::size_t size);
void SetSampleAllocator(SampleAllocFn allocator);  // nullptr restores calloc

}  // namespace zelmora
