// Fuzzing the shared profile's texts: a profile read as the program and the companions read it (the
// exit request, the window, and the size checked against a screen), and the texts written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "companion/published_size.h"
#include "shared_profile/profile_text.h"
#include "platform/posix/ini_text.h"
#include "shell/settings_text.h"
#include "vocabulary/decimal.h"

namespace {

constexpr std::int64_t SCREEN = 1400;

std::string lookup(const std::string& text, const char* key) {
    std::string value = "0";
    ini_find(text, "Zarvo5", key, &value);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    exit_requested(lookup(input, "EXIT").c_str());
    decimal_to_int(lookup(input, "HWND").c_str());
    for (const char* key : {"W", "H"}) {
        const std::int32_t kept = published_size(lookup(input, key).c_str(), SCREEN);
        if (kept < 0 || kept > SCREEN) {
            std::abort();  // never outside the screen
        }
    }
    std::uint64_t handle = 0;
    std::memcpy(&handle, data, size < sizeof handle ? size : sizeof handle);
    const std::string written = handle_text(static_cast<std::uintptr_t>(handle));
    if (decimal_text(decimal_to_int(written.c_str())) != written) {
        std::abort();  // a written handle reads back as itself
    }
    return 0;
}
