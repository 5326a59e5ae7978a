// The stretch rasteriser of the X11 drawing contexts, over plain pixel views and with no X in it:
// destination d takes source d * source size / destination size, so a whole factor k gives exactly
// d / k. Writes to the overlay's image go through put_row, which notes the rows whose pixels
// changed, so that a present sends only those.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vocabulary/geometry.h"
#include "vocabulary/pixel.h"

struct PixelView;

// The rows of an image whose pixels changed since its last present. A row can also be held: its
// pixels as the server shows them are kept, and it is compared once when the image is presented
// instead of at every write (the rows under the cursor, made again and drawn over in every frame).
struct RowChanges {
    static constexpr std::uint8_t SAME = 0;
    static constexpr std::uint8_t CHANGED = 1;
    static constexpr std::uint8_t HELD = 2;

    std::vector<std::uint8_t> rows;  // one of the three per row; sized once
    bool any = false;
    std::vector<std::int32_t> held_rows;
    std::vector<Pixel> held;  // the held rows' pixels, one row after another

    // Called with every view of the image: what the server shows of an image of a new height is
    // not known yet, so the first present sends all of it.
    void follow(std::int32_t height) {
        if (rows.size() != static_cast<std::size_t>(height)) {
            rows.assign(static_cast<std::size_t>(height), CHANGED);
            held_rows.clear();
            held.clear();
            any = true;
        }
    }
    void mark(std::int32_t y) {
        if (mark_row(y)) {
            any = true;
        }
    }
    // Marks row y alone and returns whether it was the same before, leaving `any` to the caller:
    // bands of one stretch mark their own rows at once. A held row stays held, to be compared at
    // the present.
    bool mark_row(std::int32_t y) {
        std::uint8_t& row = rows[static_cast<std::size_t>(y)];
        if (row != SAME) {
            return false;
        }
        row = CHANGED;
        return true;
    }
    // Holds row y of the image, unless it has changed already.
    void hold(const PixelView& image, std::int32_t y);
    // Compares each held row with its pixels as held, so that only the rows that differ remain.
    void settle(const PixelView& image);
    void clear();
};

// Pixels seen top-down whatever their storage: row y starts at base + y * stride.
struct PixelView {
    Pixel* base = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    RowChanges* changes = nullptr;        // set for the overlay: writes note the rows they change
    const std::uint8_t* fresh = nullptr;  // set for a capture: the rows read anew (else all were)
    // The bits of each pixel that are the picture's: a capture read back as the server keeps it
    // has a pad byte that is not, which a stretch out of it clears as it copies.
    Pixel ours = 0xFFFFFFFFu;
    // Set for a bitmap: a stretch sets the flag of each row it makes.
    std::uint8_t* written = nullptr;
    Pixel* row(std::int32_t y) const { return base + y * stride; }
};

// What a stretch keeps from call to call, so that a stretch of the same size allocates nothing:
// the source column of each destination column, and for each band a row being made and whether
// it changed a row of the overlay.
struct StretchScratch {
    std::vector<std::int32_t> columns;
    std::vector<std::vector<Pixel>> band_rows;
    std::vector<std::uint8_t> changed;
};

// Which destination rows a stretch makes again when the destination holds the same stretch of an
// earlier source: those whose source row is fresh, and those drawn over since (stale).
struct RowFilter {
    const std::uint8_t* fresh_source;       // one flag per source row
    const std::uint8_t* stale_destination;  // one flag per destination row
};

// Copies `from` of the source into `to` of the destination, repeating pixels where `to` is larger
// and keeping only the source's own bits of each; destination pixels outside the destination and
// those whose source lies outside the source are left alone. With a filter, only the rows it
// names are made. The rows are made in `bands` bands at once (at most one per row), or with 0 in
// as many as the band workers allow for a stretch of this height.
void stretch(const PixelView& destination, Rect to, const PixelView& source, Rect from,
             StretchScratch& scratch, const RowFilter* only = nullptr, std::int32_t bands = 0);
