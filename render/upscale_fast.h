// The fast blended upscalers, bit-identical to upscale_blended, and the start-up choice between
// them and the reference. Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/pixel.h"
#include "render/surface.h"

// An upscaler has the signature of upscale_blended. The fast variants are made for one kernel
// family and do not call the slots; they check them for null as the reference does, so an empty
// slot draws nothing on every path.
using Upscaler = void (*)(const Surface& source, const Surface& upscaled, std::int32_t W,
                          std::int32_t H, std::int32_t scale, BlendPairFn blend_pair,
                          BlendQuadFn blend_quad);

// Returns the variant with the family's kernels inlined (plain C++, block by block) for the family
// that `smoothness` selects, as choose_kernels does: 1 exact, 2 darker, 3 brighter, else fast.
Upscaler inline_upscaler(std::int32_t smoothness);

// Returns the SSE2 variant for the family, four blocks at a time; null when this build has none
// (a processor other than x86). Call it only on a processor with SSE2.
Upscaler sse2_upscaler(std::int32_t smoothness);

// Returns whether the processor running this program has SSE2.
bool cpu_has_sse2();

// Returns whether the ZRV5_REFERENCE environment variable asks for the reference upscaler: set,
// not empty and not "0".
bool reference_upscaler_forced();

// The choice itself, for given facts: the reference when forced, else the SSE2 variant when the
// processor has SSE2 and the build has it, else the inlined variant.
Upscaler choose_upscaler(std::int32_t smoothness, bool reference_forced, bool has_sse2);

// The choice made once at start-up, next to choose_kernels, from the environment and the
// processor.
Upscaler choose_upscaler(std::int32_t smoothness);
