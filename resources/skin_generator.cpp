// Draws Zelmora's skin picture and mouse cursor.
//
//   zelmora_skin_generator OUTPUT_FOLDER
//
// writes skin.bmp (1060 x 1696, 24-bit bottom-up), skin_earlier.bmp (the top
// 1060 x 1152 of the same drawing, without the controls that build lacks) and
// cursor.cur (32 x 32, 32-bit with alpha). The output depends
// on nothing but this file and the piece table, so every build draws the same
// bytes. Every piece of the table is painted here; the panel pictures are drawn
// in screen coordinates and moved to their place in the atlas. The controls
// stand at the screen places the mouse and the drawing code use (one table,
// screen_places.h), so they land exactly under them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../src/ui/screen_places.h"
#include "../src/ui/skin_pieces.h"

namespace {

using namespace zelmora::skin;
using zelmora::place::CellOf;
using zelmora::place::PlaceId;

// ---------------------------------------------------------------------------
// The palette. Everything below is drawn from these colours.

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kPanel = 0x6E7E96;       // panels; the background of text style 2
constexpr uint32_t kPanelLight = 0xA2B0C4;  // bevel, top and left
constexpr uint32_t kPanelDark = 0x3A4458;   // bevel, bottom and right
constexpr uint32_t kPanelDeep = 0x232A37;   // outer frames, well rims
constexpr uint32_t kTitleBg = 0x465368;     // title strips
constexpr uint32_t kTitleFg = 0xE8DDB0;
constexpr uint32_t kLabel = 0x161C26;       // labels on panels
constexpr uint32_t kLabelShade = 0x8A9AB2;  // the label's engraved highlight
constexpr uint32_t kLightBg = 0xB4C0D0;     // background of text style 3
constexpr uint32_t kDarkGrey = 0x3C3F44;    // text style 3
constexpr uint32_t kYellow = 0xF4EAB4;      // text style 0
constexpr uint32_t kGold = 0xB4944E;        // text style 1
constexpr uint32_t kGridLine = 0x1A202B;    // faint lines in black wells
constexpr uint32_t kSymbol = 0x141A24;      // arrows and button symbols
constexpr uint32_t kThumbLight = 0xC4D0E2;
constexpr uint32_t kThumbFace = 0x8095B6;
constexpr uint32_t kThumbDark = 0x3A465E;
constexpr uint32_t kDragLight = 0xF4DC9C;
constexpr uint32_t kDragFace = 0xC8A050;
constexpr uint32_t kDragDark = 0x6C5424;
constexpr uint32_t kLitFace = 0xD2AC58;  // lit buttons and tabs
constexpr uint32_t kLitLight = 0xF4DCA0;
constexpr uint32_t kLitDark = 0x6E5426;
constexpr uint32_t kLedRed = 0xF04A32;
constexpr uint32_t kLedRedDim = 0x4A1A16;
constexpr uint32_t kLedGreen = 0x5AE06A;
constexpr uint32_t kLedGreenDim = 0x183A1E;
constexpr uint32_t kKnobFace = 0xC6CEDA;
constexpr uint32_t kKnobLight = 0xF0F4F8;
constexpr uint32_t kKnobDark = 0x545C6A;
constexpr uint32_t kKnobLine = 0xE8A830;

uint32_t Mix(uint32_t a, uint32_t b, double t) {  // t = 0 gives a, 1 gives b
    auto ch = [&](int s) {
        const double va = (a >> s) & 0xFF, vb = (b >> s) & 0xFF;
        return static_cast<uint32_t>(std::lround(va + (vb - va) * t)) << s;
    };
    return ch(16) | ch(8) | ch(0);
}

// ---------------------------------------------------------------------------
// The picture and its pen. Drawing is clipped to the picture and to the clip
// rectangle; panels are drawn in screen coordinates shifted by the origin.

struct Picture {
    int width, height;
    std::vector<uint32_t> px;
    Picture(int w, int h, uint32_t fill) : width(w), height(h), px(static_cast<std::size_t>(w) * h, fill) {}
};

struct Pen {
    Picture& pic;
    int ox = 0, oy = 0;                                  // skin = screen + origin
    int cx0 = 0, cy0 = 0, cx1 = 1 << 20, cy1 = 1 << 20;  // clip, skin coordinates

    void Origin(int x, int y) { ox = x, oy = y; }
    void Clip(int x, int y, int w, int h) { cx0 = x, cy0 = y, cx1 = x + w, cy1 = y + h; }
    void Unclip() { cx0 = cy0 = 0, cx1 = cy1 = 1 << 20; }
    // Panels: a piece's picture drawn as the screen shows it at (sx, sy).
    void Panel(PieceId id, int sx, int sy) {
        const Piece& p = zelmora::skin::Get(id);
        Origin(p.x - sx, p.y - sy);
        Clip(p.x, p.y, p.w, p.h);
    }
    void Set(int x, int y, uint32_t c) {
        x += ox, y += oy;
        if (x < cx0 || y < cy0 || x >= cx1 || y >= cy1 || x < 0 || y < 0 || x >= pic.width || y >= pic.height)
            return;
        pic.px[static_cast<std::size_t>(y) * pic.width + x] = c;
    }
    void Fill(int x, int y, int w, int h, uint32_t c) {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) Set(i, j, c);
    }
    void HLine(int x, int y, int w, uint32_t c) { Fill(x, y, w, 1, c); }
    void VLine(int x, int y, int h, uint32_t c) { Fill(x, y, 1, h, c); }
    // A one-pixel bevel on the rectangle's own edge.
    void Bevel(int x, int y, int w, int h, uint32_t light, uint32_t dark) {
        HLine(x, y, w - 1, light);
        VLine(x, y, h - 1, light);
        HLine(x + 1, y + h - 1, w - 1, dark);
        VLine(x + w - 1, y + 1, h - 1, dark);
    }
};

// ---------------------------------------------------------------------------
// The font: one hand for the 7 x 8 text font, the value glyphs and the 6 x 8
// small font. Each glyph is five columns by seven rows (an eighth for
// descenders), '#' ink and '.' paper, rows separated by spaces.

