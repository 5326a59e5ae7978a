// The enlargement in bands: every band count from 1 to 8 over sizes whose block rows do not share
// out evenly gives the single upscaler's result word for word (guards included), for the reference
// and every fast variant; the bands cover every block row once, in order; and small changes stay
// in one band.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "render/kernels.h"
#include "render/upscale.h"
#include "render/upscale_bands.h"
#include "render/upscaler_choice.h"
#include "support/guarded_surface.h"
#include "support/seeded.h"
#include "support/test_platform.h"

namespace {

TEST(UpscaleBands, BandsCoverEveryBlockRowOnceInOrder) {
    for (std::int32_t block_rows = 0; block_rows <= 40; ++block_rows) {
        for (std::int32_t bands = 1; bands <= 8; ++bands) {
            std::int32_t next = 0;
            std::int32_t shortest = block_rows;
            std::int32_t longest = 0;
            for (std::int32_t band = 0; band < bands; ++band) {
                const BandRows rows = band_rows(block_rows, bands, band);
                if (rows.count > 0) {
                    EXPECT_EQ(rows.first, next) << block_rows << " rows, band " << band;
                }
                next += rows.count;
                shortest = std::min(shortest, rows.count);
                longest = std::max(longest, rows.count);
            }
            EXPECT_EQ(next, block_rows) << block_rows << " rows in " << bands << " bands";
            EXPECT_LE(longest - shortest, 1) << block_rows << " rows in " << bands << " bands";
        }
    }
    EXPECT_EQ(band_rows(10, 0, 0).count, 0);
    EXPECT_EQ(band_rows(10, 3, 3).count, 0);
}

TEST(UpscaleBands, SmallEnlargementsStayInOneBand) {
    EXPECT_EQ(band_count(1, 8), 1);
    EXPECT_EQ(band_count(MIN_BLOCK_ROWS_PER_BAND * 2 - 1, 8), 1);
    EXPECT_EQ(band_count(MIN_BLOCK_ROWS_PER_BAND * 2, 8), 2);
    EXPECT_EQ(band_count(MIN_BLOCK_ROWS_PER_BAND * 100, 8), 8);
    EXPECT_EQ(band_count(MIN_BLOCK_ROWS_PER_BAND * 100, 1), 1);
    EXPECT_EQ(band_count(0, 4), 1);
}

TEST(UpscaleBands, EveryBandCountGivesTheSingleUpscalersResult) {
    test_platform = TestPlatform{};
    SeededRandom rng(0x62616e64u);
    SCOPED_TRACE(rng.trace());
    // Heights of 2 to 69 rows: odd block-row counts, counts that no band count divides, an odd last
    // row that no upscaler touches.
    const std::int32_t widths[] = {2, 9, 34};
    for (std::int32_t H = 2; H <= 69; H += 3) {
        for (const std::int32_t W : widths) {
            GuardedSurface source(W, H);
            for (std::size_t i = 0; i < source.pixel_count(); ++i) {
                source.pixel(i) = rng.word();
            }
            for (const std::int32_t k : {3, 5}) {
                for (const std::int32_t smoothness : {0, 1, 2, 3}) {
                    const KernelSlots slots = choose_kernels(smoothness);
                    GuardedSurface expected(k * W / 2, k * H / 2);
                    upscale_blended(source.surface, expected.surface, W, H, k, slots.blend_pair,
                                    slots.blend_quad);
                    std::vector<Upscaler> upscalers = {upscale_blended, inline_upscaler(smoothness)};
                    if (sse2_upscaler(smoothness) != nullptr &&
                        cpu_vector_set() >= VectorSet::SSE2) {
                        upscalers.push_back(sse2_upscaler(smoothness));
                    }
                    if (avx2_upscaler(smoothness) != nullptr &&
                        cpu_vector_set() >= VectorSet::AVX2) {
                        upscalers.push_back(avx2_upscaler(smoothness));
                    }
                    for (std::size_t u = 0; u < upscalers.size(); ++u) {
                        for (std::int32_t bands = 1; bands <= 8; ++bands) {
                            GuardedSurface actual(k * W / 2, k * H / 2);
                            upscale_in_bands(upscalers[u], source.surface, actual.surface, W, H, k,
                                             slots.blend_pair, slots.blend_quad, bands);
                            ASSERT_EQ(actual.words(), expected.words())
                                << "upscaler " << u << ", " << bands << " bands, " << W << "x" << H
                                << " by " << k << "/2, smoothness " << smoothness;
                        }
                    }
                }
            }
        }
    }
    // A band count of one makes no hand-over at all.
    EXPECT_EQ(std::count(test_platform.band_runs.begin(), test_platform.band_runs.end(), 1), 0);
}

}  // namespace
