// Blend kernels: the worked values, the averages against a per-channel model over seeded random
// words, the tie rules of the picking families, and the start-up choice of family.
#include "render/kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "support/seeded.h"

namespace {

constexpr int RANDOM_CASES = 20000;

std::uint32_t channel(Pixel p, int shift) { return (p >> shift) & 0xFFu; }

// Returns the per-channel average of `inputs` (2 or 4 of them) as the model sees it: the exact
// family takes floor(sum / n), the fast family sums each input's channel shifted right by log2(n).
// The top byte is always 0.
Pixel average_model(const std::vector<Pixel>& inputs, bool exact) {
    const auto count = static_cast<std::uint32_t>(inputs.size());
    const int drop = count == 2 ? 1 : 2;
    Pixel result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        std::uint32_t value = 0;
        for (const Pixel p : inputs) {
            value += exact ? channel(p, shift) : channel(p, shift) >> drop;
        }
        if (exact) {
            value /= count;
        }
        result |= value << shift;
    }
    return result;
}

// Returns the input the picking families must choose: the smallest (or largest) weight, the
// earliest argument on a tie.
Pixel pick_model(const std::vector<Pixel>& inputs, bool darker) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < inputs.size(); ++i) {
        const std::uint32_t w = pixel_weight(inputs[i]);
        const std::uint32_t best_w = pixel_weight(inputs[best]);
        if (darker ? w < best_w : w > best_w) {
            best = i;
        }
    }
    return inputs[best];
}

struct PairCase {
    const char* name;
    BlendPairFn blend;
    Pixel a, b, expected;
};

struct QuadCase {
    const char* name;
    BlendQuadFn blend;
    Pixel a, b, c, d, expected;
};

TEST(Kernels, WorkedValues) {
    const PairCase pairs[] = {
        {"exact pair rounds down", exact_average_pair, 0x0000FF, 0x000001, 0x000080},
        {"exact pair of white", exact_average_pair, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF},
        {"fast pair drops the low bit", fast_average_pair, 0x0000FF, 0x000001, 0x00007F},
        {"fast pair of 0x010101", fast_average_pair, 0x010101, 0x010101, 0x000000},
        {"fast pair of white", fast_average_pair, 0xFFFFFF, 0xFFFFFF, 0xFEFEFE},
        {"darker pair, weights 255 and 1", pick_darker_pair, 0x00FF00, 0x000001, 0x000001},
        {"brighter pair, equal weight 16", pick_brighter_pair, 0x100000, 0x000010, 0x100000},
    };
    for (const PairCase& c : pairs) {
        EXPECT_EQ(c.blend(c.a, c.b), c.expected) << c.name;
    }
    const QuadCase quads[] = {
        {"exact quad rounds down", exact_average_quad, 0xFF, 0xFF, 0xFF, 0x00, 0xBF},
        {"fast quad of white", fast_average_quad, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFCFCFC},
        {"darker quad, weights 5 3 3 4", pick_darker_quad, 0x000005, 0x000102, 0x030000, 0x000004,
         0x000102},
    };
    for (const QuadCase& c : quads) {
        EXPECT_EQ(c.blend(c.a, c.b, c.c, c.d), c.expected) << c.name;
    }
}

// Checks all four kernels of the averaging and picking families against the models on one set of
// inputs; used for random words and for the adversarial edge words alike.
void expect_models_hold(const std::array<Pixel, 4>& in) {
    const std::vector<Pixel> two{in[0], in[1]};
    const std::vector<Pixel> four{in[0], in[1], in[2], in[3]};
    ASSERT_EQ(exact_average_pair(in[0], in[1]), average_model(two, true))
        << std::hex << in[0] << " " << in[1];
    ASSERT_EQ(fast_average_pair(in[0], in[1]), average_model(two, false))
        << std::hex << in[0] << " " << in[1];
    ASSERT_EQ(exact_average_quad(in[0], in[1], in[2], in[3]), average_model(four, true));
    ASSERT_EQ(fast_average_quad(in[0], in[1], in[2], in[3]), average_model(four, false));
    ASSERT_EQ(pick_darker_pair(in[0], in[1]), pick_model(two, true));
    ASSERT_EQ(pick_brighter_pair(in[0], in[1]), pick_model(two, false));
    ASSERT_EQ(pick_darker_quad(in[0], in[1], in[2], in[3]), pick_model(four, true));
    ASSERT_EQ(pick_brighter_quad(in[0], in[1], in[2], in[3]), pick_model(four, false));
}