constexpr const char* kGlyphs[95] = {
    "..... ..... ..... ..... ..... ..... .....",          // space
    "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",          // !
    ".#.#. .#.#. ..... ..... ..... ..... .....",          // "
    ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.",          // #
    "..#.. .#### #.#.. .###. ..#.# ####. ..#..",          // $
    "##... ##..# ...#. ..#.. .#... #..## ...##",          // %
    ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",          // &
    "..#.. ..#.. ..... ..... ..... ..... .....",          // '
    "...#. ..#.. .#... .#... .#... ..#.. ...#.",          // (
    ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",          // )
    "..... ..#.. #.#.# .###. #.#.# ..#.. .....",          // *
    "..... ..#.. ..#.. ##### ..#.. ..#.. .....",          // +
    "..... ..... ..... ..... ..... ..#.. ..#.. .#...",    // ,
    "..... ..... ..... .###. ..... ..... .....",          // -
    "..... ..... ..... ..... ..... ..... ..#..",          // .
    "....# ...#. ...#. ..#.. .#... .#... #....",          // /
    ".###. #...# #...# #.#.# #...# #...# .###.",          // 0
    "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",          // 1
    ".###. #...# ....# ..##. .#... #.... #####",          // 2
    "####. ....# ....# .###. ....# ....# ####.",          // 3
    "...#. ..##. .#.#. #..#. ##### ...#. ...#.",          // 4
    "##### #.... ####. ....# ....# #...# .###.",          // 5
    ".###. #.... #.... ####. #...# #...# .###.",          // 6
    "##### ....# ...#. ..#.. ..#.. ..#.. ..#..",          // 7
    ".###. #...# #...# .###. #...# #...# .###.",          // 8
    ".###. #...# #...# .#### ....# ....# .###.",          // 9
    "..... ..#.. ..#.. ..... ..#.. ..#.. .....",          // :
    "..... ..#.. ..#.. ..... ..#.. ..#.. .#...",          // ;
    "...#. ..#.. .#... #.... .#... ..#.. ...#.",          // <
    "..... ..... ##### ..... ##### ..... .....",          // =
    ".#... ..#.. ...#. ....# ...#. ..#.. .#...",          // >
    ".###. #...# ....# ..##. ..#.. ..... ..#..",          // ?
    ".###. #...# #.### #.#.# #.### #.... .####",          // @
    ".###. #...# #...# ##### #...# #...# #...#",          // A
    "####. #...# #...# ####. #...# #...# ####.",          // B
    ".###. #...# #.... #.... #.... #...# .###.",          // C
    "####. #...# #...# #...# #...# #...# ####.",          // D
    "##### #.... #.... ####. #.... #.... #####",          // E
    "##### #.... #.... ####. #.... #.... #....",          // F
    ".###. #...# #.... #.### #...# #...# .####",          // G
    "#...# #...# #...# ##### #...# #...# #...#",          // H
    ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",          // I
    "..### ...#. ...#. ...#. ...#. #..#. .##..",          // J
    "#...# #..#. #.#.. ##... #.#.. #..#. #...#",          // K
    "#.... #.... #.... #.... #.... #.... #####",          // L
    "#...# ##.## #.#.# #.#.# #...# #...# #...#",          // M
    "#...# ##..# ##..# #.#.# #..## #..## #...#",          // N
    ".###. #...# #...# #...# #...# #...# .###.",          // O
    "####. #...# #...# ####. #.... #.... #....",          // P
    ".###. #...# #...# #...# #.#.# #..#. .##.#",          // Q
    "####. #...# #...# ####. #.#.. #..#. #...#",          // R
    ".###. #...# #.... .###. ....# #...# .###.",          // S
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",          // T
    "#...# #...# #...# #...# #...# #...# .###.",          // U
    "#...# #...# #...# #...# #...# .#.#. ..#..",          // V
    "#...# #...# #...# #.#.# #.#.# ##.## #...#",          // W
    "#...# #...# .#.#. ..#.. .#.#. #...# #...#",          // X
    "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",          // Y
    "##### ....# ...#. ..#.. .#... #.... #####",          // Z
    ".###. .#... .#... .#... .#... .#... .###.",          // [
    "#.... .#... .#... ..#.. ...#. ...#. ....#",          // backslash
    ".###. ...#. ...#. ...#. ...#. ...#. .###.",          // ]
    "..#.. .#.#. #...# ..... ..... ..... .....",          // ^
    "..... ..... ..... ..... ..... ..... #####",          // _
    ".#... ..#.. ..... ..... ..... ..... .....",          // `
    "..... ..... .###. ....# .#### #...# .####",          // a
    "#.... #.... ####. #...# #...# #...# ####.",          // b
    "..... ..... .###. #.... #.... #.... .###.",          // c
    "....# ....# .#### #...# #...# #...# .####",          // d
    "..... ..... .###. #...# ##### #.... .###.",          // e
    "..##. .#... ####. .#... .#... .#... .#...",          // f
    "..... ..... .#### #...# #...# .#### ....# .###.",    // g
    "#.... #.... ####. #...# #...# #...# #...#",          // h
    "..#.. ..... .##.. ..#.. ..#.. ..#.. .###.",          // i
    "...#. ..... ..##. ...#. ...#. ...#. #..#. .##..",    // j
    "#.... #.... #..#. #.#.. ##... #.#.. #..#.",          // k
    ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",          // l
    "..... ..... ##.#. #.#.# #.#.# #.#.# #...#",          // m
    "..... ..... ####. #...# #...# #...# #...#",          // n
    "..... ..... .###. #...# #...# #...# .###.",          // o
    "..... ..... ####. #...# #...# ####. #.... #....",    // p
    "..... ..... .#### #...# #...# .#### ....# ....#",    // q
    "..... ..... #.##. ##... #.... #.... #....",          // r
    "..... ..... .###. #.... .##.. ...#. ###..",          // s
    ".#... .#... ####. .#... .#... .#..# ..##.",          // t
    "..... ..... #...# #...# #...# #..## .##.#",          // u
    "..... ..... #...# #...# #...# .#.#. ..#..",          // v
    "..... ..... #...# #...# #.#.# #.#.# .#.#.",          // w
    "..... ..... #...# .#.#. ..#.. .#.#. #...#",          // x
    "..... ..... #...# #...# #...# .#### ....# .###.",    // y
    "..... ..... ##### ...#. ..#.. .#... #####",          // z
    "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.",          // {
    "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",          // |
    ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#...",          // }
    "..... ..... .#... #.#.# ...#. ..... .....",          // ~
};

// Ink of glyph c at column x (0..4), row y (0..7); codes outside 32..126 are blank.
bool Ink(int c, int x, int y) {
    if (c < 32 || c > 126 || x < 0 || x > 4 || y < 0 || y > 7) return false;
    const char* g = kGlyphs[c - 32];
    const std::size_t at = static_cast<std::size_t>(y) * 6 + x;
    return at < std::strlen(g) && g[at] == '#';
}

// Columns of ink of a glyph, for the proportional labels.
void InkColumns(int c, int& first, int& last) {
    first = 5, last = -1;
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 8; ++y)
            if (Ink(c, x, y)) first = std::min(first, x), last = std::max(last, x);
}

struct Style {
    uint32_t ink, paper;
};
constexpr Style kStyles[4] = {{kYellow, kBlack}, {kGold, kBlack}, {kBlack, kPanel}, {kDarkGrey, kLightBg}};

// A glyph in a cell: the five columns start one pixel in, so neighbours stand
// two pixels apart in the 7-wide font and one in the 6-wide one.
void Cell(Pen& pen, int x, int y, int w, int c, const Style& s) {
    pen.Fill(x, y, w, 8, s.paper);
    for (int gy = 0; gy < 8; ++gy)
        for (int gx = 0; gx < 5; ++gx)
            if (Ink(c, gx, gy)) pen.Set(x + 1 + gx, y + gy, s.ink);
}

// Monospaced text in the 7 x 8 font without paper.
void Mono(Pen& pen, int x, int y, const char* text, uint32_t ink) {
    for (; *text; ++text, x += 7)
        for (int gy = 0; gy < 8; ++gy)
            for (int gx = 0; gx < 5; ++gx)
                if (Ink(static_cast<unsigned char>(*text), gx, gy)) pen.Set(x + 1 + gx, y + gy, ink);
}

// Labels: the same glyphs set close, one pixel apart, a space three wide.
int LabelWidth(const char* text) {
    int w = 0;
    for (const char* t = text; *t; ++t) {
        int first, last;
        InkColumns(static_cast<unsigned char>(*t), first, last);
        w += last < first ? 3 : last - first + 2;
    }
    return w > 0 ? w - 1 : 0;
}
void Label(Pen& pen, int x, int y, const char* text, uint32_t ink = kLabel, uint32_t shade = kLabelShade) {
    for (const char* t = text; *t; ++t) {
        const int c = static_cast<unsigned char>(*t);
        int first, last;
        InkColumns(c, first, last);
        if (last < first) {
            x += 3;
            continue;
        }
        for (int gy = 0; gy < 8; ++gy)
            for (int gx = first; gx <= last; ++gx)
                if (Ink(c, gx, gy)) {
                    if (shade != ink && !Ink(c, gx + 1, gy + 1)) pen.Set(x + gx - first + 1, y + gy + 1, shade);
                    pen.Set(x + gx - first, y + gy, ink);
                }
        x += last - first + 2;
    }
}
// A label ending just left of x, the way labels sit beside their values.
void LabelLeftOf(Pen& pen, int x, int y, const char* text) { Label(pen, x - 4 - LabelWidth(text), y, text); }
void LabelCentred(Pen& pen, int x, int y, int w, const char* text, uint32_t ink = kLabel,
                  uint32_t shade = kLabelShade) {
    Label(pen, x + (w - LabelWidth(text)) / 2, y, text, ink, shade);
}

// ---------------------------------------------------------------------------
// Furniture.

// A panel: raised, with an optional title strip across its top.
void PanelFrame(Pen& pen, int x, int y, int w, int h, const char* title = nullptr) {
    pen.Fill(x, y, w, h, kPanel);
    pen.Bevel(x, y, w, h, kPanelLight, kPanelDark);
    if (title) {
        pen.Fill(x + 1, y + 1, w - 2, 14, kTitleBg);
        pen.HLine(x + 1, y + 15, w - 2, kPanelDark);
        Label(pen, x + 6, y + 4, title, kTitleFg, kTitleBg);
    }
}

// A sunken field whose inside is the panel colour, for values in style 2.
void Field(Pen& pen, int x, int y, int w, int h) {
    pen.Fill(x, y, w, h, kPanel);
    pen.Bevel(x, y, w, h, kPanelDark, kPanelLight);
}

// A black well with a sunken rim.
void Well(Pen& pen, int x, int y, int w, int h, uint32_t inside = kBlack) {
    pen.Fill(x, y, w, h, inside);
    pen.Bevel(x, y, w, h, kPanelDeep, kPanelLight);
}

// A button face, released (raised) or pressed (sunken, one pixel darker).
void ButtonFace(Pen& pen, int x, int y, int w, int h, bool pressed) {
    pen.Fill(x, y, w, h, pressed ? Mix(kPanel, kPanelDark, 0.25) : Mix(kPanel, kPanelLight, 0.18));
    if (pressed) {
        pen.Bevel(x, y, w, h, kPanelDeep, kPanelLight);
    } else {
        pen.Bevel(x, y, w, h, kPanelLight, kPanelDeep);
        pen.HLine(x + 1, y + h - 2, w - 2, kPanelDark);
        pen.VLine(x + w - 2, y + 1, h - 2, kPanelDark);
    }
}

void LabelButton(Pen& pen, int x, int y, int w, int h, const char* text, bool pressed) {
    ButtonFace(pen, x, y, w, h, pressed);
    const int d = pressed ? 1 : 0;
    LabelCentred(pen, x + d, y + (h - 7) / 2 + d, w, text, kLabel, kLabel);
}

// A triangle pointing up or down, centred in a box.
void Triangle(Pen& pen, int cx, int cy, int size, bool up, uint32_t c) {
    for (int i = 0; i < size; ++i) {
        const int row = up ? cy - size / 2 + i : cy + size / 2 - i;
        pen.HLine(cx - i, row, 2 * i + 1, c);
    }
}
void TriangleRight(Pen& pen, int x, int cy, int size, uint32_t c) {
    for (int i = 0; i < size; ++i) pen.VLine(x + i, cy - (size - 1 - i), 2 * (size - 1 - i) + 1, c);
}

