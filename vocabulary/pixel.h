// The pixel word and the blend-kernel slot types shared by the upscaler, the kernels and ViewState.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstdint>

// A pixel is 0xXXRRGGBB: blue in the low byte, the top byte X is 0 in captured pixels.
using Pixel = std::uint32_t;

using BlendPairFn = Pixel (*)(Pixel a, Pixel b);
using BlendQuadFn = Pixel (*)(Pixel a, Pixel b, Pixel c, Pixel d);

// Returns the ordering key of the picking kernels: the sum of the three colour bytes (0 to 765);
// the top byte takes no part.
inline std::uint32_t pixel_weight(Pixel p) {
    return ((p >> 16) & 0xFFu) + ((p >> 8) & 0xFFu) + (p & 0xFFu);
}