TEST(Kernels, MatchModelOnRandomWords) {
    SeededRandom rng(0x6B65726Eu);
    SCOPED_TRACE(rng.trace());
    for (int i = 0; i < RANDOM_CASES; ++i) {
        // Half the cases keep each channel in 0..3 so the picking families meet many ties.
        const Pixel channel_mask = (i % 2 == 0) ? 0xFFFFFFFFu : 0xFF030303u;
        std::array<Pixel, 4> in{};
        for (Pixel& p : in) {
            p = rng.word() & channel_mask;
        }
        SCOPED_TRACE(::testing::Message()
                     << std::hex << in[0] << " " << in[1] << " " << in[2] << " " << in[3]);
        expect_models_hold(in);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

TEST(Kernels, MatchModelOnEdgeWords) {
    const Pixel edges[] = {0x00000000, 0xFFFFFFFF, 0xFF000000, 0x00FFFFFF, 0x01010101,
                           0xFEFEFEFE, 0x80808080, 0x7F7F7F7F, 0x00010203, 0x03FF0100};
    for (const Pixel a : edges) {
        for (const Pixel b : edges) {
            for (const Pixel c : edges) {
                for (const Pixel d : edges) {
                    SCOPED_TRACE(::testing::Message()
                                 << std::hex << a << " " << b << " " << c << " " << d);
                    expect_models_hold({a, b, c, d});
                    if (::testing::Test::HasFatalFailure()) {
                        return;
                    }
                }
            }
        }
    }
}

// Every set of positions can share the winning weight; the earliest of them must win, returned
// word for word. Each input carries its own top byte so a rebuilt or averaged word shows.
TEST(Kernels, PickingTiesGoToTheEarliestArgument) {
    const Pixel weight_16[] = {0xA1100000, 0xB2080008, 0xC3000010, 0xD40C0004};
    const Pixel weight_17[] = {0x11110000, 0x22000011, 0x33001100, 0x44080009};
    const Pixel weight_15[] = {0x550F0000, 0x6600000F, 0x77000F00, 0x88070008};
    struct Family {
        const char* name;
        BlendPairFn pair;
        BlendQuadFn quad;
        const Pixel* losers;
    };
    const Family families[] = {{"darker", pick_darker_pair, pick_darker_quad, weight_17},
                               {"brighter", pick_brighter_pair, pick_brighter_quad, weight_15}};
    for (const Family& f : families) {
        for (unsigned winners = 1; winners < 16; ++winners) {
            Pixel in[4];
            int first = -1;
            for (int i = 0; i < 4; ++i) {
                const bool wins = (winners >> i) & 1u;
                in[i] = wins ? weight_16[i] : f.losers[i];
                if (wins && first < 0) {
                    first = i;
                }
            }
            SCOPED_TRACE(::testing::Message() << f.name << " winners mask " << winners);
            EXPECT_EQ(f.quad(in[0], in[1], in[2], in[3]), in[first]);
            if (winners < 4) {
                EXPECT_EQ(f.pair(in[0], in[1]), in[first]);
            }
        }
    }
}

TEST(Kernels, AveragesIgnoreAndClearTheTopByte) {
    EXPECT_EQ(exact_average_pair(0xFF000010, 0x7F000020), 0x000018u);
    EXPECT_EQ(fast_average_pair(0xFF000010, 0xFF000020), 0x000018u);
    EXPECT_EQ(exact_average_quad(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFu);
    EXPECT_EQ(fast_average_quad(0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000), 0u);
}

TEST(Kernels, SmoothnessChoosesTheFamily) {
    struct Case {
        std::int32_t smoothness;
        BlendPairFn pair;
        BlendQuadFn quad;
    };
    const Case cases[] = {
        {0, fast_average_pair, fast_average_quad}, {1, exact_average_pair, exact_average_quad},
        {2, pick_darker_pair, pick_darker_quad},   {3, pick_brighter_pair, pick_brighter_quad},
        {7, fast_average_pair, fast_average_quad}, {-1, fast_average_pair, fast_average_quad},
        {4, fast_average_pair, fast_average_quad},
    };
    for (const Case& c : cases) {
        const KernelSlots slots = choose_kernels(c.smoothness);
        EXPECT_EQ(slots.blend_pair, c.pair) << "smoothness " << c.smoothness;
        EXPECT_EQ(slots.blend_quad, c.quad) << "smoothness " << c.smoothness;
    }
}

}  // namespace
