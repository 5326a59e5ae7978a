// The fast upscalers against the reference: every variant the build has, every kernel family and
// both scales, on the same data, must write the same words, and nothing outside the enlargement.
// The data covers random words (top byte set or clear), flat areas, blocks of equal weight (the
// tie rules), extreme channel values, every width and height from 2 to 66 (every tail of the
// four-block loop, odd sizes included), padded strides and the large capture sizes. Also the
// start-up choice and its kill switch.
#include "render/upscaler_choice.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "render/kernels.h"
#include "render/upscale.h"
#include "support/guarded_surface.h"
#include "support/seeded.h"

namespace {

struct Variant {
    std::string name;
    Upscaler upscale;
};

// The variants of this build that this processor can run.
std::vector<Variant> fast_variants(std::int32_t smoothness) {
    std::vector<Variant> variants{{"inline", inline_upscaler(smoothness)}};
    const Upscaler sse2 = sse2_upscaler(smoothness);
    if (sse2 != nullptr && cpu_vector_set() >= VectorSet::SSE2) {
        variants.push_back({"sse2", sse2});
    }
    const Upscaler avx2 = avx2_upscaler(smoothness);
    if (avx2 != nullptr && cpu_vector_set() >= VectorSet::AVX2) {
        variants.push_back({"avx2", avx2});
    }
    return variants;
}

const std::int32_t FAMILIES[] = {0, 1, 2, 3};  // fast, exact, darker, brighter
const std::int32_t SCALES[] = {3, 5};

// Returns the index of the first differing word, or -1.
std::ptrdiff_t first_difference(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

using Filler = std::function<Pixel(SeededRandom&)>;

// Fills a W x H source (stride W + extra_source) and enlarges it with the reference and each
// variant of every family at scale k into surfaces of stride (k W)/2 + extra_upscaled; all results
// must equal the reference's word for word, guards and untouched words included, and the source
// must be left as it was.
void expect_identical(SeededRandom& rng, const Filler& fill, std::int32_t W, std::int32_t H,
                      std::int32_t extra_source = 0, std::int32_t extra_upscaled = 0) {
    GuardedSurface source(W + extra_source, H);
    for (std::size_t i = 0; i < source.pixel_count(); ++i) {
        source.pixel(i) = fill(rng);
    }
    const std::vector<Pixel> source_before = source.words();
    for (const std::int32_t k : SCALES) {
        const std::int32_t upscaled_width = k * W / 2 + extra_upscaled;
        const std::int32_t upscaled_height = k * H / 2;
        for (const std::int32_t smoothness : FAMILIES) {
            const KernelSlots slots = choose_kernels(smoothness);
            GuardedSurface expected(upscaled_width, upscaled_height);
            upscale_blended(source.surface, expected.surface, W, H, k, slots.blend_pair,
                            slots.blend_quad);
            for (const Variant& variant : fast_variants(smoothness)) {
                GuardedSurface actual(upscaled_width, upscaled_height);
                variant.upscale(source.surface, actual.surface, W, H, k, slots.blend_pair,
                                slots.blend_quad);
                const std::ptrdiff_t at = first_difference(expected.words(), actual.words());
                ASSERT_EQ(at, -1) << variant.name << " smoothness " << smoothness << " scale " << k
                                  << " " << W << "x" << H << " strides " << W + extra_source << "/"
                                  << upscaled_width << ": word " << at << " (guard " << GUARD_WORDS
                                  << ") is " << std::hex
                                  << actual.words()[static_cast<std::size_t>(at)] << " not "
                                  << expected.words()[static_cast<std::size_t>(at)];
            }
        }
    }
    ASSERT_EQ(source.words(), source_before) << "the source was written";
}

Pixel random_word(SeededRandom& rng) { return rng.word(); }
Pixel random_colour(SeededRandom& rng) { return rng.word() & 0xFFFFFFu; }

// A pixel of the given weight (0 to 765) with random channels and a random top byte.
Pixel pixel_of_weight(SeededRandom& rng, std::int32_t weight) {
    const std::int32_t red =
        rng.between(weight > 510 ? weight - 510 : 0, weight < 255 ? weight : 255);
    const std::int32_t rest = weight - red;
    const std::int32_t green = rng.between(rest > 255 ? rest - 255 : 0, rest < 255 ? rest : 255);
    const std::int32_t blue = rest - green;
    return (rng.word() & 0xFF000000u) | static_cast<Pixel>(red << 16) |
           static_cast<Pixel>(green << 8) | static_cast<Pixel>(blue);
}

// Channels drawn from the values where rounding and carries matter, weights often tied.
Pixel extreme_pixel(SeededRandom& rng) {
    const Pixel levels[] = {0x00, 0x01, 0x02, 0x03, 0x7F, 0x80, 0xFE, 0xFF};
    Pixel p = 0;
    for (int channel = 0; channel < 4; ++channel) {
        p = (p << 8) | levels[rng.between(0, 7)];
    }
    return p;
}

struct DataKind {
    const char* name;
    Filler fill;
};

// The data every size is tried with.
std::vector<DataKind> data_kinds() {
    return {
        {"random words", random_word},
        {"random colours", random_colour},
        {"equal weights", [](SeededRandom& rng) { return pixel_of_weight(rng, 300); }},
        {"few weights",
         [](SeededRandom& rng) { return pixel_of_weight(rng, 16 * rng.between(0, 3)); }},
        {"extremes", extreme_pixel},
    };
}

TEST(UpscaleFast, EveryWidthFrom2To66) {
    SeededRandom rng(0x77696474u);
    SCOPED_TRACE(rng.trace());
    for (const DataKind& kind : data_kinds()) {
        SCOPED_TRACE(kind.name);
        for (std::int32_t W = 2; W <= 66; ++W) {
            for (const std::int32_t H : {2, 3, 4, 7}) {
                expect_identical(rng, kind.fill, W, H);
            }
        }
    }
}

TEST(UpscaleFast, EveryHeightFrom2To66) {
    SeededRandom rng(0x68676874u);
    SCOPED_TRACE(rng.trace());
    for (const DataKind& kind : data_kinds()) {
        SCOPED_TRACE(kind.name);
        for (std::int32_t H = 2; H <= 66; ++H) {
            for (const std::int32_t W : {2, 9, 16, 17}) {
                expect_identical(rng, kind.fill, W, H);
            }
        }
    }
}

TEST(UpscaleFast, FlatAreasStayFlatAlike) {
    SeededRandom rng(0x666C6174u);
    SCOPED_TRACE(rng.trace());
    for (const Pixel colour : {0x000000u, 0xFFFFFFu, 0xFFFFFFFFu, 0x010101u, 0x808080u}) {
        expect_identical(
            rng, [colour](SeededRandom&) { return colour; }, 34, 18);
    }
    // A random colour per area, and areas that change every few columns.
    for (int i = 0; i < 8; ++i) {
        const Pixel colour = rng.word();
        expect_identical(
            rng, [colour](SeededRandom&) { return colour; }, 2 * rng.between(1, 40),
            2 * rng.between(1, 20));
    }
    std::int32_t column = 0;
    Pixel colour = 0;
    expect_identical(
        rng,
        [&](SeededRandom& r) {
            if (column++ % 5 == 0) {
                colour = r.word() & 0xFFFFFFu;
            }
            return colour;
        },
        64, 12);
}

TEST(UpscaleFast, PaddedStridesAndRandomSizes) {
    SeededRandom rng(0x70616464u);
    SCOPED_TRACE(rng.trace());
    for (int i = 0; i < 60; ++i) {
        const std::int32_t W = rng.between(2, 80);
        const std::int32_t H = rng.between(2, 24);
        expect_identical(rng, random_word, W, H, rng.between(0, 9), rng.between(0, 9));
    }
}

// A capture and an enlargement may be images stored top down and read bottom-up, their rows apart
// by more than a row (a negative stride): the reference and every variant then write the same
// rows as the reference into a surface of its own, and nothing between the rows.
TEST(UpscaleFast, UpwardStridesWriteTheSameRows) {
    SeededRandom rng(7);
    SCOPED_TRACE(rng.trace());
    constexpr std::int32_t GAP = 3;
    constexpr Pixel BETWEEN = 0x5A5A5A5Au;
    for (const std::int32_t W : {2, 10, 34}) {
        const std::int32_t H = 6;
        std::vector<Pixel> source_rows(static_cast<std::size_t>((W + GAP) * H));
        for (Pixel& p : source_rows) {
            p = random_colour(rng);
        }
        Surface source{source_rows.data() + std::ptrdiff_t{H - 1} * (W + GAP), W, H, -(W + GAP)};
        GuardedSurface plain_source(W, H);
        for (std::int32_t r = 0; r < H; ++r) {
            for (std::int32_t c = 0; c < W; ++c) {
                plain_source.at(r, c) = source.row(r)[c];
            }
        }
        for (const std::int32_t k : SCALES) {
            const std::int32_t UW = k * W / 2;
            const std::int32_t UH = k * H / 2;
            for (const std::int32_t smoothness : FAMILIES) {
                const KernelSlots slots = choose_kernels(smoothness);
                GuardedSurface expected(UW, UH);
                upscale_blended(plain_source.surface, expected.surface, W, H, k, slots.blend_pair,
                                slots.blend_quad);
                std::vector<Variant> variants = fast_variants(smoothness);
                variants.push_back({"reference", upscale_blended});
                for (const Variant& variant : variants) {
                    SCOPED_TRACE(variant.name + " scale " + std::to_string(k) + " width " +
                                 std::to_string(W));
                    std::vector<Pixel> rows(static_cast<std::size_t>((UW + GAP) * UH), BETWEEN);
                    const Surface upward{rows.data() + std::ptrdiff_t{UH - 1} * (UW + GAP), UW,
                                         UH, -(UW + GAP)};
                    variant.upscale(source, upward, W, H, k, slots.blend_pair, slots.blend_quad);
                    for (std::int32_t r = 0; r < UH; ++r) {
                        for (std::int32_t c = 0; c < UW + GAP; ++c) {
                            const Pixel want = c < UW ? expected.at(r, c) : BETWEEN;
                            ASSERT_EQ(upward.row(r)[c], want) << "storage row " << r << " word " << c;
                        }
                    }
                }
            }
        }
    }
}

TEST(UpscaleFast, LargeCaptureSizes) {
    SeededRandom rng(0x6C617267u);
    SCOPED_TRACE(rng.trace());
    const std::int32_t sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1023, 767}, {1400, 2}};
    for (const auto& size : sizes) {
        expect_identical(rng, random_word, size[0], size[1]);
    }
}

