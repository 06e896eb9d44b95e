// The generated skin and cursor files, pulled into the object file by the
// assembler. The build passes their paths in ZELMORA_EMBEDDED_SKIN and
// ZELMORA_EMBEDDED_CURSOR.
#include "ui/skin_embed.h"

#include <cstring>

#include "ui/canvas.h"

#if defined(_WIN32)
#define ZELMORA_RODATA_SECTION ".section .rdata,\"dr\"\n"
#define ZELMORA_HIDDEN(name) ""
#else
#define ZELMORA_RODATA_SECTION ".section .rodata\n"
#define ZELMORA_HIDDEN(name) ".hidden " name "\n"
#endif

#define ZELMORA_EMBED(name, path)              \
    __asm__(ZELMORA_RODATA_SECTION             \
            ".balign 16\n"                     \
            ".globl " name "_begin\n"          \
            ZELMORA_HIDDEN(name "_begin")      \
            name "_begin:\n"                   \
            ".incbin \"" path "\"\n"           \
            ".globl " name "_end\n"            \
            ZELMORA_HIDDEN(name "_end")        \
            name "_end:\n"                     \
            ".byte 0\n"                        \
            ".text\n")

ZELMORA_EMBED("zelmora_skin_bmp", ZELMORA_EMBEDDED_SKIN);
ZELMORA_EMBED("zelmora_cursor_cur", ZELMORA_EMBEDDED_CURSOR);

extern "C" {
extern const uint8_t zelmora_skin_bmp_begin[];
extern const uint8_t zelmora_skin_bmp_end[];
extern const uint8_t zelmora_cursor_cur_begin[];
extern const uint8_t zelmora_cursor_cur_end[];
}

namespace zelmora {
namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

std::span<const uint8_t> EmbeddedSkinBmp() {
    return {zelmora_skin_bmp_begin, static_cast<std::size_t>(zelmora_skin_bmp_end - zelmora_skin_bmp_begin)};
}

std::span<const uint8_t> EmbeddedCursorCur() {
    return {zelmora_cursor_cur_begin,
            static_cast<std::size_t>(zelmora_cursor_cur_end - zelmora_cursor_cur_begin)};
}

bool DecodeCursor(std::span<const uint8_t> file, CursorImage& image) {
    image = CursorImage{};
    // Directory (6 bytes) and its first entry (16 bytes).
    if (file.size() < 22 || Le16(&file[0]) != 0 || Le16(&file[2]) != 2 || Le16(&file[4]) < 1) return false;
    const uint8_t* entry = &file[6];
    const int hotX = static_cast<int>(Le16(entry + 4));
    const int hotY = static_cast<int>(Le16(entry + 6));
    const uint32_t bytes = Le32(entry + 8);
    const uint32_t offset = Le32(entry + 12);
    // SANITY: the entry's offset and size are checked against the file before
    // anything is read, in a form that cannot overflow.
    if (offset > file.size() || bytes > file.size() - offset || bytes < 40) return false;
    const uint8_t* dib = &file[offset];
    const uint32_t headerSize = Le32(dib);
    const int width = static_cast<int>(Le32(dib + 4));
    const int doubledHeight = static_cast<int>(Le32(dib + 8));
    const uint32_t bitCount = Le16(dib + 14);
    const uint32_t compression = Le32(dib + 16);
    if (headerSize < 40 || headerSize > bytes || bitCount != 32 || compression != 0) return false;
    if (width <= 0 || width > 256 || doubledHeight <= 0 || doubledHeight > 512 || doubledHeight % 2 != 0)
        return false;
    const int height = doubledHeight / 2;
    const std::size_t colourBytes = static_cast<std::size_t>(width) * height * 4;
    const std::size_t maskStride = static_cast<std::size_t>((width + 31) / 32) * 4;
    const std::size_t maskBytes = maskStride * height;
    if (headerSize + colourBytes + maskBytes > bytes) return false;
    const uint8_t* colour = dib + headerSize;
    const uint8_t* mask = colour + colourBytes;

    image.width = width;
    image.height = height;
    image.hotX = hotX < width ? hotX : width - 1;
    image.hotY = hotY < height ? hotY : height - 1;
    image.argb.resize(static_cast<std::size_t>(width) * height);
    bool anyAlpha = false;
    for (std::size_t i = 0; i < image.argb.size(); ++i) anyAlpha |= colour[i * 4 + 3] != 0;
    for (int y = 0; y < height; ++y) {
        const int row = height - 1 - y;  // stored bottom-up
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = colour + (static_cast<std::size_t>(row) * width + x) * 4;
            uint32_t alpha = p[3];
            if (!anyAlpha) {
                const bool transparent = (mask[row * maskStride + x / 8] >> (7 - x % 8)) & 1;
                alpha = transparent ? 0 : 255;
            }
            image.argb[static_cast<std::size_t>(y) * width + x] =
                (alpha << 24) | (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
        }
    }
    return true;
}

CursorImage EmbeddedCursorImage() {
    CursorImage image;
    DecodeCursor(EmbeddedCursorCur(), image);
    return image;
}

const Skin& BuiltInSkin() {
    static const Skin skin = [] {
        Skin decoded;
        const auto bmp = EmbeddedSkinBmp();
        DecodeBmp(bmp.data(), bmp.size(), decoded);
        return decoded;
    }();
    return skin;
}

}  // namespace zelmora
