// The X11 stretch rasteriser against a per-pixel reference, over seeded random sizes, places and
// ratios (whole factors, shrinks, odd ratios, rectangles partly outside either image), in both
// storage directions, with and without the overlay's row changes, from pictures and from captures
// whose pad bytes are not the picture's; the rows it notes as written are the rows it made.
#include "platform/x11/x11_client_stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/seeded.h"

namespace {

// An image in its own memory, seen top-down or (as the seam's bitmaps) bottom-up.
struct Image {
    std::int32_t width;
    std::int32_t height;
    bool bottom_up;
    std::vector<Pixel> pixels;

    Image(std::int32_t w, std::int32_t h, bool up)
        : width(w), height(h), bottom_up(up), pixels(static_cast<std::size_t>(w * h)) {}
    Pixel& at(std::int32_t x, std::int32_t y) {
        const std::int32_t storage_row = bottom_up ? height - 1 - y : y;
        return pixels[static_cast<std::size_t>(storage_row * width + x)];
    }
    PixelView view(RowChanges* changes = nullptr) {
        if (bottom_up) {
            return PixelView{pixels.data() + static_cast<std::ptrdiff_t>(height - 1) * width,
                             -static_cast<std::ptrdiff_t>(width), width, height, changes};
        }
        return PixelView{pixels.data(), width, width, height, changes};
    }
};

// What the stretch must leave: destination pixel (x, y) inside `to` takes source pixel
// from + (x - to.x) * from size / to size where that lies inside the source; all else stays.
Image reference(Image destination, Rect to, Image& source, Rect from, Pixel ours) {
    for (std::int32_t y = 0; y < destination.height; ++y) {
        for (std::int32_t x = 0; x < destination.width; ++x) {
            const std::int64_t dx = x - to.x;
            const std::int64_t dy = y - to.y;
            if (dx < 0 || dy < 0 || dx >= to.width || dy >= to.height) {
                continue;
            }
            const std::int64_t sx = from.x + dx * from.width / to.width;
            const std::int64_t sy = from.y + dy * from.height / to.height;
            if (sx >= 0 && sy >= 0 && sx < source.width && sy < source.height) {
                destination.at(x, y) =
                    source.at(static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy)) & ours;
            }
        }
    }
    return destination;
}

// One side of a destination rectangle for a source side of `from`: mostly a whole factor or the
// same size, else any size up to four times the source.
std::int32_t destination_side(SeededRandom& rng, std::int32_t from) {
    switch (rng.between(0, 3)) {
    case 0:
        return from * rng.between(1, 6);
    case 1:
        return from;
    default:
        return rng.between(1, 4 * from + 3);
    }
}

TEST(Stretch, EveryPixelIsTheReferencesAndOnlyChangedRowsAreNoted) {
    SeededRandom rng(0x5731);
    SCOPED_TRACE(rng.trace());
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Image source(rng.between(1, 40), rng.between(1, 30), rng.between(0, 1) == 1);
        // Half of the sources are read-back captures, whose pad bytes are not the picture's.
        const Pixel ours = rng.between(0, 1) == 0 ? 0xFFFFFFFFu : 0x00FFFFFFu;
        for (Pixel& p : source.pixels) {
            p = ours == 0xFFFFFFFFu ? rng.word() & 0x00FFFFFFu : rng.word();
        }
        Image destination(rng.between(1, 90), rng.between(1, 60), rng.between(0, 1) == 1);
        // A few colours only, so that many rows already hold what the stretch writes.
        for (Pixel& p : destination.pixels) {
            p = rng.between(0, 1) == 0 ? source.pixels[0] : rng.word() & 0x00FFFFFFu;
        }
        const bool inside = rng.between(0, 2) > 0;
        Rect from{0, 0, source.width, source.height};
        if (!inside) {
            from = Rect{rng.between(-8, source.width), rng.between(-8, source.height),
                        rng.between(1, source.width + 8), rng.between(1, source.height + 8)};
        }
        Rect to{0, 0, destination_side(rng, from.width), destination_side(rng, from.height)};
        to.x = rng.between(-to.width, destination.width);
        to.y = rng.between(-to.height, destination.height);
        const Image expected = reference(destination, to, source, from, ours);

        const bool with_changes = rng.between(0, 1) == 1;
        RowChanges changes;
        changes.follow(destination.height);
        changes.clear();
        const Image before = destination;
        StretchScratch scratch;
        PixelView in = source.view();
        in.ours = ours;
        PixelView out = destination.view(with_changes ? &changes : nullptr);
        std::vector<std::uint8_t> written(static_cast<std::size_t>(destination.height), 0);
        out.written = written.data();
        stretch(out, to, in, from, scratch);
        ASSERT_EQ(destination.pixels, expected.pixels)
            << "to " << to.x << "," << to.y << " " << to.width << "x" << to.height << " from "
            << from.x << "," << from.y << " " << from.width << "x" << from.height;
        // Each row the stretch made, and only those, is noted as written: those inside `to` and
        // the destination whose source row lies inside the source, when any column does.
        const bool columns = std::max(0, -to.x) < std::min(to.width, destination.width - to.x);
        for (std::int32_t y = 0; y < destination.height; ++y) {
            const std::int64_t dy = y - to.y;
            const std::int64_t sy = from.y + dy * from.height / to.height;
            const bool made = columns && dy >= 0 && dy < to.height && sy >= 0 && sy < source.height;
            ASSERT_EQ(written[static_cast<std::size_t>(y)] != 0, made) << "row " << y;
        }
        if (with_changes) {
            Image was = before;
            Image now = destination;
            for (std::int32_t y = 0; y < destination.height; ++y) {
                bool differs = false;
                for (std::int32_t x = 0; x < destination.width; ++x) {
                    differs = differs || was.at(x, y) != now.at(x, y);
                }
                ASSERT_EQ(changes.rows[static_cast<std::size_t>(y)] != 0, differs) << "row " << y;
            }
        }
    }
}