// Every refusal of the reference (a scale other than 3 or 5, an empty slot, no pixel memory, a
// size that is not positive, a surface too small) is a refusal of every variant.
TEST(UpscaleFast, TouchesNothingWhereTheReferenceTouchesNothing) {
    const KernelSlots slots = choose_kernels(1);
    struct Case {
        const char* what;
        std::int32_t W, H, scale, source_width, source_height, upscaled_width, upscaled_height;
        bool null_pair, null_quad, null_source, null_upscaled;
    };
    const Case cases[] = {
        {"scale 4", 8, 8, 4, 8, 8, 16, 16, false, false, false, false},
        {"scale 2", 8, 8, 2, 8, 8, 16, 16, false, false, false, false},
        {"empty pair slot", 8, 8, 3, 8, 8, 12, 12, true, false, false, false},
        {"empty quad slot", 8, 8, 3, 8, 8, 12, 12, false, true, false, false},
        {"no source pixels", 8, 8, 3, 8, 8, 12, 12, false, false, true, false},
        {"no upscaled pixels", 8, 8, 5, 8, 8, 20, 20, false, false, false, true},
        {"zero width", 0, 8, 3, 8, 8, 12, 12, false, false, false, false},
        {"negative height", 8, -2, 5, 8, 8, 20, 20, false, false, false, false},
        {"source too narrow", 10, 8, 3, 8, 8, 15, 12, false, false, false, false},
        {"source too low", 8, 10, 3, 8, 8, 12, 15, false, false, false, false},
        {"upscaled too narrow", 8, 8, 5, 8, 8, 19, 20, false, false, false, false},
        {"upscaled too low", 8, 8, 3, 8, 8, 12, 11, false, false, false, false},
    };
    for (const Case& c : cases) {
        for (const Variant& variant : fast_variants(1)) {
            GuardedSurface source(c.source_width, c.source_height);
            GuardedSurface upscaled(c.upscaled_width, c.upscaled_height);
            if (c.null_source) source.surface.pixels = nullptr;
            if (c.null_upscaled) upscaled.surface.pixels = nullptr;
            const std::vector<Pixel> before = upscaled.words();
            variant.upscale(source.surface, upscaled.surface, c.W, c.H, c.scale,
                            c.null_pair ? nullptr : slots.blend_pair,
                            c.null_quad ? nullptr : slots.blend_quad);
            EXPECT_EQ(upscaled.words(), before) << variant.name << ": " << c.what;
        }
    }
}

