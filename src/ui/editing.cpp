#include "ui/editing.h"

#include <algorithm>
#include <atomic>

#include "app/app_state.h"
#include "app/history.h"
#include "app/profile.h"
#include "app/status_line.h"
#include "ui/draw.h"
#include "ui/screen_places.h"

namespace zelmora {

namespace {

int TracksInUse(const Song& song) { return std::clamp<int>(song.trackCount, 1, kMaxTracks); }

const char* Plural(int n) { return n == 1 ? "" : "s"; }

void RequestRedraw(AppState& app) { app.redrawRequest.store(1, std::memory_order_relaxed); }

// The row the cursor is on, held inside the pattern.
int CursorRow(const AppState& app) {
    return std::clamp<int>(std::atomic_ref<const int32_t>(app.transport.row).load(std::memory_order_relaxed), 0,
                           CurrentPattern(app).lastRow);
}

// Before a block edit writes rows r0..r1 of tracks t0..t1: one record per row.
void WillChangeCells(AppState& app, const char* what, int r0, int r1, int t0, int t1) {
    Pattern& pattern = CurrentPattern(app);
    for (int r = r0; r <= r1; ++r)
        WillChange(app, what, &pattern.cells[r][t0], sizeof(PatternCell) * static_cast<std::size_t>(t1 - t0 + 1));
}

void UpdateSilencedTracks(AppState& app) {
    uint32_t soloed = 0, muted = 0;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (app.trackSoloed[t]) soloed |= 1u << t;
        if (app.trackMuted[t]) muted |= 1u << t;
    }
    // With any track soloed only the soloed ones sound; a muted one stays silent.
    const uint32_t sounding = (soloed ? soloed : ~0u) & ~muted;
    app.silencedTracks.store(~sounding, std::memory_order_relaxed);
    RequestRedraw(app);
}

// The fader value of a track or the master, and its range's reset value.
uint8_t& FaderValue(AppState& app, int fader) {
    return fader == kMasterFader ? app.song.masterVolume : app.song.tracks[fader].mixerVolume;
}

void ShowFader(AppState& app, int fader) {
    const int value = FaderValue(app, fader);
    if (fader == kMasterFader)
        SetStatus(app, "Master Volume %d.", value);
    else
        SetStatus(app, "Track %.2d Volume %d.", fader, value);
}

}  // namespace

bool SelectionBounds(const AppState& app, int& r0, int& r1, int& t0, int& t1) {
    const BlockSelection& s = app.selection;
    if (!s.active || s.pattern != app.song.orders[app.song.orderPosition]) return false;
    const int lastRow = CurrentPattern(app).lastRow, lastTrack = TracksInUse(app.song) - 1;
    r0 = std::clamp<int>(std::min(s.row0, s.row1), 0, lastRow);
    r1 = std::clamp<int>(std::max(s.row0, s.row1), 0, lastRow);
    t0 = std::clamp<int>(std::min(s.track0, s.track1), 0, lastTrack);
    t1 = std::clamp<int>(std::max(s.track0, s.track1), 0, lastTrack);
    return true;
}

void ExtendSelection(AppState& app, int fromRow, int fromTrack) {
    BlockSelection& s = app.selection;
    const int pattern = app.song.orders[app.song.orderPosition];
    if (!s.active || s.pattern != pattern) s = {true, pattern, fromRow, fromTrack, fromRow, fromTrack};
    s.row1 = CursorRow(app);
    s.track1 = app.cursor.track;
}

void SelectAll(AppState& app) {
    app.selection = {true, app.song.orders[app.song.orderPosition], 0, 0, CurrentPattern(app).lastRow,
                     TracksInUse(app.song) - 1};
    SetStatus(app, "Selected %d Rows x %d Track%s.", CurrentPattern(app).lastRow + 1, TracksInUse(app.song),
              Plural(TracksInUse(app.song)));
}

void CopyBlock(AppState& app, bool cut) {
    int r0, r1, t0, t1;
    if (!SelectionBounds(app, r0, r1, t0, t1)) {
        SetStatus(app, "No Selection.");
        return;
    }
    const int rows = r1 - r0 + 1, tracks = t1 - t0 + 1;
    Pattern& pattern = CurrentPattern(app);
    app.blockClipboard.assign(static_cast<std::size_t>(rows * tracks), PatternCell{});
    for (int r = 0; r < rows; ++r)
        for (int t = 0; t < tracks; ++t)
            app.blockClipboard[static_cast<std::size_t>(r * tracks + t)] = pattern.cells[r0 + r][t0 + t];
    app.clipboardRows = rows;
    app.clipboardTracks = tracks;
    if (cut) {
        WillChangeCells(app, "Cut Block", r0, r1, t0, t1);
        for (int r = r0; r <= r1; ++r)
            for (int t = t0; t <= t1; ++t) pattern.cells[r][t] = PatternCell{};
    }
    SetStatus(app, "%s %d Row%s x %d Track%s.", cut ? "Cut" : "Copied", rows, Plural(rows), tracks, Plural(tracks));
}

