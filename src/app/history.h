// The edit history: every change a musician makes to the song passes through
// here. A change names the bytes it is about to write (WillChange) before it
// writes them; the step that holds it keeps those bytes as they were and, once
// the step ends, as they became. Undo writes the first back, redo the second,
// so every edit made through this layer can be taken back, whatever it was.
//
// One key press (with its auto-repeats), one mouse press to release, one
// closed text field or one loaded sample is one step. The history lives on
// the main thread; the audio thread never sees it. Steps that replace sample
// audio keep the audio they replaced while they are in the history.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace zelmora {

struct AppState;

// Where a step's change was made, so undo and redo can show it.
struct EditPlace {
    int16_t orderPosition = 0;
    int16_t row = 0;
    int8_t track = 0;
    int8_t column = 0;
};

// A sample's audio table and its channel count.
struct KeptAudio {
    double** audio = nullptr;
    int32_t channels = 0;
    int32_t frames = 0;
};

// A finished step. `data` holds one record per changed range: the range's
// offset in the program state and its size (4 bytes each), then its bytes
// before the step, then after it.
struct EditStep {
    const char* what = nullptr;
    std::vector<uint8_t> data;
    // Audio that only the step holds: while the step is done, the audio it
    // replaced; while it is undone, the audio it brought. Only steps that
    // replace an instrument have any.
    struct Audio {
        std::vector<KeptAudio> replaced, brought;
    };
    std::unique_ptr<Audio> audio;
    uint64_t version = 0;  // the song's change counter once the step is done
    EditPlace place;
    int16_t key = 0;  // the key of a key-press step, whose auto-repeats merge into it
    bool locked = false;
    bool instrument = false;  // replaces a whole instrument (a loaded sample or bank)

    std::size_t Footprint() const;  // the memory the step takes, its kept audio included
};

struct History {
    // Finished steps, oldest first: steps[0, done) are done, the rest undone.
    std::deque<EditStep> steps;
    std::size_t done = 0;
    std::size_t bytes = 0;                      // the steps' footprints
    std::size_t byteLimit = std::size_t{64} << 20;  // the oldest steps go first beyond it

    // The step being made: ranges and their bytes, before each then after each.
    struct Range {
        uint32_t offset, size;
        std::size_t at;  // where its bytes start in `pending`
    };
    bool open = false;
    bool loose = false;  // opened by a change without a key or mouse press
    EditStep building;
    std::vector<Range> ranges;
    std::vector<uint8_t> pending;
    std::vector<KeptAudio> kept;  // audio freed while an instrument step was open

    // The change counter: the version of the song as it stands, and as it was
    // last opened or saved.
    uint64_t version = 1;
    uint64_t savedVersion = 1;
    uint64_t nextVersion = 2;
    uint64_t baseVersion = 1;  // the version before the oldest step kept

    History() = default;
    History(const History&) = delete;
    History& operator=(const History&) = delete;
    ~History();
};

// Opens the step of a key press (key, and whether it is an auto-repeat of the
// step before, which then grows instead) or of a mouse press (key 0). A step
// still open is finished first.
void BeginStep(AppState& app, int key = 0, bool repeat = false);

// Finishes the open step: its ranges take their new bytes, ranges that did not
// change are dropped, and a step that changed nothing is forgotten. A new step
// drops the undone ones. Nothing happens when no step is open.
void EndStep(AppState& app);

// Before a change writes `size` bytes of the state at `field`. The first
// change of a step names it ("Note Entry") and fixes its place. Without an
// open step one is opened (it ends at the next tick). `locked`: the change
// is made under the state lock, and so are its undo and redo.
void WillChange(AppState& app, const char* what, const void* field, std::size_t size, bool locked = false);

template <typename T>
T& Changing(AppState& app, const char* what, T& field, bool locked = false) {
    WillChange(app, what, &field, sizeof field, locked);
    return field;
}

// Before instrument `index` is replaced as a whole (a WAV or a SoundFont bank
// loaded into it): the instrument's record is kept, and audio freed until the
// step ends stays alive for the undo.
void WillReplaceInstrument(AppState& app, const char* what, int index);

// A change already made to `size` bytes at `field`, which held `before`
// (a text field closed after its typing).
void RecordChange(AppState& app, const char* what, const void* field, std::size_t size, const uint8_t* before);

// Undo and redo of one step; they move the cursor to the step's place and write
// the status line. False when there was nothing to do.
bool Undo(AppState& app);
bool Redo(AppState& app);

// Forgets every step (a song opened or made new), releasing what they kept;
// the song as it stands counts as saved.
void ClearHistory(AppState& app);

// The change counter against the last open or save.
bool SongUnsaved(const AppState& app);
void MarkSongSaved(AppState& app);
uint64_t SongVersion(const AppState& app);

}  // namespace zelmora