void ArrowButton(Pen& pen, int x, int y, int w, int h, bool up, bool pressed) {
    ButtonFace(pen, x, y, w, h, pressed);
    const int d = pressed ? 1 : 0;
    Triangle(pen, x + w / 2 - 1 + d, y + h / 2 - (up ? 1 : 0) + d, h >= 16 ? 4 : 3, up, kSymbol);
}

// A vertical scroll column: arrows above and below a groove.
void ScrollColumn(Pen& pen, int x, int yUp, int barY, int barH, int yDown) {
    ArrowButton(pen, x, yUp, 16, 12, true, false);
    Well(pen, x, barY, 16, barH, 0x0C0F15);
    ArrowButton(pen, x, yDown, 16, 12, false, false);
}

// A scroll column from the places of its arrows and bar.
void ScrollColumn(Pen& pen, PlaceId up, PlaceId bar, PlaceId down) {
    const auto& u = zelmora::place::Get(up);
    ScrollColumn(pen, u.x, u.y, zelmora::place::Get(bar).y, zelmora::place::Get(bar).h,
                 zelmora::place::Get(down).y);
}

// The up and down arrows of cells 2 k and 2 k + 1 of an arrow-pair place.
void ArrowPair(Pen& pen, PlaceId place, int k) {
    for (int i : {2 * k, 2 * k + 1}) {
        const auto cell = CellOf(place, i);
        ArrowButton(pen, cell.x, cell.y, cell.w, cell.h, i % 2 == 0, false);
    }
}

// A well for a list in styles 0 and 1: black, with faint separators between
// its columns.
void ListWell(Pen& pen, int x, int y, int w, int h, std::initializer_list<int> columns) {
    Well(pen, x - 1, y - 1, w + 2, h + 2);
    for (int c : columns) pen.VLine(c, y, h, kGridLine);
}

// A fader groove, centred on cx.
void FaderGroove(Pen& pen, int cx, int y0, int y1) {
    pen.Fill(cx - 1, y0, 3, y1 - y0, kBlack);
    pen.VLine(cx - 2, y0, y1 - y0, kPanelDark);
    pen.VLine(cx + 2, y0, y1 - y0, kPanelLight);
    pen.HLine(cx - 2, y0 - 1, 5, kPanelDark);
    pen.HLine(cx - 2, y1, 5, kPanelLight);
}

// ---------------------------------------------------------------------------
// Meters: a gradient green (bottom) through yellow to red (top), in segments
// of three rows with a dark gap between them.

uint32_t MeterColour(int fromBottom) {  // 0 .. 86
    const double t = fromBottom / 86.0;
    if (t < 0.6) return Mix(0x2EC850, 0x9EE040, t / 0.6);
    if (t < 0.85) return Mix(0x9EE040, 0xF0D030, (t - 0.6) / 0.25);
    return Mix(0xF0D030, 0xF03C28, (t - 0.85) / 0.15);
}
void MeterColumn(Pen& pen, int x, int y, bool lit) {
    for (int r = 0; r < kMeterHeight; ++r) {
        const int fromBottom = kMeterHeight - 1 - r;
        const bool gap = fromBottom % 3 == 2;
        uint32_t c = MeterColour(fromBottom);
        if (!lit) c = Mix(kBlack, c, 0.16);
        if (gap) c = Mix(kBlack, c, lit ? 0.35 : 0.5);
        pen.HLine(x, y + r, 5, c);
    }
}
void ClipLight(Pen& pen, int x, int y, bool lit) {
    pen.Fill(x, y, 5, 4, lit ? kLedRed : kLedRedDim);
    if (lit) pen.HLine(x + 1, y, 3, 0xFFA890);
}
// The well of a stereo meter whose left column is at (x, y): both columns,
// their clip lights five rows above.
void StereoMeterWell(Pen& pen, int x, int y) {
    Well(pen, x - 1, y - 6, 13, kMeterHeight + 7);
    ClipLight(pen, x, y - 5, false);
    ClipLight(pen, x + 6, y - 5, false);
    MeterColumn(pen, x, y, false);
    MeterColumn(pen, x + 6, y, false);
}

// ---------------------------------------------------------------------------
// The shared pieces: fonts, bars, pressed buttons, meters, small symbols.

void DrawFonts(Pen& pen) {
    pen.Origin(0, 0);
    pen.Unclip();
    const Piece& text = Get(PieceId::TextFont);
    for (int s = 0; s < kTextStyles; ++s)
        for (int c = 0; c < 128; ++c) Cell(pen, text.x + kTextW * c, text.y + kTextH * s, kTextW, c, kStyles[s]);

    const Piece& value = Get(PieceId::ValueFont);
    for (int s = 0; s < kValueStyles; ++s)
        for (int v = 0; v < kValueGlyphs; ++v)
            Cell(pen, value.x + kTextW * v, value.y + kTextH * s, kTextW, v < 10 ? '0' + v : 'A' + v - 10,
                 kStyles[s]);

    // The small font from code 32 on; the cells below hold the empty glyphs,
    // and what is left of them stays blank.
    const Piece& small = Get(PieceId::SmallFont);
    for (int s = 0; s < kSmallStyles; ++s)
        for (int c = 0; c < 128; ++c) Cell(pen, small.x + kSmallW * c, small.y + kSmallH * s, kSmallW, c, kStyles[s]);

    // Empty cells: the same glyphs, dimmed towards the paper.
    for (int s = 0; s < kSmallStyles; ++s) {
        const Style dim{Mix(kStyles[s].paper, kStyles[s].ink, s == 2 ? 0.45 : 0.32), kStyles[s].paper};
        const Piece& fx = Get(PieceId::EmptyEffect);
        for (int i = 0; i < 3; ++i) Cell(pen, fx.x + 7 * i, fx.y + 8 * s, 7, '0', dim);
        const Piece& in = Get(PieceId::EmptyInstrument);
        for (int i = 0; i < 2; ++i) Cell(pen, in.x + 7 * i, in.y + 8 * s, 7, '.', dim);
        const Piece& note = Get(PieceId::EmptyNote);
        pen.Fill(note.x, note.y + 8 * s, note.w, 8, dim.paper);
        for (int i = 0; i < 3; ++i) pen.HLine(note.x + 7 * i + 2, note.y + 8 * s + 3, 3, dim.ink);
    }
}

// One bar for the horizontal thumb and both selection tints: a light top and
// left edge, a dark bottom and right edge and an even face, so any stretch of
// it is a thumb and its inside, blended at half strength, an even tint.
void DrawHorizontalBar(Pen& pen) {
    const Piece& p = Get(PieceId::HorizontalThumb);
    pen.Origin(0, 0);
    pen.Unclip();
    pen.Fill(p.x, p.y, p.w, p.h, kThumbFace);
    pen.Bevel(p.x, p.y, p.w, p.h, kThumbLight, kThumbDark);
}

// The vertical thumbs: caps of three rows at both ends, an even middle.
void VerticalThumb(Pen& pen, const Piece& p, uint32_t light, uint32_t face, uint32_t dark) {
    pen.Fill(p.x, p.y, p.w, p.h, face);
    pen.Bevel(p.x, p.y, p.w, p.h, light, dark);
    pen.HLine(p.x + 1, p.y + 1, p.w - 2, Mix(face, light, 0.5));
    pen.HLine(p.x + 1, p.y + p.h - 2, p.w - 2, Mix(face, dark, 0.5));
    pen.HLine(p.x + 2, p.y + 2, p.w - 4, Mix(face, light, 0.25));
    pen.HLine(p.x + 2, p.y + p.h - 3, p.w - 4, Mix(face, dark, 0.25));
}

void DrawButtonColumn(Pen& pen) {
    pen.Origin(0, 0);
    pen.Unclip();
    VerticalThumb(pen, Get(PieceId::VerticalThumb), kThumbLight, kThumbFace, kThumbDark);
    VerticalThumb(pen, Get(PieceId::VerticalThumbDragged), kDragLight, kDragFace, kDragDark);

    auto at = [&](PieceId id) -> const Piece& { return Get(id); };
    auto arrow = [&](PieceId id, bool up) {
        const Piece& p = at(id);
        ArrowButton(pen, p.x, p.y, p.w, p.h, up, true);
    };
    arrow(PieceId::ArrowUpPressed, true);
    arrow(PieceId::ArrowDownPressed, false);
    arrow(PieceId::SmallUpPressed, true);
    arrow(PieceId::SmallDownPressed, false);
    auto labelled = [&](PieceId id, const char* text) {
        const Piece& p = at(id);
        LabelButton(pen, p.x, p.y, p.w, p.h, text, true);
    };
    labelled(PieceId::InsertPressed, "INS");
    labelled(PieceId::DeletePressed, "DEL");
    labelled(PieceId::FillPressed, "FILL");
    labelled(PieceId::SavePressed, "SAVE");
    labelled(PieceId::ExportPressed, "EXPORT");

    // Value fields held for dragging: the field with a lit rim.
    for (PieceId id : {PieceId::FieldPressed, PieceId::LabelPressed}) {
        const Piece& p = at(id);
        Field(pen, p.x, p.y, p.w, p.h);
        pen.Bevel(p.x + 1, p.y + 1, p.w - 2, p.h - 2, kLitFace, kLitFace);
    }
}