void PasteBlock(AppState& app) {
    if (app.clipboardRows <= 0 || app.clipboardTracks <= 0) {
        SetStatus(app, "Nothing To Paste.");
        return;
    }
    const int row = CursorRow(app), track = app.cursor.track;
    // Clipped to the pattern's rows and the song's tracks.
    const int rows = std::min(app.clipboardRows, CurrentPattern(app).lastRow - row + 1);
    const int tracks = std::min(app.clipboardTracks, TracksInUse(app.song) - track);
    if (rows <= 0 || tracks <= 0) return;
    WillChangeCells(app, "Paste Block", row, row + rows - 1, track, track + tracks - 1);
    Pattern& pattern = CurrentPattern(app);
    for (int r = 0; r < rows; ++r)
        for (int t = 0; t < tracks; ++t)
            pattern.cells[row + r][track + t] =
                app.blockClipboard[static_cast<std::size_t>(r * app.clipboardTracks + t)];
    SetStatus(app, "Pasted.");
}

void ClearBlock(AppState& app) {
    int r0, r1, t0, t1;
    if (!SelectionBounds(app, r0, r1, t0, t1)) return;
    WillChangeCells(app, "Clear Block", r0, r1, t0, t1);
    Pattern& pattern = CurrentPattern(app);
    for (int r = r0; r <= r1; ++r)
        for (int t = t0; t <= t1; ++t) pattern.cells[r][t] = PatternCell{};
    SetStatus(app, "Cleared %d Row%s x %d Track%s.", r1 - r0 + 1, Plural(r1 - r0 + 1), t1 - t0 + 1,
              Plural(t1 - t0 + 1));
}

void TransposeBlock(AppState& app, int semitones) {
    int r0, r1, t0, t1;
    if (!SelectionBounds(app, r0, r1, t0, t1)) {
        SetStatus(app, "No Selection.");
        return;
    }
    Pattern& pattern = CurrentPattern(app);
    // As the track transposition: only notes move, and they stay notes.
    for (int r = r0; r <= r1; ++r)
        for (int t = t0; t <= t1; ++t) {
            uint8_t& note = pattern.cells[r][t].note;
            if (note >= 1 && note <= 128)
                Changing(app, "Transpose Block", note) = static_cast<uint8_t>(std::clamp(note + semitones, 1, 128));
        }
    SetStatus(app, "Transposed %+d.", semitones);
}

bool PatternCellAt(const AppState& app, int x, int y, int& track, int& column, int& row) {
    const int W = app.screenWidth, H = app.screenHeight;
    if (y < place::kPatternRowsTop || y >= H - 124 || x < 28 || x >= W - 29) return false;
    const int slot = (x - place::kCursorBoxX) / place::kSlotPitch;
    const int inSlot = x - place::kCursorBoxX - slot * place::kSlotPitch;
    if (x < place::kCursorBoxX || slot >= TrackSlotCount(W) || inSlot >= place::kCellsWidth) return false;
    track = app.firstShownTrack + slot;
    if (track >= TracksInUse(app.song)) return false;
    // The column whose box begins at or before the point (the gaps go left).
    column = 0;
    for (int c = 0; c < place::kCellColumns; ++c)
        if (inSlot >= place::kColumnOffsets[c]) column = c;
    const int line = y - CursorRowLine(H);
    row = CursorRow(app) + (line >= 0 ? line / place::kRowPitch : -((-line + place::kRowPitch - 1) / place::kRowPitch));
    return true;
}

