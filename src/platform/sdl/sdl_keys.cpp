#include "platform/sdl/sdl_keys.h"

#include "ui/keyboard.h"

namespace zelmora {

namespace {

struct KeyRow {
    SDL_Keycode symbol;
    int virtualKey;
};

// symbol, virtual key
constexpr KeyRow kNamedKeys[] = {
    {SDLK_LEFT, vk::kLeft},        {SDLK_RIGHT, vk::kRight},    {SDLK_UP, vk::kUp},
    {SDLK_DOWN, vk::kDown},        {SDLK_PAGEUP, vk::kPrior},   {SDLK_PAGEDOWN, vk::kNext},
    {SDLK_HOME, vk::kHome},        {SDLK_END, vk::kEnd},        {SDLK_TAB, vk::kTab},
    {SDLK_SPACE, vk::kSpace},      {SDLK_RETURN, vk::kReturn},  {SDLK_KP_ENTER, vk::kReturn},
    {SDLK_DELETE, vk::kDelete},    {SDLK_BACKSPACE, vk::kBack}, {SDLK_COMMA, vk::kOemComma},
    {SDLK_PERIOD, vk::kOemPeriod}, {SDLK_MINUS, vk::kOemMinus}, {SDLK_LSHIFT, vk::kShift},
    {SDLK_RSHIFT, vk::kShift},     {SDLK_LCTRL, vk::kControl},  {SDLK_RCTRL, vk::kControl},
};

}  // namespace

int VirtualKeyFromSdl(SDL_Keycode symbol, SDL_Scancode scancode) {
    if (symbol >= SDLK_a && symbol <= SDLK_z) return 'A' + (symbol - SDLK_a);
    // The scancodes of the digit row run 1..9, then 0.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    if (symbol >= SDLK_0 && symbol <= SDLK_9) return '0' + (symbol - SDLK_0);
    if (symbol >= SDLK_F1 && symbol <= SDLK_F12) return vk::kF1 + (symbol - SDLK_F1);
    for (const KeyRow& row : kNamedKeys) {
        if (row.symbol == symbol) return row.virtualKey;
    }
    return 0;
}

}  // namespace zelmora
