// The one object that holds everything the program knows at run time. It is
// allocated once, members in their defined order, and reached through the
// process-wide pointer once construction has finished.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "app/autosave.h"
#include "app/export.h"
#include "app/history.h"
#include "app/settings.h"
#include "app/state_lock.h"
#include "app/status_line.h"
#include "audio/asio_host.h"
#include "audio/driver_list.h"
#include "engine/transport.h"
#include "engine/voice.h"
#include "song/song.h"

namespace zelmora {

inline constexpr int kMaxBufferFrames = 16384;
inline constexpr int kEqSections = 32;
inline constexpr int kPathLength = 260;
inline constexpr int kMasterFader = 32;  // AppState::draggedFader of the master fader

// A rectangle of whole cells in one pattern, between two corners (rows and
// tracks, in either order): the block the block keys and the mouse act on.
struct BlockSelection {
    bool active = false;
    int32_t pattern = 0;
    int32_t row0 = 0, track0 = 0;  // where it began
    int32_t row1 = 0, track1 = 0;  // where it reaches now
};

struct EditorCursor {
    int32_t track = 0;
    int32_t column = 0;  // the row is Transport::row
};

// The one text field that may be open; the target pointer is AppState's
// textEditTarget.
struct TextEditState {
    int32_t x = 0, y = 0;  // the field's screen position
    int32_t size = 0;      // buffer size, terminating zero included
    int32_t caret = 0;     // 0..size - 1
};

// One entry of the file browser's list: what the browser uses of the
// platform's directory record.
struct BrowserEntry {
    bool directory = false;
    uint32_t sizeLow = 0;   // low 32 bits of the file size
    char name[kPathLength] = {};
};

struct AppState {
    // Set once construction has finished; cleared before destruction begins.
    static AppState* instance;

    struct Options {
        // Callers other than the interactive program pass the processor's cycle
        // rate (or 0 to use a fixed nominal rate) instead of the one-second wait.
        bool measureCycleRate = true;
        double cycleRate = 0.0;
    };

    AppState();
    explicit AppState(const Options& options);

    // The state lives in one large block from the platform (see AllocateLarge).
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block, std::size_t size) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Allocates and constructs the state on the heap; null if it cannot be had.
    static std::unique_ptr<AppState> Create(const Options& options);

    // Song operations, each under the state lock.
    void NewSong();
    void ClearInstrument(int instrument);
    void ClearSample(Sample& sample);
    bool AllocateSampleAudio(Sample& sample);

    // -- members in their defined order --
    Voice voices[kVoiceCount];
    double masterEq[kEqSections][5];
    double mixLeft[kMaxBufferFrames];
    double mixRight[kMaxBufferFrames];
    double trackScratchLeft[kMaxBufferFrames];
    double trackScratchRight[kMaxBufferFrames];
    Transport transport;
    // Incremented by the sequencer each time the order position moves from the
    // last order to the restart order.
    std::atomic<uint32_t> songWrapCount{0};

    // Editor and control state.
    int32_t editMode = 0;
    int32_t keyboardOctave = 4;
    int32_t pressedControl = 0;
    int32_t repeatCounter = 0;
    EditorCursor cursor;
    int32_t firstShownTrack = 0;
    int32_t currentInstrument = 1;
    int32_t firstShownInstrument = 1;
    int32_t envelopeTab = 0;
    int32_t currentSample = 0;
    int32_t firstShownSample = 0;
    int32_t screenPage = 1;

    int32_t mouseX = 0, mouseY = 0;
    char* textEditTarget = nullptr;
    char statusLine[kStatusLength];
    uint8_t heldNotes[128];
    // The note each key's press started, and on which track (-1: none), so
    // its release stops that very note whatever the octave and cursor are by then.
    int16_t keyNotes[256];
    int8_t keyTracks[256];
    char browserFolder[kPathLength];
    int32_t browserSelection = -1;
    int32_t browserScroll = 0;
    int32_t browserCount = 0;
    std::vector<BrowserEntry> browserList;  // replaced by every listing
    TextEditState textEdit;
    char textEditBefore[64] = {};  // the open field as it was, for the edit history
    // Peak-hold marks of the meters, owned by the drawing: per track left and
    // right, the master's, the load meter's.
    int32_t trackHolds[kMaxTracks][2] = {};
    int32_t masterHolds[2] = {};
    int32_t loadHold = 0;
    std::atomic<int32_t> redrawRequest{1};
    std::atomic<uint32_t> tickCounter{0};
    Song song;
    AppSettings settings;
    PatternCell trackBuffer[kMaxRows];
    DriverList driverList;  // built from the registry during construction
    AsioHost asioHost;
    double cycleRate = 0.0;
    StateLock stateLock;
    History history;
    Autosaver autosaver;
    Exporter exporter;
    // Everyday editing (editor state, not the song's): the block selection and
    // clipboard, the tracks muted or soloed, and which of them the mixer
    // silences (a bit per track, read by the audio thread).
    BlockSelection selection;
    std::vector<PatternCell> blockClipboard;
    int32_t clipboardRows = 0, clipboardTracks = 0;
    uint8_t trackMuted[kMaxTracks] = {};
    uint8_t trackSoloed[kMaxTracks] = {};
    std::atomic<uint32_t> silencedTracks{0};
    // The fader being dragged: a track, kMasterFader, or -1; and the size of
    // the frame last composed, which the mouse's pattern view hit tests use.
    int32_t draggedFader = -1;
    bool selectingCells = false;  // a drag over the pattern view's cells
    // The Sample page's detail view: its first frame and frames per column
    // (0: the whole sample, as it opens), for which slot (instrument x 256 +
    // slot); and the loop marker being dragged (1 start, 2 end, 0 none).
    int64_t sampleViewFirst = 0, sampleViewPerColumn = 0;
    int32_t sampleViewOf = -1;
    int32_t draggedLoopMarker = 0;
    // The Region page: the key-range end being dragged (1 low, 2 high, 0 none)
    // and the key sounding under the mouse (-1 none).
    int32_t draggedKeyEnd = 0;
    int32_t previewedKey = -1;
    int32_t screenWidth = 1024, screenHeight = 768;
    // Counts the songs made new (also by every module loaded), so a caller
    // can tell whether an import replaced the song.
    uint32_t songGeneration = 0;
};

// 2^((i - 128) / 24) seconds for an envelope time byte i; filled once.
extern double EnvelopeTimeTable[256];
void FillEnvelopeTimeTable();

inline Pattern& CurrentPattern(AppState& app) { return CurrentPattern(app.song); }
inline const Pattern& CurrentPattern(const AppState& app) { return CurrentPattern(app.song); }

}  // namespace zelmora