bool PatternViewPress(AppState& app, int x, int y, int button, bool doubleClick) {
    if constexpr (!profile::kEverydayEditing) return false;
    const int W = app.screenWidth, H = app.screenHeight;
    // The master fader.
    const int master = app.song.masterVolume;
    const int masterTop = place::FaderKnobTop(H, std::min(master, 64));
    if (profile::kMasterSection && x >= place::kMasterFaderX && x < place::kMasterFaderX + place::kFaderKnobW &&
        y >= masterTop && y < masterTop + place::kFaderKnobH) {
        app.draggedFader = kMasterFader;
        if (doubleClick) Changing(app, "Master Volume", app.song.masterVolume) = 32;
        ShowFader(app, kMasterFader);
        return true;
    }
    const int slot = (x - place::kFirstSlotX) / place::kSlotPitch;
    const int track = app.firstShownTrack + slot;
    if (x >= place::kFirstSlotX && slot < TrackSlotCount(W) && track < TracksInUse(app.song)) {
        const int dx = x - place::kFirstSlotX - slot * place::kSlotPitch;
        const auto inside = [dx, y](const place::Box& b) {
            return dx >= b.x && dx < b.x + b.w && y >= b.y && y < b.y + b.h;
        };
        if (inside(place::kMuteLight) && button == 0) {
            ToggleMute(app, track);
            return true;
        }
        if (inside(place::kSoloLight) && button == 0) {
            ToggleSolo(app, track);
            return true;
        }
        const int volume = std::min<int>(app.song.tracks[track].mixerVolume, 64);
        const place::Box knob{place::kTrackFaderDx, place::FaderKnobTop(H, volume), place::kFaderKnobW,
                              place::kFaderKnobH};
        if (inside(knob)) {
            app.draggedFader = track;
            if (doubleClick) Changing(app, "Track Volume", app.song.tracks[track].mixerVolume) = 64;
            ShowFader(app, track);
            return true;
        }
    }
    int cellTrack, column, row;
    if (button != 0 || !PatternCellAt(app, x, y, cellTrack, column, row)) return false;
    app.cursor.track = cellTrack;
    app.cursor.column = column;
    // While the song plays the row is the player's.
    if (app.transport.playMode == kStopped) app.transport.row = std::clamp<int>(row, 0, CurrentPattern(app).lastRow);
    app.selection.active = false;
    app.selection.row0 = app.selection.row1 = std::clamp<int>(row, 0, CurrentPattern(app).lastRow);
    app.selection.track0 = app.selection.track1 = cellTrack;
    app.selection.pattern = app.song.orders[app.song.orderPosition];
    app.selectingCells = true;
    RequestRedraw(app);
    return true;
}

void PatternViewDrag(AppState& app, int x, int y, int dy) {
    if (app.draggedFader >= 0) {
        const int fader = app.draggedFader;
        uint8_t& value = FaderValue(app, fader);
        const int next = std::clamp(static_cast<int>(value) - dy, 0, 64);
        if (next != value)
            Changing(app, fader == kMasterFader ? "Master Volume" : "Track Volume", value) = static_cast<uint8_t>(next);
        ShowFader(app, fader);
        RequestRedraw(app);
        return;
    }
    int track, column, row;
    if (!app.selectingCells || !PatternCellAt(app, x, std::clamp(y, place::kPatternRowsTop, app.screenHeight - 125),
                                              track, column, row))
        return;
    BlockSelection& s = app.selection;
    s.row1 = std::clamp<int>(row, 0, CurrentPattern(app).lastRow);
    s.track1 = track;
    s.active = s.row1 != s.row0 || s.track1 != s.track0;
    RequestRedraw(app);
}

void PatternViewRelease(AppState& app) {
    app.draggedFader = -1;
    app.selectingCells = false;
}

void ToggleMute(AppState& app, int track) {
    if (track < 0 || track >= kMaxTracks) return;
    app.trackMuted[track] = !app.trackMuted[track];
    UpdateSilencedTracks(app);
    SetStatus(app, "Track %.2d %s.", track, app.trackMuted[track] ? "Muted" : "Unmuted");
}

void ToggleSolo(AppState& app, int track) {
    if (track < 0 || track >= kMaxTracks) return;
    app.trackSoloed[track] = !app.trackSoloed[track];
    UpdateSilencedTracks(app);
    SetStatus(app, "Track %.2d %s.", track, app.trackSoloed[track] ? "Soloed" : "Solo Off");
}

}  // namespace zelmora

