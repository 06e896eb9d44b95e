// The skin picture and the mouse cursor built into the program, as the build
// drew them (the skin's full or earlier height, after the build's options).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zelmora {

// The skin as a 24-bit bottom-up BMP file.
std::span<const uint8_t> EmbeddedSkinBmp();

// The program's own mouse cursor as a .cur file.
std::span<const uint8_t> EmbeddedCursorCur();

// The cursor decoded: width x height pixels, 0xAARRGGBB, rows top-down, and
// the hotspot. Empty (width 0) only if the built-in file were damaged.
struct CursorImage {
    int width = 0, height = 0, hotX = 0, hotY = 0;
    std::vector<uint32_t> argb;
};
CursorImage EmbeddedCursorImage();

// Decodes a .cur file holding one 32-bit image (with or without usable alpha;
// without it, the AND mask decides). False for anything else.
bool DecodeCursor(std::span<const uint8_t> file, CursorImage& image);

}  // namespace zelmora
