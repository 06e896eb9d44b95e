// The engine's render entry and clock: RenderBuffer walks the song in ticks,
// applies every cell's note, instrument and effect columns, mixes the voices and
// runs the master bus.
#pragma once

#include <cstdint>

namespace zelmora {

struct AppState;
struct ChannelState;
struct Song;

// Audio thread (and offline callers). Renders app.asioHost.preferredSize frames
// (clamped to 1..16384) at app.settings.sampleRate into app.mixLeft and
// app.mixRight, finished by the master bus and clipped to -1..+1, under
// app.stateLock. Raises the track and master meters and the CPU load.
//
// Each time the order position moves from the last order to the restart order
// (in song mode, or by a pattern break in either mode) app.songWrapCount is
// incremented once, so an offline renderer can stop after one pass.
//
// Allocates nothing and makes no system call besides the lock.
void RenderBuffer(AppState& app);

// A track's channel takes an instrument as it does when a cell names one: its
// number, default volume and pan. Instrument 0 (or one outside the song) names
// none and leaves the channel as it is.
void TakeInstrument(const Song& song, ChannelState& channel, int instrument);

// Starts a note on a track from the sequencer: sets the portamento target,
// resets the arpeggio step and vibrato position, releases the track's busy
// voices and starts voices for the channel's instrument at velocity
// min(4 x volume, 127), then once more per chord interval (0 entries skipped).
// startOffset >= 0 is a frame, -p means p/256 of the sample's length.
// The caller holds the state lock.
void TriggerTrackNote(AppState& app, int track, int note, int velocity, int32_t startOffset,
                      const uint8_t chordIntervals[3]);

}  // namespace zelmora