// The transport symbols, in a 32 x 30 button.
enum class Transport { kSong, kPattern, kStop, kFromRow };
void TransportButton(Pen& pen, int x, int y, Transport t, bool pressed) {
    ButtonFace(pen, x, y, 32, 30, pressed);
    const int d = pressed ? 1 : 0;
    const int cx = x + 15 + d, cy = y + 14 + d;
    switch (t) {
        case Transport::kSong:  // play: a solid triangle
            TriangleRight(pen, cx - 3, cy, 8, kSymbol);
            break;
        case Transport::kPattern:  // play the pattern round: a triangle between brackets
            TriangleRight(pen, cx - 2, cy, 6, kSymbol);
            pen.VLine(cx - 8, cy - 6, 13, kSymbol);
            pen.HLine(cx - 8, cy - 6, 3, kSymbol);
            pen.HLine(cx - 8, cy + 6, 3, kSymbol);
            pen.VLine(cx + 7, cy - 6, 13, kSymbol);
            pen.HLine(cx + 5, cy - 6, 3, kSymbol);
            pen.HLine(cx + 5, cy + 6, 3, kSymbol);
            break;
        case Transport::kStop:
            pen.Fill(cx - 5, cy - 5, 11, 11, kSymbol);
            break;
        case Transport::kFromRow:  // play from here: a bar, then a triangle
            pen.Fill(cx - 7, cy - 6, 2, 13, kSymbol);
            TriangleRight(pen, cx - 2, cy, 7, kSymbol);
            break;
    }
}

void FolderSymbol(Pen& pen, int x, int y, uint32_t body, uint32_t edge) {  // 12 x 12
    pen.Fill(x + 1, y + 2, 4, 2, body);
    pen.Fill(x, y + 3, 12, 8, body);
    pen.HLine(x + 1, y + 2, 4, edge);
    pen.HLine(x, y + 3, 12, Mix(body, 0xFFFFFF, 0.35));
    pen.HLine(x, y + 10, 12, edge);
    pen.VLine(x, y + 3, 8, edge);
    pen.VLine(x + 11, y + 3, 8, edge);
}

void RefreshSymbol(Pen& pen, int cx, int cy, uint32_t c) {  // a ring, open at the top right, with its arrow head
    for (int y = -5; y <= 5; ++y)
        for (int x = -5; x <= 5; ++x) {
            const int d = x * x + y * y;
            if (d >= 13 && d <= 24 && !(x > 0 && y < 0)) pen.Set(cx + x, cy + y, c);
        }
    pen.HLine(cx + 1, cy - 4, 4, c);
    pen.VLine(cx + 4, cy - 4, 4, c);
    pen.Set(cx + 1, cy - 5, c);
}

void DrawSmallPieces(Pen& pen) {
    pen.Origin(0, 0);
    pen.Unclip();
    auto p = [&](PieceId id) -> const Piece& { return Get(id); };
    {
        const Piece& b = p(PieceId::PlaySongPressed);
        TransportButton(pen, b.x, b.y, Transport::kSong, true);
        const Piece& c = p(PieceId::PlayPatternPressed);
        TransportButton(pen, c.x, c.y, Transport::kPattern, true);
        const Piece& s = p(PieceId::StopPressed);
        TransportButton(pen, s.x, s.y, Transport::kStop, true);
        const Piece& r = p(PieceId::PlayFromRowPressed);
        TransportButton(pen, r.x, r.y, Transport::kFromRow, true);
    }
    // Loop markers: a flag at the top of the dotted line, pointing inwards.
    for (PieceId id : {PieceId::LoopStart, PieceId::LoopEnd}) {
        const Piece& m = p(id);
        const bool start = id == PieceId::LoopStart;
        pen.Fill(m.x, m.y, m.w, m.h, kBlack);
        pen.VLine(m.x + 4, m.y, m.h, kYellow);
        for (int i = 0; i < 5; ++i) {
            const int len = 5 - i;
            if (start)
                pen.HLine(m.x + 4, m.y + i, len, kLitFace);
            else
                pen.HLine(m.x + 5 - len, m.y + i, len, kLitFace);
        }
    }
    // The fader knob and its shadow (blended at half strength by the drawing code).
    {
        const Piece& s = p(PieceId::FaderShadow);
        pen.Fill(s.x, s.y, s.w, s.h, kBlack);
        const Piece& k = p(PieceId::FaderKnob);
        pen.Fill(k.x, k.y, k.w, k.h, kKnobFace);
        pen.Bevel(k.x, k.y, k.w, k.h, kKnobLight, kKnobDark);
        pen.Bevel(k.x + 1, k.y + 1, k.w - 2, k.h - 2, Mix(kKnobFace, kKnobLight, 0.5), Mix(kKnobFace, kKnobDark, 0.5));
        for (int r : {5, 8, 23, 26}) pen.HLine(k.x + 3, k.y + r, k.w - 6, Mix(kKnobFace, kKnobDark, 0.45));
        pen.HLine(k.x + 2, k.y + 15, k.w - 4, kSymbol);
        pen.HLine(k.x + 2, k.y + 16, k.w - 4, kKnobLine);
    }
    // Lit toolbar buttons and envelope tabs.
    const char* pages[6] = {"Setup", "Browser", "Instrument", "Region", "Sample", "Master"};
    const Piece& lit = p(PieceId::ToolbarLit);
    for (int k = 0; k < 6; ++k) {
        const int y = lit.y + kToolbarButtonH * k;
        pen.Fill(lit.x, y, lit.w, kToolbarButtonH, kLitFace);
        pen.Bevel(lit.x, y, lit.w, kToolbarButtonH, kLitDark, kLitLight);
        LabelCentred(pen, lit.x + 1, y + 5, lit.w, pages[k], kSymbol, kSymbol);
    }
    const char* tabs[3] = {"Amp", "Filter", "Pitch"};
    const Piece& tab = p(PieceId::EnvelopeTabLit);
    for (int k = 0; k < 3; ++k) {
        const int y = tab.y + kEnvelopeTabH * k;
        pen.Fill(tab.x, y, tab.w, kEnvelopeTabH, kLitFace);
        pen.Bevel(tab.x, y, tab.w, kEnvelopeTabH, kLitLight, kLitDark);
        LabelCentred(pen, tab.x, y + 4, tab.w, tabs[k], kSymbol, kSymbol);
    }
    // Browser buttons, pressed.
    {
        const Piece& f = p(PieceId::ChooseFolderPressed);
        ButtonFace(pen, f.x, f.y, f.w, f.h, true);
        FolderSymbol(pen, f.x + 3, f.y + 3, kLitFace, kSymbol);
        const Piece& r = p(PieceId::RefreshPressed);
        ButtonFace(pen, r.x, r.y, r.w, r.h, true);
        RefreshSymbol(pen, r.x + 8, r.y + 8, kSymbol);
    }
    // Setup's big buttons, pressed.
    {
        const Piece& c = p(PieceId::ControlPanelPressed);
        ButtonFace(pen, c.x, c.y, c.w, c.h, true);
        LabelCentred(pen, c.x + 1, c.y + 12, c.w, "DRIVER", kLabel, kLabel);
        LabelCentred(pen, c.x + 1, c.y + 25, c.w, "CONTROL PANEL", kLabel, kLabel);
        const Piece& r = p(PieceId::RestartPressed);
        ButtonFace(pen, r.x, r.y, r.w, r.h, true);
        LabelCentred(pen, r.x + 1, r.y + 12, r.w, "RESTART", kLabel, kLabel);
        LabelCentred(pen, r.x + 1, r.y + 25, r.w, "AUDIO", kLabel, kLabel);
    }
    {
        const Piece& f = p(PieceId::FolderIcon);
        pen.Fill(f.x, f.y, f.w, f.h, kBlack);
        FolderSymbol(pen, f.x, f.y, kGold, Mix(kGold, kBlack, 0.5));
    }
    ClipLight(pen, p(PieceId::ClipLit).x, p(PieceId::ClipLit).y, true);
    MeterColumn(pen, p(PieceId::StereoMeterLit).x, p(PieceId::StereoMeterLit).y, true);
    {  // the load meter: one hue, cool to warm
        const Piece& m = p(PieceId::LoadMeterLit);
        for (int r = 0; r < m.h; ++r) {
            const int fromBottom = m.h - 1 - r;
            uint32_t c = Mix(0x3C8CE0, 0xF0A030, fromBottom / 86.0);
            if (fromBottom % 3 == 2) c = Mix(kBlack, c, 0.35);
            pen.HLine(m.x, m.y + r, m.w, c);
        }
    }
    for (PieceId id : {PieceId::StereoHoldLine, PieceId::LoadHoldLine}) pen.HLine(p(id).x, p(id).y, 5, 0xFFF6D8);
    // The edit-mode light: "REC", dark when off, red when on.
    for (PieceId id : {PieceId::EditModeOff, PieceId::EditModeOn}) {
        const Piece& e = p(id);
        const bool on = id == PieceId::EditModeOn;
        pen.Fill(e.x, e.y, e.w, e.h, on ? kLedRed : Mix(kPanel, kPanelDark, 0.5));
        Label(pen, e.x + 2, e.y, "REC", on ? 0xFFF0E0 : Mix(kPanel, kPanelDark, 0.1), on ? 0xFFF0E0 : Mix(kPanel, kPanelDark, 0.1));
    }
    {
        const Piece& s = p(PieceId::EqSwitchLit);
        pen.Fill(s.x, s.y, s.w, s.h, kLedGreen);
        pen.HLine(s.x + 1, s.y + 1, 2, 0xD8FFD8);
    }
    // A track's mute and solo lights, "M" amber and "S" green: unlit above, lit below.
    const struct {
        PieceId id;
        const char* letter;
        uint32_t lit;
    } lights[] = {{PieceId::MuteLight, "M", 0xF0B030}, {PieceId::SoloLight, "S", kLedGreen}};
    for (const auto& light : lights) {
        const Piece& l = p(light.id);
        for (int half = 0; half < 2; ++half) {
            const int y = l.y + 8 * half;
            const uint32_t ink = half ? kBlack : Mix(kPanel, kPanelDark, 0.1);
            pen.Fill(l.x, y, l.w, 8, half ? light.lit : Mix(kPanel, kPanelDark, 0.5));
            LabelCentred(pen, l.x, y, l.w, light.letter, ink, ink);
        }
    }
}

