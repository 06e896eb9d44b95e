#include "platform/sdl/sdl_keys.h"

#include <gtest/gtest.h>

#include "ui/keyboard.h"

namespace zelmora {
namespace {

struct KeyCase {
    SDL_Keycode symbol;
    SDL_Scancode scancode;
    int virtualKey;
};

TEST(SdlKeys, LabelsForLettersAndPunctuationPositionsForTheDigitRow) {
    const KeyCase cases[] = {
        // Letters by label: QWERTZ's Z sits where QWERTY has Y, AZERTY's A and W
        // where QWERTY has Q and Z, AZERTY's comma where QWERTY has M.
        {SDLK_a, SDL_SCANCODE_A, 'A'},
        {SDLK_z, SDL_SCANCODE_Y, 'Z'},
        {SDLK_a, SDL_SCANCODE_Q, 'A'},
        {SDLK_w, SDL_SCANCODE_Z, 'W'},
        {SDLK_COMMA, SDL_SCANCODE_M, vk::kOemComma},
        {SDLK_PERIOD, SDL_SCANCODE_PERIOD, vk::kOemPeriod},
        {SDLK_MINUS, SDL_SCANCODE_MINUS, vk::kOemMinus},
        // The digit row by position, also under AZERTY's unshifted symbols.
        {SDLK_1, SDL_SCANCODE_1, '1'},
        {SDLK_0, SDL_SCANCODE_0, '0'},
        {0xE9, SDL_SCANCODE_2, '2'},             // AZERTY "é 2"
        {SDLK_MINUS, SDL_SCANCODE_6, '6'},       // AZERTY "- 6"
        {SDLK_UNDERSCORE, SDL_SCANCODE_8, '8'},  // AZERTY "_ 8"
        {SDLK_F1, SDL_SCANCODE_F1, vk::kF1},
        {SDLK_F12, SDL_SCANCODE_F12, vk::kF1 + 11},
        {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, vk::kPrior},
        {SDLK_END, SDL_SCANCODE_END, vk::kEnd},
        {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, vk::kReturn},
        {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, vk::kBack},
        {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, vk::kShift},
        // Keys the tracker does not use.
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0},
        {SDLK_KP_1, SDL_SCANCODE_KP_1, 0},
        {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(VirtualKeyFromSdl(c.symbol, c.scancode), c.virtualKey) << "symbol " << c.symbol;
    }
}

}  // namespace
}  // namespace zelmora