// The scratch kept from a larger stretch serves a smaller one and back, as ticks of the overlay do.
TEST(Stretch, ScratchKeptAcrossSizesGivesTheSamePixels) {
    SeededRandom rng(0x5732);
    SCOPED_TRACE(rng.trace());
    StretchScratch kept;
    for (int round = 0; round < 200; ++round) {
        Image source(rng.between(1, 30), rng.between(1, 20), false);
        for (Pixel& p : source.pixels) {
            p = rng.word() & 0x00FFFFFFu;
        }
        Image with_kept(60, 40, false);
        Image with_fresh(60, 40, false);
        const Rect to{rng.between(-10, 50), rng.between(-10, 30), rng.between(1, 70),
                      rng.between(1, 50)};
        const Rect from{rng.between(-3, 5), 0, rng.between(1, 30), source.height};
        RowChanges changes;
        changes.follow(with_kept.height);
        StretchScratch fresh;
        stretch(with_kept.view(&changes), to, source.view(), from, kept);
        stretch(with_fresh.view(), to, source.view(), from, fresh);
        ASSERT_EQ(with_kept.pixels, with_fresh.pixels) << "round " << round;
    }
}

// Nothing is written for an empty rectangle on either side, or for views without pixels.
TEST(Stretch, EmptyRectanglesAndViewsLeaveEverythingAlone) {
    Image source(4, 4, false);
    Image destination(8, 8, false);
    for (Pixel& p : source.pixels) {
        p = 0x123456;
    }
    StretchScratch scratch;
    RowChanges changes;
    changes.follow(8);
    changes.clear();
    for (const auto& rects : {std::pair<Rect, Rect>{{0, 0, 0, 8}, {0, 0, 4, 4}},
                              std::pair<Rect, Rect>{{0, 0, 8, 8}, {0, 0, 4, 0}},
                              std::pair<Rect, Rect>{{8, 0, 8, 8}, {0, 0, 4, 4}},
                              std::pair<Rect, Rect>{{0, -8, 8, 8}, {0, 0, 4, 4}}}) {
        stretch(destination.view(&changes), rects.first, source.view(), rects.second, scratch);
    }
    stretch(destination.view(&changes), Rect{0, 0, 8, 8}, PixelView{}, Rect{0, 0, 4, 4}, scratch);
    EXPECT_EQ(destination.pixels, std::vector<Pixel>(64, 0));
    EXPECT_FALSE(changes.any);
}

}  // namespace

