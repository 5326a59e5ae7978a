// The start-up choice of the blended upscaler: the fastest variant this processor runs, or the
// reference when the field kill switch ZRV5_REFERENCE asks for it. Portable core: no OS header.
#include "render/upscaler_choice.h"

#include <cstdlib>
#include <cstring>

#include "render/upscale.h"

VectorSet cpu_vector_set() {
#if defined(__i386__) || defined(__x86_64__)
    // The compiler's check of AVX2 also asks the system whether it saves the 256-bit registers.
    if (__builtin_cpu_supports("avx2") != 0) {
        return VectorSet::AVX2;
    }
    if (__builtin_cpu_supports("sse2") != 0) {
        return VectorSet::SSE2;
    }
#endif
    return VectorSet::NONE;
}

bool reference_upscaler_forced() {
    const char* value = std::getenv("ZRV5_REFERENCE");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

Upscaler choose_upscaler(std::int32_t smoothness, bool reference_forced, VectorSet vectors) {
    if (reference_forced) {
        return upscale_blended;
    }
    if (vectors >= VectorSet::AVX2) {
        if (const Upscaler avx2 = avx2_upscaler(smoothness)) {
            return avx2;
        }
    }
    if (vectors >= VectorSet::SSE2) {
        if (const Upscaler sse2 = sse2_upscaler(smoothness)) {
            return sse2;
        }
    }
    return inline_upscaler(smoothness);
}

Upscaler choose_upscaler(std::int32_t smoothness) {
    return choose_upscaler(smoothness, reference_upscaler_forced(), cpu_vector_set());
}
