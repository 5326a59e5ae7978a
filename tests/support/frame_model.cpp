// The frame model: the stretch index, the blend kernels channel by channel, the blended block and
// the black bands.
#include "support/frame_model.h"

#include <algorithm>

namespace {

std::uint32_t channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFFu; }

}  // namespace

int stretch_index(int d, int destination_size, int source_size) {
    return static_cast<int>(static_cast<long long>(d) * source_size / destination_size);
}

std::uint32_t exact_pair(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= ((channel(a, shift) + channel(b, shift)) / 2) << shift;
    }
    return out;
}

std::uint32_t exact_quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= ((channel(a, shift) + channel(b, shift) + channel(c, shift) + channel(d, shift)) / 4)
               << shift;
    }
    return out;
}

std::uint32_t fast_pair(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= (channel(a, shift) / 2 + channel(b, shift) / 2) << shift;
    }
    return out;
}

std::uint32_t fast_quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= (channel(a, shift) / 4 + channel(b, shift) / 4 + channel(c, shift) / 4 +
                channel(d, shift) / 4)
               << shift;
    }
    return out;
}

std::uint32_t blended_pixel(const CapturePixel& capture, int k, int x, int y, PairModel pair,
                            QuadModel quad) {
    // Which row or column of the 3 x 3 block each of the k rows or columns shows.
    static const int pick3[3] = {0, 1, 2};
    static const int pick5[5] = {0, 0, 1, 2, 2};
    const int* pick = k == 3 ? pick3 : pick5;
    const int sx = x / k * 2;
    const int sy = y / k * 2;
    const std::uint32_t tl = capture(sx, sy);
    const std::uint32_t tr = capture(sx + 1, sy);
    const std::uint32_t bl = capture(sx, sy + 1);
    const std::uint32_t br = capture(sx + 1, sy + 1);
    const std::uint32_t block3[3][3] = {
        {tl, pair(tl, tr), tr},
        {pair(tl, bl), quad(tl, bl, tr, br), pair(tr, br)},
        {bl, pair(bl, br), br},
    };
    return block3[pick[y % k]][pick[x % k]];
}

void paint_bands(int screen_width, int screen_height, int offset_x, int offset_y,
                 const std::function<void(int x, int y)>& black) {
    auto fill = [&](long long x, long long y, long long width, long long height) {
        if (width < 0 || height < 0) {
            return;
        }
        const long long bottom = std::min<long long>(y + height, screen_height);
        const long long right = std::min<long long>(x + width, screen_width);
        for (long long row = std::max<long long>(y, 0); row < bottom; ++row) {
            for (long long column = std::max<long long>(x, 0); column < right; ++column) {
                black(static_cast<int>(column), static_cast<int>(row));
            }
        }
    };
    if (offset_x != 0) {
        fill(0, 0, offset_x, screen_height);
        fill(static_cast<long long>(screen_width) - offset_x, 0, offset_x, screen_height);
    }
    if (offset_y != 0) {
        fill(0, 0, screen_width, offset_y);
        fill(0, static_cast<long long>(screen_height) - offset_y, screen_width, offset_y);
    }
}
