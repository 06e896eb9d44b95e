// The edit history, driven through the keyboard, mouse and browser handlers as
// a musician drives them: whatever the edits, undoing them all gives back the
// song byte for byte, and redoing them all gives the edited song.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/autosave.h"
#include "app/history.h"
#include "app/profile.h"
#include "formats/importers.h"
#include "support/test_support.h"
#include "support/writers_media.h"
#include "ui/browser.h"
#include "ui/page_controls.h"
#include "ui/ui_input.h"

namespace zelmora {
namespace {

// The song as the module writer writes it, and what it leaves out: the levels
// (faders, master volume, equaliser) and the records of instruments and
// slots without a sample. The order position is the cursor's (undo moves it to each step's
// place), so it is left out.
std::vector<uint8_t> Written(AppState& app) {
    const uint8_t position = app.song.orderPosition;
    app.song.orderPosition = 0;
    std::vector<uint8_t> bytes = EncodeModule(app.song);
    app.song.orderPosition = position;
    for (const TrackSettings& t : app.song.tracks) bytes.push_back(t.mixerVolume);
    bytes.push_back(app.song.masterVolume);
    bytes.push_back(app.song.eqOn);
    for (int8_t gain : app.song.eqGains) bytes.push_back(static_cast<uint8_t>(gain));
    // Whole instrument records: the slots' audio pointers come back with them.
    const auto* records = reinterpret_cast<const uint8_t*>(app.song.instruments);
    bytes.insert(bytes.end(), records, records + sizeof app.song.instruments);
    return bytes;
}

// Every kind of edit a musician makes, one chosen at random per call.
struct EditGenerator {
    std::mt19937 random;
    std::string folder;  // holds the samples and banks to load

    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    void operator()(AppState& app) {
        app.editMode = 1;
        static constexpr int kNoteKeys[] = {'Z', 'S', 'X', 'Q', 'W', '2', 'P'};
        static constexpr int kHexKeys[] = {'0', '5', '9', 'A', 'C', 'F', 'G', 'T'};
        switch (Pick(26)) {
            case 0: case 1:  // move about: arrows, tab, rows (no step)
                Key(app, std::array{vk::kLeft, vk::kRight, vk::kUp, vk::kDown, vk::kTab, vk::kNext}[Pick(6)]);
                break;
            case 2: case 3: {  // a note, auto-repeated now and then
                app.cursor.column = 0;
                const int key = kNoteKeys[Pick(7)];
                Press(app, key);
                for (int n = Pick(3); n > 0; --n) KeyDown(app, key, true, {});
                KeyUp(app, key);
                break;
            }
            case 4:  // a chord with Shift
                app.cursor.column = 0;
                Press(app, 'Z', kShift);
                Key(app, 'C', kShift);
                KeyUp(app, 'Z');
                break;
            case 5:  // note off, delete, clear
                app.cursor.column = 0;
                Key(app, std::array{int{'1'}, vk::kDelete, vk::kDelete}[Pick(3)], {Pick(2) == 0, false});
                break;
            case 6: case 7:  // instrument and effect digits
                app.cursor.column = 1 + Pick(11);
                Key(app, kHexKeys[Pick(8)]);
                break;
            case 8:  // transpose, cut, copy, paste the track
                Key(app, vk::kF1 + Pick(5), kShift);
                break;
            case 9:  // the edit step
                Key(app, '0' + Pick(4), kCtrl);
                break;
            case 10:  // the playlist arrows: position, pattern, length, restart
                Click(app, 92 + 16 * Pick(2), 20 + 16 * Pick(4));
                break;
            case 11:  // insert, delete, fill, the small arrows
                Click(app, std::array{160, 160, 160, 176}[Pick(4)], std::array{120, 148, 164, 136}[Pick(4)]);
                break;
            case 12:  // a drag on a playlist or sequencer field
                DragBy(app, Pick(2) ? 75 : 60, Pick(2) ? 20 + 16 * Pick(4) : 212 + 16 * Pick(4),
                       Pick(41) - 20);
                break;
            case 13:  // the sequencer arrows, one press or held
                MouseDown(app, 92 + 16 * Pick(2), 212 + 16 * Pick(4), 0, false);
                for (int n = Pick(24); n > 0; --n) PerformControlAction(app, app.pressedControl);
                MouseUp(app, 92, 212, 0);
                break;
            case 14:  // an order row's digits and the position
                Click(app, std::array{30, 52, 62}[Pick(3)], 86 + 12 * Pick(9), Pick(2));
                break;
            case 15:  // the Master page: the switch and a fader
                Click(app, 440, 104);
                if (Pick(3) == 0)
                    Click(app, 860, 6);
                else
                    DragBy(app, 537 + 21 * Pick(15), 60 - app.song.eqGains[0], Pick(31) - 15);
                Click(app, 440, 40);
                break;
            case 16:  // the song's or an instrument's name
                Click(app, 440, 40);
                if (Pick(2))
                    Click(app, 566, 262);
                else
                    Click(app, 230, 20 + 12 * Pick(4), 0, true);
                Key(app, vk::kDelete);
                Key(app, 'A' + Pick(26), {Pick(2) == 0, false});
                Key(app, vk::kReturn);
                break;
            case 17: case 18: {  // a sample or a bank into the current instrument
                app.currentInstrument = 1 + Pick(3);
                app.currentSample = Pick(2);
                const char* file = Pick(3) == 0 ? "bank.sf2" : "tone.wav";
                SetBrowserFolder(app, folder);
                ListFolder(app);
                for (int i = 0; i < app.browserCount; ++i)
                    if (std::string(app.browserList[static_cast<std::size_t>(i)].name) == file)
                        Click(app, 600, 40 + 12 * i, 0, true);
                break;
            }
            case 19: case 20: {  // a block: selected by keys or by a drag, then cut, pasted, cleared, transposed
                if (Pick(2)) {
                    for (int n = 1 + Pick(4); n > 0; --n) Key(app, Pick(3) ? vk::kDown : vk::kRight, kShift);
                } else {
                    const int x = 60 + Pick(3) * 126, y = 380 + 12 * Pick(8);
                    Drag(app, x, y, x + 126 * Pick(2), y + 12 * Pick(4));
                }
                static constexpr int kBlockKeys[] = {'C', 'X', 'V', 'A', vk::kF1, vk::kF1 + 1};
                Key(app, kBlockKeys[Pick(6)], {Pick(4) == 0, true});
                if (Pick(2)) Key(app, Pick(2) ? 'V' : vk::kDelete, {false, Pick(2) == 0});
                break;
            }
            case 21: {  // a track or the master fader, dragged or reset with a double click
                const int track = Pick(4), volume = std::min<int>(app.song.tracks[track].mixerVolume, 64);
                const int x = track == 3 ? 39 : 49 + 126 * track + 29, top = 768 - 58 - 5 -
                    (track == 3 ? std::min<int>(app.song.masterVolume, 64) : volume);
                DragBy(app, x, top + 10, Pick(41) - 20, Pick(4) == 0);
                break;
            }
            case 22: {  // a value of the Instrument page: dragged, stepped by the wheel or reset
                app.currentInstrument = 1 + Pick(3);
                Click(app, 440, 56);
                Click(app, 770 + 87 * Pick(3), 20);
                const ValueControl& c = kValueControls[Pick(kValueControlCount)];
                const place::Box b = place::CellOf(c.place, c.cell);
                if (Pick(3) == 0)
                    MouseWheel(app, b.x + 5, b.y + 5, 120 * (Pick(5) - 2));
                else
                    DragBy(app, b.x + 5, b.y + 5, Pick(81) - 45, Pick(4) == 0);
                Click(app, 440, 40);
                break;
            }
            case 23: {  // the Region page: a value, or an end of the key range
                Click(app, 440, 72);
                if (Pick(2)) {
                    const RegionControl& c = kRegionControls[Pick(kRegionControlCount)];
                    const place::Box b = place::CellOf(place::PlaceId::RegionValues, c.cell);
                    DragBy(app, b.x + 70, b.y + 5, Pick(61) - 35, Pick(4) == 0);
                } else {
                    const Sample& s = app.song.instruments[app.currentInstrument & 0xFF].samples[app.currentSample & 0xFF];
                    const place::Box from = KeyBox(Pick(2) ? s.keyLow : s.keyHigh), to = KeyBox(Pick(128));
                    Drag(app, from.x + 1, from.y + 40, to.x + 1, from.y + 40);
                }
                Click(app, 440, 40);
                break;
            }
            case 24:  // the Sample page: the loop mode, a loop marker
                Click(app, 440, 88);
                if (Pick(2)) Click(app, 730, 240);
                Drag(app, 505 + Pick(2) * 500, 60, 505 + Pick(512), 60);
                Click(app, 440, 40);
                break;
            default:  // undo or redo in between
                Key(app, Pick(2) ? 'Z' : 'Y', kCtrl);
                break;
        }
    }
};

void WriteMediaFiles(const std::string& folder) {
    Bytes pcm;
    for (int i = 0; i < 300; ++i) pcm.push_back(static_cast<uint8_t>(i * 7));
    WriteFile(folder + "/tone.wav", WriteWav({WavFmtChunk(1, 1, 22050, 8), RiffChunk("data", pcm)}));
    Sf2Bank bank;
    bank.presets = {{"bank", 0, 0, 0}};
    bank.zones = {{{43, 0x3C00}, {53, 0}}, {{43, 0x7F3D}, {53, 1}}};
    bank.samples = {{"low", 0, 100, 10, 90}, {"high", 100, 180, 110, 170}};
    bank.data.assign(200, 1000);
    WriteFile(folder + "/bank.sf2", WriteSf2(bank));
}

void UndoAllRedoAll(AppState& app, unsigned seed) {
    const std::string folder = MakeTempDir();
    WriteMediaFiles(folder);
    const std::vector<uint8_t> original = Written(app);
    EditGenerator edit{std::mt19937(seed), folder};
    for (int i = 0; i < 400; ++i) edit(app);
    const std::vector<uint8_t> edited = Written(app);
    ASSERT_NE(edited, original) << "seed " << seed;
    ASSERT_GT(app.history.steps.size(), 50u);

    while (Undo(app)) {
    }
    EXPECT_STREQ(app.statusLine, "Nothing To Undo.");
    EXPECT_TRUE(Written(app) == original) << "undo all, seed " << seed;
    EXPECT_FALSE(SongUnsaved(app));
    while (Redo(app)) {
    }
    EXPECT_STREQ(app.statusLine, "Nothing To Redo.");
    EXPECT_TRUE(Written(app) == edited) << "redo all, seed " << seed;
    EXPECT_TRUE(SongUnsaved(app));
}

struct HistoryTest : ::testing::Test {
    void SetUp() override {
        if constexpr (!profile::kHistory) GTEST_SKIP() << "the earlier build keeps no history";
        app = MakeTestApp();
    }
    std::unique_ptr<AppState> app;
};

TEST_F(HistoryTest, EveryEditUndoesAndRedoesOnANewSong) {
    for (unsigned seed : {1u, 2u, 3u}) {
        app = MakeTestApp();
        UndoAllRedoAll(*app, seed);
    }
}

TEST_F(HistoryTest, EveryEditUndoesAndRedoesOnACorpusSong) {
    std::string path = CorpusDir() + "/mod/bugsquish__corpses.mod";
    if (CorpusDir().empty() || !std::filesystem::exists(path)) GTEST_SKIP() << "no corpus module";
    ImportFile(*app, path.data());
    ClearHistory(*app);
    UndoAllRedoAll(*app, 7);
}

TEST_F(HistoryTest, StepsNamePlaceAndCost) {
    app->editMode = 1;
    app->transport.row = 5;
    app->cursor.track = 2;
    Key(*app, 'Z');  // a note at row 5, track 2
    Key(*app, vk::kDown);
    Key(*app, vk::kTab);
    const EditStep& note = app->history.steps.back();
    EXPECT_LT(note.Footprint(), 128u) << "a typed note costs tens of bytes";
    Key(*app, 'Z', kCtrl);
    EXPECT_STREQ(app->statusLine, "Undo: Note Entry.");
    EXPECT_EQ(std::make_tuple(app->transport.row, app->cursor.track, app->cursor.column), std::make_tuple(5, 2, 0));
    Key(*app, 'Z', kCtrlShift);
    EXPECT_STREQ(app->statusLine, "Redo: Note Entry.");

    Key(*app, vk::kF1 + 2, kShift);  // cut the track, paste it back
    Key(*app, vk::kF1 + 4, kShift);
    Key(*app, 'Z', kCtrl);
    EXPECT_STREQ(app->statusLine, "Undo: Paste Track.");
    Key(*app, 'Y', kCtrl);
    EXPECT_LT(app->history.steps.back().Footprint(), 4096u) << "a track paste costs a few kilobytes";
}

TEST_F(HistoryTest, TheBoundKeepsTheNewestSteps) {
    app->history.byteLimit = 64 * 1024;
    app->editMode = 1;
    for (int i = 0; i < 5000; ++i) {
        app->transport.row = i % 64;
        app->cursor.column = 0;
        Key(*app, (i / 64) % 2 ? 'Z' : 'X');  // each pass over the rows changes every note
    }
    EXPECT_LE(app->history.bytes, app->history.byteLimit);
    EXPECT_GT(app->history.steps.size(), 300u);
    EXPECT_LT(app->history.steps.size(), 5000u);
    Undo(*app);  // the newest note goes first
    EXPECT_EQ(app->song.patterns[0].cells[4999 % 64][0].note, 49);  // back to the C typed one pass before
    EXPECT_EQ(app->transport.row, 4999 % 64);
}

TEST_F(HistoryTest, ASongOpenedClearsTheHistoryAndKeepsTheOldOneInAnAutosave) {
    const std::string folder = MakeTempDir(), saves = MakeTempDir() + "/autosave";
    ASSERT_TRUE(StartAutosave(*app, saves));
    WriteFile(folder + "/a.mod", std::vector<uint8_t>(2000, 0));
    app->editMode = 1;
    Key(*app, 'Z');
    EXPECT_TRUE(SongUnsaved(*app));
    SetBrowserFolder(*app, folder);
    ListFolder(*app);
    OpenBrowserEntry(*app, 0);
    EXPECT_NE(std::string(app->statusLine).find("Autosave Kept: Untitled-"), std::string::npos) << app->statusLine;
    EXPECT_TRUE(app->history.steps.empty());
    EXPECT_FALSE(SongUnsaved(*app));
    StopAutosave(*app);
    int autosaves = 0;
    for (const auto& entry : std::filesystem::directory_iterator(saves)) {
        auto reader = MakeTestApp();
        LoadModule(*reader, entry.path().string());
        EXPECT_EQ(reader->song.patterns[0].cells[0][0].note, 49);
        ++autosaves;
    }
    EXPECT_EQ(autosaves, 1) << "the marker is gone after a stop";
}

TEST_F(HistoryTest, ARunThatDidNotEndListsItsAutosavesAtTheNextStart) {
    const std::string saves = MakeTempDir() + "/autosave";
    ASSERT_TRUE(StartAutosave(*app, saves));
    app->editMode = 1;
    Key(*app, 'Z');
    const std::string name = AutosaveNow(*app);
    ASSERT_FALSE(name.empty());
    app.reset();  // the run ends without stopping: its marker stays

    for (bool recovered : {true, false}) {
        app = MakeTestApp();
        app->screenPage = 0;
        ASSERT_TRUE(StartAutosave(*app, saves));
        EXPECT_EQ(std::string(app->statusLine) == "Autosave Kept: " + name + ".", recovered) << app->statusLine;
        EXPECT_EQ(std::string(app->browserFolder) == saves, recovered);
        if (recovered) {
            ASSERT_GE(app->browserSelection, 0);
            EXPECT_EQ(app->browserList[static_cast<std::size_t>(app->browserSelection)].name, name);
            EXPECT_EQ(app->screenPage, 1);
        }
        StopAutosave(*app);  // a normal exit: the next start is an ordinary one
    }
}

TEST(Autosave, FileNamesAreSafeAndStamped) {
    const std::time_t when = 0;
    const std::string stamp = AutosaveFileName("x", 1, when).substr(2);
    EXPECT_EQ(stamp.size(), std::string("YYYYMMDD-HHMMSS.zmo").size());
    const struct {
        const char* name;
        const char* want;
    } cases[] = {{"My Song", "My Song-"}, {"a/b\\c:d", "a_b_c_d-"}, {"", "Untitled-"}, {"..", "Untitled-"},
                 {"end. ", "end-"}, {"\x01tab\t", "_tab_-"}};
    for (const auto& c : cases) {
        const std::string name = AutosaveFileName(c.name, std::strlen(c.name), when);
        EXPECT_EQ(name.substr(0, name.size() - stamp.size()), c.want) << c.name;
    }
}

}  // namespace
}  // namespace zelmora
