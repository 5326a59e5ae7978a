// The aspect fit's stretch on the client against a per-pixel reference, over seeded random sizes
// and ratios, from captures whose pad bytes are not the picture's: every row made is the
// reference's, with the pad byte cleared, and only the rows of fresh source rows are made.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/x11/x11_platform.h"
#include "support/seeded.h"

namespace {

// Rows of pixels in memory of their own, top-down, with a stride longer than a row.
struct Rows {
    std::vector<Pixel> pixels;
    PixelRows view;
    Rows(std::int32_t width, std::int32_t height, std::int32_t gap = 3)
        : pixels(static_cast<std::size_t>((width + gap) * height), 0x77777777u),
          view{pixels.data(), width + gap, width, height} {}
};

// The reference: destination (x, y) takes source (x * W / width, y * H / height), pad cleared.
Pixel reference(const PixelRows& source, const PixelRows& out, std::int32_t x, std::int32_t y) {
    const auto sx = static_cast<std::int32_t>(std::int64_t{x} * source.width / out.width);
    const auto sy = static_cast<std::int32_t>(std::int64_t{y} * source.height / out.height);
    return source.row(sy)[sx] & 0x00FFFFFFu;
}

TEST(Stretch, EveryRowMadeIsTheReferencesAndOnlyFreshRowsAreMade) {
    SeededRandom rng(11);
    SCOPED_TRACE(rng.trace());
    for (int round = 0; round < 60; ++round) {
        const std::int32_t W = rng.between(1, 90);
        const std::int32_t H = rng.between(1, 90);
        Rows source(W, H);
        for (Pixel& p : source.pixels) {
            p = rng.word();  // pad bytes set at random
        }
        Rows out(rng.between(1, 300), rng.between(1, 300));
        std::vector<std::uint8_t> fresh(static_cast<std::size_t>(H));
        for (std::uint8_t& f : fresh) {
            f = static_cast<std::uint8_t>(rng.between(0, 1));
        }
        const bool filtered = round % 2 == 1;
        std::vector<std::uint8_t> made;
        x11_stretch(out.view, source.view, filtered ? fresh.data() : nullptr, made);
        ASSERT_EQ(made.size(), static_cast<std::size_t>(out.view.height));
        for (std::int32_t y = 0; y < out.view.height; ++y) {
            const auto sy = static_cast<std::size_t>(std::int64_t{y} * H / out.view.height);
            const bool wanted = !filtered || fresh[sy] != 0;
            ASSERT_EQ(made[static_cast<std::size_t>(y)] != 0, wanted) << "row " << y;
            for (std::int32_t x = 0; x < out.view.width; ++x) {
                const Pixel want = wanted ? reference(source.view, out.view, x, y) : 0x77777777u;
                ASSERT_EQ(out.view.row(y)[x], want) << "(" << x << ", " << y << ") of "
                                                   << out.view.width << "x" << out.view.height
                                                   << " from " << W << "x" << H;
            }
            for (std::int32_t gap = out.view.width; gap < out.view.stride; ++gap) {
                ASSERT_EQ(out.view.row(y)[gap], 0x77777777u) << "between the rows";
            }
        }
    }
}

// Nothing is made for views without pixels or without a size.
TEST(Stretch, EmptyViewsMakeNothing) {
    Rows source(4, 4);
    Rows out(8, 8);
    std::vector<std::uint8_t> made;
    x11_stretch(out.view, PixelRows{}, nullptr, made);
    EXPECT_EQ(made, std::vector<std::uint8_t>(8, 0));
    x11_stretch(PixelRows{}, source.view, nullptr, made);
    EXPECT_TRUE(made.empty());
}

}  // namespace
