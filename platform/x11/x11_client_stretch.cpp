// The aspect fit's stretch on the client, over plain pixel rows with no X in it: destination d
// takes source d * source size / destination size, each row through a table of source columns,
// or repeated from the row above when it takes the same source row. A large stretch is made in
// bands of rows on the band workers.
#include <algorithm>
#include <cstring>

#include "platform/x11/x11_platform.h"

namespace {

// The pad byte of a capture read back at depth 24 is the server's, not the picture's.
constexpr Pixel PICTURE_BITS = 0x00FFFFFFu;
// Fewer destination rows than this per band are not worth a band worker's wake-up.
constexpr std::int32_t MIN_ROWS_PER_BAND = 64;

// Returns source index d * source / destination of destination index d, in 64 bits.
std::int32_t source_index(std::int32_t d, std::int32_t source, std::int32_t destination) {
    return static_cast<std::int32_t>(std::int64_t{d} * source / destination);
}

struct Stretch {
    const PixelRows* destination;
    const PixelRows* source;
    const std::uint8_t* fresh;
    const std::int32_t* columns;  // the source column of each destination column
    std::uint8_t* made;
    std::int32_t bands;
};

// Makes the band's destination rows; rows of different bands are disjoint, so bands may run at
// once.
void make_band(void* argument, std::int32_t band) {
    const Stretch& s = *static_cast<const Stretch*>(argument);
    const PixelRows& out = *s.destination;
    const std::int32_t first = out.height * band / s.bands;
    const std::int32_t last = out.height * (band + 1) / s.bands;
    std::int32_t previous_row = -1;
    for (std::int32_t y = first; y < last; ++y) {
        const std::int32_t row = source_index(y, s.source->height, out.height);
        if (s.fresh != nullptr && s.fresh[row] == 0) {
            continue;  // holds what it would be made of
        }
        Pixel* made = out.row(y);
        if (row == previous_row) {
            std::memcpy(made, out.row(y - 1), static_cast<std::size_t>(out.width) * sizeof(Pixel));
        } else {
            const Pixel* in = s.source->row(row);
            for (std::int32_t x = 0; x < out.width; ++x) {
                made[x] = in[s.columns[x]] & PICTURE_BITS;
            }
        }
        s.made[y] = 1;
        previous_row = row;
    }
}

}  // namespace

void x11_stretch(const PixelRows& destination, const PixelRows& source, const std::uint8_t* fresh,
                 std::vector<std::uint8_t>& made) {
    made.assign(static_cast<std::size_t>(std::max(destination.height, 0)), 0);
    if (destination.base == nullptr || source.base == nullptr || destination.width <= 0 ||
        destination.height <= 0 || source.width <= 0 || source.height <= 0) {
        return;
    }
    std::vector<std::int32_t> columns(static_cast<std::size_t>(destination.width));
    for (std::int32_t x = 0; x < destination.width; ++x) {
        columns[static_cast<std::size_t>(x)] = source_index(x, source.width, destination.width);
    }
    const std::int32_t bands = std::clamp(
        std::min(platform_band_workers(), destination.height / MIN_ROWS_PER_BAND), 1,
        destination.height);
    Stretch work{&destination, &source, fresh, columns.data(), made.data(), bands};
    platform_run_bands(make_band, &work, bands);
}
