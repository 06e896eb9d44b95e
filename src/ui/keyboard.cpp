#include "ui/keyboard.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "app/app_state.h"
#include "app/profile.h"
#include "app/status_line.h"
#include "engine/sequencer.h"
#include "engine/transport.h"

namespace zelmora {

namespace {

constexpr int kLastColumn = 11;
constexpr int kHighestOctave = 8;
constexpr int kNoteKeyCount = 29;
constexpr int kLayoutCount = 3;
constexpr uint8_t kChordCommand = 192;
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

Pattern& CurrentPattern(AppState& app) { return app.song.patterns[app.song.orders[app.song.orderPosition]]; }

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
        if (note >= 1 && note <= 128) note = static_cast<uint8_t>(std::clamp(note + semitones, 1, 128));
    }
}

void CopyTrack(AppState& app, bool clear) {
    Pattern& pattern = CurrentPattern(app);
    for (int row = 0; row < kMaxRows; ++row) {
        PatternCell& cell = pattern.cells[row][app.cursor.track];
        app.trackBuffer[row] = cell;
        if (clear) cell = PatternCell{};
    }
    SetStatus(app, "Copied To Track Buffer.");
    app.cursor.column = 0;
}

void PasteTrack(AppState& app) {
    Pattern& pattern = CurrentPattern(app);
    for (int row = 0; row < kMaxRows; ++row) pattern.cells[row][app.cursor.track] = app.trackBuffer[row];
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
    uint8_t& instrument = CursorCell(app).instrument;
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
    PatternCell& cell = CursorCell(app);
    const int slot = (app.cursor.column - 3) / 3, role = (app.cursor.column - 3) % 3;
    uint8_t* commands[3] = {&cell.command1, &cell.command2, &cell.command3};
    uint8_t* parameters[3] = {&cell.parameter1, &cell.parameter2, &cell.parameter3};
    uint8_t& command = *commands[slot];
    uint8_t& parameter = *parameters[slot];
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

void PreviewNote(AppState& app, int note) {
    const int track = app.cursor.track;
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
    PatternCell& cell = CursorCell(app);
    cell.instrument = static_cast<uint8_t>(app.currentInstrument);
    uint8_t* commands[3] = {&cell.command1, &cell.command2, &cell.command3};
    uint8_t* parameters[3] = {&cell.parameter1, &cell.parameter2, &cell.parameter3};
    int lowest = -1, taken = 0;
    for (int note = 0; note < 128 && taken < 4; ++note) {
        if (app.heldNotes[note] == 0) continue;
        if (lowest < 0) {
            lowest = note;
            cell.note = static_cast<uint8_t>(note + 1);
        } else {
            *commands[taken - 1] = kChordCommand;
            *parameters[taken - 1] = static_cast<uint8_t>(note - lowest);
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
        if (!repeat) PreviewNote(app, note);
        if (!app.editMode) return !repeat;
        if (!modifiers.shift && !PlayerRunning(app)) {
            PatternCell& cell = CursorCell(app);
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
        PatternCell& cell = CursorCell(app);
        cell.note = kNoteOff;
        cell.instrument = 0;
    } else if (key == vk::kDelete) {
        PatternCell& cell = CursorCell(app);
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

bool PatternKey(AppState& app, int key, bool repeat, KeyModifiers modifiers) {
    KeepCursorInPattern(app);
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
            app.song.editStep = static_cast<uint8_t>(key - '0');
            app.cursor.column = 0;
            return true;
        }
        return false;
    }
    return NoteColumnKey(app, key, repeat, modifiers);
}

}  // namespace

void KeyDown(AppState& app, int virtualKey, bool repeat, KeyModifiers modifiers) {
    bool acted = false;
    if (app.textEditTarget != nullptr)
        acted = EditTextField(app, virtualKey, modifiers.shift);
    else if constexpr (profile::kKeyboardEditor)
        acted = PatternKey(app, virtualKey, repeat, modifiers);
    if (acted) RequestRedraw(app);
}

void KeyUp(AppState& app, int virtualKey) {
    if constexpr (!profile::kKeyboardEditor) return;
    if (app.cursor.column != 0) return;
    const int i = NoteKeyIndex(app, virtualKey);
    if (i < 0) return;
    const int note = NoteNumber(app, i);  // the octave at release time
    PreviewNoteOff(app, app.cursor.track, note);
    app.heldNotes[note] = 0;
    RequestRedraw(app);
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
    RequestRedraw(app);
}

void CloseTextField(AppState& app) {
    app.textEditTarget = nullptr;
    RequestRedraw(app);
}

}  // namespace zelmora
