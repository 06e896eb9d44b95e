#include "app/history.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/app_state.h"
#include "app/profile.h"
#include "app/status_line.h"

namespace zelmora {

namespace {

uint8_t* Base(AppState& app) { return reinterpret_cast<uint8_t*>(&app); }

std::size_t AudioBytes(const KeptAudio& a) {
    return static_cast<std::size_t>(a.channels) * (static_cast<std::size_t>(a.frames) + 2 * kSampleGuard) *
           sizeof(double);
}

void Release(std::vector<KeptAudio>& audio) {
    for (const KeptAudio& a : audio) ReleaseSampleAudio(a.audio, a.channels);
    audio.clear();
}

// The audio tables an instrument record holds.
std::vector<KeptAudio> AudioOf(const uint8_t* record) {
    auto instrument = std::make_unique<Instrument>();
    std::memcpy(static_cast<void*>(instrument.get()), record, sizeof(Instrument));
    std::vector<KeptAudio> found;
    for (const Sample& s : instrument->samples)
        if (s.audio) found.push_back({s.audio, s.channels, s.frames});
    return found;
}

bool Holds(const std::vector<KeptAudio>& list, double** audio) {
    return std::any_of(list.begin(), list.end(), [audio](const KeptAudio& a) { return a.audio == audio; });
}

void KeepAudio(double** audio, int32_t channels, void* context) {
    static_cast<History*>(context)->kept.push_back({audio, channels, 0});
}

// Releases the audio only the step holds, as it stands (done or undone).
void ReleaseHeld(EditStep& step, bool stepDone) {
    if (step.audio) Release(stepDone ? step.audio->replaced : step.audio->brought);
}

void Drop(History& h, std::deque<EditStep>::iterator step, bool stepDone) {
    h.bytes -= step->Footprint();
    ReleaseHeld(*step, stepDone);
}

// Drops the undone steps: a new step takes their place.
void DropUndone(History& h) {
    for (auto it = h.steps.begin() + static_cast<std::ptrdiff_t>(h.done); it != h.steps.end(); ++it)
        Drop(h, it, false);
    h.steps.erase(h.steps.begin() + static_cast<std::ptrdiff_t>(h.done), h.steps.end());
}

// The ranges of a finished step, taken apart again so the step can grow.
void Reopen(History& h) {
    EditStep step = std::move(h.steps.back());
    h.steps.pop_back();
    --h.done;
    h.bytes -= step.Footprint();
    h.version = h.done ? h.steps[h.done - 1].version : h.baseVersion;
    h.ranges.clear();
    h.pending.clear();
    for (std::size_t at = 0; at < step.data.size();) {
        uint32_t offset, size;
        std::memcpy(&offset, step.data.data() + at, 4);
        std::memcpy(&size, step.data.data() + at + 4, 4);
        h.ranges.push_back({offset, size, h.pending.size()});
        h.pending.insert(h.pending.end(), step.data.begin() + static_cast<std::ptrdiff_t>(at + 8),
                         step.data.begin() + static_cast<std::ptrdiff_t>(at + 8 + 2 * size));
        at += 8 + 2 * std::size_t{size};
    }
    step.data.clear();
    h.building = std::move(step);
    h.open = true;
    h.loose = false;
}

void AppendRecord(std::vector<uint8_t>& data, uint32_t offset, uint32_t size, const uint8_t* before,
                  const uint8_t* after) {
    uint8_t header[8];
    std::memcpy(header, &offset, 4);
    std::memcpy(header + 4, &size, 4);
    data.insert(data.end(), header, header + 8);
    data.insert(data.end(), before, before + size);
    data.insert(data.end(), after, after + size);
}

void Open(AppState& app, int key, bool loose = false) {
    History& h = app.history;
    h.open = true;
    h.loose = loose;
    h.building = EditStep{};
    h.building.key = static_cast<int16_t>(key);
    h.ranges.clear();
    h.pending.clear();
}

void PlaceCursor(AppState& app, const EditPlace& place) {
    Song& song = app.song;
    if (app.transport.playMode == kStopped) {
        song.orderPosition = static_cast<uint8_t>(std::clamp<int>(place.orderPosition, 0, song.lastOrder));
        const Pattern& pattern = song.patterns[song.orders[song.orderPosition]];
        app.transport.row = std::clamp<int>(place.row, 0, pattern.lastRow);
    }
    app.cursor.track = std::clamp<int>(place.track, 0, std::clamp<int>(song.trackCount, 1, kMaxTracks) - 1);
    app.cursor.column = place.column;
    app.redrawRequest.store(1, std::memory_order_relaxed);
}

// Writes each record's bytes before (undo) or after (redo) the step.
void Apply(AppState& app, const EditStep& step, bool after) {
    struct Record {
        uint32_t offset, size;
        const uint8_t* bytes;
    };
    std::vector<Record> records;
    for (std::size_t at = 0; at < step.data.size();) {
        Record r;
        std::memcpy(&r.offset, step.data.data() + at, 4);
        std::memcpy(&r.size, step.data.data() + at + 4, 4);
        r.bytes = step.data.data() + at + 8 + (after ? r.size : 0);
        records.push_back(r);
        at += 8 + 2 * std::size_t{r.size};
    }
    if (!after) std::reverse(records.begin(), records.end());
    std::unique_ptr<StateGuard> lock;
    if (step.locked) lock = std::make_unique<StateGuard>(app.stateLock);
    for (const Record& r : records) std::memcpy(Base(app) + r.offset, r.bytes, r.size);
}

}  // namespace

std::size_t EditStep::Footprint() const {
    std::size_t total = sizeof(EditStep) + data.capacity();
    if (!audio) return total;
    // The step holds one of its two sets at a time (the other is in the song):
    // the larger counts.
    std::size_t replaced = 0, brought = 0;
    for (const KeptAudio& a : audio->replaced) replaced += AudioBytes(a);
    for (const KeptAudio& a : audio->brought) brought += AudioBytes(a);
    return total + sizeof(Audio) + (audio->replaced.capacity() + audio->brought.capacity()) * sizeof(KeptAudio) +
           std::max(replaced, brought);
}

History::~History() {
    if (open && building.instrument) SetSampleAudioKeeper(nullptr, nullptr);
    for (std::size_t i = 0; i < steps.size(); ++i) ReleaseHeld(steps[i], i < done);
    Release(kept);
}

void BeginStep(AppState& app, int key, bool repeat) {
    if constexpr (!profile::kHistory) return;
    History& h = app.history;
    if (h.open) EndStep(app);
    // An auto-repeat grows the step of its key while nothing came between.
    if (repeat && key != 0 && h.done > 0 && h.done == h.steps.size() && h.steps.back().key == key) {
        Reopen(h);
        return;
    }
    Open(app, key);
}

void WillChange(AppState& app, const char* what, const void* field, std::size_t size, bool locked) {
    if constexpr (!profile::kHistory) return;
    History& h = app.history;
    const auto* p = static_cast<const uint8_t*>(field);
    // Only the program state can be recorded; it never moves.
    if (p < Base(app) || size == 0 || size > sizeof(AppState) ||
        static_cast<std::size_t>(p - Base(app)) > sizeof(AppState) - size)
        return;
    if (!h.open) Open(app, 0, true);
    EditStep& step = h.building;
    if (!step.what) {
        step.what = what;
        step.place = {static_cast<int16_t>(app.song.orderPosition), static_cast<int16_t>(app.transport.row),
                      static_cast<int8_t>(app.cursor.track), static_cast<int8_t>(app.cursor.column)};
    }
    step.locked = step.locked || locked;
    const auto offset = static_cast<uint32_t>(p - Base(app));
    for (const History::Range& r : h.ranges)
        if (offset >= r.offset && offset + size <= r.offset + r.size) return;  // recorded already
    h.ranges.push_back({offset, static_cast<uint32_t>(size), h.pending.size()});
    h.pending.insert(h.pending.end(), p, p + size);
    h.pending.resize(h.pending.size() + size);
}

void WillReplaceInstrument(AppState& app, const char* what, int index) {
    if constexpr (!profile::kHistory) return;
    if (index < 0 || index >= kMaxInstruments) return;
    WillChange(app, what, &app.song.instruments[index], sizeof(Instrument), true);
    History& h = app.history;
    if (!h.open) return;
    h.building.instrument = true;
    SetSampleAudioKeeper(KeepAudio, &h);
}

void RecordChange(AppState& app, const char* what, const void* field, std::size_t size, const uint8_t* before) {
    if constexpr (!profile::kHistory) return;
    History& h = app.history;
    const std::size_t at = h.pending.size();
    const std::size_t count = h.ranges.size();
    WillChange(app, what, field, size);
    // A new range takes the bytes as they were before the typing.
    if (h.ranges.size() > count) std::memcpy(h.pending.data() + at, before, size);
}

void EndStep(AppState& app) {
    if constexpr (!profile::kHistory) return;
    History& h = app.history;
    if (!h.open) return;
    h.open = false;
    EditStep step = std::move(h.building);
    h.building = EditStep{};
    // Only the spans that changed are kept (a gap of fewer than 16 equal bytes
    // does not split a span): a loaded sample keeps a few slots of its
    // instrument's record, not all 256.
    for (const History::Range& r : h.ranges) {
        uint8_t* before = h.pending.data() + r.at;
        const uint8_t* after = before + r.size;
        std::memcpy(before + r.size, Base(app) + r.offset, r.size);
        for (uint32_t i = 0; i < r.size;) {
            if (before[i] == after[i]) {
                ++i;
                continue;
            }
            uint32_t end = i + 1;
            for (uint32_t j = end; j < r.size && j - end < 16; ++j)
                if (before[j] != after[j]) end = j + 1;
            AppendRecord(step.data, r.offset + i, end - i, before + i, after + i);
            i = end;
        }
    }
    if (step.instrument) {
        SetSampleAudioKeeper(nullptr, nullptr);
        if (!step.audio) step.audio = std::make_unique<EditStep::Audio>();
        std::vector<KeptAudio>& replaced = step.audio->replaced;
        std::vector<KeptAudio>& brought = step.audio->brought;
        for (const History::Range& r : h.ranges) {
            if (r.size != sizeof(Instrument)) continue;
            std::vector<KeptAudio> before = AudioOf(h.pending.data() + r.at);
            std::vector<KeptAudio> after = AudioOf(h.pending.data() + r.at + r.size);
            for (const KeptAudio& a : before)
                if (!Holds(after, a.audio) && !Holds(replaced, a.audio)) replaced.push_back(a);
            for (const KeptAudio& a : after)
                if (!Holds(before, a.audio) && !Holds(brought, a.audio)) brought.push_back(a);
        }
        // Audio freed during the step that the step does not answer for (made
        // and dropped again by the loader) is released now.
        for (const KeptAudio& a : h.kept)
            if (!Holds(replaced, a.audio)) ReleaseSampleAudio(a.audio, a.channels);
        h.kept.clear();
    }
    h.ranges.clear();
    h.pending.clear();
    if (step.data.empty()) {
        ReleaseHeld(step, false);  // nothing changed: nothing was brought either
        return;
    }
    step.data.shrink_to_fit();
    DropUndone(h);
    step.version = h.nextVersion++;
    h.version = step.version;
    h.bytes += step.Footprint();
    h.steps.push_back(std::move(step));
    h.done = h.steps.size();
    // The oldest steps go while the history is over its bound; the newest stays.
    while (h.bytes > h.byteLimit && h.steps.size() > 1) {
        Drop(h, h.steps.begin(), true);
        h.baseVersion = h.steps.front().version;
        h.steps.pop_front();
        --h.done;
    }
}

bool Undo(AppState& app) {
    if constexpr (!profile::kHistory) return false;
    History& h = app.history;
    EndStep(app);
    if (h.done == 0) {
        SetStatus(app, "Nothing To Undo.");
        return false;
    }
    const EditStep& step = h.steps[h.done - 1];
    Apply(app, step, false);
    --h.done;
    h.version = h.done ? h.steps[h.done - 1].version : h.baseVersion;
    PlaceCursor(app, step.place);
    SetStatus(app, "Undo: %s.", step.what);
    return true;
}

bool Redo(AppState& app) {
    if constexpr (!profile::kHistory) return false;
    History& h = app.history;
    EndStep(app);
    if (h.done == h.steps.size()) {
        SetStatus(app, "Nothing To Redo.");
        return false;
    }
    const EditStep& step = h.steps[h.done];
    Apply(app, step, true);
    ++h.done;
    h.version = step.version;
    PlaceCursor(app, step.place);
    SetStatus(app, "Redo: %s.", step.what);
    return true;
}

void ClearHistory(AppState& app) {
    History& h = app.history;
    if (h.open) {
        h.open = false;
        if (h.building.instrument) SetSampleAudioKeeper(nullptr, nullptr);
        Release(h.kept);  // freed from the song: no step answers for them now
        h.building = EditStep{};
        h.ranges.clear();
        h.pending.clear();
    }
    for (std::size_t i = 0; i < h.steps.size(); ++i) ReleaseHeld(h.steps[i], i < h.done);
    h.steps.clear();
    h.done = 0;
    h.bytes = 0;
    h.version = h.savedVersion = h.baseVersion = h.nextVersion++;
}

bool SongUnsaved(const AppState& app) { return app.history.version != app.history.savedVersion; }

void MarkSongSaved(AppState& app) { app.history.savedVersion = app.history.version; }

uint64_t SongVersion(const AppState& app) { return app.history.version; }

}  // namespace zelmora
