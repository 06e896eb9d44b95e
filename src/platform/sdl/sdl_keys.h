// SDL key events as the Windows virtual-key codes the keyboard handlers take.
#pragma once

#include <SDL_keycode.h>
#include <SDL_scancode.h>

namespace zelmora {

// The virtual-key code of a key, 0 for keys the tracker does not use.
// Letters and the punctuation keys go by the key's label (its key symbol), so
// QWERTZ's Z and AZERTY's W, A and comma are where the keyboard shows them.
// The digit row goes by position: there every layout's digit is on the key,
// also where the unshifted symbol is not a digit (AZERTY).
int VirtualKeyFromSdl(SDL_Keycode symbol, SDL_Scancode scancode);

}  // namespace zelmora
