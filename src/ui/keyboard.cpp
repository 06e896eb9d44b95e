#include "ui/keyboard.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "app/app_state.h"
#include "app/export.h"
#include "app/history.h"
#include "app/profile.h"
#include "app/status_line.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "ui/editing.h"

namespace zelmora {

namespace {

constexpr int kLastColumn = 11;
constexpr int kHighestOctave = 8;
constexpr int kNoteKeyCount = 29;
constexpr int kLayoutCount = 3;
constexpr int kPreviewVelocity = 127;
constexpr uint8_t kHeld = 127;
constexpr int kF2 = vk::kF1 + 1, kF3 = vk::kF1 + 2, kF4 = vk::kF1 + 3, kF5 = vk::kF1 + 4, kF8 = vk::kF1 + 7;

// The piano over the letter keys: position i is the semitone above C of the
// keyboard octave. 0-11 on the lower letter row, 12-23 on the upper letter row
// with the digits as black keys, 24-28 continue that row.
struct NoteKeyRow {
    int keys[kNoteKeyCount];
};

constexpr NoteKeyRow FromLetters(const char (&letters)[kNoteKeyCount + 1]) {
    NoteKeyRow row{};
    for (int i = 0; i < kNoteKeyCount; ++i) row.keys[i] = letters[i];
    return row;
}

constexpr NoteKeyRow Azerty() {
    NoteKeyRow row = FromLetters("ZSXDCVGBHNJMQ2W3ER5T6Y7UI9O0P");
    row.keys[0] = 'W';
    row.keys[11] = vk::kOemComma;
    row.keys[12] = 'A';
    row.keys[14] = 'Z';
    return row;
}

constexpr NoteKeyRow kNoteKeyTable[kLayoutCount] = {
    FromLetters("ZSXDCVGBHNJMQ2W3ER5T6Y7UI9O0P"),  // QWERTY
    Azerty(),                                      // AZERTY
    FromLetters("YSXDCVGBHNJMQ2W3ER5T6Z7UI9O0P"),  // QWERTZ
};

bool IsDigit(int key) { return key >= '0' && key <= '9'; }
bool IsLetter(int key) { return key >= 'A' && key <= 'Z'; }

// 0-15 for 0-9 and A-F, else -1.
int HexValue(int key) {
    if (IsDigit(key)) return key - '0';
    if (key >= 'A' && key <= 'F') return key - 'A' + 10;
    return -1;
}

void RequestRedraw(AppState& app) { app.redrawRequest.store(1, std::memory_order_relaxed); }

// Position of the key in the layout's row, or -1.
int NoteKeyIndex(const AppState& app, int key) {
    // SANITY: a layout byte above 2 (a damaged settings file) reads as QWERTY
    // instead of indexing past the table.
    const int layout = app.settings.keyboardLayout < kLayoutCount ? app.settings.keyboardLayout : 0;
    const int* keys = kNoteKeyTable[layout].keys;
    for (int i = 0; i < kNoteKeyCount; ++i)
        if (keys[i] == key) return i;
    return -1;
}

// Note number of key position i. SANITY: the octave is held to 0..8 here too,
// so the highest note is 124 and HeldNotes is never indexed past 127.
int NoteNumber(const AppState& app, int i) { return 12 * std::clamp(app.keyboardOctave, 0, kHighestOctave) + i; }

int TracksInUse(const Song& song) { return std::clamp<int>(song.trackCount, 1, kMaxTracks); }

int LastRow(AppState& app) { return CurrentPattern(app).lastRow; }

// SANITY: the track count or the pattern may have shrunk under the cursor
// (another order, a loaded song); before a key edits or moves anything the
// cursor is brought back onto the pattern so no cell outside it is touched.
// While a song plays the row is the player's and is left to it.
void KeepCursorInPattern(AppState& app) {
    app.cursor.track = std::clamp(app.cursor.track, 0, TracksInUse(app.song) - 1);
    app.cursor.column = std::clamp(app.cursor.column, 0, kLastColumn);
    const int row = app.transport.row;
    if (app.transport.playMode == kStopped && (row < 0 || row > LastRow(app)))
        app.transport.row = std::clamp(row, 0, LastRow(app));
}

// SANITY: the player moves the row on the audio thread and may pass it one
// beyond the last row for a moment; the row is read once and held inside the
// pattern so a cell outside the pattern store is never written.
PatternCell& CursorCell(AppState& app) {
    const int playerRow = std::atomic_ref<int32_t>(app.transport.row).load(std::memory_order_relaxed);
    const int row = std::clamp(playerRow, 0, LastRow(app));
    return CurrentPattern(app).cells[row][app.cursor.track];
}

void MoveRow(AppState& app, int rows) { app.transport.row = std::clamp(app.transport.row + rows, 0, LastRow(app)); }

void StepRow(AppState& app) { MoveRow(app, app.song.editStep); }

bool PlayerRunning(const AppState& app) { return app.transport.playMode != kStopped; }

// -- the text field ---------------------------------------------------------

// The character a key types into a text field, or 0 for a key that types none.
char TypedCharacter(int key, bool shift) {
    if (IsLetter(key)) return static_cast<char>(shift ? key : key - 'A' + 'a');
    if (IsDigit(key)) return static_cast<char>(shift ? key - 16 : key);  // "!"..")", and 0 gives a space
    switch (key) {
        case vk::kSpace: return ' ';
        case vk::kOemPeriod: return shift ? ':' : '.';
        case vk::kOemComma: return shift ? ';' : ',';
        case vk::kOemMinus: return shift ? '_' : '-';
        default: return 0;
    }
}

// Removes the character at index; the rest moves one to the left and the last
// byte becomes the terminator.
void RemoveCharacter(char* text, int size, int index) {
    std::memmove(text + index, text + index + 1, static_cast<std::size_t>(size - 1 - index));
    text[size - 1] = 0;
}

// Line editing of the open field; returns whether the key was acted on.
bool EditTextField(AppState& app, int key, bool shift) {
    TextEditState& field = app.textEdit;
    char* text = app.textEditTarget;
    // SANITY: a field without room for its terminator has nothing to edit.
    if (field.size < 1) {
        CloseTextField(app);
        return true;
    }
    const int last = field.size - 1;  // the terminator's place
    field.caret = std::clamp(field.caret, 0, last);

    switch (key) {
        case vk::kLeft:
            if (field.caret > 0) --field.caret;
            return true;
        case vk::kRight:
            if (field.caret < last) ++field.caret;
            return true;
        case vk::kReturn:
            CloseTextField(app);
            return true;
        case vk::kDelete:
            RemoveCharacter(text, field.size, field.caret);
            return true;
        case vk::kBack:
            if (field.caret > 0) RemoveCharacter(text, field.size, --field.caret);
            return true;
        default: break;
    }

    const char c = TypedCharacter(key, shift);
    if (c == 0) return false;
    if (field.caret < last) {
        // SANITY: a caret placed beyond the end of the text would put the
        // character behind the terminator, where no reader of the name sees it;
        // the gap is filled with spaces so what is typed stays in the name.
        const int length = static_cast<int>(std::find(text, text + field.caret, '\0') - text);
        std::memset(text + length, ' ', static_cast<std::size_t>(field.caret - length));
        text[field.caret] = c;
        ++field.caret;
    }
    return true;
}

// What the history calls a change of the name field at target.
const char* NameFieldTitle(const AppState& app, const char* target) {
    const auto within = [target](const void* record, std::size_t size) {
        const auto* p = static_cast<const char*>(record);
        return target >= p && target < p + size;
    };
    if (within(app.song.name, sizeof app.song.name)) return "Song Name";
    if (within(app.song.tracks, sizeof app.song.tracks)) return "Track Name";
    for (const Instrument& in : app.song.instruments) {
        if (within(in.name, sizeof in.name)) return "Instrument Name";
        if (within(in.samples, sizeof in.samples)) return "Sample Name";
    }
    return "Name";
}

// -- plain keys, Shift keys, Ctrl keys ---------------------------------------

void ChangeOctave(AppState& app, int by) {
    app.keyboardOctave = std::clamp(app.keyboardOctave + by, 0, kHighestOctave);
    SetStatus(app, "Keyboard Octave = %d.", app.keyboardOctave);
}

void Play(AppState& app, bool patternMode) {
    // Playing again while the player runs restarts at the top of the pattern.
    PlayTransport(app, patternMode, PlayerRunning(app));
}

// Neither Shift nor Ctrl: returns whether the key is one of these.
bool PlainKey(AppState& app, int key) {
    EditorCursor& cur = app.cursor;
    const int lastTrack = TracksInUse(app.song) - 1;
    const int page = 4 * CurrentPattern(app).rowsPerBeat;
    switch (key) {
        case vk::kSpace:
            if (PlayerRunning(app))
                StopPlayer(app);
            else
                app.editMode = !app.editMode;
            return true;
        case vk::kF1: ChangeOctave(app, -1); return true;
        case kF2: ChangeOctave(app, +1); return true;
        case kF4: Play(app, true); return true;
        case kF5: Play(app, false); return true;
        case kF8: StopPlayer(app); return true;
        case vk::kLeft:
            if (cur.column > 0) {
                --cur.column;
            } else if (cur.track > 0) {
                --cur.track;
                cur.column = kLastColumn;
            }
            return true;
        case vk::kRight:
            if (cur.column < kLastColumn) {
                ++cur.column;
            } else if (cur.track < lastTrack) {
                ++cur.track;
                cur.column = 0;
            }
            return true;
        case vk::kUp: MoveRow(app, -1); return true;
        case vk::kDown: MoveRow(app, 1); return true;
        case vk::kPrior: MoveRow(app, -page); return true;
        case vk::kNext: MoveRow(app, page); return true;
        case vk::kHome: app.transport.row = 0; return true;
        case vk::kEnd: app.transport.row = LastRow(app); return true;
        case vk::kTab:
            if (cur.track < lastTrack) ++cur.track;
            cur.column = 0;
            return true;
        default: return false;
    }
}

// Shift+F1 and Shift+F2. Only notes move: empty cells stay empty, note-off
// cells (and any other non-note byte) stay as they are, and a note at either
// end of the range stays there rather than turning into an empty cell, a note
// off or a note the engine cannot play.
void TransposeTrack(AppState& app, int semitones) {
    Pattern& pattern = CurrentPattern(app);
    for (int row = 0; row < kMaxRows; ++row) {
        uint8_t& note = pattern.cells[row][app.cursor.track].note;
        if (note >= 1 && note <= 128)
            Changing(app, "Transpose Track", note) = static_cast<uint8_t>(std::clamp(note + semitones, 1, 128));
    }
}

void CopyTrack(AppState& app, bool clear) {
    Pattern& pattern = CurrentPattern(app);
    for (int row = 0; row < kMaxRows; ++row) {
        PatternCell& cell = pattern.cells[row][app.cursor.track];
        app.trackBuffer[row] = cell;
        if (clear) Changing(app, "Cut Track", cell) = PatternCell{};
    }
    SetStatus(app, "Copied To Track Buffer.");
    app.cursor.column = 0;
}

void PasteTrack(AppState& app) {
    Pattern& pattern = CurrentPattern(app);
    for (int row = 0; row < kMaxRows; ++row)
        Changing(app, "Paste Track", pattern.cells[row][app.cursor.track]) = app.trackBuffer[row];
    SetStatus(app, "Pasted From Track Buffer.");
    app.cursor.column = 0;
}

// Shift down, Ctrl up: returns whether the key is one of these.
bool ShiftKey(AppState& app, int key) {
    switch (key) {
        case vk::kTab:
            if (app.cursor.track > 0) --app.cursor.track;
            app.cursor.column = 0;
            return true;
        case vk::kF1: TransposeTrack(app, -1); return true;
        case kF2: TransposeTrack(app, +1); return true;
        case kF3: CopyTrack(app, true); return true;
        case kF4: CopyTrack(app, false); return true;
        case kF5: PasteTrack(app); return true;
        default: return false;
    }
}

// -- cell entry ---------------------------------------------------------------

// Columns 1 and 2: the instrument byte's high or low digit.
void InstrumentEntry(AppState& app, int key) {
    uint8_t& instrument = Changing(app, "Instrument Entry", CursorCell(app).instrument);
    const int nibble = HexValue(key);
    if (key == vk::kDelete)
        instrument = 0;
    else if (nibble >= 0 && app.cursor.column == 1)
        instrument = static_cast<uint8_t>((instrument & 0x0F) | nibble << 4);
    else if (nibble >= 0)
        instrument = static_cast<uint8_t>((instrument & 0xF0) | nibble);
    StepRow(app);  // every key that gets here moves on, changed or not
}

// Columns 3-11: the command or a parameter digit of one of the three effects.
void EffectEntry(AppState& app, int key) {
    PatternCell& cell = Changing(app, "Effect Entry", CursorCell(app));
    const int slot = (app.cursor.column - 3) / 3, role = (app.cursor.column - 3) % 3;
    uint8_t& command = CellCommand(cell, slot);
    uint8_t& parameter = CellParameter(cell, slot);
    const int nibble = HexValue(key);
    if (role == 0) {
        if (key == vk::kDelete)
            command = 0;
        else if (IsDigit(key))
            command = static_cast<uint8_t>(key - '0');
        else if (IsLetter(key))
            command = static_cast<uint8_t>(key - 'A' + 10);
    } else if (key == vk::kDelete) {
        parameter = 0;
    } else if (nibble >= 0 && role == 1) {
        parameter = static_cast<uint8_t>((parameter & 0x0F) | nibble << 4);
    } else if (nibble >= 0) {
        parameter = static_cast<uint8_t>((parameter & 0xF0) | nibble);
    }
    StepRow(app);
}

void PreviewNote(AppState& app, int key, int note) {
    const int track = app.cursor.track;
    if (key >= 0 && key < 256) {
        app.keyNotes[key] = static_cast<int16_t>(note);
        app.keyTracks[key] = static_cast<int8_t>(track);
    }
    const int instrument = static_cast<uint8_t>(app.currentInstrument);
    {
        StateGuard lock(app.stateLock);
        TakeInstrument(app.song, app.song.tracks[track].channel, instrument);
    }
    PreviewNoteOn(app, track, instrument, note, 0, kPreviewVelocity, 0);
    app.heldNotes[note] = kHeld;
}

// The held notes, lowest first, into the cell: the lowest as its note, the next
// three as chord commands of effects 1-3. An effect with no held note left for
// it keeps what it had.
//
// The chord is not sounded again: every held key is still sounding its own
// preview, and a second start would double the notes already ringing.
void ChordEntry(AppState& app) {
    PatternCell& cell = Changing(app, "Chord Entry", CursorCell(app));
    cell.instrument = static_cast<uint8_t>(app.currentInstrument);
    int lowest = -1, taken = 0;
    for (int note = 0; note < 128 && taken < 4; ++note) {
        if (app.heldNotes[note] == 0) continue;
        if (lowest < 0) {
            lowest = note;
            cell.note = static_cast<uint8_t>(note + 1);
        } else {
            CellCommand(cell, taken - 1) = kChordCommand;
            CellParameter(cell, taken - 1) = static_cast<uint8_t>(note - lowest);
        }
        ++taken;
    }
}

// Column 0 (and the keys no other branch took): returns whether anything was done.
bool NoteColumnKey(AppState& app, int key, bool repeat, KeyModifiers modifiers) {
    if (app.cursor.column != 0 || modifiers.ctrl) return false;
    const int i = NoteKeyIndex(app, key);
    if (i >= 0) {
        const int note = NoteNumber(app, i);
        if (!repeat) PreviewNote(app, key, note);
        if (!app.editMode) return !repeat;
        if (!modifiers.shift && !PlayerRunning(app)) {
            PatternCell& cell = Changing(app, "Note Entry", CursorCell(app));
            cell.note = static_cast<uint8_t>(note + 1);
            cell.instrument = static_cast<uint8_t>(app.currentInstrument);
            StepRow(app);
        } else if (!repeat) {
            ChordEntry(app);
        }
        app.cursor.column = 0;
        return true;
    }
    if (!app.editMode) return false;
    if (key == '1') {
        PatternCell& cell = Changing(app, "Note Off", CursorCell(app));
        cell.note = kNoteOff;
        cell.instrument = 0;
    } else if (key == vk::kDelete) {
        PatternCell& cell = Changing(app, "Delete", CursorCell(app));
        if (modifiers.shift)
            cell = PatternCell{};
        else
            cell.note = cell.instrument = 0;
    } else {
        return false;
    }
    StepRow(app);
    app.cursor.column = 0;
    return true;
}

bool IsCursorKey(int key) {
    switch (key) {
        case vk::kLeft: case vk::kRight: case vk::kUp: case vk::kDown: case vk::kPrior: case vk::kNext:
        case vk::kHome: case vk::kEnd: case vk::kTab: return true;
        default: return false;
    }
}

// The block keys: Shift with a cursor key extends the selection (a cursor key
// without Shift ends it), Ctrl+C, X, V and A, Ctrl(+Shift)+F1/F2, Delete on a
// selection. Returns whether the key was one of these.
bool BlockKey(AppState& app, int key, KeyModifiers modifiers) {
    if (IsCursorKey(key) && !modifiers.ctrl) {
        if (!modifiers.shift) {
            app.selection.active = false;
            return false;  // the plain move follows
        }
        const int row = std::clamp<int>(app.transport.row, 0, LastRow(app)), track = app.cursor.track;
        if (key == vk::kTab)
            ShiftKey(app, key);  // Shift+Tab keeps its move to the previous track
        else
            PlainKey(app, key);
        ExtendSelection(app, row, track);
        return true;
    }
    if (modifiers.ctrl) {
        const int octave = modifiers.shift ? 12 : 1;
        switch (key) {
            case 'C': CopyBlock(app, false); return true;
            case 'X': CopyBlock(app, true); return true;
            case 'V': PasteBlock(app); return true;
            case 'A': SelectAll(app); return true;
            case 'E': StartExport(app); return true;
            case vk::kF1: TransposeBlock(app, -octave); return true;
            case kF2: TransposeBlock(app, octave); return true;
            default: return false;
        }
    }
    int r0, r1, t0, t1;
    if (key == vk::kDelete && SelectionBounds(app, r0, r1, t0, t1)) {
        ClearBlock(app);
        return true;
    }
    return false;
}

bool PatternKey(AppState& app, int key, bool repeat, KeyModifiers modifiers) {
    KeepCursorInPattern(app);
    if constexpr (profile::kEverydayEditing)
        if (BlockKey(app, key, modifiers)) return true;
    if (!modifiers.ctrl && !modifiers.shift) {
        if (PlainKey(app, key)) return true;
        if (app.editMode && app.cursor.column >= 1 && app.cursor.column <= 2) {
            InstrumentEntry(app, key);
            return true;
        }
        if (app.editMode && app.cursor.column >= 3) {
            EffectEntry(app, key);
            return true;
        }
    } else if (!modifiers.ctrl) {
        if (ShiftKey(app, key)) return true;
    } else {
        if (!modifiers.shift && IsDigit(key)) {
            Changing(app, "Edit Step", app.song.editStep) = static_cast<uint8_t>(key - '0');
            app.cursor.column = 0;
            return true;
        }
        if constexpr (profile::kHistory) {
            // Undo and redo: Ctrl+Z, and Ctrl+Y or Ctrl+Shift+Z.
            if (key == 'Z' && !modifiers.shift) return Undo(app), true;
            if (key == 'Y' || (key == 'Z' && modifiers.shift)) return Redo(app), true;
        }
        return false;
    }
    return NoteColumnKey(app, key, repeat, modifiers);
}

}  // namespace

void KeyDown(AppState& app, int virtualKey, bool repeat, KeyModifiers modifiers) {
    // One key press, with its auto-repeats, is one step of the edit history.
    BeginStep(app, virtualKey, repeat);
    bool acted = false;
    if (app.textEditTarget != nullptr)
        acted = EditTextField(app, virtualKey, modifiers.shift);
    else if constexpr (profile::kKeyboardEditor)
        acted = PatternKey(app, virtualKey, repeat, modifiers);
    EndStep(app);
    if (acted) RequestRedraw(app);
}

void KeyUp(AppState& app, int virtualKey) {
    if constexpr (!profile::kKeyboardEditor) return;
    // SANITY: the release stops the note this key's press started, on the
    // track it started on, whatever the column and octave are now; working it
    // out again from the octave at release time left a voice sounding and a
    // phantom note in HeldNotes that every later chord wrote into its cell.
    if (virtualKey < 0 || virtualKey >= 256 || app.keyNotes[virtualKey] < 0) return;
    const int note = app.keyNotes[virtualKey];
    PreviewNoteOff(app, app.keyTracks[virtualKey], note);
    app.heldNotes[note] = 0;
    app.keyNotes[virtualKey] = -1;
    app.keyTracks[virtualKey] = -1;
    RequestRedraw(app);
}

void ReleaseHeldNotes(AppState& app) {
    if constexpr (!profile::kKeyboardEditor) return;
    for (int key = 0; key < 256; ++key)
        if (app.keyNotes[key] >= 0) KeyUp(app, key);
    std::memset(app.heldNotes, 0, sizeof app.heldNotes);
}

void KeepCursorOnPattern(AppState& app) { KeepCursorInPattern(app); }
PatternCell& CellUnderCursor(AppState& app) { return CursorCell(app); }
void StepCursorRow(AppState& app) { StepRow(app); }
void EnterHeldChord(AppState& app) { ChordEntry(app); }

void OpenTextField(AppState& app, char* target, int x, int y, int size) {
    // SANITY: a field with no buffer or no room for its terminator is not opened.
    if (target == nullptr || size < 1) {
        CloseTextField(app);
        return;
    }
    app.textEditTarget = target;
    app.textEdit.x = x;
    app.textEdit.y = y;
    app.textEdit.size = size;
    app.textEdit.caret = std::clamp((app.mouseX - x) / 7, 0, size - 1);  // 7 pixels a character
    std::memcpy(app.textEditBefore, target, std::min<std::size_t>(static_cast<std::size_t>(size), sizeof app.textEditBefore));
    RequestRedraw(app);
}

void CloseTextField(AppState& app) {
    char* target = app.textEditTarget;
    const auto size = static_cast<std::size_t>(app.textEdit.size);
    app.textEditTarget = nullptr;
    // A closed field is one step of the edit history, whatever was typed in it.
    if (target && size <= sizeof app.textEditBefore && std::memcmp(target, app.textEditBefore, size) != 0)
        RecordChange(app, NameFieldTitle(app, target), target, size, reinterpret_cast<uint8_t*>(app.textEditBefore));
    RequestRedraw(app);
}

}  // namespace zelmora
