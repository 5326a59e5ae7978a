// The test seed: fixed by default so runs are repeatable, overridable to replay or explore.
#include "support/seeded.h"

#include <cstdlib>

std::uint32_t test_seed() {
    const char* text = std::getenv("ZRV5_TEST_SEED");
    if (text != nullptr && *text != '\0') {
        return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    }
    return 20261209u;
}
