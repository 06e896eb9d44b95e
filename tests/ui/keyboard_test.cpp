// The pattern editor's keys, the same notes from a MIDI keyboard, and the text
// field, driven through the handlers.
#include "ui/keyboard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include "app/profile.h"
#include "engine/engine_fixture.h"
#include "ui/midi_notes.h"
#include "ui/ui_input.h"

namespace zelmora {
namespace {

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

bool NoneHeld(const AppState& app) {
    return std::count(std::begin(app.heldNotes), std::end(app.heldNotes), 0) == 128;
}

// A state whose instrument 1 plays a looping note.
std::unique_ptr<AppState> MakeEditorApp() {
    auto app = MakeEngineApp();
    AddSample(*app, 1, 0, 4410, 1, [](int, int) { return 0.5; }, 1, 0, 4410);
    return app;
}

struct EditorTest : ::testing::Test {
    void SetUp() override {
        if constexpr (!profile::kKeyboardEditor) GTEST_SKIP() << "the earlier build edits text fields only";
        app = MakeEditorApp();
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
        EXPECT_EQ(std::make_tuple(app->cursor.track, app->cursor.column, app->transport.row),
                  std::make_tuple(c.wantTrack, c.wantColumn, c.wantRow))
            << "key " << c.key << " from " << c.track << "," << c.column << "," << c.row;
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
        EXPECT_TRUE(NoneHeld(*app)) << "released";
    }
}

TEST_F(EditorTest, PlainEntryRepeatsButSoundsOnce) {
    app->editMode = 1;
    app->song.editStep = 2;
    Press(*app, 'Z');
    KeyDown(*app, 'Z', true, kNone);  // auto-repeat
    EXPECT_EQ(Bytes(CellAt(*app, 2)), Bytes(Cell(49, 1)));
    EXPECT_EQ(std::make_tuple(app->transport.row, BusyVoiceCount(*app)), std::make_tuple(4, 1));
    EXPECT_EQ(app->song.tracks[0].channel.instrument, 1);

    // Released after the cursor and the octave moved: the note its press
    // started stops, and no phantom note stays for later chords.
    Press(*app, vk::kRight);
    Press(*app, vk::kF1 + 1);
    KeyUp(*app, 'Z');
    EXPECT_EQ(app->voices[0].envelopeStage, kStageRelease);
    EXPECT_TRUE(NoneHeld(*app));
    app->cursor.column = 0;
    Press(*app, vk::kF1);
    // Keys held while the window loses the keyboard never see their release.
    app->editMode = 0;
    for (int key : {'X', 'C'}) Press(*app, key);
    ReleaseHeldNotes(*app);
    EXPECT_TRUE(NoneHeld(*app));
    EXPECT_EQ(std::make_tuple(app->voices[1].envelopeStage, app->voices[2].envelopeStage),
              std::make_tuple(kStageRelease, kStageRelease));
    app->editMode = 1;

    Press(*app, '0', kCtrl);  // step 0: every entry stays on its row
    for (int key : {int{'X'}, int{'1'}, vk::kDelete}) Press(*app, key);
    EXPECT_EQ(app->transport.row, 4);
    app->editMode = 0;  // preview only
    Press(*app, 'Q');
    EXPECT_EQ(std::make_tuple(CellAt(*app, 4).note, app->heldNotes[60]), std::make_tuple(0, 127));
}

TEST_F(EditorTest, ChordEntryWritesHeldNotesAboveTheLowest) {
    app->editMode = 1;
    CellAt(*app, 0) = Cell(0, 0, 0, 0, 0, 0, 5, 0x20);
    for (int key : {'B', 'Z', 'C'}) Press(*app, key, kShift);  // G, C, E
    EXPECT_EQ(Bytes(CellAt(*app, 0)), Bytes(Cell(49, 1, 192, 4, 192, 7, 5, 0x20)));  // slot 3 kept
    EXPECT_EQ(std::make_tuple(app->transport.row, BusyVoiceCount(*app)), std::make_tuple(0, 3));  // one each

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

TEST_F(EditorTest, FunctionKeysEditTracksOverAll256RowsAndPlay) {
    const uint8_t notes[] = {0, 1, 49, 128, 129}, down[] = {0, 1, 48, 127, 129}, up[] = {0, 3, 50, 128, 129};
    for (int i = 0; i < 5; ++i) CellAt(*app, 200 + i, 2).note = notes[i];
    app->cursor = {2, 4};
    Press(*app, vk::kF1, kShift);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(CellAt(*app, 200 + i, 2).note, down[i]);
    for (int k = 0; k < 2; ++k) Press(*app, vk::kF1 + 1, kShift);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(CellAt(*app, 200 + i, 2).note, up[i]);

    Press(*app, vk::kF1 + 2, kShift);  // cut
    EXPECT_STREQ(app->statusLine, "Copied To Track Buffer.");
    EXPECT_EQ(std::make_tuple(CellAt(*app, 203, 2).note, app->cursor.column), std::make_tuple(0, 0));
    app->cursor.track = 3;
    Press(*app, vk::kF1 + 4, kShift);
    EXPECT_STREQ(app->statusLine, "Pasted From Track Buffer.");
    EXPECT_EQ(CellAt(*app, 203, 3).note, 128);

    app->NewSong();
    CellAt(*app, 100, 0).note = 49;
    Press(*app, vk::kF1 + 4, kShift);
    EXPECT_EQ(CellAt(*app, 100, 0).note, 0);

    // Without Shift they play: again while running, from the pattern's top.
    app->transport.row = 17;
    Press(*app, vk::kF1 + 4);  // stopped: plays on from the row
    EXPECT_EQ(app->transport.row, 17);
    Press(*app, vk::kF1 + 3);  // running: the pattern from its top
    EXPECT_EQ(std::make_tuple(app->transport.playMode, app->transport.row), std::make_tuple(kPlayPattern, 0));
}

// A state for the MIDI runs: the cursor on track 1, row 2.
std::unique_ptr<AppState> MakeTwin(bool edit, bool playing, int editStep) {
    auto app = MakeEditorApp();
    app->editMode = edit ? 1 : 0;
    app->song.editStep = static_cast<uint8_t>(editStep);
    app->transport.playMode = playing ? kPlaySong : kStopped;
    app->cursor = {1, 0};
    app->transport.row = 2;
    return app;
}

// The same notes, pressed and released on the keys and arriving as MIDI
// messages, leave the same cells, cursor, held notes and sounding voices behind.
TEST(MidiNotes, EnterAndPlayAsTheNoteKeysDo) {
    if constexpr (!profile::kKeyboardEditor) GTEST_SKIP() << "the earlier build has no note keys";
    // Notes 48, 52, 55 and 60 (the keys Z C B Q at octave 4), pressed (true) or released.
    const std::pair<int, bool> chord[] = {{48, true},  {52, true},  {55, true}, {52, false},
                                          {48, false}, {55, false}, {60, true}};
    const auto keyOf = [](int note) { return note == 48 ? 'Z' : note == 52 ? 'C' : note == 55 ? 'B' : 'Q'; };
    struct Case {
        bool edit, shift, playing;
        int editStep;
    } cases[] = {{false, false, false, 1}, {true, false, false, 1}, {true, false, false, 3},
                 {true, true, false, 1},   {true, false, true, 1},  {true, false, false, 0}};
    for (const Case& c : cases) {
        auto keys = MakeTwin(c.edit, c.playing, c.editStep), midi = MakeTwin(c.edit, c.playing, c.editStep);
        bool offByZeroVelocity = false;
        for (const auto& [note, down] : chord) {
            if (down)
                Press(*keys, keyOf(note), {c.shift, false});
            else
                KeyUp(*keys, keyOf(note));
            // Note-offs alternate between 0x80 and a note-on of velocity 0.
            offByZeroVelocity = !offByZeroVelocity;
            const uint8_t status = down || offByZeroVelocity ? 0x93 : 0x83;
            QueueMidiMessage(status, static_cast<uint8_t>(note), down ? 127 : 0);
            TakeMidiMessages(*midi, c.shift);
        }
        SCOPED_TRACE(::testing::Message() << "edit " << c.edit << " shift " << c.shift << " playing " << c.playing
                                          << " step " << c.editStep);
        EXPECT_EQ(std::memcmp(&keys->song.patterns[0], &midi->song.patterns[0], sizeof(Pattern)), 0);
        EXPECT_EQ(std::make_pair(midi->transport.row, midi->cursor.column),
                  std::make_pair(keys->transport.row, keys->cursor.column));
        EXPECT_EQ(std::memcmp(keys->heldNotes, midi->heldNotes, sizeof keys->heldNotes), 0);
        for (int v = 0; v < kVoiceCount; ++v)
            EXPECT_EQ(std::make_pair(midi->voices[v].envelopeStage, midi->voices[v].note),
                      std::make_pair(keys->voices[v].envelopeStage, keys->voices[v].note)) << "voice " << v;
    }
}

// The sound, not only the voice: a third of full velocity is a third of the
// level (the sample is a constant 0.5, so every frame shows it); the cell
// holds the note alone.
TEST(MidiNotes, VelocityScalesOnlyThePreview) {
    if constexpr (profile::kLinearVoices) GTEST_SKIP() << "the earlier build's voices have no velocity gain";
    double level[2] = {};
    for (int soft = 0; soft < 2; ++soft) {
        auto midi = MakeTwin(true, false, 1);
        QueueMidiMessage(0x90, 127, soft ? 42 : 126);  // the top MIDI note
        TakeMidiMessages(*midi, false);
        EXPECT_EQ(midi->heldNotes[127], 127);
        EXPECT_EQ(midi->song.patterns[0].cells[2][1].note, 128);
        for (int i = 0; i < 64; ++i) RenderBuffer(*midi);  // past the attack
        level[soft] = std::fabs(midi->mixLeft[255]) + std::fabs(midi->mixRight[255]);
    }
    ASSERT_GT(level[0], 0.0);
    EXPECT_NEAR(level[1] / level[0], 42.0 / 126.0, 1e-9);
}

// A flood from a device: what does not fit is dropped, the rest arrives in
// order, and the queue works on afterwards; other messages and bad data bytes
// never enter.
TEST(MidiNotes, QueueBoundsAndFilters) {
    ClearMidiQueue();
    auto midi = MakeTwin(false, false, 1);
    EXPECT_FALSE(QueueMidiMessage(0xB0, 7, 100));  // a controller
    EXPECT_FALSE(QueueMidiMessage(0x90, 200, 100));  // no such note
    for (int i = 0; i < kMidiQueueSize + 40; ++i) {
        const bool wake = QueueMidiMessage(0x90, static_cast<uint8_t>(i % 128), 100);
        EXPECT_EQ(wake, i == 0) << "only the first note wakes the main thread";
    }
    EXPECT_TRUE(TakeMidiMessages(*midi, false));
    for (int n = 0; n < 128; ++n) EXPECT_EQ(midi->heldNotes[n], 127) << n;
    EXPECT_FALSE(TakeMidiMessages(*midi, false));  // the rest was dropped, not kept
    EXPECT_TRUE(QueueMidiMessage(0x80, 5, 0));
    EXPECT_TRUE(TakeMidiMessages(*midi, false));
    EXPECT_EQ(midi->heldNotes[5], 0);
}

TEST(EarlierBuild, KeysOnlyEditTheTextField) {
    if constexpr (profile::kKeyboardEditor) GTEST_SKIP() << "the full build has the pattern editor";
    auto app = MakeTestApp();
    app->editMode = 1;
    for (int key : {int{'Z'}, vk::kDown, vk::kF1, vk::kF1 + 4}) Press(*app, key);
    EXPECT_EQ(std::make_tuple(CellAt(*app, 0).note, app->transport.row), std::make_tuple(0, 0));
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