namespace {

// A destination that holds the stretch of an earlier source, with some rows drawn over since:
// making only the rows whose source rows are fresh, and those drawn over, gives every pixel of a
// whole stretch of the new source. Held rows are noted at the end only where they differ.
TEST(Stretch, FilteredRowsAndHeldRowsGiveTheWholeStretch) {
    SeededRandom rng(0x5733);
    SCOPED_TRACE(rng.trace());
    for (int round = 0; round < 1000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Image source(rng.between(1, 40), rng.between(1, 30), false);
        for (Pixel& p : source.pixels) {
            p = rng.word() & 0x00FFFFFFu;
        }
        Image destination(rng.between(1, 90), rng.between(1, 70), false);
        const Rect from{0, 0, source.width, source.height};
        Rect to{0, 0, destination_side(rng, from.width), destination_side(rng, from.height)};
        to.x = rng.between(-to.width / 2, destination.width / 2);
        to.y = rng.between(-to.height / 2, destination.height / 2);
        StretchScratch scratch;
        stretch(destination.view(), to, source.view(), from, scratch);
        const Image shown = destination;  // what the server shows

        // The source changes in some rows; some destination rows are drawn over.
        std::vector<std::uint8_t> fresh(static_cast<std::size_t>(source.height), 0);
        for (std::int32_t row = 0; row < source.height; ++row) {
            if (rng.between(0, 3) == 0) {
                fresh[static_cast<std::size_t>(row)] = 1;
                for (std::int32_t x = 0; x < source.width; ++x) {
                    if (rng.between(0, 1) == 0) {
                        source.at(x, row) = rng.word() & 0x00FFFFFFu;
                    }
                }
            }
        }
        std::vector<std::uint8_t> stale(static_cast<std::size_t>(destination.height), 0);
        RowChanges changes;
        changes.follow(destination.height);
        changes.clear();
        for (std::int32_t y = 0; y < destination.height; ++y) {
            if (rng.between(0, 4) == 0) {
                stale[static_cast<std::size_t>(y)] = 1;
                changes.hold(destination.view(), y);
                destination.at(rng.between(0, destination.width - 1), y) ^= 0x00808080u;
            }
        }
        const Image expected = reference(destination, to, source, from, 0xFFFFFFFFu);
        const RowFilter only{fresh.data(), stale.data()};
        stretch(destination.view(&changes), to, source.view(), from, scratch, &only);
        ASSERT_EQ(destination.pixels, expected.pixels);

        changes.settle(destination.view());
        Image now = destination;
        Image was = shown;
        bool any = false;
        for (std::int32_t y = 0; y < destination.height; ++y) {
            bool differs = false;
            for (std::int32_t x = 0; x < destination.width; ++x) {
                differs = differs || was.at(x, y) != now.at(x, y);
            }
            any = any || differs;
            ASSERT_EQ(changes.rows[static_cast<std::size_t>(y)] == RowChanges::CHANGED, differs)
                << "row " << y;
        }
        EXPECT_EQ(changes.any, any);
    }
}

// A stretch in any number of bands, run at once on the band workers, makes the same pixels, notes
// the same rows written and the same rows changed (held rows kept held), and says whether any
// changed, as the stretch in one band.
TEST(Stretch, EveryBandCountMakesTheSameStretch) {
    SeededRandom rng(0x5734);
    SCOPED_TRACE(rng.trace());
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Image source(rng.between(1, 120), rng.between(1, 90), rng.between(0, 1) == 1);
        const Pixel ours = rng.between(0, 1) == 0 ? 0xFFFFFFFFu : 0x00FFFFFFu;
        for (Pixel& p : source.pixels) {
            p = rng.between(0, 3) == 0 ? 0u : rng.word();
        }
        const Image start = [&] {
            Image image(rng.between(1, 260), rng.between(1, 300), rng.between(0, 1) == 1);
            for (Pixel& p : image.pixels) {
                p = rng.between(0, 1) == 0 ? 0u : rng.word();
            }
            return image;
        }();
        const Rect from{rng.between(-4, 4), rng.between(-4, 4), source.width, source.height};
        Rect to{0, 0, destination_side(rng, from.width), destination_side(rng, from.height)};
        to.x = rng.between(-to.width / 2, start.width / 2);
        to.y = rng.between(-to.height / 2, start.height / 2);
        std::vector<std::uint8_t> held_rows(static_cast<std::size_t>(start.height), 0);
        for (std::uint8_t& held : held_rows) {
            held = rng.between(0, 5) == 0 ? 1 : 0;
        }

        struct Result {
            std::vector<Pixel> pixels;
            std::vector<std::uint8_t> written;
            std::vector<std::uint8_t> changed;
            bool any;
        };
        const auto run = [&](std::int32_t bands) {
            Image destination = start;
            RowChanges changes;
            changes.follow(destination.height);
            changes.clear();
            for (std::int32_t y = 0; y < destination.height; ++y) {
                if (held_rows[static_cast<std::size_t>(y)] != 0) {
                    changes.hold(destination.view(), y);
                }
            }
            std::vector<std::uint8_t> written(static_cast<std::size_t>(destination.height), 0);
            PixelView out = destination.view(&changes);
            out.written = written.data();
            PixelView in = source.view();
            in.ours = ours;
            StretchScratch scratch;
            stretch(out, to, in, from, scratch, nullptr, bands);
            return Result{destination.pixels, written, changes.rows, changes.any};
        };
        const Result one = run(1);
        for (std::int32_t bands = 2; bands <= 8; ++bands) {
            const Result banded = run(bands);
            ASSERT_EQ(banded.pixels, one.pixels) << bands << " bands";
            ASSERT_EQ(banded.written, one.written) << bands << " bands";
            ASSERT_EQ(banded.changed, one.changed) << bands << " bands";
            ASSERT_EQ(banded.any, one.any) << bands << " bands";
        }
    }
}

}  // namespace
