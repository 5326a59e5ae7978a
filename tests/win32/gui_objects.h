// Counting this process's GDI objects. GetGuiResources does it on Windows; Wine's is a stub that
// returns 0, so there the live entries of Wine's GDI handle table (reached through the process
// environment block, as on Windows) are counted instead.
#pragma once

#include <cstdint>
#include <string>

struct GdiCount {
    bool available = false;
    std::int64_t objects = 0;
    std::string how;  // which of the two measures, for the failure messages
};

GdiCount count_gdi_objects();