// ---------------------------------------------------------------------------
// The top band, drawn in screen coordinates.

void DrawPlaylist(Pen& pen) {
    pen.Panel(PieceId::PlaylistPanel, 0, 0);
    PanelFrame(pen, 0, 0, 188, 192, "PLAYLIST");
    const char* labels[4] = {"POSITION", "PATTERN", "LENGTH", "RESTART"};
    for (int k = 0; k < 4; ++k) {
        const auto field = CellOf(PlaceId::PlaylistFields, k);
        LabelLeftOf(pen, field.x, field.y + 4, labels[k]);
        Field(pen, field.x, field.y, field.w, field.h);
        ArrowPair(pen, PlaceId::PlaylistArrows, k);
    }
    // The order list: nine lines, the current entry always in the middle.
    pen.HLine(4, 81, 148, kPanelDark);
    pen.HLine(4, 82, 148, kPanelLight);
    ScrollColumn(pen, PlaceId::OrderUp, PlaceId::OrderBar, PlaceId::OrderDown);
    ListWell(pen, 28, 84, 125, 107, {50, 71});
    pen.Fill(28, 132, 125, 12, kPanel);
    pen.HLine(28, 132, 125, Mix(kPanel, kPanelLight, 0.6));
    pen.HLine(28, 143, 125, kPanelDark);
    LabelCentred(pen, 156, 92, 32, "ORDER");
    LabelCentred(pen, 156, 102, 32, "EDIT");
    const std::pair<PlaceId, const char*> buttons[] = {
        {PlaceId::InsertButton, "INS"}, {PlaceId::DeleteButton, "DEL"}, {PlaceId::FillButton, "FILL"}};
    for (const auto& [place, text] : buttons) {
        const auto b = CellOf(place, 0);
        LabelButton(pen, b.x, b.y, b.w, b.h, text, false);
    }
    ArrowPair(pen, PlaceId::SmallArrows, 0);
}

void DrawSequencer(Pen& pen) {
    pen.Panel(PieceId::SequencerPanel, 0, 192);
    PanelFrame(pen, 0, 192, 188, 80, "SEQUENCER");
    const char* labels[4] = {"TEMPO", "SPEED", "TRACKS", "STEP"};
    for (int k = 0; k < 4; ++k) {
        const auto field = CellOf(PlaceId::SequencerFields, k);
        LabelLeftOf(pen, field.x, field.y + 4, labels[k]);
        Field(pen, field.x, field.y, field.w, field.h);
        ArrowPair(pen, PlaceId::SequencerArrows, k);
    }
    const Transport buttons[4] = {Transport::kSong, Transport::kPattern, Transport::kStop,
                                  Transport::kFromRow};
    for (int i = 0; i < 4; ++i)
        TransportButton(pen, CellOf(PlaceId::Transport, i).x, CellOf(PlaceId::Transport, i).y, buttons[i],
                        false);
}

void DrawLists(Pen& pen) {
    pen.Panel(PieceId::ListsPanel, 188, 0);
    PanelFrame(pen, 188, 0, 242, 272, "INSTRUMENTS");
    ScrollColumn(pen, PlaceId::InstrumentUp, PlaceId::InstrumentBar, PlaceId::InstrumentDown);
    const auto& instruments = zelmora::place::Get(PlaceId::InstrumentRows);
    ListWell(pen, instruments.x, instruments.y, instruments.w, instruments.h, {238});
    pen.Fill(189, 161, 240, 14, kTitleBg);
    pen.HLine(189, 160, 240, kPanelLight);
    pen.HLine(189, 175, 240, kPanelDark);
    Label(pen, 194, 164, "REGIONS OF THE INSTRUMENT", kTitleFg, kTitleBg);
    ScrollColumn(pen, PlaceId::SampleUp, PlaceId::SampleBar, PlaceId::SampleDown);
    const auto& samples = zelmora::place::Get(PlaceId::SampleRows);
    ListWell(pen, samples.x, samples.y, samples.w, samples.h - 1, {238});  // its rim ends the panel
}

// The earlier build's skin: its toolbar offers only Setup and Browser, its
// Browser page has no save button and its pattern view no master strip or
// load meter, since that build has neither saving nor the master section.
bool g_earlierSkin = false;

void DrawToolbar(Pen& pen) {
    pen.Panel(PieceId::ToolbarPanel, 430, 0);
    PanelFrame(pen, 430, 0, 64, 272, "PAGES");
    const char* pages[6] = {"Setup", "Browser", "Instrument", "Region", "Sample", "Master"};
    for (int k = 0; k < (g_earlierSkin ? 2 : 6); ++k) {
        const auto b = CellOf(PlaceId::Toolbar, k);
        LabelButton(pen, b.x, b.y, b.w, b.h, pages[k], false);
    }
    // The name plate.
    Well(pen, 442, 124, 40, 140, 0x0A0C10);
    const char* name = "ZELMORA";
    for (int i = 0; i < 7; ++i) {
        const char letter[2] = {name[i], 0};
        Mono(pen, 458, 135 + 17 * i, letter, i == 0 ? kYellow : kGold);
    }
}

void DrawFiller(Pen& pen) {
    // The filler of the top band beyond x 1024: an empty panel.
    const Piece& left = Get(PieceId::FillerLeftEdge);
    const Piece& tile = Get(PieceId::FillerTile);
    const Piece& right = Get(PieceId::FillerRightEdge);
    pen.Origin(0, 0);
    pen.Unclip();
    for (const Piece* p : {&left, &tile, &right}) {
        pen.Fill(p->x, p->y, p->w, p->h, Mix(kPanel, kPanelDark, 0.3));
        pen.HLine(p->x, p->y, p->w, kPanelLight);
        pen.HLine(p->x, p->y + p->h - 1, p->w, kPanelDark);
        pen.HLine(p->x, p->y + 15, p->w, kPanelDark);
        pen.Fill(p->x, p->y + 1, p->w, 14, kTitleBg);
    }
    pen.VLine(left.x, left.y, left.h, kPanelLight);
    pen.VLine(right.x, right.y + 1, right.h - 1, kPanelDark);
}

// ---------------------------------------------------------------------------
// The pattern editor, drawn as the screen shows it with a client height of 592
// (so the skin's rows are the screen's plus 128) and one track slot.

constexpr int kH = 592;  // the client height the pattern pictures are drawn for

void DrawHeader(Pen& pen) {
    pen.Panel(PieceId::HeaderBand, 0, 272);
    pen.Fill(0, 272, 584, 36, kPanel);
    pen.HLine(0, 272, 584, kPanelLight);
    pen.VLine(0, 272, 36, kPanelLight);
    pen.HLine(0, 307, 584, kPanelDark);
    pen.Fill(1, 273, 583, 13, kTitleBg);
    pen.HLine(1, 286, 583, kPanelDark);
    Label(pen, 6, 276, "PATTERN EDITOR", kTitleFg, kTitleBg);
    Label(pen, 584 - 4 - LabelWidth("STATUS"), 276, "STATUS", kTitleFg, kTitleBg);  // above the status line
    LabelLeftOf(pen, 67, 292, "PATTERN");
    Field(pen, 67, 288, 21, 16);
    LabelLeftOf(pen, 120, 292, "NAME");
    Field(pen, 120, 288, 232, 16);
    LabelLeftOf(pen, 414, 292, "ROWS");
    Field(pen, 414, 288, 21, 16);
    LabelLeftOf(pen, 530, 292, "ROWS/BEAT");
    Field(pen, 530, 288, 21, 16);
    pen.VLine(580, 288, 16, kPanelDark);  // the status line follows

    const Piece& tile = Get(PieceId::HeaderTile);
    const Piece& edge = Get(PieceId::HeaderRightEdge);
    pen.Origin(0, 0);
    for (const Piece* p : {&tile, &edge}) {
        pen.Clip(p->x, p->y, p->w, p->h);
        pen.Fill(p->x, p->y, p->w, p->h, kPanel);
        pen.HLine(p->x, p->y, p->w, kPanelLight);
        pen.HLine(p->x, p->y + 35, p->w, kPanelDark);
        pen.Fill(p->x, p->y + 1, p->w, 13, kTitleBg);
        pen.HLine(p->x, p->y + 14, p->w, kPanelDark);
    }
    pen.Clip(edge.x, edge.y, edge.w, edge.h);
    pen.VLine(edge.x, edge.y + 1, edge.h - 1, kPanelDark);
}