// The worked block of the exact average and the equal-weight block of the picking families give
// the same known words through every variant, four blocks wide so the SSE2 loop takes them.
TEST(UpscaleFast, KnownBlocksThroughEveryVariant) {
    struct Case {
        std::int32_t smoothness;
        Pixel p00, p01, p10, p11;
        Pixel row_sy, row_sy_plus_1, column_sx, column_sx_plus_1, centre;
    };
    const Case cases[] = {
        {1, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x00007F, 0x7F7F00, 0x007F00, 0x7F007F,
         0x3F3F3F},
        {0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFEFEFE, 0xFEFEFE, 0xFEFEFE, 0xFEFEFE,
         0xFCFCFC},
        {2, 0x100000, 0x080008, 0x000010, 0x0C0004, 0x100000, 0x000010, 0x100000, 0x080008,
         0x100000},
        {3, 0x100000, 0x080008, 0x000010, 0x0C0004, 0x100000, 0x000010, 0x100000, 0x080008,
         0x100000},
    };
    constexpr std::int32_t W = 8;
    for (const Case& c : cases) {
        const KernelSlots slots = choose_kernels(c.smoothness);
        for (const Variant& variant : fast_variants(c.smoothness)) {
            GuardedSurface source(W, 2);
            for (std::size_t i = 0; i < W; i += 2) {
                source.pixel(i) = c.p00;
                source.pixel(i + 1) = c.p01;
                source.pixel(W + i) = c.p10;
                source.pixel(W + i + 1) = c.p11;
            }
            GuardedSurface upscaled(3 * W / 2, 3);
            variant.upscale(source.surface, upscaled.surface, W, 2, 3, slots.blend_pair,
                            slots.blend_quad);
            const Pixel block[3][3] = {{c.p00, c.row_sy, c.p01},
                                       {c.column_sx, c.centre, c.column_sx_plus_1},
                                       {c.p10, c.row_sy_plus_1, c.p11}};
            for (std::size_t row = 0; row < 3; ++row) {
                for (std::size_t col = 0; col < 3 * W / 2; ++col) {
                    EXPECT_EQ(upscaled.pixel(row * (3 * W / 2) + col), block[row][col % 3])
                        << variant.name << " smoothness " << c.smoothness << " row " << row
                        << " column " << col;
                }
            }
        }
    }
}

