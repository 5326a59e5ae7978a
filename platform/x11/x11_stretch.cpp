// The stretch rasteriser: one pass over the destination rows, each made in one of three ways
// (a source row as it is, a whole-factor widening, or through the column table) or repeated from
// the row above when it takes the same source row.
#include "platform/x11/x11_stretch.h"

#include <algorithm>
#include <cstring>

namespace {

// Returns source index d * source / destination of destination offset d, in 64 bits.
std::int32_t source_index(std::int32_t d, std::int32_t source, std::int32_t destination) {
    return static_cast<std::int32_t>(std::int64_t{d} * source / destination);
}

// Writes destination columns first_column .. last_column - 1 (exclusive) of a whole-factor
// widening: column d takes source column first_source + d / factor, the same as the table gives
// (d * from / to is exactly d / factor), every one of them inside the source row `in`.
void replicate_columns(Pixel* out, const Pixel* in, std::int32_t first_source,
                       std::int32_t first_column, std::int32_t last_column, std::int32_t factor,
                       Pixel ours) {
    std::int32_t d = first_column;
    for (; d < last_column && d % factor != 0; ++d) {  // a group cut by the left edge
        *out++ = in[first_source + d / factor] & ours;
    }
    if (factor == 2) {
        for (; d + 2 <= last_column; d += 2) {
            const Pixel p = in[first_source + d / 2] & ours;
            out[0] = p;
            out[1] = p;
            out += 2;
        }
    } else {
        for (; d + factor <= last_column; d += factor) {
            const Pixel p = in[first_source + d / factor] & ours;
            for (std::int32_t k = 0; k < factor; ++k) {
                *out++ = p;
            }
        }
    }
    for (; d < last_column; ++d) {  // a group cut by the right edge
        *out++ = in[first_source + d / factor] & ours;
    }
}

// Copies `count` pixels keeping only the bits that are ours, eight at a time where it can (a loop
// of a fixed length, which the compiler turns into vector instructions at every optimisation level
// the builds use).
void copy_ours(Pixel* __restrict out, const Pixel* __restrict in, std::size_t count, Pixel ours) {
    constexpr std::size_t GROUP = 8;
    std::size_t i = 0;
    for (; i + GROUP <= count; i += GROUP) {
        for (std::size_t j = 0; j < GROUP; ++j) {
            out[i + j] = in[i + j] & ours;
        }
    }
    for (; i < count; ++i) {
        out[i] = in[i] & ours;
    }
}

constexpr Pixel ALL_OURS = 0xFFFFFFFFu;

// How the columns of one stretch are made; the same for every row.
enum class Columns {
    same_width,    // the source row as it is
    whole_factor,  // each source column fills `factor` neighbouring destination columns
    table,         // through the table, which says -1 where a column falls outside the source
};

}  // namespace

void RowChanges::hold(const PixelView& image, std::int32_t y) {
    std::uint8_t& row = rows[static_cast<std::size_t>(y)];
    if (row != SAME) {
        return;
    }
    row = HELD;
    held_rows.push_back(y);
    held.insert(held.end(), image.row(y), image.row(y) + image.width);
}

void RowChanges::settle(const PixelView& image) {
    const auto width = static_cast<std::size_t>(image.width);
    for (std::size_t i = 0; i < held_rows.size(); ++i) {
        const std::int32_t y = held_rows[i];
        const bool differs =
            std::memcmp(image.row(y), held.data() + i * width, width * sizeof(Pixel)) != 0;
        rows[static_cast<std::size_t>(y)] = differs ? CHANGED : SAME;
    }
    held_rows.clear();
    held.clear();
    any = std::find(rows.begin(), rows.end(), CHANGED) != rows.end();
}

void RowChanges::clear() {
    std::fill(rows.begin(), rows.end(), SAME);
    held_rows.clear();
    held.clear();
    any = false;
}

