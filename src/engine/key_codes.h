#pragma once

#include <cstdint>

namespace vantrel {

// The virtual-key code of a key, given as its X11 keysym (the number a Qt key event reports as
// its native virtual key on X11); 0 for a key without one. The hot-key boxes show the character
// whose code is this value's low 8 bits, so F1 (code 112, a small "p") shows "P", as the boxes
// have always done.
int virtualKeyFromKeysym(std::uint32_t keysym);

}  // namespace vantrel
