// The pattern editor's keys and the text field, driven through the handlers.
#include "ui/keyboard.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/profile.h"
#include "engine/engine_fixture.h"

namespace zelmora {
namespace {

constexpr KeyModifiers kNone{}, kShift{true, false}, kCtrl{false, true};

// A cell from its bytes in order: note, instrument, command and parameter pairs.
PatternCell Cell(int n = 0, int i = 0, int c1 = 0, int p1 = 0, int c2 = 0, int p2 = 0, int c3 = 0, int p3 = 0) {
    auto b = [](int v) { return static_cast<uint8_t>(v); };
    return RawCell({b(n), b(i), b(c1), b(p1), b(c2), b(p2), b(c3), b(p3)});
}

// The same eight bytes as hex text, for readable failures.
std::string Bytes(const PatternCell& c) {
    char text[32];
    const uint8_t* b = CellBytes(c);
    std::snprintf(text, sizeof text, "%02x %02x %02x%02x %02x%02x %02x%02x", b[0], b[1], b[2], b[3], b[4],
                  b[5], b[6], b[7]);
    return text;
}

PatternCell& CellAt(AppState& app, int row, int track = 0) { return app.song.patterns[0].cells[row][track]; }

void Press(AppState& app, int key, KeyModifiers mods = kNone, bool repeat = false) {
    KeyDown(app, key, repeat, mods);
}

struct EditorTest : ::testing::Test {
    void SetUp() override {
        if constexpr (!profile::kKeyboardEditor) GTEST_SKIP() << "the earlier build edits text fields only";
        app = MakeEngineApp();
        AddSample(*app, 1, 0, 4410, 1, [](int, int) { return 0.5; }, 1, 0, 4410);  // a looping note
    }
    std::unique_ptr<AppState> app;
};

TEST_F(EditorTest, CursorStaysInsideThePattern) {  // 4 tracks, 64 rows, 4 rows a beat
    struct Case {
        int track, column, row, key;
        KeyModifiers mods;
        int wantTrack, wantColumn, wantRow;
    } cases[] = {
        {0, 0, 5, vk::kLeft, kNone, 0, 0, 5},    {1, 0, 5, vk::kLeft, kNone, 0, 11, 5},
        {3, 11, 5, vk::kRight, kNone, 3, 11, 5}, {0, 11, 5, vk::kRight, kNone, 1, 0, 5},
        {3, 7, 5, vk::kTab, kNone, 3, 0, 5},     {0, 7, 5, vk::kTab, kShift, 0, 0, 5},
        {0, 0, 0, vk::kUp, kNone, 0, 0, 0},      {0, 0, 63, vk::kDown, kNone, 0, 0, 63},
        {0, 0, 10, vk::kPrior, kNone, 0, 0, 0},  {0, 0, 20, vk::kNext, kNone, 0, 0, 36},
        {0, 0, 60, vk::kNext, kNone, 0, 0, 63},  {0, 0, 20, vk::kEnd, kNone, 0, 0, 63},
        {9, 30, 200, vk::kDown, kNone, 3, 11, 63},  // a cursor left outside the song comes back
    };
    for (const Case& c : cases) {
        app->cursor = {c.track, c.column};
        app->transport.row = c.row;
        Press(*app, c.key, c.mods);
        EXPECT_EQ(app->cursor.track, c.wantTrack) << "key " << c.key << " from track " << c.track;
        EXPECT_EQ(app->cursor.column, c.wantColumn) << "key " << c.key << " from column " << c.column;
        EXPECT_EQ(app->transport.row, c.wantRow) << "key " << c.key << " from row " << c.row;
    }
}

TEST_F(EditorTest, NoteKeysOfEachLayout) {
    struct Case {
        int layout, octave, key, wantNote;  // the stored byte, 0 for a key that plays nothing
    } cases[] = {
        {0, 4, 'Z', 49}, {0, 8, 'P', 125}, {0, 0, '2', 14},  {0, 4, 'A', 0},  {0, 4, vk::kOemComma, 0},
        {1, 4, 'W', 49}, {1, 4, vk::kOemComma, 60}, {1, 4, 'A', 61}, {1, 4, 'Z', 63}, {1, 4, 'Q', 0},
        {2, 4, 'Y', 49}, {2, 4, 'Z', 70},  {7, 4, 'Z', 49},  // a damaged layout byte reads as 0
    };
    app->editMode = 1;
    for (const Case& c : cases) {
        app->settings.keyboardLayout = static_cast<uint8_t>(c.layout);
        app->keyboardOctave = c.octave;
        app->transport.row = 0;
        CellAt(*app, 0).note = 0;
        Press(*app, c.key);
        EXPECT_EQ(CellAt(*app, 0).note, c.wantNote) << "layout " << c.layout << " key " << c.key;
        KeyUp(*app, c.key);
        EXPECT_EQ(std::count(std::begin(app->heldNotes), std::end(app->heldNotes), 0), 128) << "released";
    }
}

TEST_F(EditorTest, PlainEntryRepeatsButSoundsOnce) {
    app->editMode = 1;
    app->song.editStep = 2;
    Press(*app, 'Z');
    Press(*app, 'Z', kNone, true);  // auto-repeat
    EXPECT_EQ(Bytes(CellAt(*app, 2)), Bytes(Cell(49, 1)));
    EXPECT_EQ(app->transport.row, 4);
    EXPECT_EQ(BusyVoiceCount(*app), 1);
    EXPECT_EQ(app->song.tracks[0].channel.instrument, 1);

    // Released after the cursor and the octave moved: the note its press
    // started stops, and no phantom note stays for later chords.
    Press(*app, vk::kRight);
    Press(*app, vk::kF1 + 1);
    KeyUp(*app, 'Z');
    EXPECT_EQ(app->voices[0].envelopeStage, kStageRelease);
    EXPECT_EQ(std::count(std::begin(app->heldNotes), std::end(app->heldNotes), 0), 128);
    app->cursor.column = 0;
    Press(*app, vk::kF1);
    // Keys held while the window loses the keyboard never see their release.
    app->editMode = 0;
    Press(*app, 'X');
    Press(*app, 'C');
    ReleaseHeldNotes(*app);
    EXPECT_EQ(std::count(std::begin(app->heldNotes), std::end(app->heldNotes), 0), 128);
    EXPECT_EQ(app->voices[1].envelopeStage, kStageRelease);
    EXPECT_EQ(app->voices[2].envelopeStage, kStageRelease);
    app->editMode = 1;

    Press(*app, '0', kCtrl);  // step 0: every entry stays on its row
    for (int key : {int{'X'}, int{'1'}, vk::kDelete}) Press(*app, key);
    EXPECT_EQ(app->transport.row, 4);
    app->editMode = 0;  // preview only
    Press(*app, 'Q');
    EXPECT_EQ(CellAt(*app, 4).note, 0);
    EXPECT_EQ(app->heldNotes[60], 127);
}

TEST_F(EditorTest, ChordEntryWritesHeldNotesAboveTheLowest) {
    app->editMode = 1;
    CellAt(*app, 0) = Cell(0, 0, 0, 0, 0, 0, 5, 0x20);
    for (int key : {'B', 'Z', 'C'}) Press(*app, key, kShift);  // G, C, E
    EXPECT_EQ(Bytes(CellAt(*app, 0)), Bytes(Cell(49, 1, 192, 4, 192, 7, 5, 0x20)));  // slot 3 kept
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_EQ(BusyVoiceCount(*app), 3);  // each key sounded once

    for (int key : {'B', 'Z', 'C'}) KeyUp(*app, key);
    app->transport.playMode = kPlaySong;  // a running player takes chords without Shift
    for (int key : {'Z', 'S', 'X', 'D', 'C'}) Press(*app, key);
    EXPECT_EQ(Bytes(CellAt(*app, 0)), Bytes(Cell(49, 1, 192, 1, 192, 2, 192, 3)));  // the fifth is left out
}

TEST_F(EditorTest, CellColumnEntry) {
    struct Case {
        int column, key;
        KeyModifiers mods;
        PatternCell before;
        PatternCell after;
    } cases[] = {
        {0, '1', kShift, Cell(49, 3, 1, 2, 3, 4, 5, 6), Cell(129, 0, 1, 2, 3, 4, 5, 6)},
        {0, vk::kDelete, kNone, Cell(49, 3, 1, 2, 3, 4, 5, 6), Cell(0, 0, 1, 2, 3, 4, 5, 6)},
        {0, vk::kDelete, kShift, Cell(49, 3, 1, 2, 3, 4, 5, 6), Cell()},
        {1, 'A', kNone, Cell(0, 0x13), Cell(0, 0xA3)},
        {2, 'G', kNone, Cell(0, 0x13), Cell(0, 0x13)},
        {2, vk::kDelete, kNone, Cell(0, 0x13), Cell()},
        {6, 'Z', kNone, Cell(), Cell(0, 0, 0, 0, 35)},
        {10, 'F', kNone, Cell(0, 0, 0, 0, 0, 0, 1, 0x12), Cell(0, 0, 0, 0, 0, 0, 1, 0xF2)},
        {5, vk::kDelete, kNone, Cell(0, 0, 7, 0x12), Cell(0, 0, 7, 0)},
    };
    app->editMode = 1;
    for (const Case& c : cases) {
        app->cursor = {0, c.column};
        app->transport.row = 8;
        CellAt(*app, 8) = c.before;
        Press(*app, c.key, c.mods);
        EXPECT_EQ(Bytes(CellAt(*app, 8)), Bytes(c.after)) << "column " << c.column << " key " << c.key;
        EXPECT_EQ(app->transport.row, 9);  // every entry moves on, changed or not
    }

    // The player passes the last row for a moment: the entry stays inside the pattern.
    app->song.patterns[0].lastRow = 255;
    app->transport.playMode = kPlaySong;
    app->transport.row = 256;
    app->cursor = {0, 3};
    Press(*app, '5');
    EXPECT_EQ(CellCommand(CellAt(*app, 255), 0), 5);
}

TEST_F(EditorTest, TrackKeysCoverAll256Rows) {
    const uint8_t notes[] = {0, 1, 49, 128, 129}, down[] = {0, 1, 48, 127, 129}, up[] = {0, 3, 50, 128, 129};
    for (int i = 0; i < 5; ++i) CellAt(*app, 200 + i, 2).note = notes[i];
    app->cursor = {2, 4};
    Press(*app, vk::kF1, kShift);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(CellAt(*app, 200 + i, 2).note, down[i]);
    for (int k = 0; k < 2; ++k) Press(*app, vk::kF1 + 1, kShift);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(CellAt(*app, 200 + i, 2).note, up[i]);

    Press(*app, vk::kF1 + 2, kShift);  // cut
    EXPECT_STREQ(app->statusLine, "Copied To Track Buffer.");
    EXPECT_EQ(CellAt(*app, 203, 2).note, 0);
    EXPECT_EQ(app->cursor.column, 0);
    app->cursor.track = 3;
    Press(*app, vk::kF1 + 4, kShift);
    EXPECT_STREQ(app->statusLine, "Pasted From Track Buffer.");
    EXPECT_EQ(CellAt(*app, 203, 3).note, 128);

    app->NewSong();
    CellAt(*app, 100, 0).note = 49;
    Press(*app, vk::kF1 + 4, kShift);
    EXPECT_EQ(CellAt(*app, 100, 0).note, 0);
}

TEST_F(EditorTest, PlayingAgainStartsFromTheTop) {
    app->transport.row = 17;
    Press(*app, vk::kF1 + 4);  // stopped: plays on from the row
    EXPECT_EQ(app->transport.row, 17);
    Press(*app, vk::kF1 + 3);  // running: the pattern from its top
    EXPECT_EQ(app->transport.playMode, kPlayPattern);
    EXPECT_EQ(app->transport.row, 0);
}

TEST(EarlierBuild, KeysOnlyEditTheTextField) {
    if constexpr (profile::kKeyboardEditor) GTEST_SKIP() << "the full build has the pattern editor";
    auto app = MakeTestApp();
    app->editMode = 1;
    for (int key : {int{'Z'}, vk::kDown, vk::kF1, vk::kF1 + 4}) Press(*app, key);
    EXPECT_EQ(app->song.patterns[0].cells[0][0].note, 0);
    EXPECT_EQ(app->transport.row, 0);
    EXPECT_STREQ(app->statusLine, profile::kReadyStatus);  // no octave or transport message
}

// Types keys into a fresh field: letters and digits as themselves, '+' Shift on
// the next key, '<' '>' Left and Right, '#' Delete, '~' Backspace, '.' the period.
std::string Edit(AppState& app, const char* start, int size, int mouseX, const char* keys) {
    char buffer[40] = {};
    std::strcpy(buffer, start);
    app.mouseX = mouseX;
    OpenTextField(app, buffer, 100, 50, size);
    for (const char* k = keys; *k; ++k) {
        const bool shift = *k == '+' && *++k;
        const int key = *k == '<' ? vk::kLeft : *k == '>' ? vk::kRight : *k == '#' ? vk::kDelete
                      : *k == '~' ? vk::kBack : *k == ' ' ? vk::kSpace : *k == '.' ? vk::kOemPeriod : *k;
        KeyDown(app, key, false, {shift, false});
    }
    EXPECT_EQ(buffer[size - 1], 0);
    return std::string(buffer) + "|" + std::to_string(app.textEdit.caret);
}

TEST(TextField, LineEditing) {
    auto app = MakeTestApp();
    struct Case {
        const char* start;
        int size, mouseX;
        const char* keys;
        const char* want;  // text|caret
    } cases[] = {
        {"", 8, 100, "AB+C1+1+0 .+.", "abC1!  |7"},  // the last two do not fit
        {"", 32, 100, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", "abcdefghijklmnopqrstuvwxyz01234|31"},
        {"", 32, 100, ">>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>", "|31"},
        {"abcdef", 8, 100 + 2 * 7 + 3, "#", "abdef|2"},
        {"abcdef", 8, 100 + 2 * 7, "~~~", "cdef|0"},
        {"abcdefg", 8, 100 + 6 * 7, "#", "abcdef|6"},
        {"abcdef", 8, 50, "X", "xbcdef|1"},     // left of the field: the first character
        {"ab", 8, 100 + 5 * 7, "X", "ab   x|6"},  // past the text: the gap becomes spaces
    };
    for (const Case& c : cases) EXPECT_EQ(Edit(*app, c.start, c.size, c.mouseX, c.keys), c.want) << c.keys;

    char name[8] = "abc";
    app->mouseX = 0;
    OpenTextField(*app, name, 0, 0, 8);
    app->redrawRequest = 0;
    KeyDown(*app, vk::kF1, false, kNone);  // ignored, no redraw
    EXPECT_EQ(app->redrawRequest.load(), 0);
    KeyDown(*app, 'Z', false, kNone);  // typed, not played
    KeyDown(*app, vk::kReturn, false, kNone);
    EXPECT_EQ(app->textEditTarget, nullptr);
    EXPECT_EQ(app->heldNotes[48], 0);
    EXPECT_STREQ(name, "zbc");
}

}  // namespace
}  // namespace zelmora
