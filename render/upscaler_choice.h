// The fast blended upscalers, bit-identical to upscale_blended, and the start-up choice between
// them and the reference. Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/surface.h"

// Returns the variant with the family's kernels inlined (plain C++, block by block) for the family
// that `smoothness` selects, as choose_kernels does: 1 exact, 2 darker, 3 brighter, else fast.
Upscaler inline_upscaler(std::int32_t smoothness);

// Returns the SSE2 variant for the family, four blocks at a time; null when this build has none
// (a processor other than x86). Call it only on a processor with SSE2.
Upscaler sse2_upscaler(std::int32_t smoothness);

// Returns the AVX2 variant for the family, eight blocks at a time; null when this build has none
// (a processor other than x86, or Windows). Call it only on a processor with AVX2.
Upscaler avx2_upscaler(std::int32_t smoothness);

// The widest vector instructions the upscalers may use, narrowest first.
enum class VectorSet { NONE, SSE2, AVX2 };

// Returns the widest vector set the processor running this program offers (and its system keeps
// the registers of).
VectorSet cpu_vector_set();

// Returns whether the ZRV5_REFERENCE environment variable asks for the reference upscaler: set,
// not empty and not "0".
bool reference_upscaler_forced();

// The choice itself, for given facts: the reference when forced, else the widest vector variant
// that both the processor (`vectors`) and the build have, else the inlined variant.
Upscaler choose_upscaler(std::int32_t smoothness, bool reference_forced, VectorSet vectors);

// The choice made once at start-up, next to choose_kernels, from the environment and the
// processor.
Upscaler choose_upscaler(std::int32_t smoothness);
