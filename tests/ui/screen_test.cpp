// The built-in skin, and composition checks against a skin of random pixels:
// every piece of that one differs from every other, so a wrong offset, style
// or order shows as a mismatch.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/profile.h"
#include "support/test_support.h"
#include "ui/draw.h"
#include "ui/screen.h"
#include "ui/skin_embed.h"
#include "ui/skin_pieces.h"

namespace zelmora {
namespace {

using skin::PieceId;

const Skin& NoiseSkin() {
    static const Skin skin = [] {
        Skin s;
        s.width = skin::kSkinWidth;
        s.height = skin::kSkinHeight;
        std::mt19937 random(7);
        s.pixels.resize(static_cast<size_t>(s.width) * s.height);
        for (uint32_t& p : s.pixels) p = random() & 0xFFFFFF;
        return s;
    }();
    return skin;
}

// True when the canvas at (x, y) holds the skin's w x h at (sx, sy).
::testing::AssertionResult Shows(const Canvas& c, int x, int y, int w, int h, int sx, int sy) {
    const Skin& s = NoiseSkin();
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (c.At(x + i, y + j) != s.At(sx + i, sy + j))
                return ::testing::AssertionFailure() << "differs at (" << x + i << ", " << y + j << ")";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ShowsPiece(const Canvas& c, int x, int y, PieceId id, int w = -1, int h = -1) {
    const skin::Piece& p = skin::Get(id);
    return Shows(c, x, y, w < 0 ? p.w : w, h < 0 ? p.h : h, p.x, p.y);
}

// In the text font, or the small one (6 pixels wide, from skin row 56).
::testing::AssertionResult ShowsText(const Canvas& c, int x, int y, const char* text, int style,
                                     bool small = false) {
    const int w = small ? 6 : 7;
    for (int i = 0; text[i]; ++i) {
        auto r = Shows(c, x + w * i, y, w, 8, w * static_cast<unsigned char>(text[i]),
                       8 * style + (small ? 56 : 0));
        if (!r) return r << " in character " << i << " of \"" << text << "\"";
    }
    return ::testing::AssertionSuccess();
}

struct Screen {
    std::unique_ptr<AppState> app = MakeTestApp();
    Canvas canvas{kBackBufferSize, kBackBufferSize, NoiseSkin()};
    void Compose(int w, int h) { ComposeScreen(*app, canvas, w, h); }
};

TEST(Screen, TopBandPanelsAndFiller) {
    Screen s;
    s.app->song.tempo = 125;
    s.app->song.lastOrder = 255;
    s.app->screenPage = 5;
    s.Compose(1100, 768);
    EXPECT_TRUE(ShowsText(s.canvas, 64, 212, "125", 2));
    EXPECT_TRUE(ShowsText(s.canvas, 71, 52, "!0", 2));  // a song of 256 orders
    EXPECT_TRUE(Shows(s.canvas, 434, 96, 60, 16, 828, 420 + 80));
    EXPECT_TRUE(ShowsPiece(s.canvas, 1024, 0, PieceId::FillerLeftEdge));
    EXPECT_TRUE(ShowsPiece(s.canvas, 1030, 0, PieceId::FillerTile));
    EXPECT_TRUE(ShowsPiece(s.canvas, 1094, 0, PieceId::FillerTile, 5, 272));
    EXPECT_TRUE(ShowsPiece(s.canvas, 1099, 0, PieceId::FillerRightEdge));
    // The master fader: only the full build has a master strip.
    EXPECT_EQ(static_cast<bool>(ShowsPiece(s.canvas, 32, 768 - s.app->song.masterVolume - 58, PieceId::FaderKnob)),
              profile::kMasterSection);

    Screen narrow;
    narrow.Compose(1024, 768);  // no filler: the canvas keeps its zeros there
    EXPECT_EQ(narrow.canvas.At(1024, 10), 0u);
}

TEST(Screen, TextStylesAndUnprintableCodes) {
    Screen s;
    s.canvas.Text(10, 10, "Ab\x01", 3, 1);
    EXPECT_TRUE(ShowsText(s.canvas, 10, 10, "Ab\x01", 1));
    s.canvas.Text(40, 10, "\xC8", 1, 3);
    EXPECT_TRUE(ShowsText(s.canvas, 40, 10, " ", 3));  // no glyph above 127: a blank cell
    s.canvas.ValueGlyph(60, 10, 35, 2);
    EXPECT_TRUE(Shows(s.canvas, 60, 10, 7, 8, 7 * 35, 32 + 16));
}

TEST(Screen, TrackSlotsFollowTheCursorAtMinimumWidth) {
    Screen s;
    s.app->song.trackCount = 8;
    s.app->cursor.track = 7;
    s.Compose(590, 600);
    EXPECT_EQ(s.app->firstShownTrack, 4);
    EXPECT_TRUE(ShowsText(s.canvas, 49 + 50, 312, "04", 2));
    EXPECT_TRUE(ShowsPiece(s.canvas, 49 + 126 * 3, 308, PieceId::TrackHeader, 126, 4));
    // Slot 4 shows track 8, which does not exist; the right column covers its end.
    EXPECT_TRUE(ShowsPiece(s.canvas, 49 + 126 * 4, 308, PieceId::EmptyTrackHeader, 561 - 553, 32));
    EXPECT_TRUE(ShowsPiece(s.canvas, 561, 308, PieceId::SideRightTop));
}

TEST(Screen, PatternRowsAreClippedAtMinimumHeight) {
    Screen s;
    Pattern& p = s.app->song.patterns[0];
    for (int r = 0; r < 64; ++r) p.cells[r][0].note = static_cast<uint8_t>(r + 1);
    CellCommand(p.cells[20][0], 1) = 192;  // a chord note has no value glyph
    CellParameter(p.cells[20][0], 1) = 4;
    // The earlier build shows its timing byte in the first effect column and
    // its two effect slots after it.
    constexpr int timingColumns = profile::kCellTiming ? 1 : 0;
    SetCellTiming(p.cells[20][0], 0x5A);
    s.app->transport.row = 20;
    s.app->cursor.column = 1;  // keep the box off the note and the chord
    s.Compose(1024, 600);
    const int R = CursorRowLine(600);
    ASSERT_EQ(R, 402);
    EXPECT_TRUE(ShowsText(s.canvas, 56, R + 2, NoteName(21), 2));  // the cursor row
    EXPECT_TRUE(ShowsText(s.canvas, 56 + 46 + 25 * (1 + timingColumns), R + 2, "+04", 2));
    if constexpr (profile::kCellTiming) {
        EXPECT_TRUE(ShowsText(s.canvas, 56 + 46 + 7, R + 2, "5A", 2));
    }
    EXPECT_TRUE(ShowsText(s.canvas, 32, R + 2 - 60, "0F", 1));     // five rows up: row 15
    EXPECT_TRUE(ShowsText(s.canvas, 56, R + 2 + 60 - 12, NoteName(25), 0));  // row 24, a beat
    EXPECT_TRUE(ShowsText(s.canvas, 56, R + 2 + 48, NoteName(25), 0));
    // Six rows up lies above the clip: the side column above y 340 stays whole.
    EXPECT_TRUE(ShowsPiece(s.canvas, 0, 308, PieceId::SideLeftTop, 49, 32));
}

// The cursor box covers the glyph its column edits, from one pixel left of it
// (two for the note's three glyphs): the cell draws the instrument's digits
// from 25 and effect e's command and parameter digits from 46 + 25 e, 7 apart.
TEST(Screen, CursorBoxCoversTheColumnsGlyph) {
    Screen plain;
    plain.app->cursor.track = 1;  // the box lies on track 1, column checks on track 0
    plain.Compose(1024, 768);
    const int R = CursorRowLine(768), x0 = 56;
    for (int column = 0; column < 12; ++column) {
        const int e = (column - 3) / 3, digit = (column - 3) % 3;
        const int glyph = column < 3 ? 25 + 7 * (column - 1) : 46 + 25 * e + 7 * digit;
        const int x = column == 0 ? x0 - 2 : x0 + glyph - 1, w = column == 0 ? 24 : 8;
        Screen s;
        s.app->cursor.column = column;
        s.Compose(1024, 768);
        for (int dx : {0, w - 1})
            for (int dy : {1, 10})
                EXPECT_EQ(s.canvas.At(x + dx, R + dy), plain.canvas.At(x + dx, R + dy) ^ 0xFFFFFF) << column;
        EXPECT_EQ(s.canvas.At(x + w, R + 5), plain.canvas.At(x + w, R + 5)) << column;
    }
}

TEST(Screen, BrowserListThumbAndTint) {
    Screen s;
    AppState& app = *s.app;
    app.browserList.resize(40);
    for (int i = 0; i < 40; ++i) {
        std::snprintf(app.browserList[i].name, kPathLength, "song%02d.xm", i);
        app.browserList[i].sizeLow = 1023 + 1024 * i;
    }
    app.browserList[0].directory = true;
    app.browserCount = 40;
    app.browserScroll = 22;
    app.browserSelection = 23;
    s.Compose(1024, 768);
    const int top = 49 + 190 * 22 / 40, height = (3420 + 39) / 40;
    ASSERT_EQ(height, 86);
    const skin::Piece& thumb = skin::Get(PieceId::VerticalThumb);
    EXPECT_TRUE(Shows(s.canvas, 503, top, 14, 10, thumb.x, thumb.y));
    EXPECT_TRUE(Shows(s.canvas, 503, top + height - 3, 14, 3, thumb.x, thumb.y + thumb.h - 3));
    EXPECT_TRUE(ShowsText(s.canvas, 526, 38, "song22.xm", 1));
    EXPECT_TRUE(ShowsText(s.canvas, 1017 - 7 * 5, 38, "22 KB", 1));
    EXPECT_FALSE(ShowsText(s.canvas, 526, 50, "song23.xm", 1));  // tinted
}

TEST(Screen, EveryPageAtEverySizeStaysInside) {
    Screen s;
    AppState& app = *s.app;
    AddSample(app, 1, 0, 1000, 2, [](int, int i) { return (i % 50) / 25.0 - 1; }, 1, 100, 800);
    app.song.trackCount = 32;
    app.song.patterns[0].lastRow = 255;
    app.song.patterns[0].rowsPerBeat = 0;
    app.firstShownInstrument = 250;  // beyond what the arrows allow
    app.textEditTarget = app.song.name;
    app.textEdit = TextEditState{565, 260, 32, 31};
    const int sizes[][2] = {{590, 600}, {1024, 768}, {1920, 1080}, {2300, 2200}};
    for (int page = 0; page < 6; ++page)
        for (const auto& size : sizes) {
            app.screenPage = page;
            app.cursor.track = 31;
            app.transport.row = 255;
            s.Compose(size[0], size[1]);
            DrawLiveMeters(app, s.canvas, size[0], size[1]);
        }
    EXPECT_EQ(app.firstShownTrack, 31 - TrackSlotCount(590) + 2);  // kept while the cursor stays in view
}

// The Instrument page's cutoff and envelope-time readings and the Master
// page's band labels, in whole decibels.
TEST(Pages, InstrumentAndEqualiserReadings) {
    Screen s;
    Instrument& in = s.app->song.instruments[s.app->currentInstrument];
    s.app->screenPage = 2;
    for (const auto& [cutoff, text] : {std::pair{128, "440.0 Hz"}, {152, "880.0 Hz"}, {104, "220.0 Hz"}}) {
        in.cutoff = static_cast<uint8_t>(cutoff);
        s.Compose(1024, 768);
        EXPECT_TRUE(ShowsText(s.canvas, 618, 68, text, 2)) << cutoff;
    }
    for (const auto& [attack, text] : {std::pair{128, "1.000 s."}, {104, "0.500 s."}}) {
        in.envelopes[0].attack = static_cast<uint8_t>(attack);
        s.Compose(1024, 768);
        EXPECT_EQ(static_cast<bool>(ShowsText(s.canvas, 883, 52, text, 2)), profile::kEnvelopeTimes) << attack;
    }
    s.app->screenPage = 5;
    const std::pair<int, const char*> bands[] = {{5, "+01"}, {-3, "-01"}, {32, "+12"}, {-32, "-12"}, {0, "-00"}};
    for (int k = 0; k < 5; ++k) s.app->song.eqGains[k] = static_cast<int8_t>(bands[k].first);
    s.Compose(1024, 768);
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(ShowsText(s.canvas, 528 + 21 * k, 128, bands[k].second, 2, true)) << k;
}

// A stereo sample of 1000 frames: two lanes in each view (64 and 16 high), 2
// frames a column, so the waveform ends after 500 columns.
TEST(Pages, SampleViewLanesAndLength) {
    Screen s;
    AddSample(*s.app, s.app->currentInstrument, 0, 1000, 2, [](int, int) { return 0.5; });
    s.app->screenPage = 4;
    s.Compose(1024, 768);
    const uint32_t wave = 0xB4B078, laneTop = 0x101010;
    // lane top, and the line at half scale: centre - (lane / 2 - 1) / 2
    const int lanes[][2] = {{23, 23 + 32 - 15}, {87, 87 + 32 - 15}, {153, 153 + 8 - 3}, {169, 169 + 8 - 3}};
    for (const auto& [top, level] : lanes) {
        EXPECT_EQ(s.canvas.At(505 + 510, top), laneTop) << top;
        EXPECT_EQ(s.canvas.At(505 + 499, level), wave) << top;
        EXPECT_EQ(s.canvas.At(505 + 500, level), 0u) << top;
    }
}

// The tick's meters: 29 pixels a decade up to 87 for full scale; a slot per
// 126 pixels from x 57, clipped at W - 29; the clip light above full scale;
// the hold drops to the level every 64 ticks and each drawing lowers the level
// by 0.75; the master meter at x 8 and the load meter at W - 25 (full build).
TEST(Screen, LiveMetersPlacesHoldAndClip) {
    for (const auto& [level, height] : {std::pair{0.0, 0}, {0.001, 0}, {0.5, 78}, {1.0, 87}, {4.0, 87}})
        EXPECT_EQ(MeterHeight(level), height) << level;
    EXPECT_EQ(MeterHeight(std::nan("")), 0);
    Screen s;
    AppState& app = *s.app;
    const int W = 590, H = 600, y = H - 115;
    app.song.trackCount = 8;
    for (int t = 0; t < 8; ++t) app.song.tracks[t].channel.peakLeft = 1.0;
    app.song.tracks[0].channel.peakLeft = 2.0;
    app.song.tracks[2].channel.peakLeft = 0.5;
    app.song.meters.peakLeft = 1.0;
    app.song.meters.cpuLoad = 1.0;
    s.canvas.Fill(0, 0, W, H, 0);
    app.tickCounter = 1;
    DrawLiveMeters(app, s.canvas, W, H);
    // Full columns (under the hold line on their top row).
    const skin::Piece& lit = skin::Get(PieceId::StereoMeterLit);
    auto full = [&](int x, const skin::Piece& p) { return Shows(s.canvas, x, y + 1, 5, 86, p.x, p.y + 1); };
    for (int i : {0, 1, 3}) EXPECT_TRUE(full(57 + 126 * i, lit)) << i;
    EXPECT_TRUE(Shows(s.canvas, 57 + 252, y + 9, 5, 78, lit.x, lit.y + 9));  // 0.5: 78 lit, 9 unlit above
    EXPECT_TRUE(ShowsPiece(s.canvas, 57 + 252, y, PieceId::MeterUnlitLeft, 5, 8));
    EXPECT_DOUBLE_EQ(app.song.tracks[2].channel.peakLeft.load(), 0.375);
    EXPECT_EQ(s.canvas.At(W - 29, y + 40), 0u);  // slot 4 starts at W - 29: nothing of it shows
    EXPECT_TRUE(ShowsPiece(s.canvas, 57, y - 5, PieceId::ClipLit));
    EXPECT_TRUE(ShowsPiece(s.canvas, 57 + 126, y - 5, PieceId::ClipUnlitLeft));
    EXPECT_EQ(static_cast<bool>(full(8, lit)), profile::kMasterSection);
    EXPECT_EQ(static_cast<bool>(full(W - 25, skin::Get(PieceId::LoadMeterLit))), profile::kMasterSection);
    EXPECT_EQ(app.trackHolds[1][0], 86);
    app.song.tracks[1].channel.peakLeft = 0.0;
    for (const auto& [tick, hold] : {std::pair{63u, 86}, {64u, 0}}) {
        app.tickCounter = tick;
        DrawLiveMeters(app, s.canvas, W, H);
        EXPECT_EQ(app.trackHolds[1][0], hold) << tick;
    }
}

// The scale of a usable desktop; ZELMORA_SCALE's numbers are held to 1..4 and
// to what leaves room for the smallest window, anything else is ignored.
TEST(Scaling, LargestScaleThatLeavesRoom) {
    struct Case {
        int w, h;
        const char* setting;
        int scale;  // in the full build; the earlier build always draws at 1
    };
    const Case cases[] = {
        {1920, 1080, nullptr, 1}, {2560, 1440, nullptr, 1}, {3440, 1440, nullptr, 1}, {3200, 1800, nullptr, 2},
        {3840, 2160, nullptr, 2}, {5120, 2880, nullptr, 3}, {7680, 4320, "", 4},      {3840, 2160, "1", 1},
        {3840, 2160, "3", 3},     {3840, 2160, "9", 3},     {3840, 2160, "0", 1},     {3840, 2160, "x2", 2},
        {1920, 1080, "3", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseScale(c.w, c.h, c.setting), profile::kIntegerScaling ? c.scale : 1)
            << c.w << "x" << c.h << " " << (c.setting ? c.setting : "-");
}

TEST(Scaling, BackBufferGrowsWithTheClientAndNeverShrinks) {
    std::unique_ptr<Canvas> c;
    ASSERT_TRUE(FitBackBuffer(c, 3440, 1440, NoiseSkin()));
    auto size = [&] { return std::make_pair(c->Width(), c->Height()); };
    if constexpr (!profile::kGrowingBackBuffer) {
        EXPECT_EQ(size(), std::make_pair(kBackBufferSize, kBackBufferSize));
        EXPECT_FALSE(FitBackBuffer(c, 4000, 4000, NoiseSkin()));
        return;
    }
    EXPECT_EQ(size(), std::make_pair(3440, 1440));
    EXPECT_FALSE(FitBackBuffer(c, 1024, 768, NoiseSkin()));
    EXPECT_TRUE(FitBackBuffer(c, 1024, 2160, NoiseSkin()));
    EXPECT_EQ(size(), std::make_pair(3440, 2160));
    EXPECT_TRUE(FitBackBuffer(c, 20000, 5000, NoiseSkin(), 4096));  // the shell's own limit
    EXPECT_EQ(size(), std::make_pair(4096, 4096));
    EXPECT_TRUE(FitBackBuffer(c, 20000, 20000, NoiseSkin()));
    EXPECT_EQ(size(), std::make_pair(kMaxBackBufferSide, kMaxBackBufferSide));

    // A wide window is drawn to its right edge: the filler's edge and the
    // right side column at W - 1 and W - 29.
    auto app = MakeTestApp();
    ComposeScreen(*app, *c, 3440, 1440);
    EXPECT_TRUE(ShowsPiece(*c, 3439, 0, PieceId::FillerRightEdge));
    EXPECT_TRUE(ShowsPiece(*c, 3440 - 29, 308, PieceId::SideRightTop));
}

// Each pixel becomes an n x n block; what lies beyond the canvas is black.
TEST(Scaling, ScaleUpRepeatsEveryPixel) {
    Canvas frame(5, 3, NoiseSkin());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) frame.Fill(x, y, 1, 1, 0x10000u * x + 0x100u * y + 1);
    const int n = 3, w = 6, h = 3;  // one column more than the canvas holds
    std::vector<uint32_t> out(static_cast<size_t>(w * n) * h * n, 0xABCDEF);
    ScaleUp(frame, w, h, n, out.data(), w * n);
    for (int y = 0; y < h * n; ++y)
        for (int x = 0; x < w * n; ++x)
            ASSERT_EQ(out[static_cast<size_t>(y) * w * n + x], x / n < 5 ? frame.At(x / n, y / n) : 0u) << x << "," << y;
}

using skin::Get;
using skin::kPieces;

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
        EXPECT_TRUE(p.w > 0 && p.h > 0 && p.x >= 0 && p.y >= 0 && p.x + p.w <= skin::kSkinWidth &&
                    p.y + p.h <= skin::kSkinHeight);
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
    const struct {
        PieceId panel;
        int panelX, panelY;                      // where the panel stands on the screen
        std::vector<std::array<int, 3>> values;  // where each value is drawn on the screen, and its width
    } panels[] = {
        {PieceId::PlaylistPanel, 0, 0, {{71, 20, 2}, {71, 68, 2}}},
        {PieceId::SequencerPanel, 0, 192, {{64, 212, 3}, {71, 260, 2}}},
        {PieceId::HeaderBand, 0, 272, {{71, 292, 2}, {124, 292, 32}, {418, 292, 2}, {534, 292, 2}}},
        {PieceId::HeaderTile, 584, 272, {{584, 292, 9}}},
        {PieceId::TrackHeader, 49, 308, {{99, 312, 2}, {57, 328, 16}}},
        {PieceId::SetupPage, 494, 0, {{586, 20, 32}, {565, 84, 2}, {916, 36, 9}, {565, 100, 64}}},
        {PieceId::BrowserPage, 494, 0, {{565, 20, 60}, {565, 260, 32}}},
        {PieceId::InstrumentPage, 494, 0,
         {{565, 116, 2}, {618, 36, 14}, {728, 116, 4}, {830, 212, 2}, {883, 116, 9}}},
        {PieceId::MasterPage, 494, 0, {{528, 128, 45}}},
    };
    for (const auto& panel : panels)
        for (const auto& [vx, vy, chars] : panel.values) {
            const auto& p = Get(panel.panel);
            const int x0 = p.x + vx - panel.panelX, y0 = p.y + vy - panel.panelY;
            if (y0 + 8 > s.height) continue;  // the earlier skin stops above the lower pages
            for (int y = y0; y < y0 + 8; ++y)
                for (int x = x0; x < x0 + 7 * chars && x < p.x + p.w; ++x)
                    ASSERT_EQ(s.At(x, y), paper) << p.name << " value at " << vx << "," << vy;
        }
}

TEST(Skin, CursorDecodesWithItsHotspotOnInk) {
    const CursorImage c = EmbeddedCursorImage();
    ASSERT_EQ(std::make_tuple(c.width, c.height, c.argb.size()), std::make_tuple(32, 32, 32u * 32u));
    EXPECT_EQ(c.argb[c.hotY * 32 + c.hotX] >> 24, 0xFFu);
    EXPECT_EQ(c.argb[31 * 32 + 31] >> 24, 0u);  // a corner far from the pointer is clear
    CursorImage broken;
    EXPECT_FALSE(DecodeCursor(EmbeddedCursorCur().first(40), broken));  // cut inside the image
    EXPECT_EQ(broken.width, 0);
}

}  // namespace
}  // namespace zelmora
