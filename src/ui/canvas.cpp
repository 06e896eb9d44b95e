#include "ui/canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zelmora {

namespace {

uint32_t ReadU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Larger pictures than this are refused: nothing we draw needs them, and the
// bound keeps every size product far inside 64 bits.
constexpr int kMaxBmpSide = 16384;

const skin::Piece& P(skin::PieceId id) { return skin::Get(id); }

}  // namespace

bool DecodeBmp(const uint8_t* data, std::size_t size, Skin& skin) {
    skin = Skin{};
    if (!data) return false;
    std::size_t offset = 0;
    std::size_t pixelOffset = 0;
    if (size >= 14 && data[0] == 'B' && data[1] == 'M') {
        pixelOffset = ReadU32(data + 10);
        offset = 14;
    }
    if (size < offset + 40) return false;
    const uint8_t* info = data + offset;
    const uint32_t infoSize = ReadU32(info);
    const int32_t width = static_cast<int32_t>(ReadU32(info + 4));
    const int32_t rawHeight = static_cast<int32_t>(ReadU32(info + 8));
    const uint16_t bits = ReadU16(info + 14);
    const uint32_t compression = ReadU32(info + 16);
    if (infoSize < 40 || bits != 24 || compression != 0) return false;
    if (width <= 0 || width > kMaxBmpSide || rawHeight == 0 || rawHeight < -kMaxBmpSide ||
        rawHeight > kMaxBmpSide)
        return false;
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    // A resource's bitmap has no file header: its pixels follow the info block.
    if (pixelOffset == 0) pixelOffset = offset + infoSize;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    if (pixelOffset > size || (size - pixelOffset) / stride < static_cast<std::size_t>(height)) return false;

    skin.width = width;
    skin.height = height;
    skin.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const int sourceRow = bottomUp ? height - 1 - y : y;
        const uint8_t* row = data + pixelOffset + stride * sourceRow;
        uint32_t* out = &skin.pixels[static_cast<std::size_t>(y) * width];
        for (int x = 0; x < width; ++x)
            out[x] = static_cast<uint32_t>(row[3 * x]) | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    }
    return true;
}

bool WriteBmp(const char* path, const uint32_t* pixels, int stride, int w, int h) {
    if (!path || !pixels || w <= 0 || h <= 0 || w > kMaxBmpSide || h > kMaxBmpSide || stride < w) return false;
    const std::size_t rowBytes = (static_cast<std::size_t>(w) * 3 + 3) & ~static_cast<std::size_t>(3);
    const std::size_t imageBytes = rowBytes * h;
    uint8_t header[54] = {'B', 'M'};
    PutU32(header + 2, static_cast<uint32_t>(54 + imageBytes));
    PutU32(header + 10, 54);
    PutU32(header + 14, 40);
    PutU32(header + 18, static_cast<uint32_t>(w));
    PutU32(header + 22, static_cast<uint32_t>(h));
    header[26] = 1;
    header[28] = 24;
    PutU32(header + 34, static_cast<uint32_t>(imageBytes));
    PutU32(header + 38, 2835);  // 72 dots per inch
    PutU32(header + 42, 2835);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = h - 1; ok && y >= 0; --y) {
        const uint32_t* in = pixels + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < w; ++x) {
            row[3 * x] = static_cast<uint8_t>(in[x]);
            row[3 * x + 1] = static_cast<uint8_t>(in[x] >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(in[x] >> 16);
        }
        ok = std::fwrite(row.data(), 1, rowBytes, file) == rowBytes;
    }
    return std::fclose(file) == 0 && ok;
}

Canvas::Canvas(int width, int height, const Skin& skin)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_, 0),
      skin_(&skin),
      clip_{0, 0, width_, height_} {}

