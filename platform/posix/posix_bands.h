// How many band workers the Linux build makes (posix_bands.cpp implements the seam's bands).
#pragma once

#include <cstdint>

// The most band workers: the enlargement is bound by memory long before more would help.
constexpr std::int32_t MAX_BAND_WORKERS = 8;

// Returns the workers for `asked` (ZRV5_THREADS; null or empty when unset): a whole number from 1
// to MAX_BAND_WORKERS is taken as it is; otherwise `cores` held to 1..MAX_BAND_WORKERS, and
// `refused` is set when something else was asked.
std::int32_t band_workers_for(const char* asked, unsigned cores, bool* refused);