// Smoothness values outside 1-3 select the fast average, as choose_kernels does.
TEST(UpscaleFast, OtherSmoothnessValuesGiveTheFastAverage) {
    for (const std::int32_t smoothness : {-1, 4, 100}) {
        EXPECT_EQ(inline_upscaler(smoothness), inline_upscaler(0));
        EXPECT_EQ(sse2_upscaler(smoothness), sse2_upscaler(0));
        EXPECT_EQ(avx2_upscaler(smoothness), avx2_upscaler(0));
    }
}

TEST(UpscaleChoice, ReferenceWhenForcedElseTheFastestTheProcessorRuns) {
    for (const std::int32_t smoothness : FAMILIES) {
        for (const VectorSet vectors : {VectorSet::NONE, VectorSet::SSE2, VectorSet::AVX2}) {
            EXPECT_EQ(choose_upscaler(smoothness, true, vectors), upscale_blended);
        }
        const Upscaler inlined = inline_upscaler(smoothness);
        const Upscaler sse2 = sse2_upscaler(smoothness);
        const Upscaler avx2 = avx2_upscaler(smoothness);
        const Upscaler best_sse2 = sse2 != nullptr ? sse2 : inlined;
        EXPECT_EQ(choose_upscaler(smoothness, false, VectorSet::NONE), inlined);
        EXPECT_EQ(choose_upscaler(smoothness, false, VectorSet::SSE2), best_sse2);
        EXPECT_EQ(choose_upscaler(smoothness, false, VectorSet::AVX2),
                  avx2 != nullptr ? avx2 : best_sse2);
    }
#if defined(__x86_64__)
    // Every x86-64 processor has SSE2.
    EXPECT_GE(cpu_vector_set(), VectorSet::SSE2);
#endif
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
    EXPECT_NE(avx2_upscaler(1), nullptr);
#else
    EXPECT_EQ(avx2_upscaler(1), nullptr);
#endif
}

// Sets (or, for nullptr, removes) the kill switch for the life of the object.
class ReferenceSwitch {
public:
    explicit ReferenceSwitch(const char* value) { set(value); }
    ~ReferenceSwitch() { set(nullptr); }
    ReferenceSwitch(const ReferenceSwitch&) = delete;
    ReferenceSwitch& operator=(const ReferenceSwitch&) = delete;

private:
    static void set(const char* value) {
#if defined(_WIN32)
        _putenv_s("ZRV5_REFERENCE", value != nullptr ? value : "");
#else
        if (value != nullptr) {
            setenv("ZRV5_REFERENCE", value, 1);
        } else {
            unsetenv("ZRV5_REFERENCE");
        }
#endif
    }
};

TEST(UpscaleChoice, KillSwitchForcesTheReference) {
    {
        const ReferenceSwitch on("1");
        EXPECT_TRUE(reference_upscaler_forced());
        for (const std::int32_t smoothness : FAMILIES) {
            EXPECT_EQ(choose_upscaler(smoothness), upscale_blended);
        }
    }
    {
        const ReferenceSwitch off("0");
        EXPECT_FALSE(reference_upscaler_forced());
        EXPECT_NE(choose_upscaler(2), upscale_blended);
    }
    {
        const ReferenceSwitch empty("");
        EXPECT_FALSE(reference_upscaler_forced());
    }
    const ReferenceSwitch absent(nullptr);
    EXPECT_FALSE(reference_upscaler_forced());
    EXPECT_EQ(choose_upscaler(2), choose_upscaler(2, false, cpu_vector_set()));
}

}  // namespace
