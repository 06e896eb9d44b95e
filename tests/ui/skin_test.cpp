#include <gtest/gtest.h>

#include "app/profile.h"
#include "ui/canvas.h"
#include "ui/skin_embed.h"
#include "ui/skin_pieces.h"

namespace zelmora {
namespace {

using skin::Get;
using skin::kPieces;
using skin::PieceId;

constexpr int kBuiltHeight = profile::kEarlierBuild ? skin::kEarlierSkinHeight : skin::kSkinHeight;

bool Inside(const skin::Piece& p, int x, int y) { return x >= p.x && y >= p.y && x < p.x + p.w && y < p.y + p.h; }

// Every piece lies inside the picture; where no piece is, the picture is
// green, and each piece holds something else.
TEST(Skin, PiecesLieInsideAndGreenOnlyWhereNoPieceIs) {
    const Skin& s = BuiltInSkin();
    ASSERT_EQ(s.width, skin::kSkinWidth);
    ASSERT_EQ(s.height, kBuiltHeight);
    int sampled = 0, earlier = 0;
    for (int y = 0; y < s.height; y += 5)
        for (int x = 0; x < s.width; x += 7) {
            bool covered = false;
            for (const auto& p : kPieces) covered |= Inside(p, x, y);
            if (!covered) {
                ASSERT_EQ(s.At(x, y), skin::kNoPieceColour) << x << "," << y;
                ++sampled;
            }
        }
    EXPECT_GT(sampled, 1000);
    for (const auto& p : kPieces) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(p.w > 0 && p.h > 0 && p.x >= 0 && p.y >= 0)
            << p.x << "," << p.y << " " << p.w << "x" << p.h;
        EXPECT_LE(p.x + p.w, skin::kSkinWidth);
        EXPECT_LE(p.y + p.h, skin::kSkinHeight);
        earlier += skin::InEarlierSkin(p);
        if (!skin::InEarlierSkin(p) && s.height < skin::kSkinHeight) continue;
        int green = 0;
        for (int y = p.y; y < p.y + p.h; ++y)
            for (int x = p.x; x < p.x + p.w; ++x) green += s.At(x, y) == skin::kNoPieceColour;
        EXPECT_LT(green, p.w * p.h);
    }
    EXPECT_GT(earlier, skin::kPieceCount / 2);  // all but the four lower pages
}

// A cell of a glyph family: every pixel the paper colour, or not.
bool CellIsPlain(const Skin& s, int x, int y, int w, uint32_t paper) {
    for (int j = y; j < y + 8; ++j)
        for (int i = x; i < x + w; ++i)
            if (s.At(i, j) != paper) return false;
    return true;
}

TEST(Skin, GlyphsAreDrawnAndControlCodesAreBlank) {
    const Skin& s = BuiltInSkin();
    struct Family {
        PieceId piece;
        int cellW, styles, first, last;
    };
    const Family families[] = {
        {PieceId::TextFont, skin::kTextW, skin::kTextStyles, 33, 126},
        {PieceId::SmallFont, skin::kSmallW, skin::kSmallStyles, 33, 126},
        {PieceId::ValueFont, skin::kTextW, skin::kValueStyles, 0, skin::kValueGlyphs - 1},
    };
    const auto& text = Get(PieceId::TextFont);
    for (const auto& f : families) {
        const auto& p = Get(f.piece);
        for (int st = 0; st < f.styles; ++st) {
            const uint32_t paper = s.At(text.x + skin::kTextW * ' ', text.y + 8 * st);  // the space's paper
            for (int c = f.first; c <= f.last; ++c)
                EXPECT_FALSE(CellIsPlain(s, p.x + f.cellW * c, p.y + 8 * st, f.cellW, paper))
                    << p.name << " style " << st << " code " << c;
        }
    }
    const uint32_t papers[4] = {0x000000, 0x000000, s.At(text.x, text.y + 16), s.At(text.x, text.y + 24)};
    EXPECT_NE(papers[2], papers[3]);
    for (int st = 0; st < skin::kTextStyles; ++st) {
        for (int c = 0; c < 32; ++c)
            EXPECT_TRUE(CellIsPlain(s, text.x + skin::kTextW * c, text.y + 8 * st, skin::kTextW, papers[st]))
                << "style " << st << " code " << c;
        EXPECT_TRUE(CellIsPlain(s, text.x + skin::kTextW * 127, text.y + 8 * st, skin::kTextW, papers[st]));
    }
}

// Values in style 2 are drawn straight onto the panels: the panel around each
// value's cells must be style 2's paper, or the text would sit in patches.
TEST(Skin, PanelsAreStyleTwoPaperWhereValuesAreDrawn) {
    const Skin& s = BuiltInSkin();
    const auto& text = Get(PieceId::TextFont);
    const uint32_t paper = s.At(text.x + skin::kTextW * ' ', text.y + 16);
    struct Value {
        PieceId panel;
        int panelX, panelY;  // where the panel stands on the screen
        int x, y, chars;     // where the value is drawn on the screen
    };
    const Value values[] = {
        {PieceId::PlaylistPanel, 0, 0, 71, 20, 2},     {PieceId::PlaylistPanel, 0, 0, 71, 68, 2},
        {PieceId::SequencerPanel, 0, 192, 64, 212, 3}, {PieceId::SequencerPanel, 0, 192, 71, 260, 2},
        {PieceId::HeaderBand, 0, 272, 71, 292, 2},     {PieceId::HeaderBand, 0, 272, 124, 292, 32},
        {PieceId::HeaderBand, 0, 272, 418, 292, 2},    {PieceId::HeaderBand, 0, 272, 534, 292, 2},
        {PieceId::HeaderTile, 584, 272, 584, 292, 9},  {PieceId::TrackHeader, 49, 308, 99, 312, 2},
        {PieceId::TrackHeader, 49, 308, 57, 328, 16},    {PieceId::SetupPage, 494, 0, 586, 20, 32},
        {PieceId::SetupPage, 494, 0, 565, 84, 2},     {PieceId::SetupPage, 494, 0, 916, 36, 9},
        {PieceId::SetupPage, 494, 0, 565, 100, 64},    {PieceId::BrowserPage, 494, 0, 565, 20, 60},
        {PieceId::BrowserPage, 494, 0, 565, 260, 32},  {PieceId::InstrumentPage, 494, 0, 565, 116, 2},
        {PieceId::InstrumentPage, 494, 0, 618, 36, 14}, {PieceId::InstrumentPage, 494, 0, 728, 116, 4},
        {PieceId::InstrumentPage, 494, 0, 830, 212, 2}, {PieceId::InstrumentPage, 494, 0, 883, 116, 9},
        {PieceId::MasterPage, 494, 0, 528, 128, 45},
    };
    for (const auto& v : values) {
        const auto& p = Get(v.panel);
        const int x0 = p.x + v.x - v.panelX, y0 = p.y + v.y - v.panelY;
        if (y0 + 8 > s.height) continue;  // the earlier skin stops above the lower pages
        for (int y = y0; y < y0 + 8; ++y)
            for (int x = x0; x < x0 + 7 * v.chars && x < p.x + p.w; ++x)
                ASSERT_EQ(s.At(x, y), paper) << p.name << " value at " << v.x << "," << v.y;
    }
}

TEST(Skin, CursorDecodesWithItsHotspotOnInk) {
    const CursorImage c = EmbeddedCursorImage();
    ASSERT_EQ(c.width, 32);
    ASSERT_EQ(c.height, 32);
    ASSERT_EQ(c.argb.size(), 32u * 32u);
    EXPECT_EQ(c.argb[c.hotY * 32 + c.hotX] >> 24, 0xFFu);
    EXPECT_EQ(c.argb[31 * 32 + 31] >> 24, 0u);  // a corner far from the pointer is clear
    CursorImage broken;
    const auto file = EmbeddedCursorCur();
    EXPECT_FALSE(DecodeCursor(file.first(40), broken));  // cut inside the image
    EXPECT_EQ(broken.width, 0);
}

}  // namespace
}  // namespace zelmora
