// The software pixel surface every picture is composed in, and the skin it
// copies from. Pixels are 0x00RRGGBB. Every operation is clipped to the
// canvas and to its clip rectangle, and never reads outside the skin.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/skin_pieces.h"

namespace zelmora {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// The skin picture, decoded once.
struct Skin {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Decodes a 24-bit bottom-up (or top-down) uncompressed BMP, with or without its
// 14-byte file header. False, leaving the skin empty, for anything else.
bool DecodeBmp(const uint8_t* data, std::size_t size, Skin& skin);

// The skin built into the program (full or earlier, after the build).
const Skin& BuiltInSkin();

// Writes a 24-bit bottom-up BMP of the top-left w x h of the pixels.
bool WriteBmp(const char* path, const uint32_t* pixels, int stride, int w, int h);

class Canvas {
public:
    Canvas(int width, int height, const Skin& skin);

    int Width() const { return width_; }
    int Height() const { return height_; }
    uint32_t* Pixels() { return pixels_.data(); }
    const uint32_t* Pixels() const { return pixels_.data(); }
    uint32_t At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    const Skin& SkinPicture() const { return *skin_; }

    // Drawing is limited to this rectangle (and always to the canvas).
    void SetClip(const Rect& clip);
    void ResetClip();
    const Rect& Clip() const { return clip_; }

    // Copies w x h from the skin at (sx, sy) to (x, y).
    void Blit(int x, int y, int w, int h, int sx, int sy);
    // A whole piece, or its top-left w x h, or a cell inside it.
    void Blit(int x, int y, skin::PieceId piece);
    void BlitPart(int x, int y, skin::PieceId piece, int dx, int dy, int w, int h);
    // The skin rectangle blended over the destination at constant alpha 128/255.
    void Blend(int x, int y, int w, int h, int sx, int sy);
    void BlendPiece(int x, int y, skin::PieceId piece);
    // A bar of any length from a piece: the caps at both ends come from the
    // piece's ends, the middle repeats the piece's middle.
    void BlitStretchedVertical(int x, int y, int h, skin::PieceId piece);
    void BlitStretchedHorizontal(int x, int y, int w, skin::PieceId piece);
    void Invert(int x, int y, int w, int h);
    void Fill(int x, int y, int w, int h, uint32_t colour);

    // Text in the 7 x 8 font (styles 0..3): exactly count glyphs, 7 apart.
    void Text(int x, int y, const char* text, int count, int style);
    void Text(int x, int y, const char* text, int style);  // up to the NUL
    // The 6 x 8 font (styles 0..2).
    void SmallText(int x, int y, const char* text, int count, int style);
    // Value glyph 0..35 (0-9, A-Z), styles 0..2.
    void ValueGlyph(int x, int y, int value, int style);

private:
    bool ClipTo(int& x, int& y, int& w, int& h, int& sx, int& sy) const;

    int width_, height_;
    std::vector<uint32_t> pixels_;
    const Skin* skin_;
    Rect clip_;
};

}  // namespace zelmora