// The cursor-row band: the panel colour, so the cursor row's style-2 text
// sits on it seamlessly, with a lit top line and a dark bottom line.
void CursorBand(Pen& pen, int x, int y, int w, bool active) {
    const uint32_t face = active ? kPanel : Mix(kPanel, kBlack, 0.55);
    pen.Fill(x, y, w, 12, face);
    pen.HLine(x, y, w, Mix(face, kPanelLight, 0.8));
    pen.HLine(x, y + 11, w, Mix(face, kPanelDark, 0.8));
}

// A track slot at x (49 for a track, 204 for a slot past the last track).
void DrawTrackSlot(Pen& pen, int x, bool exists) {
    const int top = 308, cursorRow = 398, strip = kH - 124, groove = kH - 24;
    pen.Origin(0, 128);
    pen.Clip(x, 436, 126, 260);
    // Header.
    const uint32_t face = exists ? kPanel : Mix(kPanel, kBlack, 0.45);
    pen.Fill(x, top, 126, 32, face);
    pen.Bevel(x, top, 126, 32, exists ? kPanelLight : Mix(face, kPanelLight, 0.3), kPanelDeep);
    if (exists) {
        Label(pen, x + 8, top + 4, "TRACK");
        Field(pen, x + 4, top + 17, 119, 14);
    } else {
        pen.HLine(x + 4, top + 16, 118, Mix(face, kPanelDark, 0.6));
    }
    // Body: black with a faint rule between the track's cell groups.
    pen.Fill(x, top + 32, 126, strip - top - 32, exists ? kBlack : 0x07090C);
    pen.VLine(x, top + 32, strip - top - 32, exists ? 0x263042 : 0x141A24);
    if (exists)
        for (int c : {30, 50, 75, 100}) pen.VLine(x + c, top + 32, strip - top - 32, kGridLine);
    CursorBand(pen, x, cursorRow, 126, exists);
    // Mixer strip.
    pen.Fill(x, strip, 126, 100, face);
    pen.Bevel(x, strip, 126, 100, exists ? kPanelLight : Mix(face, kPanelLight, 0.3), kPanelDeep);
    if (exists) {
        StereoMeterWell(pen, x + 8, strip + 9);
        FaderGroove(pen, x + 29, strip + 14, strip + 87);
        // The fader's scale: the knob's line stands at strip + 82 - volume.
        const struct {
            int volume;
            const char* db;
        } marks[] = {{64, "0 dB"}, {32, "-6"}, {16, "-12"}, {0, "-inf"}};
        for (const auto& m : marks) {
            const int y = strip + 82 - m.volume;
            pen.HLine(x + 40, y, 4, kPanelDark);
            Label(pen, x + 47, y - 3, m.db);
        }
    }
    // The scroll groove runs under every slot.
    pen.Fill(x, groove, 126, 24, Mix(kPanel, kPanelDark, 0.3));
    pen.HLine(x, groove, 126, kPanelLight);
    Well(pen, x, groove + 4, 126, 16, 0x0C0F15);
}

void DrawGroove(Pen& pen) {
    // The caps and tile of the horizontal scroll groove, skin y 696..720.
    const Piece& l = Get(PieceId::GrooveLeftCap);
    const Piece& r = Get(PieceId::GrooveRightCap);
    pen.Origin(0, 0);
    pen.Clip(l.x, l.y, r.x + r.w - l.x, l.h);
    pen.Fill(l.x, l.y, r.x + r.w - l.x, 24, Mix(kPanel, kPanelDark, 0.3));
    pen.HLine(l.x, l.y, r.x + r.w - l.x, kPanelLight);
    pen.HLine(l.x, l.y + 23, r.x + r.w - l.x, kPanelDark);
    // The trough from x 61 (left cap's last column) to the right cap's first.
    Well(pen, l.x + 12, l.y + 4, r.x - (l.x + 12) + 1, 16, 0x0C0F15);
}

void DrawSideColumns(Pen& pen) {
    const int strip = kH - 124, groove = kH - 24, cursorRow = 398;
    pen.Origin(0, 128);
    // Left: the pattern's scroll groove (8..24), the row numbers (28..48) and,
    // at the bottom, the master strip.
    pen.Clip(0, 436, 49, 284);
    pen.Fill(0, 308, 49, kH - 308, kPanel);
    pen.VLine(0, 308, kH - 308, kPanelLight);
    pen.HLine(0, 308, 49, kPanelLight);
    Label(pen, 7, 312, "ROW");
    pen.Fill(28, 340, 21, strip - 340, kBlack);
    pen.VLine(27, 340, strip - 340, kPanelDeep);
    Well(pen, 8, 352, 16, kH - 137 - 352 + 1, 0x0C0F15);
    // The master strip.
    pen.Fill(0, strip, 49, 100, kPanel);
    pen.HLine(0, strip, 49, kPanelLight);
    if (!g_earlierSkin) {
        StereoMeterWell(pen, 8, strip + 9);
        FaderGroove(pen, 39, strip + 14, strip + 87);
        Label(pen, 24, strip + 3, "MST");
    }
    pen.Fill(0, groove, 49, 24, Mix(kPanel, kPanelDark, 0.3));
    pen.HLine(0, groove, 49, kPanelLight);
    pen.HLine(0, groove + 23, 49, kPanelDark);
    CursorBand(pen, 28, cursorRow, 21, true);

    // Right: the row numbers (W-25..W-5) and the load meter.
    pen.Origin(175, 128);  // the column's left edge, screen x W - 29, drawn at x 0
    pen.Clip(175, 436, 29, 284);
    pen.Fill(0, 308, 29, kH - 308, kPanel);
    pen.VLine(28, 308, kH - 308, kPanelDark);
    pen.HLine(0, 308, 28, kPanelLight);
    pen.Fill(4, 340, 21, strip - 340, kBlack);
    pen.VLine(25, 340, strip - 340, kPanelLight);
    pen.VLine(3, 340, strip - 340, kPanelDeep);
    pen.Fill(0, strip, 29, 100, kPanel);
    pen.HLine(0, strip, 28, kPanelLight);
    if (!g_earlierSkin) {
        Well(pen, 3, strip + 8, 7, kMeterHeight + 2);
        MeterColumn(pen, 4, strip + 9, false);
        Label(pen, 13, strip + 10, "C");
        Label(pen, 13, strip + 19, "P");
        Label(pen, 13, strip + 28, "U");
    }
    pen.Fill(0, groove, 29, 24, Mix(kPanel, kPanelDark, 0.3));
    pen.HLine(0, groove, 28, kPanelLight);
    pen.HLine(0, groove + 23, 29, kPanelDark);
    CursorBand(pen, 4, cursorRow, 21, true);
}

// ---------------------------------------------------------------------------
// The pages, drawn at their screen place (494, 0).

void PageFrame(Pen& pen, PieceId id, const char* title) {
    pen.Panel(id, 494, 0);
    PanelFrame(pen, 494, 0, 530, 272, title);
}

void SubHeading(Pen& pen, int x, int y, int w, const char* text) {
    Label(pen, x, y, text, kTitleFg, Mix(kPanel, kPanelDark, 0.5));
    const int after = x + LabelWidth(text) + 5;
    pen.HLine(after, y + 3, x + w - after, kPanelDark);
    pen.HLine(after, y + 4, x + w - after, kPanelLight);
}

void DrawSetupPage(Pen& pen) {
    PageFrame(pen, PieceId::SetupPage, "AUDIO SETUP");
    const char* rows[5] = {"DRIVER", "INPUT L", "INPUT R", "OUTPUT L", "OUTPUT R"};
    for (int k = 0; k < 5; ++k) {
        const int y = 16 + 16 * k;
        LabelLeftOf(pen, 561, y + 4, rows[k]);
        Field(pen, 561, y, 252, 16);
        pen.VLine(583, y + 1, 14, kPanelDark);
        ArrowPair(pen, k == 0 ? PlaceId::DriverArrows : PlaceId::RoutingArrows, k == 0 ? 0 : k - 1);
    }
    LabelLeftOf(pen, 912, 20, "RATE");
    Field(pen, 912, 16, 80, 16);
    ArrowPair(pen, PlaceId::RateArrows, 0);
    LabelLeftOf(pen, 912, 36, "BUFFER");
    Field(pen, 912, 32, 80, 16);
    Label(pen, 996, 36, "smp");
    const struct {
        PlaceId place;
        const char* lines[2];
    } buttons[] = {{PlaceId::ControlPanelButton, {"DRIVER", "CONTROL PANEL"}},
                   {PlaceId::RestartButton, {"RESTART", "AUDIO"}}};
    for (const auto& button : buttons) {
        const auto b = CellOf(button.place, 0);
        ButtonFace(pen, b.x, b.y, b.w, b.h, false);
        LabelCentred(pen, b.x, b.y + 11, b.w, button.lines[0]);
        LabelCentred(pen, b.x, b.y + 24, b.w, button.lines[1]);
    }
    LabelLeftOf(pen, 561, 100, "STATUS");
    Field(pen, 561, 96, 459, 16);
    // The lower half: the program's name plate.
    Well(pen, 502, 124, 514, 140, 0x0A0C10);
    const char* name = "ZELMORA";
    for (int i = 0; i < 7; ++i)  // the name at twice the font's size
        for (int gy = 0; gy < 7; ++gy)
            for (int gx = 0; gx < 5; ++gx)
                if (Ink(name[i], gx, gy)) pen.Fill(642 + 36 * i + 4 * gx, 150 + 4 * gy, 4, 4, i == 0 ? kYellow : kGold);
    LabelCentred(pen, 502, 196, 514, "MUSIC TRACKER", kGold, 0x0A0C10);
    LabelCentred(pen, 502, 220, 514, "The audio driver, its channels and the sample rate are chosen above.",
                 Mix(kGold, kBlack, 0.3), 0x0A0C10);
}