namespace {

// Puts `count` pixels into row y of the destination from column x on. A row of a view with
// changes is written only where it differs, and then noted as changed.
void put_row(const PixelView& destination, std::int32_t y, std::int32_t x, const Pixel* pixels,
             std::size_t count) {
    Pixel* out = destination.row(y) + x;
    if (out == pixels) {
        return;  // made in place
    }
    if (destination.changes == nullptr) {
        std::memmove(out, pixels, count * sizeof(Pixel));
    } else if (std::memcmp(out, pixels, count * sizeof(Pixel)) != 0) {
        std::memmove(out, pixels, count * sizeof(Pixel));
        destination.changes->mark(y);
    }
}

}  // namespace

void stretch(const PixelView& destination, Rect to, const PixelView& source, Rect from,
             StretchScratch& scratch, const RowFilter* only) {
    if (destination.base == nullptr || source.base == nullptr || to.width <= 0 || to.height <= 0 ||
        from.width <= 0 || from.height <= 0) {
        return;
    }
    const std::int32_t first_column = std::max(0, -to.x);
    const std::int32_t last_column = std::min(to.width, destination.width - to.x);  // exclusive
    const std::int32_t first_row = std::max(0, -to.y);
    const std::int32_t last_row = std::min(to.height, destination.height - to.y);
    if (first_column >= last_column || first_row >= last_row) {
        return;
    }
    // Source columns grow with destination columns, so all of them lie inside the source when the
    // first and the last do.
    const std::int32_t first_source = from.x + source_index(first_column, from.width, to.width);
    const std::int32_t last_source = from.x + source_index(last_column - 1, from.width, to.width);
    const bool all_inside = first_source >= 0 && last_source < source.width;
    const std::int32_t factor = to.width / from.width;
    Columns made_by = Columns::table;
    if (all_inside && from.width == to.width) {
        made_by = Columns::same_width;
    } else if (all_inside && to.width % from.width == 0) {
        made_by = Columns::whole_factor;
    }
    const auto count = static_cast<std::size_t>(last_column - first_column);
    scratch.row.resize(count);
    std::vector<std::int32_t>& columns = scratch.columns;
    if (made_by == Columns::table) {
        columns.resize(count);
        for (std::int32_t d = first_column; d < last_column; ++d) {
            const std::int32_t column = from.x + source_index(d, from.width, to.width);
            const bool inside = column >= 0 && column < source.width;
            columns[static_cast<std::size_t>(d - first_column)] = inside ? column : -1;
        }
    }
    const std::int32_t x = to.x + first_column;
    std::int32_t previous_row = -1;
    const Pixel* previous = nullptr;  // the pixels of the previous destination row
    for (std::int32_t d = first_row; d < last_row; ++d) {
        const std::int32_t row = from.y + source_index(d, from.height, to.height);
        if (row < 0 || row >= source.height) {
            continue;
        }
        const std::int32_t y = to.y + d;
        if (only != nullptr && only->fresh_source[row] == 0 && only->stale_destination[y] == 0) {
            continue;  // holds what it would be made of
        }
        const Pixel* pixels = nullptr;
        // Made in place for a view without changes, in the scratch row for the overlay.
        Pixel* const made =
            destination.changes == nullptr ? destination.row(y) + x : scratch.row.data();
        if (row == previous_row && all_inside) {
            pixels = previous;  // a repeated row
        } else if (made_by == Columns::same_width && source.ours == ALL_OURS) {
            pixels = source.row(row) + first_source;
        } else if (made_by == Columns::same_width) {
            copy_ours(made, source.row(row) + first_source, count, source.ours);
            pixels = made;
        } else {
            const Pixel* in = source.row(row);
            if (made_by == Columns::whole_factor) {
                replicate_columns(made, in, from.x, first_column, last_column, factor, source.ours);
            } else {
                if (made != destination.row(y) + x) {
                    std::memcpy(made, destination.row(y) + x, count * sizeof(Pixel));
                }
                for (std::size_t i = 0; i < count; ++i) {
                    if (columns[i] >= 0) {
                        made[i] = in[columns[i]] & source.ours;
                    }
                }
            }
            pixels = made;
        }
        put_row(destination, y, x, pixels, count);
        if (destination.written != nullptr) {
            destination.written[y] = 1;
        }
        previous_row = row;
        previous = destination.row(y) + x;
    }
}
