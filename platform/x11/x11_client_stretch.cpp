// The stretch rasteriser: one pass over the destination rows, each made in one of three ways
// (a source row as it is, a whole-factor widening, or through the column table) or repeated from
// the row above when it takes the same source row. A large stretch is made in bands of rows on
// the band workers.
#include "platform/x11/x11_client_stretch.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

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
// changes is written only where it differs, and then noted as changed (its row alone: the caller
// sets `any`, since bands of one stretch run at once); returns whether a row unchanged before is
// changed now.
bool put_row(const PixelView& destination, std::int32_t y, std::int32_t x, const Pixel* pixels,
             std::size_t count) {
    Pixel* out = destination.row(y) + x;
    if (out == pixels) {
        return false;  // made in place
    }
    if (destination.changes == nullptr) {
        std::memmove(out, pixels, count * sizeof(Pixel));
        return false;
    }
    if (std::memcmp(out, pixels, count * sizeof(Pixel)) == 0) {
        return false;
    }
    std::memmove(out, pixels, count * sizeof(Pixel));
    return destination.changes->mark_row(y);
}

}  // namespace

namespace {

// Fewer destination rows than this per band are not worth a band worker's wake-up.
constexpr std::int32_t MIN_ROWS_PER_BAND = 64;

// One stretch, worked out once for all its rows.
struct StretchPlan {
    PixelView destination;
    Rect to;
    PixelView source;
    Rect from;
    const RowFilter* only;
    Columns made_by;
    bool all_inside;
    std::int32_t factor;
    std::int32_t first_column;
    std::int32_t last_column;
    std::int32_t first_source;
    std::size_t count;
    const std::int32_t* columns;  // for Columns::table
};

// Makes destination rows first_row .. last_row - 1 (exclusive, offsets into `to`) in `row`, a
// scratch row of plan.count pixels; returns whether a row of the overlay changed. Rows of
// different calls are disjoint, so calls may run at once.
bool make_rows(const StretchPlan& plan, std::int32_t first_row, std::int32_t last_row,
               Pixel* scratch_row) {
    const PixelView& destination = plan.destination;
    const PixelView& source = plan.source;
    const Rect& to = plan.to;
    const Rect& from = plan.from;
    const std::size_t count = plan.count;
    const std::int32_t x = to.x + plan.first_column;
    bool changed = false;
    std::int32_t previous_row = -1;
    const Pixel* previous = nullptr;  // the pixels of the previous destination row
    for (std::int32_t d = first_row; d < last_row; ++d) {
        const std::int32_t row = from.y + source_index(d, from.height, to.height);
        if (row < 0 || row >= source.height) {
            continue;
        }
        const std::int32_t y = to.y + d;
        if (plan.only != nullptr && plan.only->fresh_source[row] == 0 &&
            plan.only->stale_destination[y] == 0) {
            continue;  // holds what it would be made of
        }
        const Pixel* pixels = nullptr;
        // Made in place for a view without changes, in the scratch row for the overlay.
        Pixel* const made = destination.changes == nullptr ? destination.row(y) + x : scratch_row;
        if (row == previous_row && plan.all_inside) {
            pixels = previous;  // a repeated row
        } else if (plan.made_by == Columns::same_width && source.ours == ALL_OURS) {
            pixels = source.row(row) + plan.first_source;
        } else if (plan.made_by == Columns::same_width) {
            copy_ours(made, source.row(row) + plan.first_source, count, source.ours);
            pixels = made;
        } else {
            const Pixel* in = source.row(row);
            if (plan.made_by == Columns::whole_factor) {
                replicate_columns(made, in, from.x, plan.first_column, plan.last_column,
                                  plan.factor, source.ours);
            } else {
                if (made != destination.row(y) + x) {
                    std::memcpy(made, destination.row(y) + x, count * sizeof(Pixel));
                }
                for (std::size_t i = 0; i < count; ++i) {
                    if (plan.columns[i] >= 0) {
                        made[i] = in[plan.columns[i]] & source.ours;
                    }
                }
            }
            pixels = made;
        }
        changed = put_row(destination, y, x, pixels, count) || changed;
        if (destination.written != nullptr) {
            destination.written[y] = 1;
        }
        previous_row = row;
        previous = destination.row(y) + x;
    }
    return changed;
}

// A stretch's rows in bands, as the band workers see them.
struct StretchBands {
    const StretchPlan* plan;
    std::int32_t first_row;
    std::int32_t rows;
    std::int32_t bands;
    std::vector<Pixel>* band_rows;       // a scratch row per band
    std::vector<std::uint8_t>* changed;  // per band: whether a row of the overlay changed
};

void make_band(void* argument, std::int32_t band) {
    const auto& work = *static_cast<const StretchBands*>(argument);
    const std::int32_t first = work.first_row + work.rows * band / work.bands;
    const std::int32_t last = work.first_row + work.rows * (band + 1) / work.bands;
    const auto at = static_cast<std::size_t>(band);
    (*work.changed)[at] = make_rows(*work.plan, first, last, work.band_rows[at].data()) ? 1 : 0;
}

}  // namespace

void stretch(const PixelView& destination, Rect to, const PixelView& source, Rect from,
             StretchScratch& scratch, const RowFilter* only, std::int32_t bands) {
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
    Columns made_by = Columns::table;
    if (all_inside && from.width == to.width) {
        made_by = Columns::same_width;
    } else if (all_inside && to.width % from.width == 0) {
        made_by = Columns::whole_factor;
    }
    const auto count = static_cast<std::size_t>(last_column - first_column);
    std::vector<std::int32_t>& columns = scratch.columns;
    if (made_by == Columns::table) {
        columns.resize(count);
        for (std::int32_t d = first_column; d < last_column; ++d) {
            const std::int32_t column = from.x + source_index(d, from.width, to.width);
            const bool inside = column >= 0 && column < source.width;
            columns[static_cast<std::size_t>(d - first_column)] = inside ? column : -1;
        }
    }
    const StretchPlan plan{destination, to,          source,       from,
                           only,        made_by,     all_inside,   to.width / from.width,
                           first_column, last_column, first_source, count,
                           columns.data()};

    const std::int32_t rows = last_row - first_row;
    if (bands <= 0) {
        bands = std::min(platform_band_workers(), rows / MIN_ROWS_PER_BAND);
    }
    bands = std::clamp(bands, 1, rows);
    scratch.band_rows.resize(static_cast<std::size_t>(bands));
    for (std::vector<Pixel>& row : scratch.band_rows) {
        row.resize(count);
    }
    scratch.changed.assign(static_cast<std::size_t>(bands), 0);
    StretchBands work{&plan, first_row, rows, bands, scratch.band_rows.data(), &scratch.changed};
    platform_run_bands(make_band, &work, bands);
    if (destination.changes != nullptr &&
        std::find(scratch.changed.begin(), scratch.changed.end(), 1) != scratch.changed.end()) {
        destination.changes->any = true;
    }
}
