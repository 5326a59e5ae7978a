// Fuzzing the settings text: a settings file's text read as start-up reads it (the four keys, each
// converted from decimal), the conversion of any text, and the settings path of any executable
// path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/ini_text.h"
#include "shell/settings_text.h"
#include "vocabulary/decimal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"time", "mouse_trs", "stretch", "smoothness"}) {
        std::string value;
        if (ini_find(input, "Zarvo5", key, &value)) {
            decimal_to_int(value.c_str());
        }
    }
    decimal_to_int(input.c_str());
    const std::string path = settings_path(input);
    const std::string_view ending = ".ini";
    if (path.size() < ending.size() || path.compare(path.size() - 4, 4, ending) != 0) {
        std::abort();  // every settings path ends in ".ini"
    }
    return 0;
}