void DrawBrowserPage(Pen& pen) {
    PageFrame(pen, PieceId::BrowserPage, "FILES");
    const auto parent = CellOf(PlaceId::ParentButton, 0);
    LabelLeftOf(pen, parent.x, parent.y + 4, "FOLDER");
    ArrowButton(pen, parent.x, parent.y, parent.w, parent.h, true, false);
    Field(pen, 561, 16, 430, 16);
    const auto choose = CellOf(PlaceId::ChooseFolderButton, 0), refresh = CellOf(PlaceId::RefreshButton, 0);
    ButtonFace(pen, choose.x, choose.y, choose.w, choose.h, false);
    FolderSymbol(pen, choose.x + 2, choose.y + 2, kLitFace, kSymbol);
    ButtonFace(pen, refresh.x, refresh.y, refresh.w, refresh.h, false);
    RefreshSymbol(pen, refresh.x + 7, refresh.y + 7, kSymbol);
    ScrollColumn(pen, PlaceId::BrowserUp, PlaceId::BrowserBar, PlaceId::BrowserDown);
    const auto& rows = zelmora::place::Get(PlaceId::BrowserRows);
    Well(pen, rows.x - 1, rows.y - 1, rows.w + 5, rows.h + 2);
    const auto song = CellOf(PlaceId::SongNameField, 0);
    LabelLeftOf(pen, song.x, song.y + 4, "SONG");
    Field(pen, song.x, song.y, song.w, song.h);
    if (!g_earlierSkin) {
        const auto save = CellOf(PlaceId::SaveButton, 0);
        LabelButton(pen, save.x, save.y, save.w - 1, save.h, "SAVE", false);  // one pixel of gap beside it
        const auto wav = CellOf(PlaceId::ExportButton, 0);
        LabelButton(pen, wav.x, wav.y, wav.w - 1, wav.h, "EXPORT", false);
        Label(pen, wav.x + wav.w + 6, wav.y + 4, "into this folder");
    }
}

void DrawInstrumentPage(Pen& pen) {
    PageFrame(pen, PieceId::InstrumentPage, "INSTRUMENT");
    Label(pen, 729, 4, "MOD", kTitleFg, kTitleBg);
    const int rows[6] = {16, 32, 48, 64, 96, 112};
    const char* names[6] = {"VOLUME", "PAN", "TUNE", "CUTOFF", "FILTER", "RESONANCE"};
    for (int k = 0; k < 6; ++k) {
        const int y = rows[k];
        LabelLeftOf(pen, 561, y + 4, names[k]);
        Field(pen, 561, y, 22, 16);
        Field(pen, 614, y, 106, 16);
        Field(pen, 724, y, 37, 16);
    }
    pen.HLine(500, 87, 256, kPanelDark);  // the filter's rows below
    pen.HLine(500, 88, 256, kPanelLight);
    // Envelope tabs.
    const char* tabs[3] = {"Amp", "Filter", "Pitch"};
    for (int k = 0; k < 3; ++k) {
        const auto tab = CellOf(PlaceId::EnvelopeTabs, k);
        ButtonFace(pen, tab.x, tab.y, tab.w, tab.h, false);
        LabelCentred(pen, tab.x, tab.y + 4, tab.w, tabs[k]);
    }
    SubHeading(pen, 770, 36, 248, "ENVELOPE");
    const char* env[5] = {"ATTACK", "DECAY", "SUSTAIN", "RELEASE", "AMOUNT"};
    for (int k = 0; k < 5; ++k) {
        const int y = 48 + 16 * k;
        LabelLeftOf(pen, 826, y + 4, env[k]);
        Field(pen, 826, y, 22, 16);
        Field(pen, 879, y, 84, 16);
    }
    SubHeading(pen, 770, 132, 248, "LFO");
    const char* lfo[5] = {"ATTACK", "RATE", "TYPE", "PHASE", "AMOUNT"};
    for (int k = 0; k < 5; ++k) {
        const int y = 144 + 16 * k;
        LabelLeftOf(pen, 826, y + 4, lfo[k]);
        Field(pen, 826, y, 22, 16);
    }
    // The well the envelope of the chosen tab is drawn in, with its stages.
    SubHeading(pen, 500, 140, 256, "ENVELOPE STAGES");
    const auto& shape = zelmora::place::Get(PlaceId::EnvelopeShape);
    Well(pen, shape.x - 2, shape.y - 2, shape.w + 4, shape.h + 4, 0x0A0C10);
}

void DrawRegionPage(Pen& pen) {
    PageFrame(pen, PieceId::RegionPage, "REGION");
    Well(pen, 510, 28, 498, 228, 0x0A0C10);
    LabelCentred(pen, 510, 40, 498, "REGION SETTINGS", kYellow, 0x0A0C10);
    LabelCentred(pen, 510, 56, 498, "Keys, velocities and tuning of the region chosen in the list", Mix(kGold, kBlack, 0.2), 0x0A0C10);
    LabelCentred(pen, 510, 72, 498, "Drag the ends of the lit keys; click a key to hear it", Mix(kGold, kBlack, 0.35), 0x0A0C10);
    // The keyboard's frame (the keys are drawn with the region's range), its
    // octave marks, and the fields of the nine values.
    const auto& keys = zelmora::place::Get(PlaceId::RegionKeyboard);
    Well(pen, keys.x - 2, keys.y - 2, keys.w + 4, keys.h + 8, 0x0A0C10);
    for (int octave = 0; octave <= 10; ++octave) {
        char mark[4];
        std::snprintf(mark, sizeof mark, "%d", octave);
        Label(pen, keys.x + 7 * keys.cellW * octave + 1, keys.y - 12, mark, Mix(kGold, kBlack, 0.3), 0x0A0C10);
    }
    const char* labels[9] = {"KEY LOW", "KEY HIGH", "BASE", "VEL LOW", "VEL HIGH", "PAN", "COARSE", "FINE", "SCALE"};
    for (int i = 0; i < 9; ++i) {
        const auto cell = CellOf(PlaceId::RegionValues, i);
        Label(pen, cell.x, cell.y + 4, labels[i], kGold, 0x0A0C10);
        Field(pen, cell.x + 64, cell.y, 24, cell.h);
    }
}

void DrawSamplePage(Pen& pen) {
    PageFrame(pen, PieceId::SamplePage, "SAMPLE WAVEFORM");
    Well(pen, 504, 22, 514, 130);
    Well(pen, 504, 152, 514, 34);
    Label(pen, 506, 192, "OVERVIEW OF THE WHOLE SAMPLE");
    // Frames, loop start and loop length: a label, then the field the values go in.
    const char* numbers[3] = {"FRAMES", "LOOP START", "LOOP LENGTH"};
    for (int k = 0; k < 3; ++k) {
        const auto cell = CellOf(PlaceId::SampleNumbers, k);
        Label(pen, cell.x, cell.y + 4, numbers[k]);
        Field(pen, cell.x + 76, cell.y, 84, cell.h);
    }
    const auto loop = CellOf(PlaceId::LoopModeButton, 0);
    LabelLeftOf(pen, loop.x, loop.y + 4, "LOOP");
    Field(pen, loop.x, loop.y, loop.w, loop.h);
    // A legend for the loop markers, drawn like them.
    Well(pen, 505, 232, 14, 16);
    pen.VLine(512, 234, 12, kYellow);
    for (int i = 0; i < 5; ++i) pen.HLine(512, 234 + i, 5 - i, kLitFace);
    Label(pen, 524, 236, "LOOP START");
    Well(pen, 605, 232, 14, 16);
    pen.VLine(612, 234, 12, kYellow);
    for (int i = 0; i < 5; ++i) pen.HLine(613 - (5 - i), 234 + i, 5 - i, kLitFace);
    Label(pen, 624, 236, "LOOP END");
}

