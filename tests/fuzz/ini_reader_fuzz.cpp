// Fuzzing the initialisation-file lookup: any text, looked up with fixed names and with names taken
// from the input. Checks the lookup's promises: a value is at most 259 characters and holds no line
// break; a lookup never reads outside the text (the sanitizers watch).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/ini_text.h"

namespace {

void check_lookup(std::string_view text, std::string_view section, std::string_view key) {
    std::string value = "untouched";
    if (!ini_find(text, section, key, &value)) {
        if (value != "untouched") {
            std::abort();  // a miss must leave the value alone
        }
        return;
    }
    if (value.size() > INI_VALUE_LIMIT || value.find('\n') != std::string::npos) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    check_lookup(input, "Zarvo5", "time");
    check_lookup(input, "zarvo5", "EXIT");
    // The first two lines name the section and the key; the rest is the text.
    const std::size_t first = input.find('\n');
    if (first == std::string_view::npos) {
        return 0;
    }
    const std::size_t second = input.find('\n', first + 1);
    if (second == std::string_view::npos) {
        return 0;
    }
    check_lookup(input.substr(second + 1), input.substr(0, first),
                 input.substr(first + 1, second - first - 1));
    return 0;
}
