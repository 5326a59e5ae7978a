// The decimal texts of the shared profile: numbers and window handles written, the exit request
// read. Portable core: no OS header.
#include "shared_profile/profile_text.h"

#include <cstdint>
#include <string>

#include "vocabulary/decimal.h"
#include "vocabulary/int32_math.h"

namespace {

constexpr std::uint32_t LOW_32_BITS = 0xFFFFFFFFu;
constexpr std::int32_t EXIT_VALUE = 1;

}  // namespace

std::string decimal_text(std::int32_t value) { return std::to_string(value); }

std::string handle_text(std::uintptr_t handle_value) {
    // Handles are published as the 32-bit value the companion library reads back; on a 64-bit
    // build the high half is dropped. A mask, not a shift, so the 32-bit build has no shift by
    // the type's width.
    const std::uint32_t low_bits = static_cast<std::uint32_t>(handle_value & LOW_32_BITS);
    return decimal_text(as_signed(low_bits));
}

// A null text reads as 0, which asks nothing.
bool exit_requested(const char* text) { return decimal_to_int(text) == EXIT_VALUE; }
