// The blended upscaler: the worked blocks, the kernel calls it makes, a per-pixel reference over
// seeded random sizes, and every case in which it must touch nothing. Surfaces carry guard words.
#include "render/upscale.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "render/kernels.h"
#include "support/guarded_surface.h"
#include "support/seeded.h"

namespace {

struct Family {
    const char* name;
    BlendPairFn pair;
    BlendQuadFn quad;
};

const Family FAMILIES[] = {{"fast", fast_average_pair, fast_average_quad},
                           {"exact", exact_average_pair, exact_average_quad},
                           {"darker", pick_darker_pair, pick_darker_quad},
                           {"brighter", pick_brighter_pair, pick_brighter_quad}};

using Rows = std::vector<std::vector<Pixel>>;

// Puts one block into a 2x2 source: p00 p01 in storage row 0, p10 p11 in storage row 1.
void fill_block(GuardedSurface& source, Pixel p00, Pixel p01, Pixel p10, Pixel p11) {
    source.at(0, 0) = p00;
    source.at(0, 1) = p01;
    source.at(1, 0) = p10;
    source.at(1, 1) = p11;
}

// Returns a 3x3 block with its first and last rows and columns doubled, as scale 5 lays it out.
Rows doubled_edges(const Rows& block3) {
    const std::size_t from[] = {0, 0, 1, 2, 2};
    Rows out(5, std::vector<Pixel>(5));
    for (std::size_t r = 0; r < 5; ++r) {
        for (std::size_t c = 0; c < 5; ++c) {
            out[r][c] = block3[from[r]][from[c]];
        }
    }
    return out;
}

// Enlarges one 2x2 block and compares the whole destination, storage row 0 first.
void expect_block(const Family& family, std::int32_t scale, const std::array<Pixel, 4>& block,
                  const Rows& expected) {
    SCOPED_TRACE(std::string(family.name) + " at scale " + std::to_string(scale));
    GuardedSurface source(2, 2);
    GuardedSurface upscaled(scale, scale);
    fill_block(source, block[0], block[1], block[2], block[3]);
    upscale_blended(source.surface, upscaled.surface, 2, 2, scale, family.pair, family.quad);
    for (std::int32_t r = 0; r < scale; ++r) {
        for (std::int32_t c = 0; c < scale; ++c) {
            const Pixel want = expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            EXPECT_EQ(upscaled.at(r, c), want) << "storage row " << r << ", column " << c;
        }
    }
    EXPECT_TRUE(source.guards_intact());
    EXPECT_TRUE(upscaled.guards_intact());
}

TEST(Upscale, WorkedBlockWithEitherAverage) {
    const std::array<Pixel, 4> block{0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
    const Rows scale3{{0x000000, 0x00007F, 0x0000FF},
                      {0x007F00, 0x3F3F3F, 0x7F007F},
                      {0x00FF00, 0x7F7F00, 0xFF0000}};
    const Rows scale5{{0x000000, 0x000000, 0x00007F, 0x0000FF, 0x0000FF},
                      {0x000000, 0x000000, 0x00007F, 0x0000FF, 0x0000FF},
                      {0x007F00, 0x007F00, 0x3F3F3F, 0x7F007F, 0x7F007F},
                      {0x00FF00, 0x00FF00, 0x7F7F00, 0xFF0000, 0xFF0000},
                      {0x00FF00, 0x00FF00, 0x7F7F00, 0xFF0000, 0xFF0000}};
    for (const Family& family : {FAMILIES[0], FAMILIES[1]}) {
        expect_block(family, 3, block, scale3);
        expect_block(family, 5, block, scale5);
    }
}

TEST(Upscale, EqualWeightBlockTakesTheFirstArgumentWhenPicking) {
    const Pixel p00 = 0x100000, p01 = 0x080008, p10 = 0x000010, p11 = 0x0C0004;
    const Rows scale3{{p00, p00, p01}, {p00, p00, p01}, {p10, p10, p11}};
    for (const Family& family : {FAMILIES[2], FAMILIES[3]}) {
        expect_block(family, 3, {p00, p01, p10, p11}, scale3);
        expect_block(family, 5, {p00, p01, p10, p11}, doubled_edges(scale3));
    }
}

TEST(Upscale, WhiteBlockStaysWhiteExceptWithTheFastAverage) {
    const Pixel w = 0xFFFFFF;
    const Rows uniform{{w, w, w}, {w, w, w}, {w, w, w}};
    const Rows fast{{w, 0xFEFEFE, w}, {0xFEFEFE, 0xFCFCFC, 0xFEFEFE}, {w, 0xFEFEFE, w}};
    for (const Family& family : FAMILIES) {
        const Rows& expected = family.pair == fast_average_pair ? fast : uniform;
        expect_block(family, 3, {w, w, w, w}, expected);
        expect_block(family, 5, {w, w, w, w}, doubled_edges(expected));
    }
}

// The kernel calls of one run, recorded in order by the two recording kernels.
struct Call {
    int arity;
    std::array<Pixel, 4> args;
    bool operator==(const Call& other) const { return arity == other.arity && args == other.args; }
};
std::vector<Call> recorded_calls;

Pixel recording_pair(Pixel a, Pixel b) {
    recorded_calls.push_back({2, {a, b, 0, 0}});
    return exact_average_pair(a, b);
}

Pixel recording_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    recorded_calls.push_back({4, {a, b, c, d}});
    return exact_average_quad(a, b, c, d);
}

TEST(Upscale, FiveKernelCallsPerBlockWithTheArgumentsInOrder) {
    const std::int32_t W = 6, H = 4;
    for (const std::int32_t scale : {3, 5}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        GuardedSurface source(W, H);
        GuardedSurface upscaled(scale * W / 2, scale * H / 2);
        for (std::int32_t r = 0; r < H; ++r) {
            for (std::int32_t c = 0; c < W; ++c) {
                source.at(r, c) = static_cast<Pixel>(0x010000 * r + c + 1);  // every pixel distinct
            }
        }
        recorded_calls.clear();
        upscale_blended(source.surface, upscaled.surface, W, H, scale, recording_pair,
                        recording_quad);

        std::vector<Call> expected;
        for (std::int32_t sy = 0; sy < H; sy += 2) {
            for (std::int32_t sx = 0; sx < W; sx += 2) {
                const Pixel p00 = source.at(sy, sx), p01 = source.at(sy, sx + 1);
                const Pixel p10 = source.at(sy + 1, sx), p11 = source.at(sy + 1, sx + 1);
                expected.push_back({2, {p00, p01, 0, 0}});
                expected.push_back({2, {p10, p11, 0, 0}});
                expected.push_back({2, {p00, p10, 0, 0}});
                expected.push_back({2, {p01, p11, 0, 0}});
                expected.push_back({4, {p00, p10, p01, p11}});
            }
        }
        ASSERT_EQ(recorded_calls.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_TRUE(recorded_calls[i] == expected[i])
                << "call " << i << " (block " << i / 5 << ")";
        }
    }
}

// Maps a place inside a destination block to its place in the 3x3 pattern: scale 5 doubles the
// outer rows and columns.
std::int32_t pattern_place(std::int32_t offset, std::int32_t scale) {
    if (scale == 3) {
        return offset;
    }
    return offset < 2 ? 0 : (offset == 2 ? 1 : 2);
}

// Returns what destination pixel (row, col) must hold, worked out from that pixel alone.
Pixel reference_pixel(const GuardedSurface& source, std::int32_t row, std::int32_t col,
                      std::int32_t scale, const Family& family) {
    const std::int32_t sy = 2 * (row / scale), sx = 2 * (col / scale);
    const std::int32_t r = pattern_place(row % scale, scale), c = pattern_place(col % scale, scale);
    if (r == 1 && c == 1) {
        return family.quad(source.at(sy, sx), source.at(sy + 1, sx), source.at(sy, sx + 1),
                           source.at(sy + 1, sx + 1));
    }
    if (r == 1) {
        return family.pair(source.at(sy, sx + c / 2), source.at(sy + 1, sx + c / 2));
    }
    if (c == 1) {
        return family.pair(source.at(sy + r / 2, sx), source.at(sy + r / 2, sx + 1));
    }
    return source.at(sy + r / 2, sx + c / 2);
}

// Compares the destination with the reference over the enlarged even part of a W x H capture,
// expects everything else in the surface unwritten, and reports the first difference and a count.
void expect_matches_reference(const GuardedSurface& source, const GuardedSurface& upscaled,
                              std::int32_t W, std::int32_t H, std::int32_t scale,
                              const Family& family) {
    const std::int32_t written_w = scale * (W / 2), written_h = scale * (H / 2);
    int differences = 0;
    std::string first;
    for (std::int32_t r = 0; r < upscaled.surface.height; ++r) {
        for (std::int32_t c = 0; c < upscaled.surface.width; ++c) {
            const bool inside = r < written_h && c < written_w;
            const Pixel expected =
                inside ? reference_pixel(source, r, c, scale, family) : UNWRITTEN;
            if (upscaled.at(r, c) != expected && differences++ == 0) {
                first = "row " + std::to_string(r) + " col " + std::to_string(c) + ": got " +
                        std::to_string(upscaled.at(r, c)) + ", want " + std::to_string(expected);
            }
        }
    }
    EXPECT_EQ(differences, 0) << family.name << " scale " << scale << " " << W << "x" << H
                              << ", first at " << first;
    EXPECT_TRUE(source.guards_intact());
    EXPECT_TRUE(upscaled.guards_intact());
}

// Runs every family at both scales on one capture size with surfaces `extra` words wider and taller
// than needed (so a mixed-up row stride shows) and compares against the reference.
void check_size(SeededRandom& rng, std::int32_t W, std::int32_t H, std::int32_t extra_source,
                std::int32_t extra_upscaled) {
    GuardedSurface source(W + extra_source, H + extra_source);
    for (std::int32_t r = 0; r < source.surface.height; ++r) {
        for (std::int32_t c = 0; c < source.surface.width; ++c) {
            source.at(r, c) = rng.word() & 0xFFFFFFu;
        }
    }
    for (const std::int32_t scale : {3, 5}) {
        for (const Family& family : FAMILIES) {
            GuardedSurface upscaled(scale * W / 2 + extra_upscaled, scale * H / 2 + extra_upscaled);
            upscale_blended(source.surface, upscaled.surface, W, H, scale, family.pair,
                            family.quad);
            expect_matches_reference(source, upscaled, W, H, scale, family);
        }
    }
}

TEST(Upscale, MatchesPerPixelReferenceOnRandomSizes) {
    SeededRandom rng(0x75707363u);
    SCOPED_TRACE(rng.trace());
    const std::int32_t fixed[][2] = {{2, 2}, {6, 10}, {10, 6}, {2, 14}, {14, 2}};
    for (const auto& size : fixed) {
        check_size(rng, size[0], size[1], 0, 0);
    }
    for (int i = 0; i < 40; ++i) {
        // Drawn one per statement so a seed replays the same sizes with any compiler.
        const std::int32_t W = 2 * rng.between(1, 20);
        const std::int32_t H = 2 * rng.between(1, 20);
        const bool roomy = i % 2 == 1;
        const std::int32_t extra_source = roomy ? rng.between(1, 3) : 0;
        const std::int32_t extra_upscaled = roomy ? rng.between(0, 3) : 0;
        check_size(rng, W, H, extra_source, extra_upscaled);
    }
}

TEST(Upscale, OddSizeReadsAndWritesOnlyWholeBlocks) {
    SeededRandom rng(0x6F646473u);
    SCOPED_TRACE(rng.trace());
    const std::int32_t sizes[][2] = {{1, 1}, {3, 3}, {7, 5}, {1, 4}, {4, 1}, {5, 8}};
    for (const auto& size : sizes) {
        check_size(rng, size[0], size[1], 0, 0);
    }
}

TEST(Upscale, TouchesNothingWhenItCannotOrNeedNotWork) {
    const std::int32_t BIG = std::numeric_limits<std::int32_t>::max() - 1;
    struct Case {
        const char* name;
        std::int32_t W, H, scale;
        std::int32_t source_w, source_h, upscaled_w, upscaled_h;
        bool null_source, null_upscaled;
    };
    const Case cases[] = {
        {"scale 2", 4, 4, 2, 4, 4, 10, 10, false, false},
        {"scale 4", 4, 4, 4, 4, 4, 10, 10, false, false},
        {"scale 0", 4, 4, 0, 4, 4, 10, 10, false, false},
        {"scale 6", 4, 4, 6, 4, 4, 12, 12, false, false},
        {"H = 0", 4, 0, 3, 4, 4, 6, 6, false, false},
        {"W = 0", 0, 4, 5, 4, 4, 10, 10, false, false},
        {"negative H", 4, -2, 3, 4, 4, 6, 6, false, false},
        {"no source memory", 4, 4, 3, 4, 4, 6, 6, true, false},
        {"no upscaled memory", 4, 4, 5, 4, 4, 10, 10, false, true},
        {"upscaled one column short", 4, 4, 3, 4, 4, 5, 6, false, false},
        {"upscaled one row short", 4, 4, 5, 4, 4, 10, 9, false, false},
        {"source one column short", 4, 4, 3, 3, 4, 6, 6, false, false},
        {"source one row short", 4, 4, 3, 4, 3, 6, 6, false, false},
        // 5 * W would wrap in 32 bits and pass a careless size check.
        {"enlarged width beyond 32 bits", BIG, 2, 5, 4, 2, 10, 5, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedSurface source(c.source_w, c.source_h);
        GuardedSurface upscaled(c.upscaled_w, c.upscaled_h);
        Surface source_view = source.surface;
        Surface upscaled_view = upscaled.surface;
        if (c.null_source) source_view.pixels = nullptr;
        if (c.null_upscaled) upscaled_view.pixels = nullptr;
        if (c.W == BIG) source_view.width = BIG;  // a lying width: nothing may be read through it
        recorded_calls.clear();
        upscale_blended(source_view, upscaled_view, c.W, c.H, c.scale, recording_pair,
                        recording_quad);
        EXPECT_TRUE(recorded_calls.empty());
        EXPECT_TRUE(upscaled.all_unwritten());
        EXPECT_TRUE(source.guards_intact());
        EXPECT_TRUE(upscaled.guards_intact());
    }
}

}  // namespace
