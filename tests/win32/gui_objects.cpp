// Counting this process's GDI objects (see gui_objects.h).
#include "gui_objects.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>

namespace {

// Wine's GDI handle table entry (the layout of Windows' 64-bit table, which Wine uses for 32-bit
// processes too): a live object has a non-zero type.
struct WineGdiEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;  // 0 once the object is deleted
    std::uint8_t extended_type;
    std::uint64_t user_pointer;
};
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI handle table entry is 24 bytes");

// The offset of GdiSharedHandleTable in the process environment block.
#ifdef _WIN64
constexpr std::size_t PEB_GDI_TABLE_OFFSET = 0xF8;
#else
constexpr std::size_t PEB_GDI_TABLE_OFFSET = 0x94;
#endif

const WineGdiEntry* wine_gdi_table(std::size_t* entries) {
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                  sizeof basic, nullptr) != 0) {
        return nullptr;
    }
    const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
    const void* table = *reinterpret_cast<void* const*>(peb + PEB_GDI_TABLE_OFFSET);
    MEMORY_BASIC_INFORMATION region{};
    if (table == nullptr || VirtualQuery(table, &region, sizeof region) == 0 ||
        region.State != MEM_COMMIT) {
        return nullptr;
    }
    const std::size_t bytes =
        region.RegionSize - static_cast<std::size_t>(static_cast<const char*>(table) -
                                                     static_cast<const char*>(region.BaseAddress));
    *entries = bytes / sizeof(WineGdiEntry);
    return static_cast<const WineGdiEntry*>(table);
}

}  // namespace

GdiCount count_gdi_objects() {
    GdiCount count;
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) {
        count.available = true;
        count.objects = reported;
        count.how = "GetGuiResources";
        return count;
    }
    std::size_t entries = 0;
    const WineGdiEntry* table = wine_gdi_table(&entries);
    if (table == nullptr) {
        count.how = "neither GetGuiResources nor a GDI handle table";
        return count;
    }
    for (std::size_t i = 0; i < entries; ++i) {
        count.objects += table[i].type != 0 ? 1 : 0;
    }
    count.available = true;
    count.how = "Wine's GDI handle table";
    return count;
}
