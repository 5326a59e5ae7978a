// The start-up choice of the blended upscaler: the fastest variant this processor runs, or the
// reference when the field kill switch ZRV5_REFERENCE asks for it. Portable core: no OS header.
#include "render/upscale_fast.h"

#include <cstdlib>
#include <cstring>

#include "render/upscale.h"

bool cpu_has_sse2() {
#if defined(__i386__) || defined(__x86_64__)
    return __builtin_cpu_supports("sse2") != 0;
#else
    return false;
#endif
}

bool reference_upscaler_forced() {
    const char* value = std::getenv("ZRV5_REFERENCE");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

Upscaler choose_upscaler(std::int32_t smoothness, bool reference_forced, bool has_sse2) {
    if (reference_forced) {
        return upscale_blended;
    }
    if (has_sse2) {
        const Upscaler sse2 = sse2_upscaler(smoothness);
        if (sse2 != nullptr) {
            return sse2;
        }
    }
    return inline_upscaler(smoothness);
}

Upscaler choose_upscaler(std::int32_t smoothness) {
    return choose_upscaler(smoothness, reference_upscaler_forced(), cpu_has_sse2());
}
