// Everyday editing: blocks at the pattern's edges, the pattern view under the
// mouse at two window sizes, faders, mute and solo, and the export to WAV.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/export.h"
#include "app/history.h"
#include "engine/engine_fixture.h"
#include "formats/importers.h"
#include "render/render_run.h"
#include "ui/editing.h"
#include "ui/page_controls.h"
#include "ui/ui_input.h"

namespace zelmora {
namespace {

struct EditingTest : ::testing::Test {
    void SetUp() override {
        if constexpr (!profile::kEverydayEditing) GTEST_SKIP() << "the earlier build has no block editing";
        app = MakeEngineApp();
        app->song.trackCount = 32;
        Pattern& p = app->song.patterns[0];
        // Every cell tells where it stands: note = row + 1 (rows 0..63), instrument = track + 1.
        for (int r = 0; r <= p.lastRow; ++r)
            for (int t = 0; t < 32; ++t) p.cells[r][t] = {static_cast<uint8_t>(r + 1), static_cast<uint8_t>(t + 1), {}};
    }
    void Key(int key, KeyModifiers mods = kNone) { Press(*app, key, mods); }
    void At(int row, int track) {
        app->transport.row = row;
        app->cursor.track = track;
        app->selection.active = false;
    }
    std::pair<int, int> Cell(int row, int track) const {
        const PatternCell& c = app->song.patterns[0].cells[row][track];
        return {c.note, c.instrument};
    }
    std::unique_ptr<AppState> app;
};

TEST_F(EditingTest, BlocksAtTheEdges) {
    const struct Case {
        const char* what;
        int row, track;            // where the selection begins
        int rows, tracks;          // Shift+Down (Up when below 0), Shift+Right (Left) this many times
        int pasteRow, pasteTrack;  // where Ctrl+V lands
        std::pair<int, int> want[3][2];  // cells at paste + (0..2 rows, 0..1 tracks): note, instrument
        const char* status;
    } cases[] = {
        {"three rows of one track", 10, 3, 2, 0, 20, 5,
         {{{11, 4}, {21, 7}}, {{12, 4}, {22, 7}}, {{13, 4}, {23, 7}}}, "Copied 3 Rows x 1 Track."},
        {"made upwards and leftwards", 12, 4, -2, -1, 30, 0,
         {{{11, 4}, {11, 5}}, {{12, 4}, {12, 5}}, {{13, 4}, {13, 5}}}, "Copied 3 Rows x 2 Tracks."},
        {"runs off the last row", 0, 0, 2, 0, 63, 0,
         {{{1, 1}, {64, 2}}, {{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}}, "Copied 3 Rows x 1 Track."},
        {"runs off track 31", 5, 30, 1, 12, 40, 31,
         {{{6, 31}, {0, 0}}, {{7, 31}, {0, 0}}, {{43, 32}, {0, 0}}}, "Copied 2 Rows x 2 Tracks."},
        {"onto its own source", 8, 2, 2, 0, 8, 2,
         {{{9, 3}, {9, 4}}, {{10, 3}, {10, 4}}, {{11, 3}, {11, 4}}}, "Copied 3 Rows x 1 Track."},
    };
    for (const Case& c : cases) {
        SetUp();
        At(c.row, c.track);
        for (int n = 0; n < std::abs(c.rows); ++n) Key(c.rows < 0 ? vk::kUp : vk::kDown, kShift);
        for (int n = 0; n < std::abs(c.tracks); ++n) Key(c.tracks < 0 ? vk::kLeft : vk::kRight, kShift);
        Key('C', kCtrl);
        EXPECT_STREQ(app->statusLine, c.status) << c.what;
        At(c.pasteRow, c.pasteTrack);
        Key('V', kCtrl);
        for (int r = 0; r < 3; ++r)
            for (int t = 0; t < 2; ++t) {
                if (c.pasteRow + r > 63 || c.pasteTrack + t > 31) continue;
                EXPECT_EQ(Cell(c.pasteRow + r, c.pasteTrack + t), c.want[r][t]) << c.what << " " << r << "," << t;
            }
        EXPECT_TRUE(app->song.patterns[0].cells[64][0].note == 0) << "nothing past the last row";
    }
}

TEST_F(EditingTest, CutClearTransposeAndSelectAllAreStepsOfTheHistory) {
    At(2, 1);
    Key(vk::kDown, kShift);
    Key('X', kCtrl);
    EXPECT_EQ(Cell(3, 1), std::make_pair(0, 0));
    EXPECT_STREQ(app->statusLine, "Cut 2 Rows x 1 Track.");
    Key('Z', kCtrl);
    EXPECT_STREQ(app->statusLine, "Undo: Cut Block.");

    app->song.patterns[0].cells[6][0].note = kNoteOff;
    At(5, 0);
    for (int i = 0; i < 3; ++i) Key(vk::kDown, kShift);
    Key(vk::kF1 + 1, kCtrl);   // a semitone up
    Key(vk::kF1, kCtrlShift);  // an octave down: notes 6 and 9 clamp at the lowest note
    EXPECT_EQ(std::make_tuple(Cell(5, 0).first, Cell(6, 0).first, Cell(8, 0).first),
              std::make_tuple(1, kNoteOff, 1));
    app->song.patterns[0].cells[9][0].note = 0;
    Key(vk::kDelete);  // on a selection: the cells go, edit mode or not
    EXPECT_EQ(Cell(7, 0), std::make_pair(0, 0));
    EXPECT_EQ(Cell(9, 0), std::make_pair(0, 1));
    Key(vk::kDown);  // a plain move ends the selection
    Key(vk::kDelete);
    EXPECT_EQ(Cell(9, 0), std::make_pair(0, 1));

    Key('A', kCtrl);
    EXPECT_STREQ(app->statusLine, "Selected 64 Rows x 32 Tracks.");
    Key('C', kCtrl);
    EXPECT_EQ(app->clipboardRows * app->clipboardTracks, 64 * 32);
}

// The pattern view's geometry: row lines 12 apart around the cursor row's
// line R = (H - 464) / 2 + 334; slots 126 apart from x 54 (the cursor box).
TEST_F(EditingTest, ClicksFindTheirCellAtTwoWindowSizes) {
    const struct {
        int w, h, x, y;
        bool hit;
        int track, column, row;  // row relative to the cursor row
    } cases[] = {
        {590, 600, 54, 403, true, 0, 0, 0},        {590, 600, 54 + 25, 403, true, 0, 0, 0},
        {590, 600, 54 + 26, 391, true, 0, 1, -1},  {590, 600, 54 + 126 + 111, 426, true, 1, 11, 2},
        {590, 600, 54 + 4 * 126, 402, true, 4, 0, 0},  // the fifth slot, of a track that exists
        {590, 600, 30, 402, false, 0, 0, 0},      {590, 600, 100, 339, false, 0, 0, 0},  // row numbers, headers
        {590, 600, 100, 476, false, 0, 0, 0},                                            // the mixer strips
        {1920, 1080, 54 + 13 * 126 + 47, 645, true, 13, 3, 0},
        {1920, 1080, 54 + 14 * 126 + 120, 645, false, 0, 0, 0},  // between two slots
        {1920, 1080, 54, 345, true, 0, 0, -25},
    };
    for (const auto& c : cases) {
        app->screenWidth = c.w;
        app->screenHeight = c.h;
        app->transport.row = 0;
        int track = -1, column = -1, row = -1;
        ASSERT_EQ(PatternCellAt(*app, c.x, c.y, track, column, row), c.hit) << c.w << " " << c.x << "," << c.y;
        if (c.hit) {
            EXPECT_EQ(std::make_tuple(track, column, row), std::make_tuple(c.track, c.column, c.row));
        }
    }
    // A click puts the cursor there (the row too while stopped, which brings
    // it to the middle line); a drag selects what passes under the mouse.
    app->screenWidth = 1024;
    app->screenHeight = 768;
    const int R = (768 - 464) / 2 + 334;
    MouseDown(*app, 54 + 126 + 47, R + 24, 0, false);
    EXPECT_EQ(std::make_tuple(app->cursor.track, app->cursor.column, app->transport.row), std::make_tuple(1, 3, 2));
    MouseMove(*app, 54 + 2 * 126, R + 24 + 12);
    MouseUp(*app, 54 + 2 * 126, R + 24 + 12, 0);
    int r0, r1, t0, t1;
    ASSERT_TRUE(SelectionBounds(*app, r0, r1, t0, t1));
    EXPECT_EQ(std::make_tuple(r0, r1, t0, t1), std::make_tuple(2, 5, 1, 2));
}

TEST_F(EditingTest, FadersMuteAndSolo) {
    app->screenWidth = 1024;
    app->screenHeight = 768;
    // Track 1's knob at volume 64, dragged down 20 pixels and back up past the top: one step each.
    const int H = 768, x = 49 + 126 + 22 + 7;
    MouseDown(*app, x, H - 64 - 58 + 5, 0, false);
    MouseMove(*app, x, H - 64 - 58 + 25);
    EXPECT_STREQ(app->statusLine, "Track 01 Volume 44.");
    MouseUp(*app, x, H - 64 - 58 + 25, 0);
    EXPECT_EQ(app->song.tracks[1].mixerVolume, 44);
    DragBy(*app, x, H - 44 - 58 + 5, -105);
    EXPECT_EQ(app->song.tracks[1].mixerVolume, 64);
    app->song.tracks[1].mixerVolume = 44;
    Click(*app, x, H - 44 - 58 + 5, 0, true);  // a double click resets
    EXPECT_EQ(app->song.tracks[1].mixerVolume, 64);
    app->song.masterVolume = 50;
    Click(*app, 32 + 7, H - 50 - 58 + 5, 0, true);
    EXPECT_EQ(app->song.masterVolume, 32);

    // The lights: mute track 0, solo tracks 2 and 3; a muted track stays silent.
    for (int light : {49 + 66 + 2, 49 + 2 * 126 + 82 + 2, 49 + 3 * 126 + 82 + 2}) Click(*app, light, 314);
    EXPECT_EQ(app->silencedTracks.load() & 0xF, 0b0011u);
    ToggleMute(*app, 3);
    EXPECT_EQ(app->silencedTracks.load() & 0xF, 0b1011u);

    // Silenced tracks add nothing to the mix, and the song is not changed.
    AddSample(*app, 1, 0, 4410, 1, [](int, int) { return 0.5; }, 1, 0, 4410);
    for (int t = 0; t < 4; ++t) app->song.patterns[0].cells[0][t] = {49, 1, {}};
    PlayTransport(*app, true, true);
    RenderBuffer(*app);
    const double heard = std::fabs(app->mixLeft[200]) + std::fabs(app->mixRight[200]);
    for (int t : {2, 3}) ToggleSolo(*app, t);
    ToggleMute(*app, 3);
    RenderBuffer(*app);
    EXPECT_GT(std::fabs(app->mixLeft[200]) + std::fabs(app->mixRight[200]), heard * 2);  // three tracks sound now
    for (int t : {1, 2, 3}) ToggleMute(*app, t);
    RenderBuffer(*app);
    EXPECT_EQ(app->mixLeft[200] + app->mixRight[200], 0.0);
}

TEST_F(EditingTest, InstrumentPageValuesAreControls) {
    app->screenPage = 2;
    app->currentInstrument = 3;
    auto fresh = std::make_unique<Instrument>();
    ResetInstrumentFields(*fresh);
    for (int tab = 0; tab < 3; ++tab) {
        app->envelopeTab = tab;
        for (int i = 0; i < kValueControlCount; ++i) {
            const ValueControl& c = kValueControls[i];
            const place::Box b = place::CellOf(c.place, c.cell);
            const int x = b.x + 5, y = b.y + 8;
            ASSERT_EQ(ValueControlAt(x, y), &c);
            const uint8_t& value = ControlByte(*app, c);
            DragBy(*app, x, y, -300);  // up raises, held at the byte's top
            EXPECT_EQ(value, 255) << c.what;
            DragBy(*app, x, y, 400);
            EXPECT_EQ(value, 0) << c.what;
            MouseWheel(*app, x, y, 240);
            EXPECT_EQ(value, 2) << c.what;
            Click(*app, x, y, 0, true);
            // The new-instrument value; the tabs show envelopes 0, 2 and 3.
            const Envelope& e = fresh->envelopes[tab == 0 ? 0 : tab + 1];
            const uint8_t want = c.field ? fresh.get()->*c.field : c.envelopeField ? e.*c.envelopeField : 0;
            EXPECT_EQ(value, want) << c.what;
            if (c.envelopeField) {
                EXPECT_EQ(&value, &(app->song.instruments[3].envelopes[tab == 0 ? 0 : tab + 1].*c.envelopeField));
            }
            Undo(*app);
            EXPECT_EQ(value, 2) << c.what << ": the reset is one step";
        }
    }
}

TEST_F(EditingTest, RegionPageValuesKeyRangeAndPreview) {
    app->screenPage = 3;
    app->currentInstrument = 2;
    app->currentSample = 1;
    AddSample(*app, 2, 0, 4410, 1, [](int, int) { return 0.5; }, 1, 0, 4410);
    Sample& s = AddSample(*app, 2, 1, 4410, 1, [](int, int) { return 0.25; }, 1, 0, 4410);
    app->song.instruments[2].samples[0].keyHigh = 59;  // slot 0 plays up to B-4, slot 1 everything
    for (int i = 0; i < kRegionControlCount; ++i) {
        const RegionControl& c = kRegionControls[i];
        const place::Box b = place::CellOf(place::PlaceId::RegionValues, c.cell);
        const int x = b.x + 70, y = b.y + 8;
        ASSERT_EQ(RegionControlAt(x, y), &c);
        for (int dy : {-400, 400}) {
            DragBy(*app, x, y, dy);
            EXPECT_EQ(RegionValue(*app, c), dy < 0 ? c.hi : c.lo) << c.what;
        }
        Click(*app, x, y, 0, true);
        EXPECT_EQ(RegionValue(*app, c), c.fresh) << c.what;
    }
    // The keyboard: every note has one key, black keys over the white ones.
    const auto x = [](int note) { return KeyBox(note).x + KeyBox(note).w / 2; };
    const auto y = [](int note) { return KeyBox(note).y + KeyBox(note).h - 2; };
    for (int note = 0; note < 128; ++note) EXPECT_EQ(KeyAt(x(note), KeyBox(note).y + 2), note);
    // The high end dragged below the low one: the ends change places.
    Drag(*app, x(0), y(0), x(48), y(0));     // the low end up to C-4
    Drag(*app, x(127), y(127), x(36), y(127));  // the high end down past it, to C-3
    EXPECT_EQ(std::make_tuple(s.keyLow, s.keyHigh), std::make_tuple(36, 48));
    Undo(*app);
    EXPECT_EQ(std::make_tuple(s.keyLow, s.keyHigh), std::make_tuple(48, 127));
    // A click on a key sounds it and selects the first region that plays it.
    MouseDown(*app, x(72), y(72), 0, false);
    EXPECT_EQ(app->currentSample, 1);
    EXPECT_GT(BusyVoiceCount(*app), 0);
    MouseUp(*app, x(72), y(72), 0);
    Click(*app, x(55), y(55));
    EXPECT_EQ(app->currentSample, 0);
    app->song.instruments[2].samples[0].keyHigh = 10;
    Click(*app, x(24), y(24));
    EXPECT_STREQ(app->statusLine, "No Region For Key 24.");
}

TEST_F(EditingTest, SampleLoopMarkersLoopModeAndZoom) {
    app->screenPage = 4;
    app->currentInstrument = 2;
    Sample& s = AddSample(*app, 2, 0, 10000, 1, [](int, int f) { return (f % 100) / 100.0; });
    Click(*app, 730, 240);  // the loop label: forward, over the whole sample
    EXPECT_EQ(std::make_tuple(s.loopMode, s.loopStart, s.loopLength), std::make_tuple(1, 0, 10000));
    // 10000 / 512 + 1 = 20 frames a column: the end marker stands at 505 + 500.
    const auto drag = [&](int x, int y, int to) { Drag(*app, x, y, to, y); };
    drag(1005, 60, 2000);  // the end, past the view: held at the last frame
    EXPECT_EQ(s.loopLength, 10000);
    drag(505, 60, 100);    // the start, before the view: held at the first frame
    EXPECT_EQ(s.loopStart, 0);
    drag(505, 60, 505 + 100);  // the start to frame 2000
    drag(1005, 160, 505 + 50);  // the end, in the overview, dragged before the start: one frame after it
    EXPECT_EQ(std::make_tuple(s.loopStart, s.loopLength), std::make_tuple(2000, 1));
    s.loopLength = 8000;

    // The wheel zooms the detail view around the mouse, down to a frame a
    // column and back out to the whole sample, never past its ends.
    for (int n = 0; n < 8; ++n) MouseWheel(*app, 505 + 100, 60, 120);
    EXPECT_EQ(std::make_tuple(DetailSpan(*app).first, DetailSpan(*app).perColumn),
              std::make_tuple(2000 - 100, 1));
    drag(505 + 100, 60, 505 + 103);  // the start marker, now moved frame by frame
    EXPECT_EQ(s.loopStart, 2003);
    MouseWheel(*app, 1000, 60, -120 * 20);
    EXPECT_EQ(std::make_tuple(DetailSpan(*app).first, DetailSpan(*app).perColumn), std::make_tuple(0, 20));
    for (int n = 0; n < 2; ++n) Click(*app, 730, 240);  // ping-pong, then off
    EXPECT_EQ(s.loopMode, 0);
}

TEST_F(EditingTest, TheExportIsTheRendererOfTheSongAsSaved) {
    const std::string folder = MakeTempDir();
    SetBrowserFolder(*app, folder);
    AddSample(*app, 1, 0, 2000, 1, [](int, int f) { return std::sin(f * 0.05); }, 1, 0, 2000);
    app->song.lastOrder = 0;
    app->song.patterns[0].lastRow = 15;
    SetName(app->song.name, "tune?");
    app->song.masterVolume = 32;  // the level a song file brings: what the renderer plays it at
    Key('E', kCtrl);
    FinishExport(*app);
    EXPECT_STREQ(app->statusLine, "Exported tune_.wav.");

    // zelmora-render SONG OUT.wav of the song as saved.
    SetName(app->song.name, "tune_");
    SaveModule(*app);
    auto renderer = MakeTestApp();
    LoadModule(*renderer, folder + "/tune_.zmo");
    render::WavWriter writer;
    render::RenderResult result;
    const render::RenderOptions defaults;
    ASSERT_TRUE(writer.Open(folder + "/render.wav", 44100, defaults.format));
    ASSERT_TRUE(render::RenderSong(*renderer, defaults, &writer, result));
    ASSERT_TRUE(writer.Close());
    std::vector<uint8_t> exported, rendered;
    ASSERT_TRUE(ReadWholeFile(folder + "/tune_.wav", exported));
    ASSERT_TRUE(ReadWholeFile(folder + "/render.wav", rendered));
    EXPECT_GT(exported.size(), 44100u);
    EXPECT_TRUE(exported == rendered);
}

}  // namespace
}  // namespace zelmora