void Canvas::SetClip(const Rect& clip) {
    const int x0 = std::max(clip.x, 0), y0 = std::max(clip.y, 0);
    const int x1 = std::min(clip.x + std::max(clip.w, 0), width_);
    const int y1 = std::min(clip.y + std::max(clip.h, 0), height_);
    clip_ = Rect{x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

void Canvas::ResetClip() { clip_ = Rect{0, 0, width_, height_}; }

// Cuts a copy of w x h from skin (sx, sy) to (x, y) to the clip rectangle and
// to the skin, moving the source with the destination. False when nothing is
// left to draw.
bool Canvas::ClipTo(int& x, int& y, int& w, int& h, int& sx, int& sy) const {
    auto cut = [](int& d, int& s, int& len, int lowD, int highD, int lowS, int highS) {
        int skip = std::max({0, lowD - d, lowS - s});
        d += skip;
        s += skip;
        len -= skip;
        len = std::min({len, highD - d, highS - s});
    };
    cut(x, sx, w, clip_.x, clip_.x + clip_.w, 0, skin_->width);
    cut(y, sy, h, clip_.y, clip_.y + clip_.h, 0, skin_->height);
    return w > 0 && h > 0;
}

void Canvas::Blit(int x, int y, int w, int h, int sx, int sy) {
    if (!ClipTo(x, y, w, h, sx, sy)) return;
    for (int row = 0; row < h; ++row)
        std::memcpy(&pixels_[static_cast<std::size_t>(y + row) * width_ + x],
                    &skin_->pixels[static_cast<std::size_t>(sy + row) * skin_->width + sx], sizeof(uint32_t) * w);
}

void Canvas::Blit(int x, int y, skin::PieceId piece) {
    const skin::Piece& p = P(piece);
    Blit(x, y, p.w, p.h, p.x, p.y);
}

// A part that would leave its piece is cut at the piece's edge, so a cell
// index out of range never shows a neighbouring piece.
void Canvas::BlitPart(int x, int y, skin::PieceId piece, int dx, int dy, int w, int h) {
    const skin::Piece& p = P(piece);
    if (dx < 0 || dy < 0 || dx >= p.w || dy >= p.h) return;
    Blit(x, y, std::min(w, p.w - dx), std::min(h, p.h - dy), p.x + dx, p.y + dy);
}

void Canvas::Blend(int x, int y, int w, int h, int sx, int sy) {
    if (!ClipTo(x, y, w, h, sx, sy)) return;
    for (int row = 0; row < h; ++row) {
        uint32_t* out = &pixels_[static_cast<std::size_t>(y + row) * width_ + x];
        const uint32_t* in = &skin_->pixels[static_cast<std::size_t>(sy + row) * skin_->width + sx];
        for (int i = 0; i < w; ++i) {
            uint32_t mixed = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const uint32_t s = in[i] >> shift & 0xFF, d = out[i] >> shift & 0xFF;
                mixed |= ((s * 128 + d * 127 + 127) / 255) << shift;
            }
            out[i] = mixed;
        }
    }
}

void Canvas::BlendPiece(int x, int y, skin::PieceId piece) {
    const skin::Piece& p = P(piece);
    Blend(x, y, p.w, p.h, p.x, p.y);
}

namespace {

// Which piece row (or column) feeds output row r of a bar of length n made
// from a piece of length len: both ends keep their caps, the middle repeats.
// SANITY: a thumb is not copied as the top n rows of its piece: that would cut
// off its lower cap when shorter and read past the piece (into its
// neighbours) when longer; with both caps every length shows a whole thumb.
int StretchSource(int r, int n, int len) {
    const int cap = std::min(3, len / 3);
    if (n <= len) return r < n - cap ? r : len - (n - r);
    if (r < len - cap) return r;
    if (r >= n - cap) return len - (n - r);
    const int middle = len - 2 * cap;
    return cap + (r - cap) % middle;
}

}  // namespace

void Canvas::BlitStretchedVertical(int x, int y, int h, skin::PieceId piece) {
    const skin::Piece& p = P(piece);
    const int first = std::max(0, clip_.y - y), last = std::min(h, clip_.y + clip_.h - y);
    for (int r = first; r < last; ++r) Blit(x, y + r, p.w, 1, p.x, p.y + StretchSource(r, h, p.h));
}

void Canvas::BlitStretchedHorizontal(int x, int y, int w, skin::PieceId piece) {
    const skin::Piece& p = P(piece);
    const int first = std::max(0, clip_.x - x), last = std::min(w, clip_.x + clip_.w - x);
    for (int c = first; c < last;) {
        // Copy runs of consecutive source columns at once.
        const int source = StretchSource(c, w, p.w);
        int run = 1;
        while (c + run < last && StretchSource(c + run, w, p.w) == source + run) ++run;
        Blit(x + c, y, run, p.h, p.x + source, p.y);
        c += run;
    }
}

void Canvas::Invert(int x, int y, int w, int h) {
    const int x1 = std::min(x + w, clip_.x + clip_.w), y1 = std::min(y + h, clip_.y + clip_.h);
    x = std::max(x, clip_.x);
    y = std::max(y, clip_.y);
    for (int row = y; row < y1; ++row)
        for (int col = x; col < x1; ++col) pixels_[static_cast<std::size_t>(row) * width_ + col] ^= 0x00FFFFFF;
}

void Canvas::Fill(int x, int y, int w, int h, uint32_t colour) {
    const int x1 = std::min(x + w, clip_.x + clip_.w), y1 = std::min(y + h, clip_.y + clip_.h);
    x = std::max(x, clip_.x);
    y = std::max(y, clip_.y);
    for (int row = y; row < y1; ++row)
        for (int col = x; col < x1; ++col) pixels_[static_cast<std::size_t>(row) * width_ + col] = colour & 0xFFFFFF;
}

// Codes from 128 up (negative as signed characters) have no glyph: they show
// as a blank cell, like the codes below 32.
void Canvas::Text(int x, int y, const char* text, int count, int style) {
    if (!text) return;
    style = std::clamp(style, 0, skin::kTextStyles - 1);
    for (int i = 0; i < count; ++i, x += skin::kTextW) {
        int code = static_cast<unsigned char>(text[i]);
        if (code >= 128) code = ' ';
        BlitPart(x, y, skin::PieceId::TextFont, code * skin::kTextW, style * skin::kTextH, skin::kTextW, skin::kTextH);
    }
}

void Canvas::Text(int x, int y, const char* text, int style) {
    if (text) Text(x, y, text, static_cast<int>(std::strlen(text)), style);
}

// The small font's cells below code 32 hold the empty-cell glyphs, so those
// codes show as a space.
void Canvas::SmallText(int x, int y, const char* text, int count, int style) {
    if (!text) return;
    style = std::clamp(style, 0, skin::kSmallStyles - 1);
    for (int i = 0; i < count; ++i, x += skin::kSmallW) {
        int code = static_cast<unsigned char>(text[i]);
        if (code < 32 || code >= 128) code = ' ';
        BlitPart(x, y, skin::PieceId::SmallFont, code * skin::kSmallW, style * skin::kSmallH, skin::kSmallW,
                 skin::kSmallH);
    }
}

// A value beyond the 36 glyphs shows as a question mark in the text font.
void Canvas::ValueGlyph(int x, int y, int value, int style) {
    style = std::clamp(style, 0, skin::kValueStyles - 1);
    if (value < 0 || value >= skin::kValueGlyphs) {
        Text(x, y, "?", 1, style);
        return;
    }
    BlitPart(x, y, skin::PieceId::ValueFont, value * skin::kTextW, style * skin::kTextH, skin::kTextW, skin::kTextH);
}

}  // namespace zelmora