void DrawMasterPage(Pen& pen) {
    PageFrame(pen, PieceId::MasterPage, "MASTER EQUALIZER");
    Label(pen, 870, 4, "ON", kTitleFg, kTitleBg);
    pen.Fill(857, 3, 10, 10, kLedGreenDim);
    pen.Bevel(857, 3, 10, 10, kPanelDeep, kPanelLight);
    const char* bands[15] = {"25", "40", "63", "100", "160", "250", "400", "630",
                             "1K", "1K6", "2K5", "4K", "6K3", "10K", "16K"};
    // 0 dB and the +-12 dB lines behind the faders (knob centre 76 - g).
    for (int g : {32, 16, 0, -16, -32}) {
        const uint32_t c = g == 0 ? kPanelLight : Mix(kPanel, kPanelDark, 0.5);
        for (int x = 526; x < 846; x += 2) pen.Set(x, 76 - g, c);
    }
    for (int k = 0; k < 15; ++k) {
        const int x = 530 + 21 * k;
        LabelCentred(pen, x, 19, 15, bands[k]);
        FaderGroove(pen, x + 7, 42, 111);
    }
    Label(pen, 850, 40, "+12 dB");
    Label(pen, 850, 72, "0 dB");
    Label(pen, 850, 104, "-12 dB");
    Label(pen, 850, 19, "Hz");
    pen.HLine(500, 139, 518, kPanelDark);
    pen.HLine(500, 140, 518, kPanelLight);
    // The compressor and limiter panels: not working yet, so drawn dimmed, as
    // empty sockets without knobs, so nobody takes them for live controls.
    const uint32_t dim = Mix(kPanel, kPanelDark, 0.45), dimInk = Mix(kPanel, kLabel, 0.35);
    pen.Fill(500, 142, 518, 70, Mix(kPanel, kPanelDark, 0.25));
    auto knob = [&](int cx, int cy, int, int, const char* name) {
        for (int y = -9; y <= 9; ++y)
            for (int x = -9; x <= 9; ++x) {
                const int d = x * x + y * y;
                if (d <= 81) pen.Set(cx + x, cy + y, d >= 64 ? Mix(dim, kPanelDeep, 0.4) : dim);
            }
        LabelCentred(pen, cx - 30, cy + 14, 60, name, dimInk, dimInk);
    };
    SubHeading(pen, 502, 146, 300, "COMPRESSOR");
    knob(540, 178, -7, 0, "THRESHOLD");
    knob(610, 178, -3, -6, "RATIO");
    knob(680, 178, -6, 3, "ATTACK");
    knob(750, 178, 4, -6, "RELEASE");
    SubHeading(pen, 814, 146, 204, "LIMITER");
    knob(860, 178, 7, 2, "CEILING");
    knob(940, 178, 2, -7, "RELEASE");
    Well(pen, 502, 214, 516, 48, 0x0A0C10);
    LabelCentred(pen, 502, 222, 516, "The master bus: equalizer, master volume, a hard clip at full scale.",
                 Mix(kGold, kBlack, 0.2), 0x0A0C10);
    LabelCentred(pen, 502, 240, 516, "Drag a band's knob up or down; the switch above turns the equalizer on.",
                 Mix(kGold, kBlack, 0.35), 0x0A0C10);
}

// ---------------------------------------------------------------------------

void DrawSkin(Picture& skin) {
    Pen pen{skin};
    DrawFonts(pen);
    DrawHorizontalBar(pen);
    DrawPlaylist(pen);
    DrawSequencer(pen);
    DrawLists(pen);
    DrawToolbar(pen);
    DrawFiller(pen);
    DrawHeader(pen);
    DrawTrackSlot(pen, 49, true);
    DrawTrackSlot(pen, 204, false);
    DrawGroove(pen);
    DrawSideColumns(pen);
    DrawButtonColumn(pen);
    DrawSmallPieces(pen);
    DrawSetupPage(pen);
    DrawBrowserPage(pen);
    DrawInstrumentPage(pen);
    DrawRegionPage(pen);
    DrawSamplePage(pen);
    DrawMasterPage(pen);

    // Some pictures are drawn whole across the gaps between their pieces (the
    // pattern column, the groove); what no piece covers goes back to green.
    std::vector<bool> covered(skin.px.size(), false);
    for (const Piece& p : kPieces)
        for (int y = std::max(0, p.y); y < std::min(skin.height, p.y + p.h); ++y)
            for (int x = std::max(0, p.x); x < std::min(skin.width, p.x + p.w); ++x)
                covered[static_cast<std::size_t>(y) * skin.width + x] = true;
    for (std::size_t i = 0; i < covered.size(); ++i)
        if (!covered[i]) skin.px[i] = kNoPieceColour;
}

// ---------------------------------------------------------------------------
// The mouse cursor over clickable things: a pointer with a gold dot at its tail.

constexpr int kCursorSize = 32, kHotX = 1, kHotY = 1;

std::vector<uint32_t> DrawCursor() {  // 0xAARRGGBB, top-down
    std::vector<uint32_t> argb(kCursorSize * kCursorSize, 0);
    // The pointer as a polygon; points inside it are filled.
    const double poly[][2] = {{1.0, 1.0}, {1.0, 18.5}, {5.5, 14.5}, {9.0, 21.5}, {12.0, 20.0}, {8.8, 13.2}, {14.5, 13.2}};
    const int n = sizeof poly / sizeof poly[0];
    auto inside = [&](double px, double py) {
        bool in = false;
        for (int i = 0, j = n - 1; i < n; j = i++) {
            const double xi = poly[i][0], yi = poly[i][1], xj = poly[j][0], yj = poly[j][1];
            if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    };
    auto dot = [&](double px, double py) {
        const double d = (px - 19.5) * (px - 19.5) + (py - 23.5) * (py - 23.5);
        return d <= 18.5;
    };
    auto shape = [&](int x, int y) { return inside(x + 0.5, y + 0.5) || dot(x + 0.5, y + 0.5); };
    for (int y = 0; y < kCursorSize; ++y)
        for (int x = 0; x < kCursorSize; ++x) {
            uint32_t c = 0;
            if (inside(x + 0.5, y + 0.5))
                c = 0xFF000000 | kYellow;
            else if (dot(x + 0.5, y + 0.5))
                c = 0xFF000000 | kLitFace;
            else {
                bool edge = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (x + dx >= 0 && y + dy >= 0 && x + dx < kCursorSize && y + dy < kCursorSize)
                            edge |= shape(x + dx, y + dy);
                if (edge) c = 0xFF000000 | 0x101010;
            }
            argb[y * kCursorSize + x] = c;
        }
    // The tip itself is always solid, so the hotspot is exactly on ink.
    argb[kHotY * kCursorSize + kHotX] = 0xFF000000 | kYellow;
    return argb;
}

// ---------------------------------------------------------------------------
// Files.

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A 24-bit bottom-up BMP of the picture's top `rows` rows.
std::vector<uint8_t> Bmp(const Picture& pic, int rows) {
    const uint32_t stride = (static_cast<uint32_t>(pic.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = stride * rows;
    std::vector<uint8_t> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, pic.width);
    Put32(out, rows);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, imageBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = rows - 1; y >= 0; --y) {
        for (int x = 0; x < pic.width; ++x) {
            const uint32_t c = pic.px[static_cast<std::size_t>(y) * pic.width + x];
            out.push_back(c & 0xFF);
            out.push_back((c >> 8) & 0xFF);
            out.push_back((c >> 16) & 0xFF);
        }
        for (uint32_t pad = static_cast<uint32_t>(pic.width) * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

// A .cur file of one 32-bit image with alpha, its AND mask from the alpha.
std::vector<uint8_t> Cur(const std::vector<uint32_t>& argb) {
    const int n = kCursorSize;
    const uint32_t colourBytes = n * n * 4, maskBytes = n * ((n + 31) / 32) * 4;
    const uint32_t dibBytes = 40 + colourBytes + maskBytes;
    std::vector<uint8_t> out;
    Put16(out, 0);  // directory: reserved, type 2 (cursor), one image
    Put16(out, 2);
    Put16(out, 1);
    out.push_back(n);  // entry: width, height, colours, reserved, hotspot, size, offset
    out.push_back(n);
    out.push_back(0);
    out.push_back(0);
    Put16(out, kHotX);
    Put16(out, kHotY);
    Put32(out, dibBytes);
    Put32(out, 22);
    Put32(out, 40);  // the image's header: height doubled for the mask
    Put32(out, n);
    Put32(out, 2 * n);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, colourBytes + maskBytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x) Put32(out, argb[y * n + x]);
    for (int y = n - 1; y >= 0; --y)
        for (int word = 0; word < (n + 31) / 32; ++word) {
            uint32_t bits = 0;
            for (int b = 0; b < 32; ++b) {
                const int x = word * 32 + b;
                if (x < n && (argb[y * n + x] >> 24) == 0) bits |= 0x80000000u >> b;
            }
            for (int shift = 24; shift >= 0; shift -= 8) out.push_back((bits >> shift) & 0xFF);
        }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    Picture skin(kSkinWidth, kSkinHeight, kNoPieceColour);
    DrawSkin(skin);
    g_earlierSkin = true;
    Picture earlier(kSkinWidth, kSkinHeight, kNoPieceColour);
    DrawSkin(earlier);
    const bool ok = WriteFile(folder + "/skin.bmp", Bmp(skin, kSkinHeight)) &&
                    WriteFile(folder + "/skin_earlier.bmp", Bmp(earlier, kEarlierSkinHeight)) &&
                    WriteFile(folder + "/cursor.cur", Cur(DrawCursor()));
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
