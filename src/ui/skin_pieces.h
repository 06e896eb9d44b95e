// Every place in the skin picture that the screen copies from, as one table of
// named pieces. The skin generator paints each row; the drawing code blits
// pieces by name. No other file writes a skin coordinate.
//
// Pieces that stand for a family (glyph sets, the toolbar's lit buttons, the
// envelope tabs, the meter columns) are one row each; the drawing code steps
// inside them by the family's cell size, never beyond the row's rectangle.
#pragma once

#include <cstdint>

namespace zelmora::skin {

inline constexpr int kSkinWidth = 1060;
inline constexpr int kSkinHeight = 1696;
inline constexpr int kEarlierSkinHeight = 1152;

// Where no piece is, the picture is pure green.
inline constexpr uint32_t kNoPieceColour = 0x00FF00;

struct Piece {
    const char* name;
    int x, y, w, h;
};

// X(name, skin x, skin y, width, height)
#define ZELMORA_SKIN_PIECES(X)                                                                     \
    /* glyph sets: text 7 x 8, codes 0..127, styles 0..3 stacked downwards */                       \
    X(TextFont, 0, 0, 896, 32)                                                                     \
    /* value glyphs 0-9, A-Z, 7 x 8, styles 0..2 */                                                 \
    X(ValueFont, 0, 32, 252, 24)                                                                   \
    /* small text 6 x 8, codes 32..127 (below 32 the cells hold the empty glyphs), styles 0..2 */   \
    X(SmallFont, 0, 56, 768, 24)                                                                   \
    X(EmptyEffect, 0, 56, 21, 24)                                                                  \
    X(EmptyInstrument, 21, 56, 14, 24)                                                             \
    X(EmptyNote, 35, 56, 21, 24)                                                                   \
    /* one bar serves the horizontal thumb, the list tint (1, 101) and the browser tint (2, 102) */ \
    X(HorizontalThumb, 0, 100, 1060, 14)                                                           \
    X(ListTint, 1, 101, 210, 12)                                                                   \
    X(BrowserTint, 2, 102, 502, 12)                                                                \
    /* panels of the top band */                                                                   \
    X(PlaylistPanel, 0, 128, 188, 192)                                                             \
    X(SequencerPanel, 0, 320, 188, 80)                                                             \
    X(ListsPanel, 188, 128, 242, 272)                                                              \
    X(ToolbarPanel, 430, 128, 64, 272)                                                             \
    X(FillerLeftEdge, 494, 128, 6, 272)                                                            \
    X(FillerTile, 500, 128, 64, 272)                                                               \
    X(FillerRightEdge, 648, 128, 1, 272)                                                           \
    /* pattern editor */                                                                           \
    X(HeaderBand, 0, 400, 584, 36)                                                                 \
    X(HeaderTile, 584, 400, 64, 36)                                                                \
    X(HeaderRightEdge, 648, 400, 1, 36)                                                            \
    X(SideLeftTop, 0, 436, 49, 45)                                                                 \
    X(SideRightTop, 175, 436, 29, 45)                                                              \
    X(SideLeftTile, 0, 481, 49, 32)                                                                \
    X(SideRightTile, 175, 481, 29, 32)                                                             \
    X(RowMarkerLeft, 28, 526, 21, 12)                                                              \
    X(RowMarkerRight, 179, 526, 21, 12)                                                            \
    X(SideLeftBottom, 0, 583, 49, 137)                                                             \
    X(SideRightBottom, 175, 583, 29, 137)                                                          \
    X(TrackHeader, 49, 436, 126, 32)                                                               \
    X(TrackBody, 49, 468, 126, 32)                                                                 \
    X(TrackCursorBar, 49, 526, 126, 12)                                                            \
    X(MixerStrip, 49, 596, 126, 100)                                                               \
    X(EmptyTrackHeader, 204, 436, 126, 32)                                                         \
    X(EmptyTrackBody, 204, 468, 126, 32)                                                           \
    X(EmptyTrackCursorBar, 204, 526, 126, 12)                                                      \
    X(EmptyMixerStrip, 204, 596, 126, 100)                                                         \
    X(GrooveLeftCap, 49, 696, 13, 24)                                                              \
    X(GrooveTile, 62, 696, 64, 24)                                                                 \
    X(GrooveRightCap, 162, 696, 13, 24)                                                            \
    /* meters inside the mixer strip picture: unlit columns and clip lights */                     \
    X(MeterUnlitLeft, 57, 605, 5, 87)                                                              \
    X(MeterUnlitRight, 63, 605, 5, 87)                                                             \
    X(ClipUnlitLeft, 57, 600, 5, 4)                                                                \
    X(ClipUnlitRight, 63, 600, 5, 4)                                                               \
    /* the button column: thumbs run down from y 128 to the top of the pages */                    \
    X(VerticalThumb, 800, 128, 14, 752)                                                            \
    X(VerticalThumbDragged, 814, 128, 14, 752)                                                     \
    X(ArrowUpPressed, 828, 128, 16, 16)                                                            \
    X(ArrowDownPressed, 844, 128, 16, 16)                                                          \
    X(SmallUpPressed, 828, 144, 16, 12)                                                            \
    X(SmallDownPressed, 844, 144, 16, 12)                                                          \
    X(InsertPressed, 828, 156, 32, 16)                                                             \
    X(DeletePressed, 828, 172, 32, 16)                                                             \
    X(FieldPressed, 828, 188, 21, 16)                                                              \
    X(FillPressed, 828, 204, 32, 16)                                                               \
    X(PlaySongPressed, 828, 220, 32, 30)                                                           \
    X(PlayPatternPressed, 828, 250, 32, 30)                                                        \
    X(StopPressed, 828, 280, 32, 30)                                                               \
    X(PlayFromRowPressed, 828, 310, 32, 30)                                                        \
    X(LabelPressed, 828, 340, 35, 16)                                                              \
    X(SavePressed, 828, 356, 35, 16)                                                               \
    X(LoopStart, 828, 372, 9, 12)                                                                  \
    X(LoopEnd, 837, 372, 9, 12)                                                                    \
    X(FaderShadow, 828, 388, 15, 32)                                                               \
    X(FaderKnob, 843, 388, 15, 32)                                                                 \
    /* lit toolbar buttons of pages 0..5, 16 apart */                                              \
    X(ToolbarLit, 828, 420, 60, 96)                                                                \
    X(ChooseFolderPressed, 888, 436, 16, 16)                                                       \
    X(RefreshPressed, 888, 452, 16, 16)                                                            \
    /* lit envelope tabs 0..2, 16 apart */                                                         \
    X(EnvelopeTabLit, 904, 420, 87, 48)                                                            \
    X(ControlPanelPressed, 860, 128, 108, 44)                                                      \
    X(RestartPressed, 968, 128, 63, 44)                                                            \
    X(FolderIcon, 860, 172, 12, 12)                                                                \
    X(ClipLit, 860, 184, 5, 4)                                                                     \
    /* lit columns: the bottom h rows end at y 276 */                                              \
    X(StereoMeterLit, 860, 189, 5, 87)                                                             \
    X(LoadMeterLit, 865, 189, 5, 87)                                                               \
    X(StereoHoldLine, 860, 276, 5, 1)                                                              \
    X(LoadHoldLine, 865, 276, 5, 1)                                                                \
    X(EditModeOff, 860, 280, 19, 8)                                                                \
    X(EditModeOn, 860, 288, 19, 8)                                                                 \
    X(EqSwitchLit, 860, 310, 6, 6)                                                                 \
    /* a track header's mute and solo lights: unlit above, lit below */                            \
    X(MuteLight, 880, 280, 13, 16)                                                                 \
    X(SoloLight, 893, 280, 13, 16)                                                                 \
    X(ExportPressed, 906, 280, 47, 16)                                                             \
    /* the six pages, 530 x 272 */                                                                 \
    X(SetupPage, 0, 880, 530, 272)                                                                 \
    X(BrowserPage, 530, 880, 530, 272)                                                             \
    X(InstrumentPage, 0, 1152, 530, 272)                                                           \
    X(RegionPage, 530, 1152, 530, 272)                                                             \
    X(SamplePage, 0, 1424, 530, 272)                                                               \
    X(MasterPage, 530, 1424, 530, 272)

enum class PieceId : int {
#define ZELMORA_PIECE_ENUM(name, x, y, w, h) name,
    ZELMORA_SKIN_PIECES(ZELMORA_PIECE_ENUM)
#undef ZELMORA_PIECE_ENUM
    Count
};

inline constexpr Piece kPieces[] = {
#define ZELMORA_PIECE_ROW(name, x, y, w, h) {#name, x, y, w, h},
    ZELMORA_SKIN_PIECES(ZELMORA_PIECE_ROW)
#undef ZELMORA_PIECE_ROW
};
inline constexpr int kPieceCount = static_cast<int>(PieceId::Count);
static_assert(sizeof kPieces / sizeof kPieces[0] == kPieceCount);

constexpr const Piece& Get(PieceId id) { return kPieces[static_cast<int>(id)]; }

// Cell sizes of the families.
inline constexpr int kTextW = 7, kTextH = 8, kTextStyles = 4;
inline constexpr int kSmallW = 6, kSmallH = 8, kSmallStyles = 3;
inline constexpr int kValueGlyphs = 36, kValueStyles = 3;
inline constexpr int kMeterHeight = 87;
inline constexpr int kToolbarButtonH = 16;
inline constexpr int kEnvelopeTabH = 16;

// The earlier build's skin is the top part of the full one; its pieces are
// the rows that lie wholly inside it.
constexpr bool InEarlierSkin(const Piece& p) { return p.y + p.h <= kEarlierSkinHeight; }

}  // namespace zelmora::skin