namespace zelmora {

namespace {

Sample& CurrentSample(AppState& app) {
    return app.song.instruments[app.currentInstrument & 0xFF].samples[app.currentSample & 0xFF];
}
const Sample& CurrentSample(const AppState& app) {
    return app.song.instruments[app.currentInstrument & 0xFF].samples[app.currentSample & 0xFF];
}
int SlotKey(const AppState& app) { return (app.currentInstrument & 0xFF) * 256 + (app.currentSample & 0xFF); }

constexpr int kViewColumns = 512;

// The frame under a column of a view showing span (snapped to whole frames).
int64_t FrameAt(const SampleSpan& span, int column) { return span.first + int64_t{column} * span.perColumn; }

}  // namespace

SampleSpan OverviewSpan(const AppState& app) {
    return {0, std::max<int64_t>(UsableFrames(CurrentSample(app)), 0) / kViewColumns + 1};
}

SampleSpan DetailSpan(const AppState& app) {
    if (app.sampleViewOf != SlotKey(app) || app.sampleViewPerColumn <= 0) return OverviewSpan(app);
    return {app.sampleViewFirst, app.sampleViewPerColumn};
}

void ZoomSampleView(AppState& app, int x, int notches) {
    const int64_t frames = UsableFrames(CurrentSample(app));
    if (frames == 0 || notches == 0) return;
    const SampleSpan span = DetailSpan(app);
    const int column = std::clamp(x - place::Get(place::PlaceId::SampleDetail).x, 0, kViewColumns - 1);
    const int64_t anchor = FrameAt(span, column);
    // Each notch halves or doubles the frames per column, from one frame a
    // column to the whole sample; the frame under the mouse stays there.
    int64_t per = span.perColumn;
    for (int n = notches; n > 0; --n) per = std::max<int64_t>(1, per / 2);
    for (int n = notches; n < 0; ++n) per = std::min(per * 2, OverviewSpan(app).perColumn);
    const int64_t lastFirst = std::max<int64_t>(0, frames - kViewColumns * per);
    app.sampleViewOf = SlotKey(app);
    app.sampleViewPerColumn = per;
    app.sampleViewFirst = std::clamp<int64_t>(anchor - int64_t{column} * per, 0, lastFirst);
    SetStatus(app, "Sample View: %lld Frame%s A Column.", static_cast<long long>(per), per == 1 ? "" : "s");
    RequestRedraw(app);
}

bool LoopMarkerPress(AppState& app, int x, int y) {
    const Sample& s = CurrentSample(app);
    if (s.loopMode == 0 || UsableFrames(s) == 0) return false;
    for (const auto& [id, span] : {std::pair{place::PlaceId::SampleDetail, DetailSpan(app)},
                                   std::pair{place::PlaceId::SampleOverview, OverviewSpan(app)}}) {
        const place::Place& view = place::Get(id);
        if (y < view.y || y >= view.y + view.h || x < view.x - 4 || x >= view.x + view.w + 4) continue;
        const int xs = view.x + static_cast<int>((s.loopStart - span.first) / span.perColumn);
        const int xe = view.x + static_cast<int>((int64_t{s.loopStart} + s.loopLength - span.first) / span.perColumn);
        // The nearer marker within the width of its picture takes the press.
        const int ds = std::abs(x - xs), de = std::abs(x - xe);
        if (std::min(ds, de) > 4) return false;
        app.draggedLoopMarker = de < ds || (de == ds && x > xe) ? 2 : 1;
        app.draggedLoopMarker |= id == place::PlaceId::SampleOverview ? 4 : 0;  // which view it follows
        return true;
    }
    return false;
}

void LoopMarkerDrag(AppState& app, int x) {
    if (app.draggedLoopMarker == 0) return;
    Sample& s = CurrentSample(app);
    const int64_t frames = UsableFrames(s);
    if (frames < 2) return;
    const bool overview = (app.draggedLoopMarker & 4) != 0;
    const SampleSpan span = overview ? OverviewSpan(app) : DetailSpan(app);
    const place::Place& view = place::Get(overview ? place::PlaceId::SampleOverview : place::PlaceId::SampleDetail);
    const int64_t frame = FrameAt(span, x - view.x);
    int64_t start = s.loopStart, end = int64_t{s.loopStart} + s.loopLength;
    // Inside the sample, the start before the end, on whole frames.
    if ((app.draggedLoopMarker & 3) == 1)
        start = std::clamp<int64_t>(frame, 0, end - 1);
    else
        end = std::clamp<int64_t>(frame, start + 1, frames);
    if (start == s.loopStart && end - start == s.loopLength) return;
    // The voices read the loop while they play: both fields change under the lock.
    WillChange(app, "Loop", &s.loopStart, sizeof s.loopStart, true);
    WillChange(app, "Loop", &s.loopLength, sizeof s.loopLength, true);
    {
        StateGuard lock(app.stateLock);
        s.loopStart = static_cast<int32_t>(start);
        s.loopLength = static_cast<int32_t>(end - start);
    }
    SetStatus(app, "Loop Start %d, Length %d.", s.loopStart, s.loopLength);
    RequestRedraw(app);
}

void SwitchLoopMode(AppState& app) {
    Sample& s = CurrentSample(app);
    const int32_t frames = UsableFrames(s);
    if (frames == 0) return;
    WillChange(app, "Loop Mode", &s.loopMode, sizeof s.loopMode, true);
    WillChange(app, "Loop Mode", &s.loopStart, sizeof s.loopStart, true);
    WillChange(app, "Loop Mode", &s.loopLength, sizeof s.loopLength, true);
    StateGuard lock(app.stateLock);
    s.loopMode = (std::clamp(s.loopMode, 0, 2) + 1) % 3;
    // A loop switched on where there was none spans the whole sample.
    if (s.loopMode != 0 && s.loopLength <= 0) {
        s.loopStart = 0;
        s.loopLength = frames;
    }
    FitLoopInsideSample(s);
}

}  // namespace zelmora
