#include "engine/sequencer.h"

#include <cmath>
#include <cstring>

#include "app/app_state.h"
#include "app/profile.h"
#include "engine/master_bus.h"
#include "engine/mixer.h"
#include "engine/output_rate.h"
#include "engine/transport.h"

namespace zelmora {

namespace {

inline int TracksInUse(const Song& song) { return song.trackCount > kMaxTracks ? kMaxTracks : song.trackCount; }

// SANITY: a row outside the pattern store (only possible from a damaged state)
// is read as row 0 instead of past the cells.
inline int CurrentRow(const AppState& app) {
    const int row = app.transport.row;
    return row < 0 || row >= kMaxRows ? 0 : row;
}

// The cell's effect slots; a slot the cell does not have reads as empty.
inline void ReadEffects(const PatternCell& cell, uint8_t (&cmd)[3], uint8_t (&par)[3]) {
    for (int k = 0; k < 3; ++k) {
        cmd[k] = k < kCellEffects ? CellCommand(cell, k) : 0;
        par[k] = k < kCellEffects ? CellParameter(cell, k) : 0;
    }
}

// Every pitch command but the tone portamento keeps the pitch on the keyboard.
void MovePitch(AppState& app, int track, double semitones) {
    for (Voice& v : app.voices) {
        if (v.envelopeStage <= kStageOff || v.track != track) continue;
        double p = v.pitch + semitones;
        v.pitch = p < 0.0 ? 0.0 : (p > 127.0 ? 127.0 : p);
    }
}

void TonePortamento(AppState& app, int track, ChannelState& c, const PatternCell& cell, int parameter) {
    if (cell.note >= 1 && cell.note <= 128) c.portamentoTarget = static_cast<uint8_t>(cell.note - 1);
    if (parameter > 0) c.portamentoSpeed = static_cast<uint8_t>(parameter);
    const double target = c.portamentoTarget;
    const double speed = c.portamentoSpeed * 0.07;
    for (Voice& v : app.voices) {
        if (v.envelopeStage <= kStageOff || v.track != track) continue;
        if (v.pitch < target) v.pitch = v.pitch + speed < target ? v.pitch + speed : target;
        if (v.pitch > target) v.pitch = v.pitch - speed > target ? v.pitch - speed : target;
    }
}

void VolumeSlide(ChannelState& c, int parameter) {
    const int x = parameter >> 4, y = parameter & 15;
    if (x > 0)
        c.volume = static_cast<uint8_t>(c.volume + x > 64 ? 64 : c.volume + x);
    else if (y > 0)
        c.volume = static_cast<uint8_t>(c.volume - y < 0 ? 0 : c.volume - y);
}

void ProcessTick(AppState& app) {
    Song& song = app.song;
    Transport& tr = app.transport;
    const int tick = tr.tick;
    if (tick == 0) app.redrawRequest.store(1, std::memory_order_relaxed);
    const int tracks = TracksInUse(song);
    const int row = CurrentRow(app);
    const Pattern& pattern = CurrentPattern(app);

    for (int t = 0; t < tracks; ++t) {
        const PatternCell& cell = pattern.cells[row][t];
        ChannelState& c = song.tracks[t].channel;
        uint8_t cmd[3], par[3];
        ReadEffects(cell, cmd, par);

        if (tick == 0) {
            if (cell.note == kNoteOff) ReleaseTrackVoices(app, t);
            TakeInstrument(song, c, cell.instrument);
            for (int k = 0; k < 3; ++k) {
                const int p = par[k];
                switch (cmd[k]) {
                    case 8:
                        if constexpr (profile::kExtraCommands) c.pan = static_cast<uint8_t>(p);
                        break;
                    case 12: c.volume = static_cast<uint8_t>(p > 64 ? 64 : p); break;
                    case 15:
                        if (p == 0)
                            StopPlayer(app);
                        else if (p < 32)
                            song.speed = static_cast<uint8_t>(p);
                        else
                            song.tempo = static_cast<uint8_t>(p);
                        break;
                    case 16:
                        if constexpr (!profile::kExtraCommands) break;
                        song.masterVolume = static_cast<uint8_t>(p > 64 ? 64 : p);
                        app.redrawRequest.store(1, std::memory_order_relaxed);
                        break;
                    case 14:
                        // Beyond the classic command set: 6 with 0 marks this row as
                        // the track's loop start.
                        if (p == 0x60) c.loopRow = static_cast<uint8_t>(row);
                        break;
                    default: break;
                }
            }
        }

        // Note start.
        if (cell.note >= 1 && cell.note <= 128 && c.instrument != 0) {
            bool portamento = false;
            for (int k = 0; k < 3; ++k) portamento = portamento || cmd[k] == 3 || cmd[k] == 5;
            if (!portamento) {
                int32_t offset = 0;
                // The timing byte's delay plays as 14 with Dy does.
                int trigger = CellTiming(cell) & 15;
                uint8_t chords[3] = {0, 0, 0};
                constexpr bool extra = profile::kExtraCommands;
                for (int k = 0; k < 3; ++k) {
                    const int p = par[k], x = p >> 4;
                    if (cmd[k] == 9) offset = p * 256;
                    else if (extra && cmd[k] == 24) offset = -p;
                    else if (extra && cmd[k] == 192 && p != 0) chords[k] = static_cast<uint8_t>(p);
                    else if (cmd[k] == 14 && x == 0xD) trigger = p & 15;
                    else if (cmd[k] == 14 && x == 0x9 && (p & 15) >= 1 && tick % (p & 15) == 0) trigger = tick;
                }
                if (trigger == tick) {
                    const int velocity = 4 * c.volume > 127 ? 127 : 4 * c.volume;
                    TriggerTrackNote(app, t, cell.note - 1, velocity, offset, chords);
                }
            }
        }

        // Effects, every tick.
        c.arpeggioOffset = 0;
        bool vibratoUsed = false, tremoloUsed = false;
        int noteCut = CellTiming(cell) >> 4;  // the timing byte's cut, as 14 with Cy
        for (int k = 0; k < 3; ++k) {
            const int p = par[k], x = p >> 4, y = p & 15;
            switch (cmd[k]) {
                case 0:
                    if (p != 0) {
                        c.arpeggioOffset = static_cast<uint8_t>(c.arpeggioStep == 0 ? 0 : (c.arpeggioStep == 1 ? x : y));
                        c.arpeggioStep = static_cast<uint8_t>(c.arpeggioStep >= 2 ? 0 : c.arpeggioStep + 1);
                    }
                    break;
                case 1: MovePitch(app, t, p * 0.06); break;
                case 2: MovePitch(app, t, -p * 0.06); break;
                case 3: TonePortamento(app, t, c, cell, p); break;
                case 4:
                    if (x > 0) c.vibratoSpeed = static_cast<uint8_t>(x);
                    if (y > 0) c.vibratoDepth = static_cast<uint8_t>(y);
                    c.vibratoPosition = static_cast<uint8_t>(c.vibratoPosition + c.vibratoSpeed);
                    vibratoUsed = true;
                    break;
                case 5:
                    TonePortamento(app, t, c, cell, 0);
                    if (tick != 0) VolumeSlide(c, p);
                    break;
                case 6:
                    c.vibratoPosition = static_cast<uint8_t>(c.vibratoPosition + c.vibratoSpeed);
                    vibratoUsed = true;
                    if (tick != 0) VolumeSlide(c, p);
                    break;
                case 7:
                    if (x > 0) c.tremoloSpeed = static_cast<uint8_t>(x);
                    if (y > 0) c.tremoloDepth = static_cast<uint8_t>(y);
                    c.tremoloPosition = static_cast<uint8_t>(c.tremoloPosition + c.tremoloSpeed);
                    tremoloUsed = true;
                    break;
                case 10:
                    if (tick != 0) VolumeSlide(c, p);
                    break;
                case 14:
                    if (x == 0x1 && tick == 0) MovePitch(app, t, y * 0.06);
                    else if (x == 0x2 && tick == 0) MovePitch(app, t, -y * 0.06);
                    else if (x == 0xA && tick == 0) c.volume = static_cast<uint8_t>(c.volume + y > 64 ? 64 : c.volume + y);
                    else if (x == 0xB && tick == 0) c.volume = static_cast<uint8_t>(c.volume - y < 0 ? 0 : c.volume - y);
                    else if (x == 0xC) noteCut = y;
                    break;
                case 17: MovePitch(app, t, p); break;
                case 18: MovePitch(app, t, -p); break;
                case 19:
                    if (tick == 0) MovePitch(app, t, p);
                    break;
                case 20:
                    if (tick == 0) MovePitch(app, t, -p);
                    break;
                default: break;
            }
        }
        if (!vibratoUsed) c.vibratoPosition = 0;
        if (!tremoloUsed) c.tremoloPosition = 0;
        if (noteCut >= 1 && noteCut == tick) c.volume = 0;
    }
}

void AdvanceOrder(AppState& app) {
    Song& song = app.song;
    // A new pattern starts without a loop start or pending loop jumps.
    for (TrackSettings& t : song.tracks) {
        t.channel.loopRow = 0;
        t.channel.loopCount = 0;
    }
    if (song.orderPosition == song.lastOrder) {
        song.orderPosition = song.restartOrder;
        app.songWrapCount.fetch_add(1, std::memory_order_relaxed);
    } else {
        song.orderPosition = static_cast<uint8_t>(song.orderPosition + 1);
    }
}

void EndTick(AppState& app) {
    Song& song = app.song;
    Transport& tr = app.transport;
    const int tracks = TracksInUse(song);
    const int row = CurrentRow(app);
    const Pattern& pattern = CurrentPattern(app);
    tr.tick += 1;
    int length = song.speed;
    int breakRow = -1;
    for (int t = 0; t < tracks; ++t) {
        const PatternCell& cell = pattern.cells[row][t];
        uint8_t cmd[3], par[3];
        ReadEffects(cell, cmd, par);
        for (int k = 0; k < 3; ++k) {
            if (cmd[k] == 14 && (par[k] >> 4) == 0xE)
                length = profile::kDelayAddsTicks ? song.speed + (par[k] & 15) : ((par[k] & 15) + 1) * song.speed;
            if (cmd[k] == 13) breakRow = par[k];
        }
    }
    if (tr.tick < length) return;
    tr.tick = 0;
    // Pattern loop, as trackers have it: at the end of a row, each
    // track's command 14 with 6y (y >= 1) jumps back to the track's loop start
    // y times; every track counts on its own, so loops on different tracks
    // nest. The last track that jumps names the row; a loop jump stays in the
    // pattern and wins over a pattern break in the same row.
    int loopRow = -1;
    for (int t = 0; t < tracks; ++t) {
        const PatternCell& cell = pattern.cells[row][t];
        uint8_t cmd[3], par[3];
        ReadEffects(cell, cmd, par);
        int y = 0;
        for (int k = 0; k < 3; ++k)
            if (cmd[k] == 14 && (par[k] >> 4) == 0x6 && (par[k] & 15) != 0) y = par[k] & 15;
        if (y == 0) continue;
        ChannelState& c = song.tracks[t].channel;
        if (c.loopCount == 0) {
            c.loopCount = static_cast<uint8_t>(y);
            loopRow = c.loopRow;
        } else if (--c.loopCount != 0) {
            loopRow = c.loopRow;
        }
    }
    if (loopRow >= 0) {
        tr.row = loopRow;
        return;
    }
    if (breakRow >= 0) {
        tr.row = breakRow;
        AdvanceOrder(app);
        return;
    }
    tr.row = row + 1;
    if (tr.row > pattern.lastRow) {
        tr.row = 0;
        if (tr.playMode == kPlaySong || profile::kPatternEndAdvancesOrder) AdvanceOrder(app);
    }
}

}  // namespace

void TakeInstrument(const Song& song, ChannelState& channel, int instrument) {
    if (instrument <= 0 || instrument >= kMaxInstruments) return;
    const Instrument& ins = song.instruments[instrument];
    channel.instrument = static_cast<uint8_t>(instrument);
    channel.volume = ins.volume;
    channel.pan = ins.pan;
}

void TriggerTrackNote(AppState& app, int track, int note, int velocity, int32_t startOffset,
                      const uint8_t chordIntervals[3]) {
    if (track < 0 || track >= kMaxTracks) return;
    ChannelState& c = app.song.tracks[track].channel;
    c.portamentoTarget = static_cast<uint8_t>(note);
    c.arpeggioStep = 0;
    c.vibratoPosition = 0;
    ReleaseTrackVoices(app, track);
    StartNoteVoices(app, track, c.instrument, note, 0, velocity, startOffset);
    for (int k = 0; k < 3; ++k)
        if (chordIntervals[k] != 0)
            StartNoteVoices(app, track, c.instrument, note, chordIntervals[k], velocity, startOffset);
}

void RenderBuffer(AppState& app) {
    StateGuard lock(app.stateLock);
    const uint64_t t0 = ReadCycleCounter();
    int frames = app.asioHost.preferredSize;
    if (frames < 1) frames = 1;
    if (frames > kMaxBufferFrames) frames = kMaxBufferFrames;
    // SANITY: an output rate that is not a sensible number would make every
    // tick zero frames long (the loop would never end) or endless; it is held
    // inside the usable range of engine/output_rate.h.
    const double rate = UsableOutputRate(app.settings.sampleRate);

    std::memset(app.mixLeft, 0, sizeof(double) * frames);
    std::memset(app.mixRight, 0, sizeof(double) * frames);

    Transport& tr = app.transport;
    int remaining = frames, offset = 0;
    while (remaining > 0) {
        if (tr.playMode != kStopped && tr.samplesInTick == 0) ProcessTick(app);
        // SANITY: a tempo of 0 (only from a damaged file) counts as 1.
        const int tempo = app.song.tempo < 1 ? 1 : app.song.tempo;
        const int spt = static_cast<int>(rate / tempo * 2.5);
        int n = spt - tr.samplesInTick;
        if (n < 0) n = 0;
        if (n > remaining) n = remaining;
        MixChunk(app, offset, n, rate);
        tr.samplesInTick += n;
        if (tr.samplesInTick >= spt) {
            tr.samplesInTick = 0;
            if (tr.playMode != kStopped) EndTick(app);
        }
        remaining -= n;
        offset += n;
    }

    RunMasterBus(app, frames, rate);
    const uint64_t t1 = ReadCycleCounter();
    const double load = BufferLoad(t1 - t0, frames, app.cycleRate, rate);
    if constexpr (profile::kCpuStatus) {
        // No load meter in the earlier build: the status line says it instead.
        if (tr.playMode != kStopped) WritePlayStatus(app, load, BusyVoiceCount(app), kVoiceCount);
    } else {
        SongMeters& m = app.song.meters;
        if (load > m.cpuLoad.load(std::memory_order_relaxed)) m.cpuLoad.store(load, std::memory_order_relaxed);
    }
}

}  // namespace zelmora
