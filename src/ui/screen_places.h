// The places of the screen that the drawing and the mouse share, as one table
// of named rectangles in client pixels: buttons, fields, scroll bars and list
// rows. The panels draw a control's pressed picture and its values at its
// place; the mouse regions test the same place. No other file writes these
// coordinates.
//
// A place may be a grid of equal cells (arrow pairs, list rows, toolbar
// buttons): cell i is at column i % columns, row i / columns, counted from the
// top-left, with columns = w / cellW.
//
// The skin generator paints the controls' pictures at these places too, so
// this header stands alone.
#pragma once

namespace zelmora::place {

struct Place {
    const char* name;
    int x, y, w, h;
    int cellW, cellH;
};

// X(name, x, y, width, height, cell width, cell height)
#define ZELMORA_SCREEN_PLACES(X)                                     \
    /* playlist panel */                                             \
    X(PlaylistArrows, 88, 16, 32, 64, 16, 16)                        \
    X(PlaylistFields, 67, 16, 21, 64, 21, 16)                        \
    X(OrderUp, 8, 84, 16, 12, 16, 12)                                \
    X(OrderDown, 8, 180, 16, 12, 16, 12)                             \
    X(OrderBar, 8, 96, 16, 84, 16, 84)                               \
    /* the nine order rows and their three columns */                \
    X(OrderRows, 28, 84, 42, 108, 42, 12)                            \
    X(OrderIndexColumn, 28, 84, 21, 108, 21, 12)                     \
    X(OrderHighDigit, 49, 84, 10, 108, 10, 12)                       \
    X(OrderLowDigit, 59, 84, 11, 108, 11, 12)                        \
    X(InsertButton, 156, 116, 32, 16, 32, 16)                        \
    X(SmallArrows, 156, 132, 32, 12, 16, 12)                         \
    X(DeleteButton, 156, 144, 32, 16, 32, 16)                        \
    X(FillButton, 156, 160, 32, 16, 32, 16)                          \
    /* sequencer panel; the transport buttons are a 2 x 2 grid */    \
    X(SequencerFields, 53, 208, 35, 64, 35, 16)                      \
    X(SequencerArrows, 88, 208, 32, 64, 16, 16)                      \
    X(Transport, 122, 210, 64, 60, 32, 30)                           \
    /* instrument and region lists */                                \
    X(InstrumentUp, 196, 16, 16, 12, 16, 12)                         \
    X(InstrumentBar, 196, 28, 16, 120, 16, 120)                      \
    X(InstrumentDown, 196, 148, 16, 12, 16, 12)                      \
    X(InstrumentRows, 216, 16, 210, 144, 210, 12)                    \
    X(SampleUp, 196, 176, 16, 12, 16, 12)                            \
    X(SampleBar, 196, 188, 16, 72, 16, 72)                           \
    X(SampleDown, 196, 260, 16, 12, 16, 12)                          \
    X(SampleRows, 216, 176, 210, 96, 210, 12)                        \
    /* the page buttons of the toolbar, one above the other */       \
    X(Toolbar, 434, 16, 60, 96, 60, 16)                              \
    /* Setup page */                                                 \
    X(DriverArrows, 813, 16, 32, 16, 16, 16)                         \
    X(RoutingArrows, 813, 32, 32, 64, 16, 16)                        \
    X(RateArrows, 992, 16, 32, 16, 16, 16)                           \
    X(ControlPanelButton, 851, 50, 108, 44, 108, 44)                 \
    X(RestartButton, 959, 50, 63, 44, 63, 44)                        \
    /* Browser page */                                               \
    X(ParentButton, 545, 16, 16, 16, 16, 16)                         \
    X(ChooseFolderButton, 992, 16, 16, 16, 16, 16)                   \
    X(RefreshButton, 1008, 16, 16, 16, 16, 16)                       \
    X(BrowserUp, 502, 36, 16, 12, 16, 12)                            \
    X(BrowserBar, 502, 48, 16, 192, 16, 192)                         \
    X(BrowserDown, 502, 240, 16, 12, 16, 12)                         \
    X(BrowserRows, 522, 36, 498, 216, 498, 12)                       \
    X(SongNameField, 561, 256, 231, 16, 231, 16)                     \
    X(SaveButton, 792, 256, 36, 16, 36, 16)                          \
    X(ExportButton, 828, 256, 48, 16, 48, 16)                        \
    /* Instrument editor page: the three envelope tabs, and the */   \
    /* value fields, a row every 16 lines (each value's hex 4 in) */  \
    X(EnvelopeTabs, 763, 16, 261, 16, 87, 16)                        \
    X(InstrumentValues, 561, 16, 56, 112, 56, 16)                    \
    X(ModulationValues, 720, 16, 32, 112, 32, 16)                    \
    X(EnvelopeValues, 826, 48, 56, 176, 56, 16)                      \
    X(EnvelopeShape, 522, 158, 216, 96, 216, 96)                     \
    /* Region editor page: 75 white keys of 6 pixels (MIDI notes */  \
    /* 0..127), and nine values in three rows of three */            \
    X(RegionKeyboard, 534, 104, 450, 48, 6, 48)                      \
    X(RegionValues, 522, 176, 480, 48, 160, 16)                      \
    /* Sample editor page: the two views, the numbers, the loop */  \
    X(SampleDetail, 505, 23, 512, 128, 512, 128)                     \
    X(SampleOverview, 505, 153, 512, 32, 512, 32)                    \
    X(SampleNumbers, 506, 206, 504, 16, 168, 16)                     \
    X(LoopModeButton, 720, 232, 80, 16, 80, 16)                      \
    /* Master page: the switch, and band 0's fader knob at gain 0 */ \
    X(EqSwitch, 857, 3, 10, 10, 10, 10)                              \
    X(EqFader, 530, 60, 15, 32, 15, 32)                              \
    /* where the wheel scrolls a list */                             \
    X(OrderWheel, 4, 84, 128, 108, 128, 108)                         \
    X(InstrumentWheel, 192, 16, 238, 144, 238, 144)                  \
    X(SampleWheel, 192, 176, 238, 96, 238, 96)                       \
    X(BrowserWheel, 498, 36, 526, 216, 526, 216)

enum class PlaceId : int {
#define ZELMORA_PLACE_ENUM(name, x, y, w, h, cw, ch) name,
    ZELMORA_SCREEN_PLACES(ZELMORA_PLACE_ENUM)
#undef ZELMORA_PLACE_ENUM
        Count
};

inline constexpr Place kPlaces[] = {
#define ZELMORA_PLACE_ROW(name, x, y, w, h, cw, ch) {#name, x, y, w, h, cw, ch},
    ZELMORA_SCREEN_PLACES(ZELMORA_PLACE_ROW)
#undef ZELMORA_PLACE_ROW
};
static_assert(sizeof kPlaces / sizeof kPlaces[0] == static_cast<int>(PlaceId::Count));

constexpr const Place& Get(PlaceId id) {
    return kPlaces[static_cast<int>(id)];
}

// Every place lies in the top band's fixed 1024 x 272 layout and its cells
// tile it exactly.
constexpr bool PlacesFitTheBand() {
    for (const Place& p : kPlaces)
        if (p.x < 0 || p.y < 0 || p.x + p.w > 1024 || p.y + p.h > 272 || p.w % p.cellW != 0 ||
            p.h % p.cellH != 0)
            return false;
    return true;
}
static_assert(PlacesFitTheBand());

constexpr int Columns(const Place& p) {
    return p.w / p.cellW;
}
constexpr int Cells(const Place& p) {
    return Columns(p) * (p.h / p.cellH);
}

struct Box {
    int x, y, w, h;
};

// Cell i of a place (row-major).
constexpr Box CellOf(PlaceId id, int i) {
    const Place& p = Get(id);
    return Box{p.x + (i % Columns(p)) * p.cellW, p.y + (i / Columns(p)) * p.cellH, p.cellW, p.cellH};
}

// The cell row under client line y (may lie outside the place).
constexpr int RowAt(PlaceId id, int y) {
    const Place& p = Get(id);
    return (y - p.y) / p.cellH;
}

// Text inside fields and buttons starts 4 pixels in from their corner; in
// list rows 2 pixels below the row's top, the number 4 and the name 27 pixels
// in from its left.
inline constexpr int kFieldInset = 4;
inline constexpr int kRowTextDy = 2;
inline constexpr int kRowNumberDx = 4;
inline constexpr int kRowNameDx = 27;

// The equaliser's fader of band k stands 21 pixels right of band k - 1's.
inline constexpr int kEqFaderPitch = 21;

// The pattern view's rows begin at this line (below the track headers).
inline constexpr int kPatternRowsTop = 340;

// -- the pattern view, whose size follows the window ------------------------

// Everything below the top band belongs to the pattern view.
inline constexpr int kTopBandHeight = 272;

// Track slot j begins at x = kFirstSlotX + kSlotPitch j; its cells' cursor
// box at kCursorBoxX + kSlotPitch j plus the column's offset; rows are 12
// lines apart around the cursor row.
inline constexpr int kFirstSlotX = 49;
inline constexpr int kSlotPitch = 126;
inline constexpr int kCursorBoxX = 54;
inline constexpr int kRowPitch = 12;
inline constexpr int kCellColumns = 12;
inline constexpr int kColumnOffsets[kCellColumns] = {0, 26, 33, 47, 54, 61, 72, 79, 86, 97, 104, 111};
inline constexpr int ColumnWidth(int column) { return column == 0 ? 24 : 8; }
// The cells of a slot, from its cursor box's left: all twelve columns.
inline constexpr int kCellsWidth = 119;

// The mute and solo lights of a track header (slot-relative x), lit or not.
inline constexpr Box kMuteLight{66, 312, 13, 8};
inline constexpr Box kSoloLight{82, 312, 13, 8};

// A mixer fader's knob (15 x 32) for a value 0..64: slot-relative x 22 for a
// track, x 32 on the screen for the master; its top follows the value.
inline constexpr int kTrackFaderDx = 22;
inline constexpr int kMasterFaderX = 32;
inline constexpr int kFaderKnobW = 15, kFaderKnobH = 32;
inline constexpr int FaderKnobTop(int height, int value) { return height - value - 58; }

}  // namespace zelmora::place
