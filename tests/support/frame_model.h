// The frame the overlay must show, modelled pixel by pixel and independently of the product's
// code: shared by the whole-system, X11 and Win32 suites. Rows are top-down, pixels 0x00RRGGBB.
#pragma once

#include <cstdint>
#include <functional>

// A captured pixel at client coordinates (x, y) of the capture rectangle.
using CapturePixel = std::function<std::uint32_t(int x, int y)>;

// The stretching copy's source index for destination index d of `destination_size`, from a source
// of `source_size`: d * source_size / destination_size, rounded down, so a whole factor repeats
// each pixel exactly.
int stretch_index(int d, int destination_size, int source_size);

// The blend kernels written out channel by channel (the top byte of the result is 0), apart from
// the product's whole-word arithmetic.
using PairModel = std::uint32_t (*)(std::uint32_t, std::uint32_t);
using QuadModel = std::uint32_t (*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
std::uint32_t exact_pair(std::uint32_t a, std::uint32_t b);
std::uint32_t exact_quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
std::uint32_t fast_pair(std::uint32_t a, std::uint32_t b);
std::uint32_t fast_quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);

// The pixel at (x, y) of the blended enlargement by k/2 (k = 3 or 5) of a capture, (0, 0) being
// the image's top-left corner: each 2 x 2 block of the capture becomes a k x k block whose corners
// are the block's pixels, whose edges are pair blends and whose centre is the quad blend; at k = 5
// the outer rows and columns are doubled. Models the averaging kernels, whose results do not
// depend on the order of their arguments.
std::uint32_t blended_pixel(const CapturePixel& capture, int k, int x, int y, PairModel pair,
                            QuadModel quad);

// Calls `black(x, y)` for every screen pixel of the black bands for the offsets, in painting
// order: the left and right bands when offset_x is not 0, the top and bottom bands when offset_y
// is not 0, each spanning the screen. A band of negative size is left out; the far bands start at
// the screen edge less the offset, so an odd margin leaves one row or column between them.
void paint_bands(int screen_width, int screen_height, int offset_x, int offset_y,
                 const std::function<void(int x, int y)>& black);
